#include "candb/DbcReader.h"
#include "candb/SignalDecoder.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::shared_ptr<const CanDatabase> database(const std::string& text) {
    const DbcReadResult r = DbcReader::read(text);
    EXPECT_TRUE(r.ok) << r.error;
    return r.database;
}

SignalDecoder decoderFor(const std::string& text) {
    return SignalDecoder({database(text)});
}

CapturedFrame frame(std::uint32_t id, std::initializer_list<std::uint8_t> bytes,
                    bool extended = false) {
    CapturedFrame f;
    f.identifier = id;
    f.format = extended ? 1 : 0;
    for (const std::uint8_t b : bytes) f.data[f.length++] = b;
    return f;
}

// The bits walked one at a time, as the DBC numbering describes them, most significant first.
std::uint64_t naiveRaw(const std::uint8_t* data, unsigned start, unsigned length, bool motorola) {
    std::uint64_t raw = 0;
    if (!motorola) {
        for (unsigned i = length; i-- > 0;) {
            const unsigned bit = start + i;
            raw = raw << 1 | ((data[bit / 8] >> (bit % 8)) & 1u);
        }
        return raw;
    }
    unsigned bit = start;
    for (unsigned i = 0; i < length; ++i) {
        raw = raw << 1 | ((data[bit / 8] >> (bit % 8)) & 1u);
        bit = bit % 8 == 0 ? bit + 15 : bit - 1;
    }
    return raw;
}

std::string text(const CanSignal& s, std::uint64_t raw) {
    char buffer[kMaxNumberText];
    return std::string(buffer, writeRaw(buffer, s, raw));
}

std::string text(double v) {
    char buffer[kMaxNumberText];
    return std::string(buffer, writeValue(buffer, v));
}

}  // namespace

