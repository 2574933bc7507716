// The library driven through its C exports against a scripted device interface.

#include "devapi/VexaApi.h"
#include "tests/support/ScriptedAdapter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

using namespace std::chrono_literals;

namespace {

class VexaApiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Vexa_INIT(), 1); }

    TxMessage message(std::uint32_t id, std::uint8_t format, std::uint8_t length,
                      std::int32_t remote = 0) {
        TxMessage m{};
        m.identifier = id;
        m.format = format;
        m.length = length;
        m.remote = remote;
        for (int i = 0; i < 8; ++i) {
            m.data[i] = static_cast<std::uint8_t>(0xA0 + i);
        }
        return m;
    }

    TempRuntimeDir m_dir;
    ScriptedAdapter m_adapter{m_dir};
};

vexa::Block block(std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
    vexa::Block b{};
    for (const auto& [index, value] : bytes) {
        b[static_cast<std::size_t>(index)] = value;
    }
    return b;
}

}  // namespace

TEST(VexaInit, FailsWhenNoAdapterIsPresent) {
    TempRuntimeDir dir;
    EXPECT_EQ(Vexa_INIT(), 0);
    EXPECT_EQ(RunVexa(), 0);
}

TEST(VexaInit, OpensTheThreeChannelsOfTheFirstInterface) {
    TempRuntimeDir dir;
    ScriptedAdapter second(dir, "ADP4021Device1");
    ScriptedAdapter first(dir, "ADP4021Device0");
    ASSERT_EQ(Vexa_INIT(), 1);
    EXPECT_EQ(first.openedNames(), (std::vector<std::string>{"\\PIPE00", "\\PIPE01", "\\PIPE02"}));
    EXPECT_TRUE(second.openedNames().empty());

    // A repeated call replaces the channels and lets go of the old ones.
    ASSERT_EQ(Vexa_INIT(), 1);
    for (int i = 0; i < 100 && first.openConnections() != 3; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(first.openConnections(), 3);
    EXPECT_EQ(RunVexa(), 1);
}

TEST_F(VexaApiTest, SetVexaPacksTheSetupBlock) {
    ASSERT_EQ(SetVexa(5, 1000, 2, 2), 1);
    ASSERT_EQ(m_adapter.commands().size(), 1u);
    EXPECT_EQ(m_adapter.commands()[0],
              block({{0, 0x01}, {1, 0x05}, {2, 2}, {3, 5}, {5, 0x03}, {6, 0xE8}, {7, 2}}));
}

TEST_F(VexaApiTest, SetVexaRefusesArgumentsOutOfRangeBeforeSending) {
    EXPECT_EQ(SetVexa(128, 500, 0, 1), 0);
    EXPECT_EQ(SetVexa(-1, 500, 0, 1), 0);
    EXPECT_EQ(SetVexa(0, 1024, 0, 1), 0);
    EXPECT_EQ(SetVexa(0, 500, 4, 1), 0);
    EXPECT_EQ(SetVexa(0, 500, 0, 0), 0);
    EXPECT_EQ(SetVexa(0, 500, 0, 3), 0);
    EXPECT_TRUE(m_adapter.commands().empty());
    EXPECT_EQ(SetVexa(127, 1023, 3, 1), 1);
}

TEST_F(VexaApiTest, CaptureAndCyclicControlBlocks) {
    ASSERT_EQ(RunVexa(), 1);
    ASSERT_EQ(StopVexa(), 1);
    ASSERT_EQ(RunMultiData(), 1);
    ASSERT_EQ(StopMultiData(), 1);
    const auto sent = m_adapter.commands();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], block({{0, 0x03}, {1, 0x01}, {2, 0x01}}));
    EXPECT_EQ(sent[1], block({{0, 0x03}, {1, 0x01}, {2, 0x02}}));
    EXPECT_EQ(sent[2], block({{0, 0x02}, {1, 0x02}, {2, 0x02}, {3, 0x01}}));
    EXPECT_EQ(sent[3], block({{0, 0x02}, {1, 0x02}, {2, 0x02}, {3, 0x02}}));
}

