#include "curves/CurveDialogs.h"
#include "curves/CurveFlags.h"
#include "resources/CurveStrings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLayout>
#include <QTableWidget>

namespace {

int leftOf(const ByteBoxes& boxes, int byte) {
    return boxes.box(byte)->x();
}

}  // namespace

TEST(CurveDialogWidgets, ReverseMirrorsTheByteBoxes) {
    ByteBoxes boxes;
    boxes.resize(400, 30);
    boxes.show();
    QApplication::processEvents();
    EXPECT_LT(leftOf(boxes, 0), leftOf(boxes, 7));
    boxes.setMirrored(true);
    boxes.layout()->activate();
    EXPECT_GT(leftOf(boxes, 0), leftOf(boxes, 7));
    boxes.setMirrored(false);
    boxes.layout()->activate();
    EXPECT_LT(leftOf(boxes, 0), leftOf(boxes, 7));
}

TEST(CurveDialogWidgets, YtDialogStartsFromTheTemplateAndAddsToTheList) {
    MessageRecorder messages;
    CurveWindowRecord r = newWindowRecord(ChartKind::kYt, "yt - 0");
    r.timeResolution = 25;
    YtCurveDialog dialog(r, messages, nullptr);
    YtCurveForm f = dialog.form();
    EXPECT_EQ(f.resolution, "4000");
    EXPECT_EQ(f.timeResolution, "25");
    EXPECT_EQ(f.colour, 0xFF8080u);
    EXPECT_TRUE(f.isSigned && f.reverse && f.show);
    EXPECT_EQ(f.bytes, (std::array<bool, 8>{true, true, true, true, false, false, false, false}));
    f.name = std::string(40, 'n');
    f.identifier = "181";
    dialog.setForm(f);
    EXPECT_EQ(dialog.form().name.size(), 31u);  // the edit holds 31 characters
    dialog.add();
    EXPECT_TRUE(messages.shown().empty());
    ASSERT_EQ(dialog.list()->rowCount(), 1);
    EXPECT_EQ(dialog.list()->item(0, 2)->text(), "0X181");
    dialog.add();  // same name
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].stringId, strings::kSameCurveName);
    const CurveWindowRecord out = dialog.result();
    EXPECT_NE(out.yt[0].flags & curve_flags::kDefined, 0u);
    EXPECT_NE(out.flags & window_flags::kAutoMove, 0u);
}

TEST(CurveDialogWidgets, NewWindowDialogNamesByType) {
    NewCurveWindowDialog dialog(ChartKind::kYt, 4);
    EXPECT_EQ(dialog.kind(), ChartKind::kYt);
    EXPECT_EQ(dialog.name(), "yt - 4");
    NewCurveWindowDialog yx(ChartKind::kYx, 5);
    EXPECT_EQ(yx.name(), "yx - 5");
    EXPECT_EQ(yx.kind(), ChartKind::kYx);
}

// The application lives exactly as long as the tests: one destroyed at exit outlives Qt's own.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
