#pragma once

// The small modeless "Please wait ......" window that saving, loading and exporting show: a bar
// from 0 to 100 and the percentage over its middle, black below 51 and white from 51 on.

#include "capture/DocumentFile.h"

#include <QDialog>

class QLabel;
class QProgressBar;

class ProgressWindow final : public QDialog, public Progress {
public:
    explicit ProgressWindow(QWidget* parent);

    void begin(std::uint32_t captionStringId) override;
    void setPercent(int percent) override;
    void end() override;

    [[nodiscard]] int percent() const;
    [[nodiscard]] QString percentText() const;
    [[nodiscard]] QColor percentColour() const;
    [[nodiscard]] int updates() const { return m_updates; }

private:
    QProgressBar* m_bar;
    QLabel* m_percent;
    int m_updates = 0;
};