TEST_F(VexaApiTest, SendSingleDataPacksStandardAndExtendedItems) {
    ASSERT_EQ(SendSingleData(message(0x7FF, 0, 2)), 1);
    ASSERT_EQ(SendSingleData(message(0x1FFFFFFF, 1, 8, 1)), 1);
    ASSERT_EQ(SendSingleData(message(0x123, 2, 0)), 1);  // format 2 goes out standard
    const auto sent = m_adapter.commands();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0],
              block({{0, 0x02}, {1, 8}, {3, 0x02}, {4, 0x07}, {5, 0xFF}, {8, 0xA0}, {9, 0xA1}}));
    EXPECT_EQ(sent[1], block({{0, 0x02},
                              {1, 14},
                              {3, 0x88},
                              {4, 0x1F},
                              {5, 0xFF},
                              {6, 0xFF},
                              {7, 0xFF},
                              {8, 0xA0},
                              {9, 0xA1},
                              {10, 0xA2},
                              {11, 0xA3},
                              {12, 0xA4},
                              {13, 0xA5},
                              {14, 0xA6},
                              {15, 0xA7},
                              {16, 0x01}}));
    EXPECT_EQ(sent[2], block({{0, 0x02}, {1, 6}, {3, 0x00}, {4, 0x01}, {5, 0x23}}));
}

TEST_F(VexaApiTest, SendSingleDataRefusesBadMessagesBeforeSending) {
    EXPECT_EQ(SendSingleData(message(1, 0, 9)), 0);
    EXPECT_EQ(SendSingleData(message(1, 1, 9)), 0);
    EXPECT_EQ(SendSingleData(message(1, 0, 1, 2)), 0);
    EXPECT_EQ(SendSingleData(message(1, 0, 1, -1)), 0);
    EXPECT_TRUE(m_adapter.commands().empty());
}

TEST_F(VexaApiTest, CyclicSetOfNoMessagesIsOneEmptyPacket) {
    ASSERT_EQ(SetMultiData(nullptr, 0, 10, 3), 1);
    const auto sent = m_adapter.commands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0],
              block({{0, 0x02}, {1, 0x39}, {2, 0x01}, {3, 0}, {4, 0x00}, {61, 10}, {62, 3}}));
}

TEST_F(VexaApiTest, CyclicSetOfFiveMessagesTakesTwoPackets) {
    TxMessage set[5];
    for (int i = 0; i < 5; ++i) {
        set[i] = message(0x100 + static_cast<std::uint32_t>(i), 0, 1);
    }
    ASSERT_EQ(SetMultiData(set, 5, 255, 7), 1);
    const auto sent = m_adapter.commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][3], 0);
    EXPECT_EQ(sent[0][4], 0x0F);
    EXPECT_EQ(sent[0][61], 255);
    EXPECT_EQ(sent[0][62], 7);
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(sent[0][5 + 14 * slot + 2], 0x00 + slot) << slot;  // id low byte
    }
    EXPECT_EQ(sent[1], block({{0, 0x02},
                              {1, 0x39},
                              {2, 0x01},
                              {3, 1},
                              {4, 0x01},
                              {5, 0x01},
                              {6, 0x01},
                              {7, 0x04},
                              {10, 0xA0}}));
}

TEST_F(VexaApiTest, CyclicSetOfEightMessagesFillsBothPackets) {
    TxMessage set[8];
    for (int i = 0; i < 8; ++i) {
        set[i] = message(static_cast<std::uint32_t>(i), 1, 0);
    }
    ASSERT_EQ(SetMultiData(set, 8, 1, 1), 1);
    const auto sent = m_adapter.commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1][4], 0x0F);
    EXPECT_EQ(sent[1][5 + 14 * 3 + 4], 7);  // the eighth message's identifier, last slot
    EXPECT_EQ(sent[1][5 + 14 * 3], 0x80);   // extended, length 0
}

TEST_F(VexaApiTest, CyclicSetIsCheckedWholeBeforeAnythingIsSent) {
    TxMessage set[6];
    for (auto& m : set) {
        m = message(1, 0, 1);
    }
    set[4].length = 9;  // the fifth message would travel in the second packet
    EXPECT_EQ(SetMultiData(set, 6, 1, 1), 0);
    EXPECT_EQ(SetMultiData(nullptr, 2, 1, 1), 0);
    EXPECT_EQ(SetMultiData(set, 9, 1, 1), 0);
    EXPECT_EQ(SetMultiData(set, -1, 1, 1), 0);
    EXPECT_EQ(SetMultiData(set, 1, 256, 1), 0);
    EXPECT_EQ(SetMultiData(set, 1, 1, -1), 0);
    EXPECT_TRUE(m_adapter.commands().empty());
}

