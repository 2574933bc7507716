#include "app/Help.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QTextBrowser>
#include <QUrl>

#include <QPointer>

namespace {

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

bool HtmlHelp(const QString& file, const QString& topic) {
    if (g_viewerFailed) return false;
    const QFileInfo page(file + "/" + topic);
    if (!page.isFile()) return false;
    if (!g_viewer) {
        g_viewer = new QMainWindow;
        auto* browser = new QTextBrowser(g_viewer);
        browser->setOpenExternalLinks(true);
        g_viewer->setCentralWidget(browser);
        g_viewer->resize(720, 640);
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

QWidget* helpViewerWindow() {
    return g_viewer;
}
