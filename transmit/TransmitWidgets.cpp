#include "transmit/TransmitWidgets.h"

#include "resources/StringTable.h"
#include "resources/UiText.h"

namespace transmitui {

QString text(const char* english) {
    return QString::fromStdString(uiText(english));
}

QString stringText(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

void watchEntry(QLineEdit* edit,
                std::function<EntryOutcome(const std::string&, std::size_t)> check,
                std::function<void(const EntryOutcome&)> after) {
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, check, after](const QString& t) {
        const EntryOutcome outcome = check(t.toStdString(), static_cast<std::size_t>(
                                                                edit->cursorPosition()));
        if (QString::fromStdString(outcome.text) != edit->text()) {
            edit->setText(QString::fromStdString(outcome.text));
            edit->setCursorPosition(static_cast<int>(outcome.cursor));
        }
        if (after) after(outcome);
    });
    QObject::connect(edit, &QLineEdit::editingFinished, edit, [edit, check] {
        if (!edit->text().isEmpty()) return;
        edit->setText(QString::fromStdString(textOnLeaving("")));
        (void)check(edit->text().toStdString(), 1);
    });
}

}  // namespace transmitui
