#pragma once

#include <QDialog>

// Dialog 100: the program's name, version and notice.
class AboutDialog final : public QDialog {
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
