#include "curves/CurveDialogLogic.h"
#include "curves/CurveFlags.h"
#include "platform/ProfileFile.h"
#include "resources/CurveStrings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace cf = curve_flags;

TEST(TypedNumbers, ReadCharacterByCharacter) {
    EXPECT_EQ(readTypedNumber("", 10), 0u);
    EXPECT_EQ(readTypedNumber("-", 10), 0u);
    EXPECT_EQ(static_cast<std::int32_t>(readTypedNumber("1-2", 10)), -102);
    EXPECT_EQ(static_cast<std::int32_t>(readTypedNumber("-250", 10)), -250);
    EXPECT_EQ(readTypedNumber("0x7FF", 16), 0x7FFu);
    EXPECT_EQ(readTypedNumber("7G", 16), 0x70u);
    EXPECT_EQ(readTypedNumber("1a", 16), 0x1Au);
    EXPECT_EQ(readTypedNumber("1a", 10), 10u);
    // Long texts wrap as 32-bit numbers do, without overflow: 10^23 - 1 modulo 2^32.
    EXPECT_EQ(readTypedNumber("99999999999999999999999", 10), 0xF67FFFFFu);
    EXPECT_EQ(readTypedNumber("100000000FF", 16), 0xFFu);
    EXPECT_TRUE(isDecimalText("-12"));
    EXPECT_FALSE(isDecimalText("12a"));
}

namespace {

CurveWindowRecord ytWindow() {
    return newWindowRecord(ChartKind::kYt, "yt - 0");
}

YtCurveForm ytForm(const std::string& name) {
    YtCurveForm f;
    f.name = name;
    f.identifier = "181";
    return f;
}

}  // namespace

TEST(YtCurveDialog, ChecksInOrderAndStoresNothingOnFailure) {
    MessageRecorder messages;
    YtCurveEditor editor(ytWindow(), messages, nullptr);
    const CurveWindowRecord before = editor.record();
    struct Case {
        void (*spoil)(YtCurveForm&);
        std::uint32_t message;
    };
    const Case cases[] = {
        {[](YtCurveForm& f) { f.name = ""; }, strings::kNameInvalid},
        {[](YtCurveForm& f) { f.identifier = ""; }, strings::kXIdentifierInvalid},
        {[](YtCurveForm& f) { f.yOrg = ""; }, strings::kYMinimumInvalid},
        {[](YtCurveForm& f) { f.yOrg = "1.5"; }, strings::kYOrgInvalid},
        {[](YtCurveForm& f) { f.resolution = ""; }, strings::kResolutionBlank},
        {[](YtCurveForm& f) { f.timeResolution = ""; }, strings::kTimescopeInvalid},
        {[](YtCurveForm& f) { f.bytes.fill(true); }, strings::kNoMoreThanFourBytes},
        // Two faults at once: the earlier check speaks.
        {[](YtCurveForm& f) {
             f.identifier = "";
             f.resolution = "";
         },
         strings::kXIdentifierInvalid},
    };
    for (const Case& c : cases) {
        YtCurveForm f = ytForm("speed");
        c.spoil(f);
        messages.clear();
        EXPECT_FALSE(editor.add(f));
        ASSERT_EQ(messages.shown().size(), 1u);
        EXPECT_EQ(messages.shown()[0].stringId, c.message);
        EXPECT_EQ(editor.record(), before);
    }
    // A lone minus and a resolution of 0 pass.
    YtCurveForm f = ytForm("speed");
    f.yOrg = "-";
    f.resolution = "0";
    EXPECT_TRUE(editor.add(f));
    EXPECT_EQ(editor.record().yt[0].originSigned, 0);
    EXPECT_EQ(editor.record().yt[0].resolution, 0);
}

