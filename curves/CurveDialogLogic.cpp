#include "curves/CurveDialogLogic.h"

#include "curves/CurveFlags.h"
#include "platform/ProfileFile.h"
#include "resources/CurveStrings.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <cstdio>

namespace cf = curve_flags;

namespace {

std::string format(const char* f, unsigned v) {
    char text[32];
    std::snprintf(text, sizeof text, f, v);
    return text;
}

std::string decimal(std::int64_t v) {
    return std::to_string(v);
}

std::uint32_t byteBits(const std::array<bool, 8>& bytes) {
    std::uint32_t bits = 0;
    for (unsigned i = 0; i < 8; ++i) bits |= bytes[i] ? 1u << i : 0;
    return bits;
}

int tickCount(const std::array<bool, 8>& bytes) {
    return static_cast<int>(std::count(bytes.begin(), bytes.end(), true));
}

std::array<bool, 8> bytesOf(std::uint32_t bits) {
    std::array<bool, 8> b{};
    for (unsigned i = 0; i < 8; ++i) b[i] = (bits & (1u << i)) != 0;
    return b;
}

std::string limitName(const std::string& name) {
    return name.substr(0, kMaxNameLength);
}

template <typename Slots>
int slotNamed(const Slots& slots, const std::string& name) {
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if ((slots[i].flags & cf::kDefined) != 0 && slots[i].name.text() == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

template <typename Slots>
int definedCount(const Slots& slots) {
    return static_cast<int>(std::count_if(
        slots.begin(), slots.end(), [](const auto& d) { return (d.flags & cf::kDefined) != 0; }));
}

template <typename Slots>
int firstFree(const Slots& slots) {
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if ((slots[i].flags & cf::kDefined) == 0) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

std::uint32_t readTypedNumber(const std::string& text, unsigned base) {
    std::uint32_t value = 0;
    bool negative = false;
    for (const char c : text) {
        value *= base;
        unsigned digit = base;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else if (c == '-')
            negative = true;
        if (digit < base) value += digit;
    }
    return negative ? 0u - value : value;
}

bool isDecimalText(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
}

void CurveSettingsFile::writeYt(const CurveDefinition& d) const {
    const char* s = "CurveYT";
    platform::WritePrivateProfileStringA(s, "Name", d.name.text(), m_path);
    platform::WritePrivateProfileStringA(s, "Color", format("0X%06X", d.colour), m_path);
    platform::WritePrivateProfileStringA(s, "Resolution", decimal(d.resolution), m_path);
    platform::WritePrivateProfileStringA(s, "IDN", format("0X%X", d.identifier), m_path);
    platform::WritePrivateProfileStringA(s, "WinOrgY", decimal(d.originSigned), m_path);
    platform::WritePrivateProfileStringA(s, "YFLAGS", decimal(static_cast<std::int32_t>(d.flags)),
                                         m_path);
}

void CurveSettingsFile::writeYx(const XYCurveDefinition& d) const {
    const char* s = "CurveYX";
    platform::WritePrivateProfileStringA(s, "Name", d.name.text(), m_path);
    platform::WritePrivateProfileStringA(s, "Color", format("0X%06X", d.colour), m_path);
    platform::WritePrivateProfileStringA(s, "Resolution", decimal(d.resolution), m_path);
    platform::WritePrivateProfileStringA(s, "SyncSignal", format("0X%X", d.syncIdentifier), m_path);
    platform::WritePrivateProfileStringA(s, "XIDN", format("0X%X", d.xIdentifier), m_path);
    platform::WritePrivateProfileStringA(s, "X WinOrg", decimal(d.xOriginSigned), m_path);
    platform::WritePrivateProfileStringA(s, "YIDN", format("0X%X", d.yIdentifier), m_path);
    platform::WritePrivateProfileStringA(s, "Y WinOrg", decimal(d.yOriginSigned), m_path);
}

void chooseSignal(YtCurveForm& form, const CurveSignalOffer& offer) {
    // A curve named after the signal it had takes the new one's name.
    const bool named = form.name.empty() || form.name == limitName(form.signal.signal);
    form.signal = offer.ref;
    if (offer.ref.empty()) return;
    form.identifier = format("%X", offer.ref.identifier);
    form.bytes = offer.bytes;
    form.isSigned = offer.isSigned;
    form.reverse = offer.reverse;
    form.yOrg = offer.origin;
    form.resolution = offer.resolution;
    if (named) form.name = limitName(offer.ref.signal);
}

void chooseSignal(YxCurveForm& form, Axis axis, const CurveSignalOffer& offer) {
    const bool x = axis == Axis::kX;
    const bool named =
        form.name.empty() || form.name == limitName((x ? form.xSignal : form.ySignal).signal);
    (x ? form.xSignal : form.ySignal) = offer.ref;
    if (offer.ref.empty()) return;
    (x ? form.xIdentifier : form.yIdentifier) = format("%X", offer.ref.identifier);
    (x ? form.xBytes : form.yBytes) = offer.bytes;
    (x ? form.xSigned : form.ySigned) = offer.isSigned;
    (x ? form.xReverse : form.yReverse) = offer.reverse;
    (x ? form.xOrg : form.yOrg) = offer.origin;
    // One resolution serves both axes: the Y signal's scale sets it.
    if (!x) form.resolution = offer.resolution;
    if (named) form.name = limitName(offer.ref.signal);
}

YtCurveEditor::YtCurveEditor(const CurveWindowRecord& record, MessageService& messages,
                             const CurveSettingsFile* settings, const CurveSignalRefs& slotSignals)
    : m_record(record),
      m_signals(slotSignals),
      m_messages(messages),
      m_settings(settings),
      m_timeResolution(record.timeResolution) {}

bool YtCurveEditor::check(const YtCurveForm& form, bool adding, CurveDefinition& out) {
    auto fail = [&](std::uint32_t id) {
        m_messages.showMessage(id, MessageIcon::kWarning);
        return false;
    };
    if (adding && definedCount(m_record.yt) >= 4) return fail(strings::kMaxFourCurves);
    const std::string name = limitName(form.name);
    if (name.empty()) return fail(strings::kNameInvalid);
    if (adding && slotNamed(m_record.yt, name) >= 0) return fail(strings::kSameCurveName);
    if (form.identifier.empty()) return fail(strings::kXIdentifierInvalid);
    if (form.yOrg.empty()) return fail(strings::kYMinimumInvalid);
    if (!isDecimalText(form.yOrg)) return fail(strings::kYOrgInvalid);
    if (form.resolution.empty()) return fail(strings::kResolutionBlank);
    if (form.timeResolution.empty()) return fail(strings::kTimescopeInvalid);
    m_timeResolution = readTypedNumber(form.timeResolution, 10);
    if (tickCount(form.bytes) > 4) return fail(strings::kNoMoreThanFourBytes);
    out = {};
    out.flags = byteBits(form.bytes) | (form.isSigned ? cf::kYSigned : 0) |
                (form.reverse ? cf::kYReverse : 0) | (form.show ? cf::kShow : 0) | cf::kDefined |
                cf::kAccepted;
    out.name.set(name);
    out.colour = form.colour;
    out.resolution = static_cast<std::int32_t>(readTypedNumber(form.resolution, 10));
    out.identifier = readTypedNumber(form.identifier, 16);
    const std::uint32_t origin = readTypedNumber(form.yOrg, 10);
    out.originSigned = static_cast<std::int32_t>(origin);
    out.originUnsigned = origin;
    return true;
}

bool YtCurveEditor::add(const YtCurveForm& form) {
    CurveDefinition d;
    if (!check(form, true, d)) return false;
    const auto slot = static_cast<std::size_t>(firstFree(m_record.yt));
    m_record.yt[slot] = d;
    m_signals[slot] = form.signal;
    if (m_settings != nullptr) m_settings->writeYt(d);
    return true;
}

bool YtCurveEditor::edit(const YtCurveForm& form) {
    CurveDefinition d;
    if (!check(form, false, d)) return false;
    const int slot = slotNamed(m_record.yt, d.name.text());
    if (slot < 0) return false;
    // Only the origin of the curve's reading is kept.
    if ((d.flags & cf::kYSigned) != 0)
        d.originUnsigned = 0;
    else
        d.originSigned = 0;
    m_record.yt[static_cast<std::size_t>(slot)] = d;
    m_signals[static_cast<std::size_t>(slot)] = form.signal;
    return true;
}

void YtCurveEditor::remove(const std::string& name) {
    const int slot = slotNamed(m_record.yt, limitName(name));
    if (slot < 0) return;
    CurveDefinition& d = m_record.yt[static_cast<std::size_t>(slot)];
    d.name.set("");
    d.flags &= ~cf::kDefined;
    m_signals[static_cast<std::size_t>(slot)] = {};
}

YtCurveForm YtCurveEditor::formOf(int slot) const {
    const CurveDefinition& d = m_record.yt[static_cast<std::size_t>(slot)];
    YtCurveForm f;
    f.identifier = format("%X", d.identifier);
    f.isSigned = (d.flags & cf::kYSigned) != 0;
    f.yOrg = f.isSigned ? decimal(d.originSigned) : decimal(d.originUnsigned);
    f.resolution = decimal(d.resolution);
    f.timeResolution = decimal(m_record.timeResolution);
    f.name = d.name.text();
    f.bytes = bytesOf(d.flags & 0xFF);
    f.reverse = (d.flags & cf::kYReverse) != 0;
    f.show = (d.flags & cf::kShow) != 0;
    f.colour = d.colour;
    f.signal = m_signals[static_cast<std::size_t>(slot)];
    return f;
}

std::vector<std::array<std::string, 6>> YtCurveEditor::rows() const {
    std::vector<std::array<std::string, 6>> out;
    int row = 0;
    for (const CurveDefinition& d : m_record.yt) {
        if ((d.flags & cf::kDefined) == 0) continue;
        out.push_back(
            {std::to_string(row++), d.name.text(), format("0X%X", d.identifier),
             strings::loadString((d.flags & cf::kShow) != 0 ? strings::kEnable : strings::kDisable),
             format("0X%06X", d.colour), decimal(d.resolution)});
    }
    return out;
}

CurveWindowRecord YtCurveEditor::accepted(bool autoMove, bool yMulti) const {
    CurveWindowRecord r = m_record;
    r.flags = (r.flags & ~(window_flags::kAutoMove | window_flags::kYMulti)) |
              (autoMove ? window_flags::kAutoMove : 0) | (yMulti ? window_flags::kYMulti : 0);
    r.timeResolution = m_timeResolution;
    return r;
}

YxCurveEditor::YxCurveEditor(const CurveWindowRecord& record, MessageService& messages,
                             const CurveSettingsFile* settings, const CurveSignalRefs& ySignals,
                             const CurveSignalRefs& xSignals)
    : m_record(record),
      m_ySignals(ySignals),
      m_xSignals(xSignals),
      m_messages(messages),
      m_settings(settings) {}

bool YxCurveEditor::check(const YxCurveForm& form, bool adding, XYCurveDefinition& out) {
    auto fail = [&](std::uint32_t id) {
        m_messages.showMessage(id, MessageIcon::kWarning);
        return false;
    };
    if (adding && definedCount(m_record.yx) >= 4) return fail(strings::kMaxFourCurves);
    const std::string name = limitName(form.name);
    if (name.empty()) return fail(strings::kNameInvalid);
    if (adding && slotNamed(m_record.yx, name) >= 0) return fail(strings::kSameCurveName);
    if (form.xIdentifier.empty()) return fail(strings::kXIdentifierInvalid);
    if (form.yIdentifier.empty()) return fail(strings::kYIdentifierInvalid);
    if (tickCount(form.yBytes) > 4 || tickCount(form.xBytes) > 4) {
        return fail(strings::kNoMoreThanFourBytes);
    }
    if (form.xOrg.empty()) return fail(strings::kXMinimumInvalid);
    if (!isDecimalText(form.xOrg)) return fail(strings::kXOrgInvalid);
    if (form.yOrg.empty()) return fail(strings::kYMinimumInvalid);
    if (!isDecimalText(form.yOrg)) return fail(strings::kYOrgInvalid);
    if (form.resolution.empty()) return fail(strings::kResolutionBlank);
    if (form.sync.empty()) return fail(strings::kSyncInvalid);
    out = {};
    out.flags = byteBits(form.yBytes) | (form.ySigned ? cf::kYSigned : 0) |
                (form.yReverse ? cf::kYReverse : 0) | (byteBits(form.xBytes) << 12) |
                (form.xSigned ? cf::kXSigned : 0) | (form.xReverse ? cf::kXReverse : 0) |
                (form.show ? cf::kShow : 0) | cf::kDefined | cf::kXYMarkLow | cf::kXYMarkHigh |
                cf::kAccepted;
    out.name.set(name);
    out.colour = form.colour;
    out.resolution = static_cast<std::int32_t>(readTypedNumber(form.resolution, 10));
    out.xIdentifier = readTypedNumber(form.xIdentifier, 16);
    out.yIdentifier = readTypedNumber(form.yIdentifier, 16);
    const std::uint32_t xOrg = readTypedNumber(form.xOrg, 10);
    const std::uint32_t yOrg = readTypedNumber(form.yOrg, 10);
    out.xOriginSigned = static_cast<std::int32_t>(xOrg);
    out.xOriginUnsigned = xOrg;
    out.yOriginSigned = static_cast<std::int32_t>(yOrg);
    out.yOriginUnsigned = yOrg;
    out.syncIdentifier = readTypedNumber(form.sync, 16);
    return true;
}

bool YxCurveEditor::add(const YxCurveForm& form) {
    XYCurveDefinition d;
    if (!check(form, true, d)) return false;
    const auto slot = static_cast<std::size_t>(firstFree(m_record.yx));
    m_record.yx[slot] = d;
    m_ySignals[slot] = form.ySignal;
    m_xSignals[slot] = form.xSignal;
    if (m_settings != nullptr) m_settings->writeYx(d);
    return true;
}

bool YxCurveEditor::edit(const YxCurveForm& form) {
    XYCurveDefinition d;
    if (!check(form, false, d)) return false;
    const int slot = slotNamed(m_record.yx, d.name.text());
    if (slot < 0) return false;
    m_record.yx[static_cast<std::size_t>(slot)] = d;
    m_ySignals[static_cast<std::size_t>(slot)] = form.ySignal;
    m_xSignals[static_cast<std::size_t>(slot)] = form.xSignal;
    return true;
}

void YxCurveEditor::remove(const std::string& name) {
    const int slot = slotNamed(m_record.yx, limitName(name));
    if (slot < 0) return;
    XYCurveDefinition& d = m_record.yx[static_cast<std::size_t>(slot)];
    d.name.set("");
    d.flags &= ~cf::kDefined;
    m_ySignals[static_cast<std::size_t>(slot)] = {};
    m_xSignals[static_cast<std::size_t>(slot)] = {};
}

YxCurveForm YxCurveEditor::formOf(int slot) const {
    const XYCurveDefinition& d = m_record.yx[static_cast<std::size_t>(slot)];
    YxCurveForm f;
    f.xIdentifier = format("%X", d.xIdentifier);
    f.yIdentifier = format("%X", d.yIdentifier);
    f.xSigned = (d.flags & cf::kXSigned) != 0;
    f.ySigned = (d.flags & cf::kYSigned) != 0;
    f.xOrg = f.xSigned ? decimal(d.xOriginSigned) : decimal(d.xOriginUnsigned);
    f.yOrg = f.ySigned ? decimal(d.yOriginSigned) : decimal(d.yOriginUnsigned);
    f.resolution = decimal(d.resolution);
    f.sync = format("%X", d.syncIdentifier);
    f.name = d.name.text();
    f.yBytes = bytesOf(d.flags & 0xFF);
    f.xBytes = bytesOf((d.flags >> 12) & 0xFF);
    f.xReverse = (d.flags & cf::kXReverse) != 0;
    f.yReverse = (d.flags & cf::kYReverse) != 0;
    f.show = (d.flags & cf::kShow) != 0;
    f.colour = d.colour;
    f.ySignal = m_ySignals[static_cast<std::size_t>(slot)];
    f.xSignal = m_xSignals[static_cast<std::size_t>(slot)];
    return f;
}

std::vector<std::array<std::string, 8>> YxCurveEditor::rows() const {
    std::vector<std::array<std::string, 8>> out;
    int row = 0;
    for (const XYCurveDefinition& d : m_record.yx) {
        if ((d.flags & cf::kDefined) == 0) continue;
        out.push_back(
            {std::to_string(row++), d.name.text(), format("0X%X", d.syncIdentifier),
             format("0X%X", d.xIdentifier), format("0X%X", d.yIdentifier),
             strings::loadString((d.flags & cf::kShow) != 0 ? strings::kEnable : strings::kDisable),
             format("0X%06X", d.colour), decimal(d.resolution)});
    }
    return out;
}

CurveWindowRecord YxCurveEditor::accepted(bool xMulti, bool yMulti) const {
    CurveWindowRecord r = m_record;
    r.flags = (r.flags & ~(window_flags::kXMulti | window_flags::kYMulti)) |
              (xMulti ? window_flags::kXMulti : 0) | (yMulti ? window_flags::kYMulti : 0);
    return r;
}

std::string defaultWindowName(ChartKind kind, int counter) {
    return (kind == ChartKind::kYx ? "yx - " : "yt - ") + std::to_string(counter);
}

CurveWindowRecord newWindowRecord(ChartKind kind, const std::string& name) {
    CurveWindowRecord r;
    r.flags = kind == ChartKind::kYx ? (window_flags::kYx | window_flags::kChart |
                                        window_flags::kXMulti | window_flags::kYMulti)
                                     : (window_flags::kYt | window_flags::kChart |
                                        window_flags::kAutoMove | window_flags::kYMulti);
    r.timeOrigin = 0;
    r.timeResolution = 40;
    r.name.set(limitName(name));
    return r;
}

bool acceptWindowName(const std::string& name, const std::vector<std::string>& taken,
                      MessageService& messages) {
    if (name.empty()) {
        messages.showMessage(strings::kMustInputName, MessageIcon::kWarning);
        return false;
    }
    if (std::find(taken.begin(), taken.end(), limitName(name)) != taken.end()) {
        messages.showMessage(strings::kInputAnotherName, MessageIcon::kWarning);
        return false;
    }
    return true;
}