// Every start bit and length of both bit orders that fits in eight bytes, against the bits
// walked one by one: byte boundaries, the last bit of the frame, 64-bit signals.
TEST(SignalDecoderBits, EveryPlacementOfBothBitOrdersReadsTheRightBits) {
    std::string dbc = "VERSION \"\"\n";
    for (unsigned order = 0; order < 2; ++order) {
        for (unsigned start = 0; start < 64; ++start) {
            dbc += "BO_ " + std::to_string(order * 64 + start) + " M: 8 A\n";
            for (unsigned length = 1; length <= 64; ++length) {
                const unsigned msb = start / 8 * 8 + 7 - start % 8;
                if (order == 1 ? start + length > 64 : msb + length > 64) continue;
                dbc += " SG_ L" + std::to_string(length) + " : " + std::to_string(start) + "|" +
                       std::to_string(length) + "@" + std::to_string(order) +
                       "+ (1,0) [0|0] \"\" B\n";
            }
        }
    }
    const SignalDecoder decoder = decoderFor(dbc);
    ASSERT_EQ(decoder.messageCount(), 128u);
    DecodedFrame out = decoder.makeFrame();
    std::mt19937_64 rng(11);
    std::size_t checked = 0;
    for (int round = 0; round < 20; ++round) {
        const std::uint64_t bytes = rng();
        for (std::uint32_t id = 0; id < 128; ++id) {
            CapturedFrame f = frame(id, {});
            f.length = 8;
            std::memcpy(f.data, &bytes, 8);
            ASSERT_TRUE(decoder.decode(f, out));
            const bool motorola = id < 64;
            const unsigned start = id % 64;
            ASSERT_EQ(out.values().size(), out.message()->signals.size());
            for (const SignalValue& v : out.values()) {
                const std::uint64_t want = naiveRaw(f.data, start, v.signal->length, motorola);
                ASSERT_EQ(v.raw, want)
                    << (motorola ? "@0 " : "@1 ") << start << "|" << int{v.signal->length};
                EXPECT_EQ(v.value, static_cast<double>(want));
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 20u * 2 * (64 * 65 / 2));
}

TEST(SignalDecoderBits, MotorolaSignalsRunFromTheirMostSignificantBitAcrossBytes) {
    const SignalDecoder decoder = decoderFor(R"(VERSION ""
BO_ 1 M: 8 A
 SG_ Word : 7|16@0+ (1,0) [0|0] "" B
 SG_ Nibbles : 3|8@0+ (1,0) [0|0] "" B
 SG_ Tail : 56|1@0+ (1,0) [0|0] "" B
 SG_ IntelWord : 0|16@1+ (1,0) [0|0] "" B
)");
    DecodedFrame out = decoder.makeFrame();
    ASSERT_TRUE(decoder.decode(frame(1, {0x12, 0x34, 0, 0, 0, 0, 0, 0x01}), out));
    ASSERT_EQ(out.values().size(), 4u);
    EXPECT_EQ(out.values()[0].raw, 0x1234u);  // byte 0 is the high byte
    EXPECT_EQ(out.values()[1].raw, 0x23u);    // low nibble of byte 0, high nibble of byte 1
    EXPECT_EQ(out.values()[2].raw, 1u);
    EXPECT_EQ(out.values()[3].raw, 0x3412u);
}

TEST(SignalDecoderSign, EveryLengthExtendsItsSignBit) {
    std::string dbc = "VERSION \"\"\n";
    for (unsigned length = 1; length <= 64; ++length) {
        // The Motorola signal ends at the frame's last bit: its most significant bit sits at
        // 64 - length counting from the first byte's top bit.
        const unsigned msb = 64 - length;
        const unsigned start = msb / 8 * 8 + 7 - msb % 8;
        dbc += "BO_ " + std::to_string(length) + " M: 8 A\n SG_ Intel : 0|" +
               std::to_string(length) +
               "@1- (1,0) [0|0] \"\" B\n SG_ Motorola : " + std::to_string(start) + "|" +
               std::to_string(length) + "@0- (1,0) [0|0] \"\" B\n";
    }
    const SignalDecoder decoder = decoderFor(dbc);
    DecodedFrame out = decoder.makeFrame();
    for (unsigned length = 1; length <= 64; ++length) {
        const std::uint64_t mask =
            length == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
        const std::uint64_t top = std::uint64_t{1} << (length - 1);
        struct Case {
            std::uint64_t bits;
            std::int64_t value;
        };
        const Case cases[] = {
            {mask, -1},
            {top, length == 64 ? std::numeric_limits<std::int64_t>::min()
                               : -static_cast<std::int64_t>(top)},
            {top - 1, static_cast<std::int64_t>(top - 1)},
            {0, 0},
        };
        for (const Case& c : cases) {
            // The same bits laid little-endian for the Intel signal, big-endian for the other.
            CapturedFrame f = frame(length, {});
            f.length = 8;
            std::memcpy(f.data, &c.bits, 8);
            ASSERT_TRUE(decoder.decode(f, out));
            ASSERT_GE(out.values().size(), 1u);
            EXPECT_EQ(static_cast<std::int64_t>(out.values()[0].raw), c.value) << length;
            EXPECT_EQ(out.values()[0].value, static_cast<double>(c.value));
            const std::uint64_t big = __builtin_bswap64(c.bits);
            std::memcpy(f.data, &big, 8);
            ASSERT_TRUE(decoder.decode(f, out));
            ASSERT_EQ(out.values().size(), 2u);
            EXPECT_EQ(static_cast<std::int64_t>(out.values()[1].raw), c.value) << length;
        }
    }
}

TEST(SignalDecoderSixtyFour, FullWidthValuesKeepEveryBit) {
    const SignalDecoder decoder = decoderFor(R"(VERSION ""
BO_ 1 U: 8 A
 SG_ U : 0|64@1+ (1,0) [0|0] "" B
BO_ 2 S: 8 A
 SG_ S : 7|64@0- (1,0) [0|0] "" B
)");
    DecodedFrame out = decoder.makeFrame();
    ASSERT_TRUE(decoder.decode(frame(1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), out));
    const SignalValue u = out.values()[0];
    EXPECT_EQ(u.raw, UINT64_MAX);
    EXPECT_EQ(text(*u.signal, u.raw), "18446744073709551615");
    EXPECT_EQ(text(u.value), "18446744073709551616");  // 2^64, shorter than 1.8e+19 digits
    ASSERT_TRUE(decoder.decode(frame(2, {0x80, 0, 0, 0, 0, 0, 0, 0x01}), out));
    const SignalValue s = out.values()[0];
    EXPECT_EQ(text(*s.signal, s.raw), "-9223372036854775807");
    ASSERT_TRUE(decoder.decode(frame(1, {1, 0, 0, 0, 0, 0, 0x20, 0}), out));
    EXPECT_EQ(out.values()[0].raw, (std::uint64_t{1} << 53) + 1);
    // Beyond 2^53 the physical value is the nearest double, as raw × 1 + 0 gives it.
    EXPECT_EQ(out.values()[0].value, 9007199254740992.0);
}

TEST(SignalDecoderFloat, SinglesAndDoublesAreReadFromTheirBitPatterns) {
    const SignalDecoder decoder = decoderFor(R"(VERSION ""
BO_ 1 F: 8 A
 SG_ Single : 0|32@1- (1,0) [0|0] "" B
 SG_ Scaled : 39|32@0- (2,-1) [0|0] "" B
BO_ 2 D: 8 A
 SG_ Double : 0|64@1- (1,0) [0|0] "V" B
SIG_VALTYPE_ 1 Single : 1;
SIG_VALTYPE_ 1 Scaled : 1;
SIG_VALTYPE_ 2 Double : 2;
VAL_ 1 Single 3 "three" ;
)");
    DecodedFrame out = decoder.makeFrame();
    CapturedFrame f = frame(1, {});
    f.length = 8;
    const std::uint32_t tenth = std::bit_cast<std::uint32_t>(0.1f);
    std::memcpy(f.data, &tenth, 4);
    const std::uint32_t big = __builtin_bswap32(std::bit_cast<std::uint32_t>(-2.5f));
    std::memcpy(f.data + 4, &big, 4);
    ASSERT_TRUE(decoder.decode(f, out));
    ASSERT_EQ(out.values().size(), 2u);
    EXPECT_EQ(out.values()[0].value, static_cast<double>(0.1f));
    EXPECT_EQ(text(*out.values()[0].signal, out.values()[0].raw), "0.1");  // the float's value
    EXPECT_EQ(text(out.values()[0].value), "0.10000000149011612");
    EXPECT_EQ(out.values()[1].value, -6.0);
    EXPECT_EQ(text(*out.values()[1].signal, out.values()[1].raw), "-2.5");
    EXPECT_EQ(labelOf(*out.values()[0].signal, out.values()[0].raw), nullptr);
    const std::uint32_t three = std::bit_cast<std::uint32_t>(3.0f);
    std::memcpy(f.data, &three, 4);
    ASSERT_TRUE(decoder.decode(f, out));
    ASSERT_NE(labelOf(*out.values()[0].signal, out.values()[0].raw), nullptr);
    EXPECT_EQ(*labelOf(*out.values()[0].signal, out.values()[0].raw), "three");

    const double values[] = {M_PI, -0.0, std::numeric_limits<double>::denorm_min(), 1e300};
    for (const double d : values) {
        CapturedFrame g = frame(2, {});
        g.length = 8;
        std::memcpy(g.data, &d, 8);
        ASSERT_TRUE(decoder.decode(g, out));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(out.values()[0].value),
                  std::bit_cast<std::uint64_t>(d + 0.0 == 0 ? 0.0 : d));
    }
}

TEST(SignalDecoderScaling, PhysicalValuesAreRawTimesFactorPlusOffsetInDoubles) {
    const SignalDecoder decoder = decoderFor(R"(VERSION ""
BO_ 1 M: 8 A
 SG_ Tenth : 0|8@1+ (0.1,0) [0|0] "" B
 SG_ Negative : 8|8@1- (-0.5,10) [0|0] "" B
 SG_ Offset : 16|16@1+ (0.01,-273.15) [0|0] "degC" B
)");
    DecodedFrame out = decoder.makeFrame();
    ASSERT_TRUE(decoder.decode(frame(1, {3, 0xFC, 0x10, 0x6B}), out));
    ASSERT_EQ(out.values().size(), 3u);
    EXPECT_EQ(text(out.values()[0].value), "0.30000000000000004");  // 3 × 0.1, not 0.3
    EXPECT_EQ(out.values()[1].value, 12.0);                         // -4 × -0.5 + 10
    EXPECT_EQ(out.values()[2].value, 27408 * 0.01 + -273.15);
    EXPECT_EQ(text(out.values()[2].value), "0.9300000000000068");
}

TEST(SignalDecoderFrames, ShortFramesRemoteFramesAndIdentifierKindsAreKeptApart) {
    const SignalDecoder decoder = decoderFor(R"(VERSION ""
BO_ 256 Standard: 8 A
 SG_ First : 0|8@1+ (1,0) [0|0] "" B
 SG_ Across : 4|8@1+ (1,0) [0|0] "" B
 SG_ Last : 63|8@0+ (1,0) [0|0] "" B
BO_ 2147483904 Extended: 8 A
 SG_ Word : 0|16@1+ (1,0) [0|0] "" B
)");
    DecodedFrame out = decoder.makeFrame();
    ASSERT_TRUE(decoder.decode(frame(0x100, {0xAB}), out));
    ASSERT_EQ(out.values().size(), 1u);
    EXPECT_EQ(out.values()[0].signal->name, "First");
    EXPECT_EQ(out.unfit(), 2u);
    ASSERT_TRUE(decoder.decode(frame(0x100, {0xAB, 0xCD}), out));
    EXPECT_EQ(out.values().size(), 2u);
    EXPECT_EQ(out.values()[1].raw, 0xDAu);
    EXPECT_EQ(out.unfit(), 1u);

    CapturedFrame remote = frame(0x100, {});
    remote.status = 1;
    remote.length = 8;
    ASSERT_TRUE(decoder.decode(remote, out));
    EXPECT_EQ(out.message()->name, "Standard");
    EXPECT_TRUE(out.values().empty());
    EXPECT_EQ(out.unfit(), 0u);

    ASSERT_TRUE(decoder.decode(frame(0x100, {0x34, 0x12}, true), out));
    EXPECT_EQ(out.message()->name, "Extended");
    EXPECT_EQ(out.values()[0].raw, 0x1234u);
    EXPECT_FALSE(decoder.decode(frame(0x101, {1}), out));
    EXPECT_EQ(out.message(), nullptr);
    EXPECT_TRUE(out.values().empty());
    EXPECT_FALSE(decoder.decode(frame(0x1FFFFFFF, {1}, true), out));
    EXPECT_FALSE(decoder.decode(frame(0xFFFFFFFF, {1}), out));
}

TEST(SignalDecoderMultiplexing, SignalsAppearOnlyWhenTheirMultiplexersSelectThem) {
    const SignalDecoder decoder = decoderFor(R"(VERSION ""
BO_ 1 Simple: 8 A
 SG_ Zero m0 : 16|8@1+ (1,0) [0|0] "" B
 SG_ Plain : 0|8@1+ (1,0) [0|0] "" B
 SG_ Mux M : 8|8@1+ (1,0) [0|0] "" B
 SG_ Seven m7 : 16|16@1+ (1,0) [0|0] "" B
BO_ 2 Nested: 8 A
 SG_ Leaf m2 : 16|8@1+ (1,0) [0|0] "" B
 SG_ Inner m1M : 8|8@1+ (1,0) [0|0] "" B
 SG_ Top M : 0|8@1+ (1,0) [0|0] "" B
 SG_ Always : 24|8@1+ (1,0) [0|0] "" B
SG_MUL_VAL_ 2 Inner Top 1-1, 4-6;
SG_MUL_VAL_ 2 Leaf Inner 2-3;
)");
    DecodedFrame out = decoder.makeFrame();
    const auto names = [&out]() {
        std::string s;
        for (const SignalValue& v : out.values())
            s += v.signal->name + "=" + std::to_string(v.raw) + " ";
        return s;
    };
    ASSERT_TRUE(decoder.decode(frame(1, {5, 0, 9, 1}), out));
    EXPECT_EQ(names(), "Zero=9 Plain=5 Mux=0 ");  // the database's order, not the decoding's
    ASSERT_TRUE(decoder.decode(frame(1, {5, 7, 9, 1}), out));
    EXPECT_EQ(names(), "Plain=5 Mux=7 Seven=265 ");
    ASSERT_TRUE(decoder.decode(frame(1, {5, 7, 9}), out));
    EXPECT_EQ(names(), "Plain=5 Mux=7 ");
    EXPECT_EQ(out.unfit(), 1u);
    ASSERT_TRUE(decoder.decode(frame(1, {5, 3, 9, 1}), out));
    EXPECT_EQ(names(), "Plain=5 Mux=3 ");
    ASSERT_TRUE(decoder.decode(frame(1, {5}), out));
    EXPECT_EQ(names(), "Plain=5 ");  // no multiplexer, so nothing it would select

    ASSERT_TRUE(decoder.decode(frame(2, {5, 3, 8, 4}), out));
    EXPECT_EQ(names(), "Leaf=8 Inner=3 Top=5 Always=4 ");
    ASSERT_TRUE(decoder.decode(frame(2, {1, 4, 8, 4}), out));
    EXPECT_EQ(names(), "Inner=4 Top=1 Always=4 ");
    ASSERT_TRUE(decoder.decode(frame(2, {2, 3, 8, 4}), out));
    EXPECT_EQ(names(), "Top=2 Always=4 ");

    // One signal at a time gives what the whole frame gives.
    std::mt19937 rng(5);
    for (int i = 0; i < 2000; ++i) {
        const std::uint32_t id = 1 + rng() % 2;
        CapturedFrame f = frame(id, {});
        f.length = static_cast<std::uint8_t>(rng() % 5);
        for (int k = 0; k < 4; ++k)
            f.data[k] = k < f.length ? static_cast<std::uint8_t>(rng() % 8) : 0;
        ASSERT_TRUE(decoder.decode(f, out));
        const int message = decoder.find(id, false);
        std::size_t next = 0;
        for (std::size_t s = 0;
             s < decoder.message(static_cast<std::size_t>(message)).signals.size(); ++s) {
            SignalValue one;
            const bool decoded = decoder.decodeSignal(f, static_cast<std::size_t>(message), s, one);
            const bool inFrame = next < out.values().size() && out.values()[next].index == s;
            ASSERT_EQ(decoded, inFrame) << id << " signal " << s;
            if (inFrame) {
                EXPECT_EQ(one.raw, out.values()[next].raw);
                ++next;
            }
        }
    }
    SignalValue none;
    EXPECT_FALSE(decoder.decodeSignal(frame(1, {5, 0, 9, 1}), 1, 0, none));  // not message 1
}

TEST(SignalDecoderDatabases, TheFirstDatabaseToNameAnIdentifierDecodesIt) {
    const auto a = database("VERSION \"\"\nBO_ 16 Mine: 1 A\n SG_ X : 0|8@1+ (1,0) [0|0] \"\" B\n");
    const auto b = database(
        "VERSION \"\"\nBO_ 16 Theirs: 1 A\n SG_ Y : 0|8@1+ (2,0) [0|0] \"\" B\n"
        "BO_ 17 Other: 1 A\n SG_ Z : 0|8@1+ (1,0) [0|0] \"\" B\n");
    const SignalDecoder decoder({a, b});
    ASSERT_EQ(decoder.conflicts().size(), 1u);
    const SignalDecoder::Conflict& c = decoder.conflicts()[0];
    EXPECT_EQ(c.identifier, 16u);
    EXPECT_EQ(c.keptDatabase, 0u);
    EXPECT_EQ(c.droppedDatabase, 1u);
    EXPECT_EQ(c.keptName, "Mine");
    EXPECT_EQ(c.droppedName, "Theirs");
    DecodedFrame out = decoder.makeFrame();
    ASSERT_TRUE(decoder.decode(frame(16, {4}), out));
    EXPECT_EQ(out.values()[0].signal->name, "X");
    ASSERT_TRUE(decoder.decode(frame(17, {4}), out));
    EXPECT_EQ(out.message()->name, "Other");
    // A frame not made for this decoder is sized on first use.
    DecodedFrame unsized;
    ASSERT_TRUE(decoder.decode(frame(17, {4}), unsized));
    EXPECT_EQ(unsized.values().size(), 1u);
    const SignalDecoder empty;
    EXPECT_FALSE(empty.decode(frame(16, {4}), out));
}

TEST(SignalDecoderText, ValuesAreWrittenSoTheyReadBackTheSame) {
    std::mt19937_64 rng(3);
    for (int i = 0; i < 10000; ++i) {
        const double v = std::bit_cast<double>(rng());
        if (!std::isfinite(v)) continue;
        const std::string s = text(v);
        double back = 0;
        ASSERT_EQ(std::from_chars(s.data(), s.data() + s.size(), back).ec, std::errc());
        ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(v)) << s;
    }
    // Whole values take a faster path that must write what the general one writes.
    std::vector<double> whole = {0.0,
                                 -0.0,
                                 1,
                                 -1,
                                 99999,
                                 100000,
                                 -100000,
                                 120000,
                                 123456,
                                 1e15,
                                 1e15 + 1,
                                 9007199254740992.0,
                                 -9007199254740991.0,
                                 9007199254740994.0,
                                 1e16,
                                 1e17 + 8,
                                 18446744073709551616.0};
    for (int i = 0; i < 100000; ++i) {
        const int bits = static_cast<int>(rng() % 54);
        const std::uint64_t magnitude = bits == 0 ? 0 : rng() >> (64 - bits);
        const auto n = static_cast<std::int64_t>(magnitude) * (i % 2 == 0 ? 1 : -1);
        whole.push_back(static_cast<double>(n));
        whole.push_back(static_cast<double>(n - n % 1000));
    }
    for (const double v : whole) {
        char general[kMaxNumberText];
        const std::string want(general, std::to_chars(general, general + sizeof general, v).ptr);
        ASSERT_EQ(text(v), want);
    }
    EXPECT_EQ(text(2500.0), "2500");
    EXPECT_EQ(text(-56.0), "-56");
    EXPECT_EQ(text(-0.0), "-0");
    EXPECT_EQ(text(1000000.0), "1e+06");  // shorter than 1000000, so it is the one written
}
