#pragma once

// File > Import... and File > Export As Log...: candump, ASC, BLF and pcap logs in and out of the
// program.
// The command handlers are MonitorApp's (LogImport.cpp); this header holds what they build on.
//
// Thread: the user-interface thread.

#include "document/LogImport.h"

#include <QDialog>
#include <QString>

class MessageService;
class QButtonGroup;
class QLineEdit;

// What the export dialog asks: which rows, which format, which interface name.
class ExportLogChoice {
public:
    bool shownRows = true;  // the rows the data list shows; false: every frame of the capture
    LogExportOptions options;

    // The string id of the message that says what is wrong, or 0 when the choice can be used.
    [[nodiscard]] std::uint32_t check() const;
    // "CANData.log" (".asc", ".blf", ".pcap"), and the file dialog's filter of the format.
    [[nodiscard]] QString defaultFileName() const;
    [[nodiscard]] QString fileFilter() const;
};

class ExportLogDialog final : public QDialog {
public:
    ExportLogDialog(ExportLogChoice& choice, bool haveRows, MessageService& messages,
                    QWidget* parent);
    void accept() override;

private:
    ExportLogChoice& m_choice;
    MessageService& m_messages;
    QButtonGroup* m_rows;
    QButtonGroup* m_format;
    QLineEdit* m_interface;
};