TEST(YtCurveDialog, SlotsFillFirstFreeAndHoldAtMostFour) {
    MessageRecorder messages;
    YtCurveEditor editor(ytWindow(), messages, nullptr);
    for (const char* name : {"a", "b", "c", "d"}) ASSERT_TRUE(editor.add(ytForm(name)));
    EXPECT_FALSE(editor.add(ytForm("e")));
    EXPECT_EQ(messages.shown().back().stringId, strings::kMaxFourCurves);
    editor.remove("b");
    EXPECT_EQ(editor.record().yt[1].flags & cf::kDefined, 0u);
    EXPECT_EQ(editor.record().yt[1].name.text(), "");
    ASSERT_TRUE(editor.add(ytForm("e")));  // the hole is filled first
    EXPECT_EQ(editor.record().yt[1].name.text(), "e");
    EXPECT_FALSE(editor.add(ytForm("f")));
    EXPECT_EQ(messages.shown().back().stringId, strings::kMaxFourCurves);
    // Same name on Add.
    editor.remove("a");
    EXPECT_FALSE(editor.add(ytForm("c")));
    EXPECT_EQ(messages.shown().back().stringId, strings::kSameCurveName);
    const auto rows = editor.rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "0");
    EXPECT_EQ(rows[0][1], "e");
    EXPECT_EQ(rows[0][2], "0X181");
    EXPECT_EQ(rows[0][3], "Enable");
    EXPECT_EQ(rows[0][4], "0XFF8080");
    EXPECT_EQ(rows[0][5], "4000");
}

TEST(YtCurveDialog, DefinitionFlagsEditAndOk) {
    MessageRecorder messages;
    YtCurveEditor editor(ytWindow(), messages, nullptr);
    YtCurveForm f = ytForm("temperature with a name far too long to fit");
    f.yOrg = "-20";
    f.timeResolution = "100";
    ASSERT_TRUE(editor.add(f));
    const CurveDefinition& d = editor.record().yt[0];
    EXPECT_EQ(d.flags,
              0x0Fu | cf::kYSigned | cf::kYReverse | cf::kShow | cf::kDefined | cf::kAccepted);
    EXPECT_EQ(d.name.text(), "temperature with a name far too");  // 31 characters
    EXPECT_EQ(d.identifier, 0x181u);
    EXPECT_EQ(d.originSigned, -20);
    EXPECT_EQ(d.originUnsigned, static_cast<std::uint32_t>(-20));
    // Edit finds the curve by name and keeps only the origin of its reading.
    f.name = d.name.text();
    f.isSigned = false;
    f.yOrg = "7";
    ASSERT_TRUE(editor.edit(f));
    EXPECT_EQ(editor.record().yt[0].originUnsigned, 7u);
    EXPECT_EQ(editor.record().yt[0].originSigned, 0);
    // Edit with a name no slot has does nothing.
    const CurveWindowRecord before = editor.record();
    YtCurveForm nobody = ytForm("nobody");
    nobody.timeResolution = "100";
    EXPECT_FALSE(editor.edit(nobody));
    EXPECT_EQ(editor.record(), before);
    // OK stores the time resolution read by the last check.
    const CurveWindowRecord ok = editor.accepted(false, false);
    EXPECT_EQ(ok.timeResolution, 100u);
    EXPECT_EQ(ok.flags & (window_flags::kAutoMove | window_flags::kYMulti), 0u);
    EXPECT_NE(ok.flags & window_flags::kYt, 0u);
}

TEST(YtCurveDialog, OkWithoutAddKeepsTheTimeResolution) {
    MessageRecorder messages;
    CurveWindowRecord r = ytWindow();
    r.timeResolution = 250;
    YtCurveEditor editor(r, messages, nullptr);
    EXPECT_EQ(editor.accepted(true, true).timeResolution, 250u);
}