TEST_F(VexaApiTest, ReplyMustEchoTheCommandInFull) {
    m_adapter.queueReply(block({{0, 0x83}, {1, 0x00}}));
    EXPECT_EQ(RunVexa(), 0);
    m_adapter.queueReply(block({{0, 0x81}, {1, 0x01}}));
    EXPECT_EQ(RunVexa(), 0);
    m_adapter.queueReply(block({{0, 0x83}, {1, 0x01}}), 2);  // a short reply
    EXPECT_EQ(RunVexa(), 0);
    m_adapter.queueReply(block({{0, 0x84}, {1, 0x01}}));  // info wants 0x06
    std::int32_t status = -5;
    EXPECT_EQ(GetVexaInfo(&status, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(status, -5);
    // A failed transaction leaves the channels open.
    EXPECT_EQ(RunVexa(), 1);
}

TEST_F(VexaApiTest, InformationIsUnpackedAndTheWrappersAnswerReversed) {
    m_adapter.setInfo(2, 0x21, 0x01F4, 0x0105);
    std::int32_t status = 0, mode = 9, node = 0, baud = 0, version = 0;
    ASSERT_EQ(GetVexaInfo(&status, &mode, &node, &baud, &version), 1);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(node, 0x21);
    EXPECT_EQ(baud, 500);
    EXPECT_EQ(version, 0x0105);

    std::int32_t value = -1;
    EXPECT_EQ(GetMode(&value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(GetVexaStatus(&value), 0);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(GetNodeID(&value), 0);
    EXPECT_EQ(value, 0x21);
    EXPECT_EQ(GetBaudrate(&value), 0);
    EXPECT_EQ(value, 500);
    EXPECT_EQ(GetVexaVersion(&value), 0);
    EXPECT_EQ(value, 0x0105);

    m_adapter.queueReply(block({{0, 0x84}, {1, 0x00}}));
    value = -1;
    EXPECT_EQ(GetNodeID(&value), 1);
    EXPECT_EQ(value, -1);
}

TEST_F(VexaApiTest, RecvDataDecodesABatchAndSkipsEmptyRecords) {
    auto read = emptyRead();
    RecordSpec standard;
    standard.lengthAndFormat = 0x02;
    standard.loading = 37;
    standard.millis22 = 4'000'000;
    standard.micros = 1023;
    standard.identifier = 0x7FF;
    standard.data[0] = 0x11;
    standard.data[1] = 0x22;
    standard.data[2] = 0x33;  // beyond the length: never copied
    putRecord(read, 0, 1, standard);
    RecordSpec extended;
    extended.lengthAndFormat = 0x88;
    extended.millis22 = 59'999;
    extended.identifier = 0x1FFFFFFF;
    extended.kind = 1;
    putRecord(read, 2, 0, extended);
    RecordSpec odd = standard;  // an unknown format nibble keeps the format before it
    odd.lengthAndFormat = 0x30;
    putRecord(read, 2, 1, odd);
    RecordSpec tooLong = standard;
    tooLong.lengthAndFormat = 0x09;
    putRecord(read, 5, 2, tooLong);
    read[5 * 64 + 57] = 0xAB;
    read[5 * 64 + 58] = 0xCD;
    m_adapter.queueRead(read);

    ReceivedFrame frames[18];
    std::memset(frames, 0, sizeof frames);
    std::int32_t a = 0, b = 0, count = -1;
    ASSERT_EQ(RecvData(&a, &b, &count, frames), 1);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(a, 0xAB);
    EXPECT_EQ(b, 0xCD);

    EXPECT_EQ(frames[0].format, 0);
    EXPECT_EQ(frames[0].length, 2);
    EXPECT_EQ(frames[0].loading, 37u);
    EXPECT_EQ(frames[0].identifier, 0x7FFu);
    EXPECT_EQ(frames[0].minutes, 66u);
    EXPECT_EQ(frames[0].seconds, 40u);
    EXPECT_EQ(frames[0].millis, 0u);
    EXPECT_EQ(frames[0].micros, 1023u);
    EXPECT_EQ(frames[0].data[1], 0x22);
    EXPECT_EQ(frames[0].data[2], 0x00);

    EXPECT_EQ(frames[1].format, 1);
    EXPECT_EQ(frames[1].identifier, 0x1FFFFFFFu);
    EXPECT_EQ(frames[1].status, 1u);
    EXPECT_EQ(frames[1].minutes, 0u);
    EXPECT_EQ(frames[1].seconds, 59u);
    EXPECT_EQ(frames[1].millis, 999u);

    EXPECT_EQ(frames[2].format, 1);
    EXPECT_EQ(frames[2].length, 0);
}

TEST_F(VexaApiTest, RecvDataOfOnlyEmptyRecordsSucceedsWithNone) {
    m_adapter.queueRead(emptyRead());
    ReceivedFrame frames[18];
    std::int32_t a = 0, b = 0, count = -1;
    ASSERT_EQ(RecvData(&a, &b, &count, frames), 1);
    EXPECT_EQ(count, 0);
}

TEST_F(VexaApiTest, RecvDataCompletesAShortReadWithLaterReads) {
    auto read = emptyRead();
    RecordSpec r;
    r.lengthAndFormat = 0x01;
    r.identifier = 0x555;
    putRecord(read, 5, 2, r);
    m_adapter.queueRead({read.begin(), read.begin() + 100});
    m_adapter.queueRead({read.begin() + 100, read.begin() + 101});
    m_adapter.queueRead({read.begin() + 101, read.end()});
    ReceivedFrame frames[18];
    std::int32_t a = 0, b = 0, count = 0;
    ASSERT_EQ(RecvData(&a, &b, &count, frames), 1);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(frames[0].identifier, 0x555u);
}

TEST_F(VexaApiTest, RecvDataFailsWhenFiveReadsLeaveTheBatchShort) {
    const auto read = emptyRead();
    for (int i = 0; i < 5; ++i) {
        m_adapter.queueRead({read.begin(), read.begin() + 10});
    }
    m_adapter.queueRead(read);  // a sixth read would complete it, but is never made
    ReceivedFrame frames[18];
    std::int32_t a = -7, b = -7, count = -7;
    EXPECT_EQ(RecvData(&a, &b, &count, frames), 0);
    EXPECT_EQ(count, -7);
    EXPECT_EQ(a, -7);
    EXPECT_EQ(m_adapter.readsServed(), 5);
}

TEST_F(VexaApiTest, RecvDataFailsWhenTheReadFails) {
    ReceivedFrame frames[18];
    std::int32_t a = 0, b = 0, count = -7;
    EXPECT_EQ(RecvData(&a, &b, &count, frames), 0);  // nothing queued: the read fails
    EXPECT_EQ(count, -7);
}

TEST_F(VexaApiTest, ReinitialisingFailsTheDataReadInFlight) {
    m_adapter.holdReads(true);
    std::atomic<int> result{-1};
    std::thread poll([&] {
        ReceivedFrame frames[18];
        std::int32_t a = 0, b = 0, count = 0;
        result = RecvData(&a, &b, &count, frames);
    });
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(Vexa_INIT(), 1);
    poll.join();
    EXPECT_EQ(result.load(), 0);
    m_adapter.holdReads(false);
    // The old data connection's pending read must be over before the next batch is offered.
    for (int i = 0; i < 200 && m_adapter.openConnections() != 3; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    m_adapter.queueRead(emptyRead());
    ReceivedFrame frames[18];
    std::int32_t a = 0, b = 0, count = -1;
    EXPECT_EQ(RecvData(&a, &b, &count, frames), 1);
}

TEST(VexaApiHostGone, CommandsFailCleanlyAndTheChannelsAreDropped) {
    TempRuntimeDir dir;
    {
        ScriptedAdapter adapter(dir);
        ASSERT_EQ(Vexa_INIT(), 1);
        ASSERT_EQ(RunVexa(), 1);
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(StopVexa(), 0);
    ReceivedFrame frames[18];
    std::int32_t a = 0, b = 0, count = 0;
    EXPECT_EQ(RecvData(&a, &b, &count, frames), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);

    // A new host: the library finds it again once asked to.
    ScriptedAdapter again(dir);
    EXPECT_EQ(Vexa_INIT(), 1);
    EXPECT_EQ(RunVexa(), 1);
}
