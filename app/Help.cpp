#include "app/Help.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QMainWindow>
#include <QTextBrowser>
#include <QUrl>

#include <QPointer>

#include <algorithm>

namespace {

// Escape closes the help, as it does a dialog.
class HelpViewer final : public QMainWindow {
protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            close();
            return;
        }
        QMainWindow::keyPressEvent(event);
    }
};

// Not owned by a static: the window must go with the application, never after it.
QPointer<QMainWindow> g_viewer;
bool g_viewerFailed = false;

}  // namespace

std::string helpFileName(LANGID language) {
    if (language == 1028) return "Korvane-tc.chm";
    if (language == 2052) return "Korvane-sc.chm";
    return "Korvane-en.chm";
}

LANGID helpLanguage(LanguageEnvironment& environment) {
    for (LANGID id : {environment.settingLanguageId(), environment.userUILanguage(),
                      environment.systemUILanguage(), environment.userDefaultLangID(),
                      environment.systemDefaultLangID()}) {
        if (id != 0) return id;
    }
    return 0;
}

namespace {

// Right of the owner when the screen has room there, else left of it, else over its right part.
void placeBeside(QWidget& viewer, const QWidget& owner) {
    const QRect frame = owner.frameGeometry();
    const QScreen* screen = owner.screen() != nullptr ? owner.screen() : QGuiApplication::primaryScreen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : frame;
    const int width = viewer.frameGeometry().width();
    int x = frame.right() + 1;
    if (x + width > room.right() + 1) x = frame.left() - width;
    if (x < room.left()) x = std::max(room.left(), room.right() + 1 - width);
    viewer.move(x, std::max(room.top(), frame.top()));
}

}  // namespace

bool HtmlHelp(const QString& file, const QString& topic, const QWidget* owner) {
    if (g_viewerFailed) return false;
    const QFileInfo page(file + "/" + topic);
    if (!page.isFile()) return false;
    if (!g_viewer) {
        g_viewer = new HelpViewer;
        auto* browser = new QTextBrowser(g_viewer);
        browser->setOpenExternalLinks(true);
        g_viewer->setCentralWidget(browser);
        g_viewer->resize(720, 640);
        if (owner != nullptr) placeBeside(*g_viewer, *owner);
    }
    auto* browser = static_cast<QTextBrowser*>(g_viewer->centralWidget());
    browser->setSource(QUrl::fromLocalFile(page.absoluteFilePath()));
    if (browser->toPlainText().isEmpty()) {
        g_viewerFailed = true;
        return false;
    }
    g_viewer->setWindowTitle(browser->documentTitle());
    g_viewer->show();
    g_viewer->raise();
    return true;
}

void closeHelpViewer() {
    if (g_viewer) g_viewer->close();
}

QWidget* helpViewerWindow() {
    return g_viewer;
}
