#include "transmit/AutoMessageSetup.h"

#include "document/CDataDoc.h"
#include "resources/CommandIds.h"
#include "transmit/tests/TransmitFakes.h"

#include <gtest/gtest.h>

namespace {

class AutoMessageTest : public ::testing::Test {
protected:
    AutoMessageSetup open(int frameType = 1) {
        return AutoMessageSetup({m_items, m_interval, m_cycle}, m_hex, frameType,
                                {m_commands, m_state, m_messages});
    }
    // An item as Add makes it from entry fields.
    static void type(AutoMessageSetup& s, const std::string& id, int size, int firstByte) {
        (void)s.typeIdentifier(id, id.size());
        s.setSize(size);
        for (int i = 0; i < size; ++i) {
            const std::string text = formatNumber(static_cast<std::uint32_t>(firstByte + i), true);
            (void)s.typeData(i, text, text.size());
        }
    }
    std::vector<std::uint32_t> shownIds() const {
        std::vector<std::uint32_t> ids;
        for (const auto& m : m_messages.shown()) ids.push_back(m.stringId);
        return ids;
    }

    std::vector<AutoMessageItem> m_items;
    std::uint32_t m_interval = 1;
    std::uint32_t m_cycle = 1;
    bool m_hex = false;
    SendingDevice m_device;
    DeviceCommands m_commands{m_device};
    CaptureState m_state;
    MessageRecorder m_messages;
};

}  // namespace

TEST_F(AutoMessageTest, OpensInHexWithTheDeviceFormatAndDefaultFields) {
    AutoMessageSetup s = open(2);
    EXPECT_TRUE(s.hex());
    EXPECT_EQ(s.formatIndex(), 1);
    EXPECT_EQ(s.identifierText(), "0");
    EXPECT_EQ(s.size(), 8);
    EXPECT_FALSE(s.remote());
    EXPECT_TRUE(s.dataEnabled(7));
    EXPECT_FALSE(s.editEnabled());
    EXPECT_FALSE(m_hex);  // the program's choice changes only when the user picks one
    s.setHex(false);
    EXPECT_FALSE(m_hex);
    s.setHex(true);
    EXPECT_TRUE(m_hex);
}

TEST_F(AutoMessageTest, AddMakesTickedItemsAndTheListShowsThemInEitherRadix) {
    AutoMessageSetup s = open(1);
    type(s, "7FF", 2, 0xA0);
    (void)s.typeData(1, "", 0);  // left empty: shown as stars
    s.add();
    s.setRemote(true);
    s.add();
    ASSERT_EQ(m_items.size(), 2u);
    // Every data edit but byte 1 held text.
    EXPECT_EQ(m_items[0].flags, 0x2u | 0x20 | 0x10 | 0x100 | (0x3FC00u & ~0x800u));
    EXPECT_EQ(m_state.pendingChanges.load(), 1u);

    auto rows = s.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].ticked);
    EXPECT_EQ(rows[0].cells, (std::array<std::string, 5>{"0", "Standard", "7FF", "2", " A0 **"}));
    EXPECT_EQ(rows[1].cells[4], "Remote Frame");
    s.setHex(false);
    EXPECT_EQ(s.rows()[0].cells[2], "2047");
    EXPECT_EQ(s.rows()[0].cells[4], " 160 **");

    // An item from a document without the entered bits shows stars.
    m_items.push_back(AutoMessageItem{});
    m_items.back().length = 1;
    EXPECT_EQ(s.rows()[2].cells, (std::array<std::string, 5>{"2", "****", "****", "1", " **"}));
}

TEST_F(AutoMessageTest, TheNinthAddIsRefused) {
    AutoMessageSetup s = open();
    for (int i = 0; i < 9; ++i) s.add();
    EXPECT_EQ(m_items.size(), 8u);
    EXPECT_EQ(shownIds(), std::vector<std::uint32_t>({5009}));
}

TEST_F(AutoMessageTest, SelectionCopiesTheItemAndDeleteClearsIt) {
    AutoMessageSetup s = open();
    type(s, "100", 1, 1);
    s.add();
    type(s, "200", 2, 2);
    s.add();
    s.select(0);
    EXPECT_TRUE(s.editEnabled());
    EXPECT_EQ(s.rowColour(0), 0xEFEFEFu);
    EXPECT_EQ(s.rowColour(1), 0xFFFFFFu);
    EXPECT_EQ(s.identifierText(), "100");
    EXPECT_EQ(s.size(), 1);

    (void)s.typeIdentifier("101", 3);
    s.edit();
    EXPECT_EQ(m_items[0].identifier, 0x101u);
    EXPECT_EQ(m_items[1].identifier, 0x200u);

    s.select(1);
    s.remove();
    ASSERT_EQ(m_items.size(), 1u);
    EXPECT_FALSE(s.editEnabled());
    // With nothing selected Edit and Delete touch nothing, even when called.
    s.edit();
    s.remove();
    EXPECT_EQ(m_items.size(), 1u);
    EXPECT_EQ(m_items[0].identifier, 0x101u);
    s.select(5);  // beside the rows
    EXPECT_FALSE(s.editEnabled());
}

TEST_F(AutoMessageTest, CheckBoxesTickAndUntick) {
    AutoMessageSetup s = open();
    s.add();
    s.toggleTick(0);
    EXPECT_EQ(m_items[0].flags & 0x10u, 0u);
    s.toggleTick(0);
    EXPECT_NE(m_items[0].flags & 0x10u, 0u);
    s.toggleTick(3);  // no such row
    EXPECT_EQ(m_items.size(), 1u);
}

