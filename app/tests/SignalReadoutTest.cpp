// A curve's scan reads a database signal from a readout worked out once (a load, a shift and a
// mask) instead of asking the decoder per frame. These tests hold the readout to the decoder's
// answers for every placement a signal can have, and the scans' results to those of scans that
// read through the decoder.

#include "app/SignalCurveSource.h"
#include "candb/DbcReader.h"
#include "curves/CurveScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

// Ids 1 to 256: integer signals of every length from one start bit, by order and sign.
int integerId(bool motorola, bool isSigned, int start) {
    return 1 + (motorola ? 128 : 0) + (isSigned ? 64 : 0) + start;
}
constexpr int kFloats = 300;   // 32-bit floats from every start bit, both orders (factor 0.5, -3)
constexpr int kDoubles = 301;  // 64-bit doubles from every start bit, both orders
constexpr int kExtended = 0x101;  // an extended message with the id of a standard one

std::string database() {
    std::string t = "VERSION \"\"\nBU_: B\n";
    const auto sg = [&t](const std::string& name, int start, int length, bool motorola,
                         bool isSigned, const std::string& mux = "") {
        t += " SG_ " + name + (mux.empty() ? "" : " " + mux) + " : " + std::to_string(start) + "|" +
             std::to_string(length) + "@" + (motorola ? "0" : "1") + (isSigned ? "-" : "+") +
             " (0.5,-3) [0|0] \"\" B\n";
    };
    for (const bool motorola : {false, true}) {
        for (const bool isSigned : {false, true}) {
            for (int start = 0; start < 64; ++start) {
                const std::string id = std::to_string(integerId(motorola, isSigned, start));
                t += "BO_ " + id + " I" + id + ": 8 B\n";
                for (int length = 1; length <= 64; ++length) {
                    sg(std::string(1, 'L').append(std::to_string(length)), start, length, motorola,
                       isSigned);
                }
            }
        }
    }
    std::string types;
    for (const int id : {kFloats, kDoubles}) {
        t += "BO_ " + std::to_string(id) + " F" + std::to_string(id) + ": 8 B\n";
        for (const bool motorola : {false, true}) {
            for (int start = 0; start < 64; ++start) {
                const std::string name =
                    std::string(1, motorola ? 'M' : 'I').append(std::to_string(start));
                sg(name, start, id == kFloats ? 32 : 64, motorola, true);
                types += "SIG_VALTYPE_ " + std::to_string(id) + " " + name +
                         (id == kFloats ? " : 1;\n" : " : 2;\n");
            }
        }
    }
    t += "BO_ " + std::to_string(0x80000000u | kExtended) + " X: 8 B\n";
    sg("Word", 8, 16, false, false);
    // Simple multiplexing, by an Intel, a Motorola and a signed multiplexer.
    t += "BO_ 400 Mux: 8 B\n";
    sg("Mux", 0, 4, false, false, "M");
    sg("A", 8, 8, false, true, "m0");
    sg("B", 15, 12, true, false, "m3");
    sg("C", 60, 4, false, false, "m15");
    sg("Unfit", 56, 16, false, false, "m1");
    t += "BO_ 401 MotorolaMux: 8 B\n";
    sg("Mux", 7, 4, true, true, "M");
    sg("A", 8, 8, false, false, "m2");
    sg("B", 16, 32, false, true, "m7");
    sg("Negative", 40, 8, false, false, "m12");  // -4 as the signed multiplexer reads it
    // Extended multiplexing: several ranges, a chain, one wide range.
    t += "BO_ 402 Nested: 8 B\n";
    sg("Top", 0, 8, false, false, "M");
    sg("Inner", 8, 8, false, false, "m1M");
    sg("Leaf", 16, 8, false, false, "m2");
    sg("Wide", 24, 8, false, false, "m5");
    t += types;
    t += "SG_MUL_VAL_ 402 Inner Top 1-1, 4-6;\nSG_MUL_VAL_ 402 Leaf Inner 2-3;\n"
         "SG_MUL_VAL_ 402 Wide Top 3-200;\n";
    return t;
}

std::shared_ptr<const SignalDecoder> decoder() {
    static const std::shared_ptr<const SignalDecoder> made = [] {
        const DbcReadResult r = DbcReader::read(database());
        EXPECT_TRUE(r.ok) << r.error;
        return std::make_shared<const SignalDecoder>(
            std::vector<std::shared_ptr<const CanDatabase>>{r.database});
    }();
    return made;
}

