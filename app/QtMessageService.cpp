#include "app/QtMessageService.h"

#include "resources/StringTable.h"

#include <QMessageBox>

void QtMessageService::showMessage(std::uint32_t stringId, MessageIcon icon,
                                   std::uint32_t captionId) {
    showText(strings::loadString(stringId), icon, captionId);
}

void QtMessageService::showText(const std::string& text, MessageIcon icon,
                                std::uint32_t captionId) {
    QMessageBox box(m_parent);
    box.setWindowTitle(QString::fromStdString(
        strings::loadString(captionId != 0 ? captionId : strings::kProgramName)));
    box.setText(QString::fromStdString(text));
    switch (icon) {
        case MessageIcon::kStop:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::kInformation:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::kWarning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::kQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::kNone:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    box.exec();
}

bool QtMessageService::askYesNo(std::uint32_t stringId) {
    QMessageBox box(m_parent);
    box.setWindowTitle(QString::fromStdString(strings::loadString(strings::kProgramName)));
    box.setText(QString::fromStdString(strings::loadString(stringId)));
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
