#pragma once

// What the curve dialogs decide, without their widgets: reading the typed numbers, the checks of
// Add and Edit in their order with their messages, the slots, the list rows, the records that OK
// hands back, and the last accepted curve in Configure.ini.
//
// Thread: the user-interface thread.

#include "curves/CurveRecords.h"
#include "curves/CurveSignal.h"
#include "framework/MessageService.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A number typed in a decimal or hexadecimal box, read character by character: every character
// multiplies by the base, a digit of the base adds itself, a '-' anywhere makes it negative.
[[nodiscard]] std::uint32_t readTypedNumber(const std::string& text, unsigned base);
// Only digits and '-'.
[[nodiscard]] bool isDecimalText(const std::string& text);

inline constexpr std::size_t kMaxNameLength = 31;

struct YtCurveForm {
    std::string identifier = "0";
    std::string yOrg = "0";
    std::string resolution = "4000";
    std::string timeResolution = "40";
    std::string name;
    std::array<bool, 8> bytes{true, true, true, true, false, false, false, false};
    bool isSigned = true;
    bool reverse = true;
    bool show = true;
    std::uint32_t colour = 0xFF8080;
    CurveSignalRef signal;  // a database signal, or none for the byte positions
};

struct YxCurveForm {
    std::string xIdentifier = "0";
    std::string yIdentifier = "0";
    std::string xOrg = "0";
    std::string yOrg = "0";
    std::string resolution = "2000";
    std::string sync = "80";
    std::string name;
    std::array<bool, 8> xBytes{true, true, true, true, false, false, false, false};
    std::array<bool, 8> yBytes{true, true, true, true, false, false, false, false};
    bool xSigned = true, xReverse = true, ySigned = true, yReverse = true;
    bool show = true;
    std::uint32_t colour = 0x0000FF;
    CurveSignalRef xSignal;  // database signals, or none for the byte positions
    CurveSignalRef ySignal;
};

// The database signals of a window's four slots.
using CurveSignalRefs = std::array<CurveSignalRef, 4>;

// A signal chosen in a form: the identifier and the byte positions closest to it, its scale, and
// its name where the curve has none yet. An empty offer goes back to byte positions.
void chooseSignal(YtCurveForm& form, const CurveSignalOffer& offer);
void chooseSignal(YxCurveForm& form, Axis axis, const CurveSignalOffer& offer);

// Writes the last accepted curve of a kind into the settings file beside the program.
class CurveSettingsFile {
public:
    explicit CurveSettingsFile(std::string path) : m_path(std::move(path)) {}
    void writeYt(const CurveDefinition& d) const;
    void writeYx(const XYCurveDefinition& d) const;

private:
    std::string m_path;
};

class YtCurveEditor {
public:
    YtCurveEditor(const CurveWindowRecord& record, MessageService& messages,
                  const CurveSettingsFile* settings, const CurveSignalRefs& slotSignals = {});

    bool add(const YtCurveForm& form);
    bool edit(const YtCurveForm& form);
    void remove(const std::string& name);
    [[nodiscard]] YtCurveForm formOf(int slot) const;
    // One row per defined slot: index, name, identifier, show, colour, resolution.
    [[nodiscard]] std::vector<std::array<std::string, 6>> rows() const;
    // The record as OK hands it back.
    [[nodiscard]] CurveWindowRecord accepted(bool autoMove, bool yMulti) const;
    [[nodiscard]] const CurveWindowRecord& record() const { return m_record; }
    // The slots' signals as the curves were added and edited.
    [[nodiscard]] const CurveSignalRefs& slotSignals() const { return m_signals; }

private:
    bool check(const YtCurveForm& form, bool adding, CurveDefinition& out);
    CurveWindowRecord m_record;
    CurveSignalRefs m_signals;
    MessageService& m_messages;
    const CurveSettingsFile* m_settings;
    std::uint32_t m_timeResolution;
};

class YxCurveEditor {
public:
    YxCurveEditor(const CurveWindowRecord& record, MessageService& messages,
                  const CurveSettingsFile* settings, const CurveSignalRefs& ySignals = {},
                  const CurveSignalRefs& xSignals = {});

    bool add(const YxCurveForm& form);
    bool edit(const YxCurveForm& form);
    void remove(const std::string& name);
    [[nodiscard]] YxCurveForm formOf(int slot) const;
    [[nodiscard]] std::vector<std::array<std::string, 8>> rows() const;
    [[nodiscard]] CurveWindowRecord accepted(bool xMulti, bool yMulti) const;
    [[nodiscard]] const CurveWindowRecord& record() const { return m_record; }
    [[nodiscard]] const CurveSignalRefs& ySignals() const { return m_ySignals; }
    [[nodiscard]] const CurveSignalRefs& xSignals() const { return m_xSignals; }

private:
    bool check(const YxCurveForm& form, bool adding, XYCurveDefinition& out);
    CurveWindowRecord m_record;
    CurveSignalRefs m_ySignals;
    CurveSignalRefs m_xSignals;
    MessageService& m_messages;
    const CurveSettingsFile* m_settings;
};

// "New Curve Window": the default names and the record OK builds.
[[nodiscard]] std::string defaultWindowName(ChartKind kind, int counter);
[[nodiscard]] CurveWindowRecord newWindowRecord(ChartKind kind, const std::string& name);

// A window name a user typed for a new or renamed window: shows the message and returns false when
// it is empty or names another window already.
[[nodiscard]] bool acceptWindowName(const std::string& name, const std::vector<std::string>& taken,
                                    MessageService& messages);