// Frames of the identifier with random data: every received length 0 to 8 and a longer code,
// data and remote, standard and extended.
std::vector<CapturedFrame> framesOf(std::uint32_t id, std::mt19937_64& rng, int rounds) {
    std::vector<CapturedFrame> frames;
    for (int round = 0; round < rounds; ++round) {
        for (const std::uint8_t length : {0, 1, 2, 3, 4, 5, 6, 7, 8, 8, 8, 8, 12}) {
            CapturedFrame f;
            f.identifier = id;
            f.length = length;
            const std::uint64_t data = rng();
            for (int k = 0; k < 8; ++k) f.data[k] = static_cast<std::uint8_t>(data >> (8 * k));
            // Small multiplexer values now and then, so that ranges are hit at both ends.
            if (round % 3 == 0) f.data[0] &= 0x0F;
            f.status = round % 7 == 6 ? 1 : 0;
            f.format = round % 5 == 4 ? 1 : 0;
            frames.push_back(f);
        }
    }
    return frames;
}

// The same signal read through calls only, as every scan read signals before readouts.
class ThroughCalls final : public CurveSignal {
public:
    explicit ThroughCalls(std::shared_ptr<const CurveSignal> s) : m_signal(std::move(s)) {}
    bool reading(const CapturedFrame& frame, std::int64_t& out) const override {
        return m_signal->reading(frame, out);
    }
    double physical(std::int64_t reading) const override { return m_signal->physical(reading); }
    std::string text(std::int64_t reading) const override { return m_signal->text(reading); }

private:
    std::shared_ptr<const CurveSignal> m_signal;
};

}  // namespace

