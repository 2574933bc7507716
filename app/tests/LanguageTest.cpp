// Language choice, the language menu, and the help files.

#include "app/Help.h"
#include "app/LanguageManager.h"
#include "filters/CFilterCanDlg.h"
#include "filters/CFilterCanOpenDlg.h"
#include "filters/CFilterDeviceNetDlg.h"
#include "protocol/DeviceNetReading.h"
#include "resources/Menus.h"
#include "resources/StringTable.h"
#include "resources/UiText.h"
#include "views/TextExport.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QWidget>

#include <functional>
#include <map>
#include <set>

namespace {

// Languages as the test says; the libraries are the real ones beside the test program, but only
// those the test lists are there.
class ScriptedLanguages final : public LanguageEnvironment {
public:
    LANGID settingLanguageId() override { return setting; }
    void writeSettingLanguageId(LANGID id) override { setting = id; }
    LANGID userUILanguage() override { return userUi; }
    LANGID systemUILanguage() override { return systemUi; }
    LANGID userDefaultLangID() override { return userDefault; }
    LANGID systemDefaultLangID() override { return systemDefault; }
    std::vector<std::string> satelliteFiles() override { return files; }
    std::unique_ptr<platform::ResourceLibrary> loadLibrary(const std::string& name) override {
        tried.push_back(name);
        if (std::find(files.begin(), files.end(), name) == files.end()) return nullptr;
        return platform::ResourceLibrary::load(
            (QCoreApplication::applicationDirPath() + "/").toStdString() + name);
    }

    LANGID setting = 0, userUi = 0, systemUi = 0, userDefault = 0, systemDefault = 0;
    std::vector<std::string> files;
    std::vector<std::string> tried;
};

}  // namespace

TEST(LanguageManager, ASublanguageFallsBackToItsPrimaryLanguageThenToTheDefaultOne) {
    ScriptedLanguages env;
    env.setting = 0x0C07;  // German (Austria): sublanguage 3, no library anywhere
    LanguageManager manager(env);
    manager.chooseLanguage();
    EXPECT_EQ(manager.attempts(), (std::vector<LANGID>{0x0C07, 0x0007, 0x0407, 0x0409}));
    EXPECT_EQ(manager.current(), 0x0409);
    EXPECT_EQ(env.tried, (std::vector<std::string>{"KorvaneDEU.so", "KorvaneDEU.so"}));
}

TEST(LanguageManager, SublanguageOneFallsBackOnlyToTheNeutralOne) {
    ScriptedLanguages env;
    env.userUi = 0x0407;
    env.systemDefault = 0x040C;
    LanguageManager manager(env);
    manager.chooseLanguage();
    EXPECT_EQ(manager.attempts(), (std::vector<LANGID>{0x0407, 0x0007, 0x040C, 0x000C, 0x0409}));
}

TEST(LanguageManager, ALoadedLibraryReplacesStringsAndMenusUntilItIsUnloaded) {
    ScriptedLanguages env;
    env.files = {"KorvaneCHS.so"};
    env.systemUi = 0x0804;
    {
        LanguageManager manager(env);
        manager.chooseLanguage();
        ASSERT_EQ(manager.current(), 0x0804);
        EXPECT_EQ(strings::loadString(strings::kPleaseRestart),
                  "\u8bf7\u91cd\u65b0\u542f\u52a8 %1");
        EXPECT_EQ(mainMenu(true).front().text, "\u6587\u4ef6(&F)");
        // A text the library leaves alone stays the program's own.
        EXPECT_EQ(strings::loadString(strings::kColumnCobId), "COB-ID");
    }
    EXPECT_EQ(strings::loadString(strings::kPleaseRestart), "Please restart %1");
    EXPECT_EQ(mainMenu(true).front().text, "&File");
}

TEST(LanguageManager, TheMenuListsTheOwnLanguageThenEveryLibrary) {
    ScriptedLanguages none;
    LanguageManager alone(none);
    alone.chooseLanguage();
    auto entries = alone.buildMenu();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, "English (United States) (ENU)");
    EXPECT_TRUE(entries[0].checked);

    ScriptedLanguages env;
    env.files = {"KorvaneCHS.so"};
    LanguageManager manager(env);
    manager.chooseLanguage();
    entries = manager.buildMenu();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].text, "Chinese (Simplified) (CHS)");
    EXPECT_FALSE(entries[1].checked);
    EXPECT_EQ(LanguageManager::displayName(0x7777), "30583 - ???");
}

