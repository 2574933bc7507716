#pragma once

// The row of eight data edits of the send and filter dialogs: one edit per data byte, named by
// its control id, and an edit typed full hands the focus on to the next, its text selected so
// that typing overwrites it. The owner places the edits in its own layout and checks what is
// typed.
//
// Thread: the user-interface thread.

#include <QObject>
#include <QString>

#include <array>
#include <functional>

class QBoxLayout;
class QGridLayout;
class QLineEdit;

class DataEditRow final : public QObject {
public:
    static constexpr int kBytes = 8;

    // The edits are named by `ids` and `editWidth` pixels wide; 0 gives room for four digits.
    DataEditRow(const std::array<int, kBytes>& ids, int editWidth, QObject* owner);

    [[nodiscard]] QLineEdit* edit(int byte) const {
        return m_edits[static_cast<std::size_t>(byte)];
    }

    // Puts the edits side by side at the end of `layout`, or into `grid` row `row` from `column`
    // on, one column each.
    void placeIn(QBoxLayout* layout) const;
    void placeIn(QGridLayout* grid, int row, int column) const;

    // Calls `typed(byte, text)` on every change the user makes to an edit.
    void onTyped(const std::function<void(int byte, const QString& text)>& typed);
    // Byte `byte` is typed full: the next edit takes the focus, its text selected. Nothing after
    // the last byte.
    void handOn(int byte) const;
    void setMaxLength(int length) const;

private:
    std::array<QLineEdit*, kBytes> m_edits{};
};
