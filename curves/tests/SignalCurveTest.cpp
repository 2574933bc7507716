// Curves whose values come from a database signal: what the scans sample, what the charts draw
// and label, what the export writes, and how the dialogs' logic keeps a slot's signal.

#include "CurveTestFrames.h"
#include "curves/CurveCsvExport.h"
#include "curves/CurveDialogLogic.h"
#include "curves/CurveScan.h"
#include "curves/YtChart.h"
#include "curves/YxChart.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace cf = curve_flags;

namespace {

// A signal that a frame carries when its first byte is 1: the reading is the next two bytes,
// little-endian and signed, and stands for reading × 0.5 - 10.
class TestSignal final : public CurveSignal {
public:
    bool reading(const CapturedFrame& f, std::int64_t& out) const override {
        if (f.length < 3 || f.data[0] != 1) return false;
        out = static_cast<std::int16_t>(f.data[1] | f.data[2] << 8);
        return true;
    }
    double physical(std::int64_t reading) const override {
        return static_cast<double>(reading) * 0.5 - 10;
    }
    std::string text(std::int64_t reading) const override {
        char t[32];
        std::snprintf(t, sizeof t, "%g", physical(reading));
        return t;
    }
};

CurveDefinition signalCurve() {
    CurveDefinition d;
    d.flags = cf::kDefined | cf::kShow | 0x06 | cf::kYSigned | cf::kYReverse;  // D1, D2
    d.identifier = 0x181;
    d.name.set("speed");
    d.resolution = 10;
    return d;
}

}  // namespace

TEST(SignalCurve, AYtCurveSamplesOnlyFramesThatCarryItsSignalAndLabelsPhysicalValues) {
    FrameStore store;
    store.append(frameOf(0x181, {1, 0x64, 0x00}, 10));  // 100
    store.append(frameOf(0x181, {2, 0x50, 0x00}, 20));  // another multiplexed value: not ours
    store.append(frameOf(0x181, {1, 0x9C, 0xFF}, 30));  // -100
    store.append(frameOf(0x200, {1, 0x01, 0x00}, 40));  // another identifier
    const auto signal = std::make_shared<TestSignal>();
    YtScan scan;
    CurveWindowRecord window;
    window.flags = window_flags::kYt;
    window.yt = {signalCurve(), signalCurve(), {}, {}};
    window.yt[1].name.set("bytes");
    scan.setDefinitions(window.yt);
    scan.setSignals({signal, nullptr, nullptr, nullptr});
    ASSERT_TRUE(scan.scan(store, ApplicationFlags{}));
    const YtSlot& s = scan.slot(0);
    ASSERT_EQ(s.samples.size(), 2u);
    EXPECT_EQ(s.samples[1].frame, 2u);
    EXPECT_EQ(s.statistics.minimum, -100);
    EXPECT_EQ(s.statistics.maximum, 100);
    // The same bytes without the signal read every frame of the identifier.
    EXPECT_EQ(scan.slot(1).samples.size(), 3u);

    YtChart chart;
    chart.record = window;
    chart.slotSignals = {signal, nullptr, nullptr, nullptr};
    chart.record.yt[0].originSigned = -100;
    chart.record.yt[1].originSigned = -100;
    chart.layout(600, 560);
    EXPECT_EQ(chart.valueLabel(0, 0), "-60");   // -100 × 0.5 - 10
    EXPECT_EQ(chart.valueLabel(0, 20), "40");   // 100 × 0.5 - 10
    EXPECT_EQ(chart.valueLabel(1, 20), "100");  // the byte positions' own reading
    const std::vector<DevicePoint> line = chart.polyline(s, 0, store, false);
    ASSERT_EQ(line.size(), 2u);
    EXPECT_EQ(line[0].y, chart.deviceY(0, -100));
    EXPECT_EQ(line[1].y, chart.deviceY(0, 100));

    // The export gives the physical values, and only for the frames that carry the signal.
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(writeCurveValues(out, window, store, {signal, nullptr, nullptr, nullptr}), 5u);
    std::rewind(out);
    char text[512] = {};
    text[std::fread(text, 1, sizeof text - 1, out)] = 0;
    std::fclose(out);
    EXPECT_STREQ(text,
                 "frame,time_ms,curve,value\n0,10,speed,40\n0,10,bytes,100\n1,20,bytes,80\n"
                 "2,30,speed,-60\n2,30,bytes,-100\n");
}

