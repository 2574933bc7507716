#include "transmit/ManualMessage.h"

#include "transmit/tests/TransmitFakes.h"

#include <gtest/gtest.h>

namespace {

class ManualMessageTest : public ::testing::Test {
protected:
    ManualMessage open(int frameType) {
        return ManualMessage(m_document, m_hex, frameType,
                             {m_commands, m_store, m_state, m_messages});
    }
    std::vector<std::uint32_t> shownIds() const {
        std::vector<std::uint32_t> ids;
        for (const auto& m : m_messages.shown()) ids.push_back(m.stringId);
        return ids;
    }

    std::array<ManualBuffer, 2> m_document{};
    bool m_hex = true;
    SendingDevice m_device;
    DeviceCommands m_commands{m_device};
    FrameStore m_store;
    CaptureState m_state;
    MessageRecorder m_messages;
};

}  // namespace

TEST_F(ManualMessageTest, OpensOnACopyInTheProgramRadixWithEditsEnabledBySizeAndKind) {
    m_document[0].identifier = 0x1AB;
    m_document[0].size = 3;
    m_document[0].data = {0xFE, 7, 0, 0, 0, 0, 0, 0};
    m_document[1].remote = 1;
    m_hex = false;
    ManualMessage dialog = open(1);
    EXPECT_EQ(dialog.identifierText(0), "427");
    EXPECT_EQ(dialog.dataText(0, 0), "254");
    EXPECT_TRUE(dialog.dataEnabled(0, 2));
    EXPECT_FALSE(dialog.dataEnabled(0, 3));
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(dialog.dataEnabled(1, i)) << i;

    dialog.setHex(true);
    EXPECT_TRUE(m_hex);
    EXPECT_EQ(dialog.identifierText(0), "1AB");
    EXPECT_EQ(dialog.dataText(0, 0), "FE");
    dialog.setSize(0, 0);
    EXPECT_FALSE(dialog.dataEnabled(0, 0));
    dialog.setRemote(1, false);
    EXPECT_TRUE(dialog.dataEnabled(1, 7));
    // Nothing reaches the document before a send.
    EXPECT_EQ(m_document[0].size, 3u);
    EXPECT_EQ(m_document[1].remote, 1u);
}

TEST_F(ManualMessageTest, TypingStoresValuesAndShowsEachMessage) {
    ManualMessage dialog = open(1);
    EntryOutcome o = dialog.typeIdentifier(0, "800", 3);
    EXPECT_EQ(o.text, "80");
    EXPECT_EQ(dialog.buffer(0).identifier, 0x80u);
    o = dialog.typeData(1, 4, "3G", 2);
    EXPECT_EQ(o.text, "3");
    EXPECT_EQ(dialog.buffer(1).data[4], 3u);
    EXPECT_EQ(shownIds(), std::vector<std::uint32_t>({5080, 5075}));
}

TEST_F(ManualMessageTest, ASendBuildsTheMessageWritesTheBufferBackAndRecordsTheFrame) {
    m_document[1].format = 1;  // from a send under the other frame type
    ManualMessage dialog = open(1);
    (void)dialog.typeIdentifier(1, "123", 3);
    dialog.setSize(1, 2);
    (void)dialog.typeData(1, 0, "DE", 2);
    (void)dialog.typeData(1, 1, "AD", 2);
    (void)dialog.typeData(1, 2, "77", 2);  // beyond the size: kept, not sent
    ASSERT_TRUE(sendNow(dialog, 1));

    ASSERT_EQ(m_device.sent.size(), 1u);
    const TxMessage& m = m_device.sent[0];
    EXPECT_EQ(m.remote, 0);
    EXPECT_EQ(m.format, 0);
    EXPECT_EQ(m.length, 2);
    EXPECT_EQ(m.identifier, 0x123u);
    EXPECT_EQ(m.data[0], 0xDE);
    EXPECT_EQ(m.data[1], 0xAD);
    EXPECT_EQ(m.data[2], 0);
    EXPECT_EQ(m_document[1].identifier, 0x123u);
    EXPECT_EQ(m_document[1].format, 0u);
    EXPECT_EQ(m_document[1].data[2], 0x77u);

    ASSERT_EQ(m_store.count(), 1u);
    const CapturedFrame& f = m_store.at(0);
    EXPECT_EQ(f.status, 0u);
    EXPECT_EQ(f.identifier, 0x123u);
    EXPECT_EQ(f.length, 2);
    EXPECT_EQ(f.data[1], 0xAD);
    EXPECT_EQ(f.data[2], 0);
    EXPECT_EQ(f.minutes + f.seconds + f.millis + f.micros + f.loading + f.wraps, 0u);
    EXPECT_EQ(m_state.pendingChanges.load(), 1u);
    EXPECT_TRUE(m_messages.shown().empty());
}

TEST_F(ManualMessageTest, ARemoteFrameGoesWithItsSizeAndStoredDataAndRecordsStatusOne) {
    m_document[0].remote = 1;
    m_document[0].size = 4;
    m_document[0].data = {1, 2, 3, 4, 5, 0, 0, 0};
    ManualMessage dialog = open(2);
    ASSERT_TRUE(sendNow(dialog, 0));
    const TxMessage& m = m_device.sent.at(0);
    EXPECT_EQ(m.remote, 1);
    EXPECT_EQ(m.format, 1);
    EXPECT_EQ(m.length, 4);
    EXPECT_EQ(m.data[3], 4);
    EXPECT_EQ(m.data[4], 0);
    EXPECT_EQ(m_store.at(0).status, 1u);
    EXPECT_EQ(m_store.at(0).format, 1);
    EXPECT_EQ(m_document[0].format, 1u);
}

TEST_F(ManualMessageTest, AFailedSendLeavesTheStoreAloneAndNamesItsBuffer) {
    m_store.append(CapturedFrame{});  // a captured frame that must survive
    m_device.accept = false;
    ManualMessage dialog = open(1);
    EXPECT_FALSE(sendNow(dialog, 0));
    EXPECT_FALSE(sendNow(dialog, 1));
    EXPECT_EQ(m_store.count(), 1u);
    EXPECT_EQ(m_state.pendingChanges.load(), 0u);
    ASSERT_EQ(m_messages.shown().size(), 2u);
    EXPECT_EQ(m_messages.shown()[0].stringId, 5078u);
    EXPECT_EQ(m_messages.shown()[0].captionId, 5230u);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(m_messages.shown()[1].stringId, 5079u);
    EXPECT_EQ(m_messages.shown()[1].captionId, 5231u);
}

TEST_F(ManualMessageTest, AnIdentifierTooWideForTheFrameTypeIsNeverSent) {
    // Typed while the device sent extended frames, then the device was set to standard.
    m_document[0].identifier = 0x1FFFFFFF;
    m_hex = false;
    ManualMessage dialog = open(1);
    EXPECT_FALSE(sendNow(dialog, 0));
    EXPECT_TRUE(m_device.sent.empty());
    EXPECT_EQ(m_store.count(), 0u);
    EXPECT_EQ(shownIds(), std::vector<std::uint32_t>({5084}));
    EXPECT_EQ(m_document[0].identifier, 0x1FFFFFFFu);
}

TEST_F(ManualMessageTest, ASizeFromADamagedDocumentIsCutToEight) {
    m_document[0].size = 200;
    ManualMessage dialog = open(1);
    ASSERT_TRUE(sendNow(dialog, 0));
    EXPECT_EQ(m_device.sent.at(0).length, 8);
}
