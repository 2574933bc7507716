#include "transmit/TransmitWidgets.h"

#include "resources/StringTable.h"
#include "resources/UiText.h"

#include <QEvent>

namespace transmitui {

namespace {

// Puts "0" into an edit that loses the focus empty.
class ZeroWhenLeftEmpty final : public QObject {
public:
    ZeroWhenLeftEmpty(QLineEdit* edit,
                      std::function<EntryOutcome(const std::string&, std::size_t)> check)
        : QObject(edit), m_edit(edit), m_check(std::move(check)) {
        edit->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_edit && event->type() == QEvent::FocusOut && m_edit->text().isEmpty()) {
            m_edit->setText(QString::fromStdString(textOnLeaving("")));
            (void)m_check(m_edit->text().toStdString(), 1);
        }
        return false;
    }

private:
    QLineEdit* m_edit;
    std::function<EntryOutcome(const std::string&, std::size_t)> m_check;
};

}  // namespace

QString text(const char* english) {
    return QString::fromStdString(uiText(english));
}

QString stringText(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

void watchEntry(QLineEdit* edit, std::function<EntryOutcome(const std::string&, std::size_t)> check,
                const std::function<void(const EntryOutcome&)>& after) {
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, check, after](const QString& t) {
        const EntryOutcome outcome =
            check(t.toStdString(), static_cast<std::size_t>(edit->cursorPosition()));
        if (QString::fromStdString(outcome.text) != edit->text()) {
            edit->setText(QString::fromStdString(outcome.text));
            edit->setCursorPosition(static_cast<int>(outcome.cursor));
        }
        if (after) after(outcome);
    });
    new ZeroWhenLeftEmpty(edit, std::move(check));
}

}  // namespace transmitui