TEST(YxCurveDialog, ChecksInOrderAndBuildsTheDefinition) {
    MessageRecorder messages;
    YxCurveEditor editor(newWindowRecord(ChartKind::kYx, "yx - 1"), messages, nullptr);
    struct Case {
        void (*spoil)(YxCurveForm&);
        std::uint32_t message;
    };
    const Case cases[] = {
        {[](YxCurveForm& f) { f.name = ""; }, strings::kNameInvalid},
        {[](YxCurveForm& f) { f.xIdentifier = ""; }, strings::kXIdentifierInvalid},
        {[](YxCurveForm& f) { f.yIdentifier = ""; }, strings::kYIdentifierInvalid},
        {[](YxCurveForm& f) { f.xBytes.fill(true); }, strings::kNoMoreThanFourBytes},
        {[](YxCurveForm& f) { f.xOrg = ""; }, strings::kXMinimumInvalid},
        {[](YxCurveForm& f) { f.xOrg.assign(1, 'x'); }, strings::kXOrgInvalid},
        {[](YxCurveForm& f) { f.yOrg = ""; }, strings::kYMinimumInvalid},
        {[](YxCurveForm& f) { f.yOrg = "+1"; }, strings::kYOrgInvalid},
        {[](YxCurveForm& f) { f.resolution = ""; }, strings::kResolutionBlank},
        {[](YxCurveForm& f) { f.sync = ""; }, strings::kSyncInvalid},
    };
    for (const Case& c : cases) {
        YxCurveForm f;
        f.name = "pair";
        c.spoil(f);
        messages.clear();
        EXPECT_FALSE(editor.add(f));
        ASSERT_EQ(messages.shown().size(), 1u);
        EXPECT_EQ(messages.shown()[0].stringId, c.message);
    }
    YxCurveForm f;
    f.name = "pair";
    f.xIdentifier = "181";
    f.yIdentifier = "281";
    f.xOrg = "-5";
    f.yOrg = "6";
    f.ySigned = false;
    ASSERT_TRUE(editor.add(f));
    const XYCurveDefinition& d = editor.record().yx[0];
    EXPECT_EQ(d.flags, 0x0Fu | cf::kYReverse | (0x0Fu << 12) | cf::kXSigned | cf::kXReverse |
                           cf::kShow | cf::kDefined | cf::kXYMarkLow | cf::kXYMarkHigh |
                           cf::kAccepted);
    EXPECT_EQ(d.syncIdentifier, 0x80u);
    EXPECT_EQ(d.xOriginSigned, -5);
    EXPECT_EQ(d.yOriginUnsigned, 6u);
    EXPECT_EQ(editor.rows()[0][2], "0X80");
    EXPECT_EQ(editor.accepted(false, true).flags & (window_flags::kXMulti | window_flags::kYMulti),
              window_flags::kYMulti);
}

TEST(CurveDialogs, AcceptedCurvesLandInTheSettingsFile) {
    char pattern[] = "/tmp/curves-ini-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/Configure.ini";
    const CurveSettingsFile settings(path);
    MessageRecorder messages;
    YtCurveEditor yt(ytWindow(), messages, &settings);
    YtCurveForm f = ytForm("speed");
    f.yOrg = "-3";
    ASSERT_TRUE(yt.add(f));
    EXPECT_EQ(platform::GetPrivateProfileStringA("CurveYT", "IDN", "", 64, path), "0X181");
    EXPECT_EQ(platform::GetPrivateProfileStringA("CurveYT", "Color", "", 64, path), "0XFF8080");
    EXPECT_EQ(platform::GetPrivateProfileStringA("CurveYT", "WinOrgY", "", 64, path), "-3");
    EXPECT_EQ(platform::GetPrivateProfileStringA("CurveYT", "YFLAGS", "", 64, path),
              std::to_string(static_cast<std::int32_t>(yt.record().yt[0].flags)));
    YxCurveEditor yx(newWindowRecord(ChartKind::kYx, "p"), messages, &settings);
    YxCurveForm g;
    g.name = "pair";
    g.yIdentifier = "2A";
    ASSERT_TRUE(yx.add(g));
    EXPECT_EQ(platform::GetPrivateProfileStringA("CurveYX", "YIDN", "", 64, path), "0X2A");
    EXPECT_EQ(platform::GetPrivateProfileStringA("CurveYX", "SyncSignal", "", 64, path), "0X80");
    EXPECT_EQ(platform::GetPrivateProfileStringA("CurveYX", "X WinOrg", "", 64, path), "0");
    std::filesystem::remove_all(pattern);
}

TEST(CurveWindows, NewRecordsDefaultNamesAndRefusedNames) {
    EXPECT_EQ(defaultWindowName(ChartKind::kYt, 0), "yt - 0");
    EXPECT_EQ(defaultWindowName(ChartKind::kYx, 3), "yx - 3");
    const CurveWindowRecord yt = newWindowRecord(ChartKind::kYt, "a");
    EXPECT_EQ(yt.flags, 0x8Au | 0x20u);
    EXPECT_EQ(yt.timeResolution, 40u);
    EXPECT_EQ(newWindowRecord(ChartKind::kYx, "b").flags, 0x0Cu | 0x60u);
    MessageRecorder messages;
    EXPECT_FALSE(acceptWindowName("", {}, messages));
    EXPECT_EQ(messages.shown().back().stringId, strings::kMustInputName);
    EXPECT_FALSE(acceptWindowName("dl", {"dl", "yt - 0"}, messages));
    EXPECT_EQ(messages.shown().back().stringId, strings::kInputAnotherName);
    EXPECT_TRUE(acceptWindowName("yt - 1", {"dl", "yt - 0"}, messages));
}
