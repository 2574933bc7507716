#pragma once

// The four curve dialogs: "New Curve Window" (208), "y(t) Curve" (206), "y(x) Curve" (207) and
// "Rename" (242). They show and forward; the checks and the records are the editors' (see
// CurveDialogLogic.h).
//
// Thread: the user-interface thread.

#include "curves/CurveDialogLogic.h"

#include <QDialog>
#include <QPushButton>

#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLineEdit;
class QRadioButton;
class QTableWidget;

// A button that paints itself in the chosen colour; a click opens the colour dialog.
class ColourButton final : public QPushButton {
public:
    explicit ColourButton(QWidget* parent = nullptr);
    void setColour(std::uint32_t bbggrr);
    [[nodiscard]] std::uint32_t colour() const { return m_colour; }

private:
    std::uint32_t m_colour = 0x0000FF;
};

// Eight D0..D7 boxes whose left-to-right order follows the byte order chosen by "Reverse".
class ByteBoxes final : public QWidget {
public:
    explicit ByteBoxes(QWidget* parent = nullptr);
    void setMirrored(bool mirrored);
    void setTicked(const std::array<bool, 8>& ticked);
    [[nodiscard]] std::array<bool, 8> ticked() const;
    // The box of data byte n, as it stands from the left.
    [[nodiscard]] QCheckBox* box(int byte) const { return m_boxes[static_cast<std::size_t>(byte)]; }
    [[nodiscard]] bool mirrored() const { return m_mirrored; }

private:
    QHBoxLayout* m_layout;
    std::array<QCheckBox*, 8> m_boxes{};
    bool m_mirrored = false;
};

// Message and signal lists over a catalog of database signals, the first message entry standing
// for the byte positions. Tells the signal chosen (an empty offer for the byte positions).
class SignalPicker final : public QWidget {
public:
    SignalPicker(const CurveSignalCatalog& catalog, QWidget* parent = nullptr);
    void setChoice(const CurveSignalRef& ref);
    void onChosen(std::function<void(const CurveSignalOffer&)> chosen) {
        m_chosen = std::move(chosen);
    }
    [[nodiscard]] QComboBox* messages() const { return m_messages; }
    [[nodiscard]] QComboBox* signalList() const { return m_signals; }

private:
    void fillSignals();
    void choose();

    const CurveSignalCatalog& m_catalog;
    QComboBox* m_messages;
    QComboBox* m_signals;
    std::function<void(const CurveSignalOffer&)> m_chosen;
    bool m_setting = false;
};

class NewCurveWindowDialog final : public QDialog {
public:
    NewCurveWindowDialog(ChartKind kind, int counter, QWidget* parent = nullptr);
    [[nodiscard]] ChartKind kind() const;
    [[nodiscard]] std::string name() const;

private:
    QRadioButton* m_yt;
    QRadioButton* m_yx;
    QLineEdit* m_name;
};

class RenameDialog final : public QDialog {
public:
    RenameDialog(const std::string& name, QWidget* parent = nullptr);
    [[nodiscard]] std::string name() const;

private:
    QLineEdit* m_name;
};

class YtCurveDialog final : public QDialog {
public:
    // With a catalog of database signals a curve may take one instead of byte positions;
    // `signals` are the window's curves' as they are.
    YtCurveDialog(const CurveWindowRecord& record, MessageService& messages,
                  const CurveSettingsFile* settings, QWidget* parent = nullptr,
                  const CurveSignalCatalog& catalog = {}, const CurveSignalRefs& slotSignals = {});
    // The record as OK hands it back.
    [[nodiscard]] CurveWindowRecord result() const;
    [[nodiscard]] const CurveSignalRefs& signalResult() const { return m_editor.slotSignals(); }
    [[nodiscard]] SignalPicker* picker() const { return m_picker; }
    [[nodiscard]] YtCurveEditor& editor() { return m_editor; }
    void setForm(const YtCurveForm& form);
    [[nodiscard]] YtCurveForm form() const;
    void add();
    void edit();
    void remove();
    [[nodiscard]] QTableWidget* list() const { return m_list; }

private:
    void refreshList();
    YtCurveEditor m_editor;
    QLineEdit* m_identifier;
    QLineEdit* m_yOrg;
    QLineEdit* m_resolution;
    QLineEdit* m_timeResolution;
    QLineEdit* m_name;
    ByteBoxes* m_bytes;
    QCheckBox* m_signed;
    QCheckBox* m_reverse;
    QRadioButton* m_autoMoveOn;
    QRadioButton* m_yMulti;
    QRadioButton* m_showOn;
    QRadioButton* m_showOff;
    ColourButton* m_colour;
    QTableWidget* m_list;
    CurveSignalCatalog m_catalog;
    SignalPicker* m_picker = nullptr;
    CurveSignalRef m_signal;
};

class YxCurveDialog final : public QDialog {
public:
    YxCurveDialog(const CurveWindowRecord& record, MessageService& messages,
                  const CurveSettingsFile* settings, QWidget* parent = nullptr,
                  const CurveSignalCatalog& catalog = {}, const CurveSignalRefs& ySignals = {},
                  const CurveSignalRefs& xSignals = {});
    [[nodiscard]] CurveWindowRecord result() const;
    [[nodiscard]] const CurveSignalRefs& ySignalResult() const { return m_editor.ySignals(); }
    [[nodiscard]] const CurveSignalRefs& xSignalResult() const { return m_editor.xSignals(); }
    [[nodiscard]] SignalPicker* picker(Axis axis) const {
        return axis == Axis::kX ? m_xPicker : m_yPicker;
    }
    void setForm(const YxCurveForm& form);
    [[nodiscard]] YxCurveForm form() const;
    void add();
    void edit();
    void remove();

private:
    void refreshList();
    YxCurveEditor m_editor;
    QLineEdit* m_xIdentifier;
    QLineEdit* m_yIdentifier;
    QLineEdit* m_xOrg;
    QLineEdit* m_yOrg;
    QLineEdit* m_resolution;
    QLineEdit* m_sync;
    QLineEdit* m_name;
    ByteBoxes* m_xBytes;
    ByteBoxes* m_yBytes;
    QCheckBox* m_xSigned;
    QCheckBox* m_xReverse;
    QCheckBox* m_ySigned;
    QCheckBox* m_yReverse;
    QRadioButton* m_xMulti;
    QRadioButton* m_yMulti;
    QRadioButton* m_showOn;
    QRadioButton* m_showOff;
    ColourButton* m_colour;
    QTableWidget* m_list;
    CurveSignalCatalog m_catalog;
    SignalPicker* m_yPicker = nullptr;
    SignalPicker* m_xPicker = nullptr;
    CurveSignalRef m_ySignal;
    CurveSignalRef m_xSignal;
};