TEST(SignalReadout, EveryPlacementReadsAsTheDecoderDoes) {
    const auto d = decoder();
    std::mt19937_64 rng(23);
    std::size_t carried = 0, compared = 0, fast = 0;
    for (std::size_t m = 0; m < d->messageCount(); ++m) {
        const CanMessage& message = d->message(m);
        std::vector<CapturedFrame> frames = framesOf(message.identifier, rng, 40);
        // Frames of another identifier carry nothing.
        frames.push_back(frames.front());
        frames.back().identifier ^= 0x400;
        for (const CanSignal& s : message.signals) {
            const auto signal = curveSignal(d, message.identifier, message.extended, s.name);
            ASSERT_TRUE(signal);
            const SignalReadout r = signal->readout();
            if (r.kind == SignalReadout::Kind::kCalls) continue;
            ++fast;
            for (const CapturedFrame& f : frames) {
                std::int64_t expected = 0;
                const bool known = signal->reading(f, expected);
                const bool carries = r.kind != SignalReadout::Kind::kNever &&
                                     f.identifier == r.identifier && r.carries(f);
                ASSERT_EQ(carries, known) << message.name << " " << message.identifier << " "
                                          << s.name << " length " << int{f.length} << " remote "
                                          << f.status << " format " << int{f.format};
                ++compared;
                if (!known) continue;
                ++carried;
                ASSERT_EQ(r.reading(f), expected) << message.identifier << " " << s.name;
            }
        }
    }
    // Every signal but the nested ones reads by its readout, and the frames reach every outcome.
    EXPECT_EQ(fast, 256u * 64 + 256 + 1 + 5 + 4 + 2);
    EXPECT_GT(carried, 100'000u);
    EXPECT_GT(compared - carried, 100'000u);
}

TEST(SignalReadout, ReadoutsOfMultiplexedSignalsFollowTheirMultiplexers) {
    const auto d = decoder();
    const auto kind = [&](std::uint32_t id, const char* name) {
        return curveSignal(d, id, false, name)->readout().kind;
    };
    using K = SignalReadout::Kind;
    EXPECT_EQ(kind(400, "A"), K::kInteger);
    EXPECT_EQ(kind(400, "Unfit"), K::kNever) << "it does not fit in eight bytes";
    EXPECT_EQ(kind(401, "Negative"), K::kNever) << "a signed multiplexer's 12 reads -4";
    EXPECT_EQ(kind(402, "Inner"), K::kCalls) << "two ranges";
    EXPECT_EQ(kind(402, "Leaf"), K::kCalls) << "a chain of multiplexers";
    EXPECT_EQ(kind(402, "Wide"), K::kInteger);
    EXPECT_EQ(kind(kFloats, "M9"), K::kFloat);
    EXPECT_EQ(kind(kDoubles, "I1"), K::kNever);
    EXPECT_EQ(kind(kDoubles, "M7"), K::kDouble);

    // The signed multiplexer's values from 8 up are negative and select nothing.
    const auto negative = curveSignal(d, 401, false, "Negative");
    CapturedFrame f;
    f.identifier = 401;
    f.length = 8;
    f.data[0] = 0xC0;  // 12 in the top four bits
    std::int64_t v = 0;
    EXPECT_FALSE(negative->reading(f, v));
}

TEST(SignalReadout, ScansSampleWhatScansThroughTheDecoderSample) {
    const auto d = decoder();
    std::mt19937_64 rng(5);
    std::vector<CapturedFrame> frames;
    for (const std::uint32_t id : {400u, std::uint32_t(integerId(true, true, 13)), 401u,
                                   std::uint32_t(kFloats), 402u, std::uint32_t(kDoubles)}) {
        const std::vector<CapturedFrame> more = framesOf(id, rng, 30);
        frames.insert(frames.end(), more.begin(), more.end());
    }
    std::shuffle(frames.begin(), frames.end(), rng);
    FrameStore store;
    for (CapturedFrame f : frames) {
        f.millis = static_cast<std::uint32_t>(store.count());
        store.append(f);
    }
    struct Pick {
        std::uint32_t id;
        const char* signal;
    };
    // Four slots at a time: an integer of each order, a float, a double, kinds read through the
    // decoder, and a slot of byte positions beside them.
    const std::vector<std::array<Pick, 4>> windows = {
        {{{400, "B"}, {401, "B"}, {kFloats, "I5"}, {402, "Inner"}}},
        {{{std::uint32_t(integerId(true, true, 13)), "L20"}, {kDoubles, "M7"}, {402, "Wide"},
          {400, ""}}},
        {{{401, "A"}, {402, "Top"}, {kFloats, "M30"}, {400, "C"}}}};
    for (const auto& picks : windows) {
        std::array<CurveDefinition, 4> definitions{};
        CurveSignals fastSignals{}, callSignals{};
        for (std::size_t i = 0; i < 4; ++i) {
            definitions[i].flags = curve_flags::kDefined | curve_flags::kYSigned | 0x03;
            definitions[i].identifier = picks[i].id;
            if (*picks[i].signal == 0) continue;
            fastSignals[i] = curveSignal(d, picks[i].id, false, picks[i].signal);
            ASSERT_TRUE(fastSignals[i]) << picks[i].signal;
            callSignals[i] = std::make_shared<ThroughCalls>(fastSignals[i]);
        }
        YtScan fast, calls;
        fast.setDefinitions(definitions);
        calls.setDefinitions(definitions);
        fast.setSignals(fastSignals);
        calls.setSignals(callSignals);
        // In steps, as chart windows scan.
        while (!fast.complete(store)) fast.scan(store, ApplicationFlags{}, 97);
        ASSERT_TRUE(calls.scan(store, ApplicationFlags{}));
        for (int i = 0; i < 4; ++i) {
            const YtSlot& a = fast.slot(i);
            const YtSlot& b = calls.slot(i);
            ASSERT_EQ(a.samples.size(), b.samples.size()) << picks[i].signal;
            EXPECT_GT(a.samples.size(), 0u) << picks[i].signal;
            for (std::size_t k = 0; k < a.samples.size(); ++k) {
                ASSERT_EQ(a.samples[k].frame, b.samples[k].frame);
                ASSERT_EQ(a.samples[k].timeMs(), b.samples[k].timeMs());
            }
            ASSERT_EQ(a.blocks().size(), b.blocks().size());
            for (std::size_t k = 0; k < a.blocks().size(); ++k) {
                EXPECT_EQ(a.blocks()[k].minimum, b.blocks()[k].minimum);
                EXPECT_EQ(a.blocks()[k].maximum, b.blocks()[k].maximum);
            }
            EXPECT_EQ(a.statistics.minimum, b.statistics.minimum);
            EXPECT_EQ(a.statistics.maximum, b.statistics.maximum);
            EXPECT_EQ(a.statistics.minimumIndex, b.statistics.minimumIndex);
            EXPECT_EQ(a.statistics.maximumIndex, b.statistics.maximumIndex);
        }

        // A y(x) curve of two of the signals pairs the same frames either way.
        XYCurveDefinition xy;
        xy.flags = curve_flags::kDefined | 0x03 | (0x03 << 12);
        xy.xIdentifier = picks[0].id;
        xy.yIdentifier = picks[2].id;
        xy.syncIdentifier = picks[1].id;
        YxScan fastXy, callsXy;
        fastXy.setDefinitions({xy, {}, {}, {}});
        callsXy.setDefinitions({xy, {}, {}, {}});
        fastXy.setSignals({fastSignals[2], nullptr, nullptr, nullptr},
                          {fastSignals[0], nullptr, nullptr, nullptr});
        callsXy.setSignals({callSignals[2], nullptr, nullptr, nullptr},
                           {callSignals[0], nullptr, nullptr, nullptr});
        fastXy.scan(store, ApplicationFlags{});
        callsXy.scan(store, ApplicationFlags{});
        const YxSlot& a = fastXy.slot(0);
        const YxSlot& b = callsXy.slot(0);
        ASSERT_EQ(a.samples.size(), b.samples.size());
        EXPECT_GT(a.samples.size(), 0u);
        for (std::size_t k = 0; k < a.samples.size(); ++k) {
            EXPECT_EQ(a.samples[k].xFrame, b.samples[k].xFrame);
            EXPECT_EQ(a.samples[k].yFrame, b.samples[k].yFrame);
            EXPECT_EQ(a.points[k].x, b.points[k].x);
            EXPECT_EQ(a.points[k].y, b.points[k].y);
        }
        EXPECT_EQ(a.xStatistics.maximum, b.xStatistics.maximum);
        EXPECT_EQ(a.yStatistics.minimum, b.yStatistics.minimum);
    }
}
