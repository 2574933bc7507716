// Many conditions at once: the grouped filter still answers exactly as matches() does, and its
// work per frame does not grow with the number of conditions that test the same fields.

#include "filters/CompiledFilter.h"
#include "filters/FilterMatch.h"

#include <gtest/gtest.h>

#include <random>

namespace {

FilterCondition exactId(std::uint32_t id, bool extended) {
    FilterCondition c;
    c.flags = FCF_CAN | FCF_ENABLED | FCF_FORMAT | FCF_ID;
    c.formatAndLength = extended ? 1 : 0;
    c.identifier = id;
    return c;
}

}  // namespace

TEST(CompiledFilterScale, ThousandsOfExactIdentifiersShareOneShape) {
    std::vector<FilterCondition> conditions;
    for (std::uint32_t id = 0; id < 10'000; ++id) conditions.push_back(exactId(id * 7, true));
    const CompiledFilter show(conditions, false);
    EXPECT_EQ(show.alternatives(), 10'000u);
    EXPECT_EQ(show.shapes(), 1u);
    CapturedFrame f;
    f.format = 1;
    f.identifier = 7 * 9'999;
    EXPECT_TRUE(show.passes(f));
    f.identifier = 7 * 9'999 + 1;
    EXPECT_FALSE(show.passes(f));
    f.identifier = 7 * 10'000;  // just past the last one
    EXPECT_FALSE(show.passes(f));
    f.identifier = 0;
    f.format = 0;  // right identifier, wrong format
    EXPECT_FALSE(show.passes(f));
}

TEST(CompiledFilterScale, ManyMixedConditionsAgreeWithMatches) {
    std::mt19937 rng(99);
    const auto pick = [&rng](std::uint32_t n) {
        return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng);
    };
    for (int round = 0; round < 20; ++round) {
        std::vector<FilterCondition> conditions;
        // Repeated shapes (exact identifiers, identifiers with data bytes, duplicates) and a few
        // random conditions of every kind.
        for (int i = 0; i < 300; ++i) {
            FilterCondition c = exactId(pick(0x800), pick(2) == 0);
            if (pick(3) == 0) {
                c.flags |= FCF_LENGTH | FCF_DATA0;
                c.formatAndLength |= (1 + pick(8)) << 8;
                c.data[0] = static_cast<std::uint8_t>(pick(4));
            }
            if (pick(10) == 0) c.flags &= ~FCF_ENABLED;
            c.remote = pick(4) == 0 ? 1 : 0;
            conditions.push_back(c);
            if (pick(20) == 0) conditions.push_back(c);
        }
        for (int i = 0; i < 20; ++i) {
            FilterCondition c;
            const std::uint32_t protocol = pick(3);
            c.flags = (protocol == 0   ? FCF_CAN
                       : protocol == 1 ? FCF_DEVICENET
                                       : FCF_CANOPEN) |
                      (rng() & ~(FCF_CAN | FCF_DEVICENET | FCF_CANOPEN));
            c.advancedMask = rng();
            c.advancedBits = rng();
            c.identifier = pick(0x800);
            c.formatAndLength = pick(2) | pick(10) << 8;
            for (auto& b : c.data) b = static_cast<std::uint8_t>(pick(4));
            c.dnMessageId = pick(8);
            c.dnSourceMac = pick(64);
            c.dnDestMac = pick(64);
            c.coCobId = pick(0x800);
            c.coFunctionCode = pick(16);
            c.coNodeId = pick(128);
            conditions.push_back(c);
        }
        const CompiledFilter show(conditions, false), hide(conditions, true);
        EXPECT_LT(show.shapes(), 60u);
        for (int k = 0; k < 3000; ++k) {
            CapturedFrame f;
            f.identifier = pick(0x800);
            f.format = static_cast<std::uint8_t>(pick(2));
            f.status = pick(4) == 0 ? 1 : 0;
            f.length = static_cast<std::uint8_t>(pick(9));
            for (auto& b : f.data) b = static_cast<std::uint8_t>(pick(4));
            bool any = false;
            for (const auto& c : conditions) any |= matches(f, c);
            ASSERT_EQ(show.passes(f), any) << "round " << round << " frame " << k;
            ASSERT_EQ(hide.passes(f), !any) << "round " << round << " frame " << k;
        }
    }
}