TEST(SignalCurve, AYxAxisOfASignalPairsOnlyFramesThatCarryIt) {
    FrameStore store;
    store.append(frameOf(0x80, {}));           // 0: arms
    store.append(frameOf(0x181, {1, 10, 0}));  // 1: X = 10
    store.append(frameOf(0x181, {2, 99, 0}));  // 2: not the signal: X stays frame 1
    store.append(frameOf(0x281, {7}));         // 3: Y by bytes
    store.append(frameOf(0x80, {}));           // 4: pair (1, 3)
    XYCurveDefinition d;
    d.flags = cf::kDefined | 0x01 | (0x06 << 12) | cf::kXSigned | cf::kXReverse;
    d.xIdentifier = 0x181;
    d.yIdentifier = 0x281;
    d.syncIdentifier = 0x80;
    d.resolution = 1;
    const auto signal = std::make_shared<TestSignal>();
    YxScan scan;
    scan.setDefinitions({d, {}, {}, {}});
    scan.setSignals({}, {signal, nullptr, nullptr, nullptr});
    ASSERT_TRUE(scan.scan(store, ApplicationFlags{}));
    const YxSlot& s = scan.slot(0);
    ASSERT_EQ(s.samples.size(), 1u);
    EXPECT_EQ(s.samples[0].xFrame, 1u);
    EXPECT_EQ(s.points[0].x, 10);
    EXPECT_EQ(s.points[0].y, 7);
    YxChart chart;
    chart.record.flags = window_flags::kYx;
    chart.record.yx = {d, {}, {}, {}};
    chart.xSignals = {signal, nullptr, nullptr, nullptr};
    EXPECT_EQ(chart.valueLabel(0, Axis::kX, 4), "-8");  // 4 × 0.5 - 10
    EXPECT_EQ(chart.valueLabel(0, Axis::kY, 4), "4");
}

TEST(SignalCurve, ReadingsAreDrawnAsTheirBytePositionsWouldBe) {
    const std::uint32_t signedTwo = 0x03 | cf::kYSigned;
    const std::uint32_t unsignedFour = 0x0F;
    EXPECT_EQ(drawingOfReading(signedTwo, Axis::kY, -5), -5);
    EXPECT_EQ(drawingOfReading(signedTwo, Axis::kY, std::int64_t{1} << 40), INT32_MAX);
    EXPECT_EQ(drawingOfReading(unsignedFour, Axis::kY, 0xFFFFFFFE), 0x7FFFFFFF);  // halved
    EXPECT_EQ(drawingOfReading(unsignedFour, Axis::kY, -3), 0);
    EXPECT_EQ(drawingOfReading(0x03, Axis::kY, 70000), 70000);
}

TEST(SignalCurve, TheEditorKeepsEachSlotsSignalAndAChosenSignalFillsTheForm) {
    MessageRecorder messages;
    CurveWindowRecord window;
    window.flags = window_flags::kYt;
    YtCurveEditor editor(window, messages, nullptr);
    CurveSignalOffer offer;
    offer.ref = {0x185, false, "Drive_TPDO1", "DriveSpeed"};
    offer.bytes = {false, false, false, false, true, true, false, false};
    offer.isSigned = false;
    offer.reverse = true;
    offer.origin = "0";
    offer.resolution = "100";
    YtCurveForm form;
    chooseSignal(form, offer);
    EXPECT_EQ(form.identifier, "185");
    EXPECT_EQ(form.name, "DriveSpeed");
    EXPECT_EQ(form.resolution, "100");
    // Another signal renames a curve named after the one it had, not one the user named.
    CurveSignalOffer torque = offer;
    torque.ref.signal = "DriveTorque";
    YtCurveForm other = form;
    chooseSignal(other, torque);
    EXPECT_EQ(other.name, "DriveTorque");
    other.name = "mine";
    chooseSignal(other, offer);
    EXPECT_EQ(other.name, "mine");
    ASSERT_TRUE(editor.add(form));
    YtCurveForm bytes;
    bytes.name = "raw";
    ASSERT_TRUE(editor.add(bytes));
    EXPECT_EQ(editor.slotSignals()[0], offer.ref);
    EXPECT_TRUE(editor.slotSignals()[1].empty());
    EXPECT_EQ(editor.formOf(0).signal, offer.ref);
    const CurveDefinition& d = editor.record().yt[0];
    EXPECT_EQ(d.identifier, 0x185u);
    EXPECT_EQ(d.flags & 0xFF, 0x30u);
    EXPECT_EQ(d.flags & cf::kYSigned, 0u);

    // Back to byte positions by an edit; a removed curve's signal goes with it.
    YtCurveForm edited = editor.formOf(0);
    chooseSignal(edited, CurveSignalOffer{});
    ASSERT_TRUE(editor.edit(edited));
    EXPECT_TRUE(editor.slotSignals()[0].empty());
    ASSERT_TRUE(editor.edit(form));
    editor.remove("DriveSpeed");
    EXPECT_TRUE(editor.slotSignals()[0].empty());

    YxCurveEditor yx(CurveWindowRecord{}, messages, nullptr);
    YxCurveForm pair;
    chooseSignal(pair, Axis::kX, offer);
    EXPECT_EQ(pair.xIdentifier, "185");
    EXPECT_EQ(pair.yIdentifier, "0");
    ASSERT_TRUE(yx.add(pair));
    EXPECT_EQ(yx.xSignals()[0], offer.ref);
    EXPECT_TRUE(yx.ySignals()[0].empty());
}
