#include "devapi/Blocks.h"
#include "tests/support/ScriptedAdapter.h"

#include <gtest/gtest.h>

namespace {

struct Split {
    std::uint32_t t, minutes, seconds, millis;
};

}  // namespace

TEST(DecodeDataRead, SplitsTheMillisecondCount) {
    for (const Split s :
         {Split{0, 0, 0, 0}, Split{999, 0, 0, 999}, Split{1000, 0, 1, 0}, Split{60'000, 1, 0, 0},
          Split{4'000'000, 66, 40, 0}, Split{4'177'919, 69, 37, 919}}) {
        auto read = emptyRead();
        RecordSpec r;
        r.millis22 = s.t;
        r.micros = 512;
        putRecord(read, 0, 0, r);
        ReceivedFrame f[18];
        ASSERT_EQ(vexa::decodeDataRead(read.data(), f).count, 1);
        EXPECT_EQ(f[0].minutes, s.minutes) << s.t;
        EXPECT_EQ(f[0].seconds, s.seconds) << s.t;
        EXPECT_EQ(f[0].millis, s.millis) << s.t;
        EXPECT_EQ(f[0].micros, 512u) << s.t;
    }
}

// The adapter's last 16,384 milliseconds before its clock starts again would put 0xFF in byte 2,
// the empty-record mark: such a record is skipped.
TEST(DecodeDataRead, TimeStampsWithAnFFHighByteReadAsEmpty) {
    auto read = emptyRead();
    RecordSpec r;
    r.millis22 = 4'177'920;
    putRecord(read, 0, 0, r);
    ReceivedFrame f[18];
    EXPECT_EQ(vexa::decodeDataRead(read.data(), f).count, 0);
}

TEST(DecodeDataRead, UnknownFormatNibbleOnTheFirstRecordReadsStandard) {
    auto read = emptyRead();
    RecordSpec r;
    r.lengthAndFormat = 0x41;
    r.identifier = 0x123;
    putRecord(read, 0, 0, r);
    ReceivedFrame f[18];
    ASSERT_EQ(vexa::decodeDataRead(read.data(), f).count, 1);
    EXPECT_EQ(f[0].format, 0);
    EXPECT_EQ(f[0].identifier, 0x123u);
}

TEST(DecodeDataRead, AFullBatchFillsAllEighteenFramesInOrder) {
    std::vector<std::uint8_t> read(vexa::kDataReadSize, 0);
    for (std::size_t i = 0; i < 18; ++i) {
        RecordSpec r;
        r.identifier = static_cast<std::uint32_t>(i);
        putRecord(read, i / 3, i % 3, r);
    }
    ReceivedFrame f[18];
    ASSERT_EQ(vexa::decodeDataRead(read.data(), f).count, 18);
    for (std::uint32_t i = 0; i < 18; ++i) {
        EXPECT_EQ(f[i].identifier, i);
    }
}
