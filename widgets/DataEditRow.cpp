#include "widgets/DataEditRow.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLineEdit>

DataEditRow::DataEditRow(const std::array<int, kBytes>& ids, int editWidth, QObject* owner)
    : QObject(owner) {
    for (int i = 0; i < kBytes; ++i) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QString::number(ids[static_cast<std::size_t>(i)]));
        edit->setFixedWidth(editWidth > 0 ? editWidth
                                          : edit->fontMetrics().horizontalAdvance(
                                                QStringLiteral("0000")) +
                                                12);
        m_edits[static_cast<std::size_t>(i)] = edit;
    }
}

void DataEditRow::placeIn(QBoxLayout* layout) const {
    for (QLineEdit* edit : m_edits) layout->addWidget(edit);
}

void DataEditRow::placeIn(QGridLayout* grid, int row, int column) const {
    for (int i = 0; i < kBytes; ++i) grid->addWidget(edit(i), row, column + i);
}

void DataEditRow::onTyped(const std::function<void(int byte, const QString& text)>& typed) {
    for (int i = 0; i < kBytes; ++i) {
        connect(edit(i), &QLineEdit::textEdited, this,
                [typed, i](const QString& t) { typed(i, t); });
    }
}

void DataEditRow::handOn(int byte) const {
    if (byte + 1 >= kBytes) return;
    QLineEdit* next = edit(byte + 1);
    next->setFocus();
    next->selectAll();
}

void DataEditRow::setMaxLength(int length) const {
    for (QLineEdit* edit : m_edits) edit->setMaxLength(length);
}