TEST_F(AutoMessageTest, DownloadSendsTheTickedItemsInListOrder) {
    AutoMessageSetup s = open(2);
    for (int i = 0; i < 6; ++i) {
        type(s, formatNumber(0x1000u + static_cast<std::uint32_t>(i), true), 1, i);
        s.add();
    }
    s.toggleTick(2);
    s.setInterval(10);
    s.setCycle(300);  // beyond the spin
    EXPECT_EQ(m_interval, 10u);
    EXPECT_EQ(m_cycle, 255u);
    EXPECT_TRUE(downloadNow(s));
    ASSERT_EQ(m_device.downloads.size(), 1u);
    const auto& d = m_device.downloads[0];
    ASSERT_EQ(d.messages.size(), 5u);
    const std::uint32_t expected[] = {0x1000, 0x1001, 0x1003, 0x1004, 0x1005};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(d.messages[i].identifier, expected[i]);
        EXPECT_EQ(d.messages[i].format, 1);
        EXPECT_EQ(d.messages[i].length, 1);
    }
    EXPECT_EQ(d.messages[2].data[0], 3);
    EXPECT_EQ(d.interval, 10);
    EXPECT_EQ(d.cycle, 255);
    EXPECT_EQ(m_state.downloaded.load(), 1u);
}

TEST_F(AutoMessageTest, DownloadRefusalsKeepTheDialogOpen) {
    AutoMessageSetup s = open();
    s.setInterval(0);
    EXPECT_FALSE(downloadNow(s));
    EXPECT_TRUE(m_device.downloads.empty());
    s.setInterval(1);
    s.setCycle(0);
    EXPECT_FALSE(downloadNow(s));
    EXPECT_TRUE(m_device.downloads.empty());

    // Nothing ticked: an empty set goes to the adapter, then the message.
    s.setCycle(1);
    s.add();
    s.toggleTick(0);
    EXPECT_FALSE(downloadNow(s));
    ASSERT_EQ(m_device.downloads.size(), 1u);
    EXPECT_TRUE(m_device.downloads[0].messages.empty());
    EXPECT_EQ(m_state.downloaded.load(), 1u);

    m_state.downloaded = 0;
    m_device.accept = false;
    s.toggleTick(0);
    EXPECT_FALSE(downloadNow(s));
    EXPECT_EQ(m_state.downloaded.load(), 0u);
    EXPECT_EQ(shownIds(), std::vector<std::uint32_t>({5122, 5122, 5011, 5010}));
    EXPECT_EQ(m_messages.shown().back().icon, MessageIcon::kWarning);
}

namespace {

class AutoCommandsTest : public ::testing::Test {
protected:
    bool enabled(unsigned id) {
        CmdUI ui{id};
        EXPECT_TRUE(m_doc.OnUpdateCmdUI(ui));
        return ui.enabled;
    }
    SendingDevice m_device;
    DeviceCommands m_commands{m_device};
    FrameStore m_store;
    CaptureState m_state;
    ApplicationFlags m_flags;
    MessageRecorder m_messages;
    CDataDoc m_doc{m_device, m_store, m_state, m_flags, m_messages};
};

}  // namespace

TEST_F(AutoCommandsTest, StartNeedsItemsAndADownloadThenStopFollows) {
    EXPECT_TRUE(enabled(ID_AUTO_CONFIGURE));
    EXPECT_TRUE(enabled(ID_FUNCTIONS_MANUAL_MESSAGE));
    EXPECT_TRUE(enabled(ID_AUTO_START));
    EXPECT_FALSE(enabled(ID_AUTO_STOP));

    m_doc.contents.items.resize(2);  // as from a document file, never downloaded
    EXPECT_TRUE(m_doc.OnCmdMsg(ID_AUTO_START));
    EXPECT_EQ(m_doc.sending(), 0);
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].stringId, 5003u);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kInformation);
    EXPECT_TRUE(m_device.calls.empty());

    m_state.downloaded = 1;
    m_doc.OnCmdMsg(ID_AUTO_START);
    EXPECT_EQ(m_doc.sending(), 1);
    EXPECT_FALSE(enabled(ID_AUTO_START));
    EXPECT_TRUE(enabled(ID_AUTO_STOP));

    m_device.accept = false;
    m_doc.OnCmdMsg(ID_AUTO_STOP);
    EXPECT_EQ(m_doc.sending(), 1);  // a refused Stop leaves it sending
    EXPECT_EQ(m_messages.shown().back().stringId, 5002u);
    m_device.accept = true;
    m_doc.OnCmdMsg(ID_AUTO_STOP);
    EXPECT_EQ(m_doc.sending(), 0);
    EXPECT_EQ(m_device.calls, (std::vector<std::string>{"run", "stop", "stop"}));
}

TEST_F(AutoCommandsTest, ARefusedStartStopsTheAdapterAgain) {
    m_doc.contents.items.resize(1);
    m_state.downloaded = 1;
    m_device.acceptRun = false;
    m_doc.OnCmdMsg(ID_AUTO_START);
    EXPECT_EQ(m_doc.sending(), 0);
    EXPECT_EQ(m_device.calls, (std::vector<std::string>{"run", "stop"}));
    EXPECT_EQ(m_messages.shown().back().stringId, 5004u);
    EXPECT_EQ(m_messages.shown().back().icon, MessageIcon::kWarning);
}

TEST_F(AutoCommandsTest, TheDialogCommandsOpenWhatTheOwnerInstalled) {
    int manual = 0, configure = 0;
    m_doc.setTransmitDialogs([&] { ++manual; }, [&] { ++configure; });
    m_doc.OnCmdMsg(ID_FUNCTIONS_MANUAL_MESSAGE);
    m_doc.OnCmdMsg(ID_AUTO_CONFIGURE);
    m_doc.OnCmdMsg(ID_AUTO_CONFIGURE);
    EXPECT_EQ(manual, 1);
    EXPECT_EQ(configure, 2);
}
