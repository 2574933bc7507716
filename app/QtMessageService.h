#pragma once

// Message boxes through QMessageBox, texts from the string table.

#include "framework/MessageService.h"

class QWidget;

class QtMessageService final : public MessageService {
public:
    explicit QtMessageService(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void showMessage(std::uint32_t stringId, MessageIcon icon, std::uint32_t captionId) override;
    void showText(const std::string& text, MessageIcon icon, std::uint32_t captionId) override;
    bool askYesNo(std::uint32_t stringId) override;

private:
    QWidget* m_parent;
};
