#include "app/AboutDialog.h"

#include "resources/UiText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromStdString(uiText("About Korvane")));
    auto* icon = new QLabel;
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    layout->addWidget(new QLabel(QStringLiteral("Korvane")), 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Version: V2.00  (Built on August 10 2011)")), 1,
                      1);
    layout->addWidget(new QLabel(QString::fromStdString(
                          uiText("CAN-bus monitor and analyser for the ADP4021 USB-to-CAN adapter."))),
                      2, 1);
    layout->addWidget(
        new QLabel(QString::fromStdString(uiText("Help: Help Topics (F1) in the Help menu."))), 3,
        1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons, 4, 0, 1, 2);
}