TEST(LanguageManager, AChoiceIsStoredAndTakesEffectOnlyAfterARestart) {
    ScriptedLanguages env;
    env.files = {"KorvaneCHS.so"};
    LanguageManager manager(env);
    manager.chooseLanguage();
    manager.buildMenu();
    EXPECT_EQ(manager.selectLanguage(1, "Korvane"), "\u8bf7\u91cd\u65b0\u542f\u52a8 Korvane");
    EXPECT_EQ(env.setting, 0x0804);
    EXPECT_EQ(manager.current(), 0x0409);
    EXPECT_EQ(strings::loadString(strings::kPleaseRestart), "Please restart %1");
    EXPECT_EQ(manager.selectLanguage(5, "Korvane"), "");

    LanguageManager restarted(env);
    restarted.chooseLanguage();
    EXPECT_EQ(restarted.current(), 0x0804);
}

TEST(Help, TheFileFollowsTheLanguage) {
    EXPECT_EQ(helpFileName(0x0804), "Korvane-sc.chm");
    EXPECT_EQ(helpFileName(1028), "Korvane-tc.chm");
    EXPECT_EQ(helpFileName(0x0409), "Korvane-en.chm");
    EXPECT_EQ(helpFileName(0x0C04), "Korvane-en.chm");
    ScriptedLanguages env;
    EXPECT_EQ(helpLanguage(env), 0);
    env.userDefault = 0x0404;
    env.systemUi = 0x0407;
    EXPECT_EQ(helpLanguage(env), 0x0407);
    env.setting = 0x0804;
    EXPECT_EQ(helpLanguage(env), 0x0804);
}

TEST(Help, TheViewerOpensTheTopicAndFailsQuietlyWithoutAFile) {
    const QString dir = QCoreApplication::applicationDirPath();
    EXPECT_FALSE(HtmlHelp(dir + "/Korvane-xx.chm", QString::fromLatin1(kHelpTopic)));
    ASSERT_TRUE(HtmlHelp(dir + "/Korvane-en.chm", QString::fromLatin1(kHelpTopic)));
    ASSERT_NE(helpViewerWindow(), nullptr);
    EXPECT_EQ(helpViewerWindow()->windowTitle(), "Getting started with Korvane");
}

TEST(LocaleData, ProcessLocalesReadAsLanguageIds) {
    EXPECT_EQ(platform::languageOfLocale("zh_CN.UTF-8"), 0x0804);
    EXPECT_EQ(platform::languageOfLocale("zh-tw"), 0x0404);
    EXPECT_EQ(platform::languageOfLocale("de"), 0x0007);
    EXPECT_EQ(platform::languageOfLocale("en_AU.UTF-8"), 0x0409);
    EXPECT_EQ(platform::languageOfLocale("xx_YY"), 0);
    EXPECT_EQ(platform::abbreviation(0x0404), "CHT");
}

TEST(Help, ThePortableLocaleMeansTheEnglishHelp) {
    for (const char* locale : {"C.UTF-8", "C", "POSIX", "POSIX.UTF-8"}) {
        EXPECT_EQ(platform::languageOfLocale(locale), 0x0409) << locale;
    }
    // The test program runs with LANG=C.UTF-8 and no other locale variable.
    SystemLanguageEnvironment system(QCoreApplication::applicationDirPath().toStdString());
    EXPECT_EQ(helpLanguage(system), 0x0409);
}

TEST(Translation, TheListAndTheFilterDialogsSpeakChineseAndExportsStayEnglish) {
    ScriptedLanguages env;
    env.files = {"KorvaneCHS.so"};
    env.systemUi = 0x0804;
    LanguageManager manager(env);
    manager.chooseLanguage();
    ASSERT_EQ(manager.current(), 0x0804);
    for (int d = 0; d < kDeviceNetDescriptionCount; ++d) {
        const char* english = dataListText(static_cast<DeviceNetDescription>(d));
        if (english[0] != '-') {
            EXPECT_NE(uiText(english), english);
        }
    }
    CapturedFrame f;
    f.identifier = 0x7F0;
    EXPECT_EQ(dataListCell(f, 0, 9, ProtocolReading::kDeviceNet),
              "\u65e0\u6548\u7684 CAN \u6807\u8bc6\u7b26");
    char line[256];
    EXPECT_NE(std::string(line, exportRow(line, ProtocolReading::kDeviceNet, f, 0))
                  .find("Invalid CAN Identifiers"),
              std::string::npos);

    const QString all = QStringLiteral("\u5168\u90e8");
    MessageRecorder messages;
    AdvancedIdentifierClicks clicks;
    CFilterCanDlg can(messages, clicks);
    EXPECT_EQ(can.identifierList()->itemText(0), all);
    EXPECT_EQ(can.identifierList()->itemText(2), "\u81ea\u5b9a\u4e49");
    CFilterDeviceNetDlg deviceNet(messages);
    deviceNet.open(FilterState{});
    for (int item = 0; item < DeviceNetFilterLogic::kMethod2Items; ++item) {
        EXPECT_NE(deviceNet.method2List()->itemText(item).toStdString(),
                  DeviceNetFilterLogic::namedMessage(item).text);
    }
    // The word stands for any MAC ID as "ALL" does: a character typed after it is refused with one
    // message, a number replaces it.
    QComboBox* source = deviceNet.sourceList();
    EXPECT_EQ(source->currentText(), all);
    source->setEditText(all + "5");
    EXPECT_EQ(source->currentText(), all);
    source->setEditText(QStringLiteral("1F"));
    EXPECT_EQ(source->currentText(), "1F");
    EXPECT_EQ(messages.shown().size(), 1u);
    bool hex = true;
    CFilterCanOpenDlg canOpen(messages, hex);
    canOpen.open(FilterState{});
    EXPECT_EQ(canOpen.cobIdList()->currentText(), all);
    EXPECT_EQ(canOpen.functionCodeList()->itemText(0), all);
}

TEST(Translation, TheChineseLibraryHasEveryTextAUserSees) {
    std::map<std::uint32_t, std::string> english;
    for (const std::uint32_t id : strings::ids()) english[id] = strings::loadString(id);
    std::vector<std::string> menuTexts;
    const std::function<void(const std::vector<MenuItem>&)> collect =
        [&](const std::vector<MenuItem>& items) {
            for (const MenuItem& i : items) {
                if (!i.separator()) menuTexts.push_back(i.text);
                collect(i.items);
            }
        };
    collect(mainMenu(true));
    for (unsigned resource : {199u, 201u, 203u, 209u, 211u}) collect(popupMenu(resource).items);

    ScriptedLanguages env;
    env.files = {"KorvaneCHS.so"};
    env.systemUi = 0x0804;
    LanguageManager manager(env);
    manager.chooseLanguage();
    ASSERT_EQ(manager.current(), 0x0804);
    // Names, and the fixed texts of exported and printed files, stay as they are.
    const std::set<std::uint32_t> sameInEveryLanguage = {
        strings::kProgramName, strings::kColumnCobId, 6004, 6005, 6006, 7003, 7004, 7005, 7006,
        7007, 7008, 7009, 7010, 7011};
    for (const auto& [id, text] : english) {
        if (sameInEveryLanguage.count(id) != 0) continue;
        EXPECT_NE(strings::loadString(id), text) << id << " " << text;
    }
    const std::set<std::string> names = {"C&AN\tCtrl+C", "&DeviceNet\tCtrl+D",
                                         "CANo&pen\tCtrl+P"};
    for (const std::string& text : menuTexts) {
        if (names.count(text) != 0) continue;
        EXPECT_NE(menuText(0, text.c_str()), text) << text;
    }
    for (const char* label :
         {"Monitor ACK mode", "Monitor Non-ACK mode", "Standard", "Extend", "Run", "Stop",
          "Lost frames:", "Toolbar", "Close", "All Files (*.*)", "Korvane Text Files (*.txt)"}) {
        EXPECT_NE(uiText(label), label) << label;
    }
}

TEST(Help, TheChinesePageIsAsCompleteAsTheEnglishOne) {
    const auto read = [](const char* folder) {
        QFile file(QCoreApplication::applicationDirPath() + "/" + folder + "/14.html");
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << folder;
        return QString::fromUtf8(file.readAll());
    };
    const QString english = read("Korvane-en.chm");
    const QString chinese = read("Korvane-sc.chm");
    for (const char* tag : {"<h2>", "<p>", "<li>", "<code>"}) {
        EXPECT_EQ(chinese.count(QLatin1String(tag)), english.count(QLatin1String(tag))) << tag;
    }
    // Each command the English page names is named on the Chinese one with its keys.
    for (const char* keys : {"Ctrl+N", "Ctrl+E", "Ctrl+F2", "Ctrl+F3", "Ctrl+Delete", "Ctrl+C",
                             "Ctrl+D", "Ctrl+P", "Ctrl+F", "Ctrl+S", "Ctrl+Ins", "End"}) {
        EXPECT_TRUE(english.contains(QLatin1String(keys))) << keys;
        EXPECT_TRUE(chinese.contains(QLatin1String(keys))) << keys;
    }
}
