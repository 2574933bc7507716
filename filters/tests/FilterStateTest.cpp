#include "filters/FilterState.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

CapturedFrame frame(std::uint32_t id, std::uint32_t status = 0) {
    CapturedFrame f;
    f.identifier = id;
    f.status = status;
    return f;
}

FilterCondition exactId(std::uint32_t id, bool enabled = true) {
    FilterCondition c;
    c.flags = FCF_CAN | FCF_FORMAT | FCF_ID | (enabled ? FCF_ENABLED : 0);
    c.identifier = id;
    return c;
}

std::vector<std::uint32_t> rows(const FilterState& s) {
    std::vector<std::uint32_t> out;
    for (std::size_t r = 0; r < s.displayIndexList.size(); ++r) {
        out.push_back(s.displayIndexList.at(r));
    }
    return out;
}

class FilterStateTest : public ::testing::Test {
protected:
    void add(std::initializer_list<std::uint32_t> ids) {
        for (std::uint32_t id : ids) {
            m_store.append(frame(id));
        }
    }
    FrameStore m_store;
    ApplicationFlags m_flags;
    FilterState m_state;
};

}  // namespace

TEST_F(FilterStateTest, InactiveFilterShowsEveryFrameInEitherMode) {
    add({1, 2, 3});
    FilterStep(m_state, m_store, m_flags);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 1, 2}));

    // Every condition unticked: still inactive, in Hide mode too.
    FilterRebuild(m_state, m_store, m_flags, {exactId(2, false)}, FilterMode::kHide);
    EXPECT_FALSE(m_state.active());
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 1, 2}));
}

TEST_F(FilterStateTest, ShowAndHideModes) {
    add({1, 2, 3, 2});
    FilterRebuild(m_state, m_store, m_flags, {exactId(2), exactId(9, false)}, FilterMode::kShow);
    EXPECT_TRUE(m_state.active());
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{1, 3}));
    FilterRebuild(m_state, m_store, m_flags, {exactId(2), exactId(1, false)}, FilterMode::kHide);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 2}));
}

TEST_F(FilterStateTest, EachStepTestsOnlyTheNewFrames) {
    FilterRebuild(m_state, m_store, m_flags, {exactId(7)}, FilterMode::kShow);
    add({7, 1});
    FilterStep(m_state, m_store, m_flags);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0}));
    // Changing the conditions without a rebuild does not touch frames already looked at.
    m_state.conditions = {exactId(1)};
    add({1, 7});
    FilterStep(m_state, m_store, m_flags);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 2}));
    EXPECT_EQ(m_state.processedCount, 4u);
}

TEST_F(FilterStateTest, NothingHappensWhileTheStoreIsBeingCleared) {
    add({1});
    m_flags.set(ApplicationFlags::kClearing);
    FilterStep(m_state, m_store, m_flags);
    EXPECT_TRUE(m_state.displayIndexList.empty());
    m_flags.reset(ApplicationFlags::kClearing);
    FilterStep(m_state, m_store, m_flags);
    EXPECT_EQ(m_state.displayIndexList.size(), 1u);
}

// After Clear All, New or Open the next capture's first frames must reach the list.
TEST_F(FilterStateTest, AnEmptiedStoreStartsTheListAfresh) {
    add({1, 2, 3});
    FilterStep(m_state, m_store, m_flags);
    m_store.clear();
    add({4, 5});
    FilterStep(m_state, m_store, m_flags);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(m_state.processedCount, 2u);

    // Emptied and refilled beyond the old count between two steps: still seen from the start.
    m_store.clear();
    add({6, 7, 8, 9});
    FilterStep(m_state, m_store, m_flags);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 1, 2, 3}));
}

TEST_F(FilterStateTest, TheListsGenerationChangesWhenItIsMadeAnewNotWhenRowsAreAdded) {
    add({1, 2, 1, 2});
    FilterStep(m_state, m_store, m_flags);
    std::uint64_t seen = m_state.displayIndexList.generation();
    add({1});
    FilterStep(m_state, m_store, m_flags);
    EXPECT_EQ(m_state.displayIndexList.generation(), seen);

    // Rebuilt over the same store, with as many rows: a new list all the same.
    FilterRebuild(m_state, m_store, m_flags, {exactId(2)}, FilterMode::kHide);
    EXPECT_NE(m_state.displayIndexList.generation(), seen);
    seen = m_state.displayIndexList.generation();
    FilterRestart(m_state, m_store, {exactId(2)}, FilterMode::kHide);
    EXPECT_NE(m_state.displayIndexList.generation(), seen);
    seen = m_state.displayIndexList.generation();
    m_state.displayIndexList.clear();
    EXPECT_NE(m_state.displayIndexList.generation(), seen);
}

TEST_F(FilterStateTest, RowsBeyondTheListAreReportedAbsent) {
    add({1});
    FilterStep(m_state, m_store, m_flags);
    EXPECT_TRUE(m_state.displayIndexList.contains(0));
    EXPECT_FALSE(m_state.displayIndexList.contains(1));
}

namespace {

TEST_F(FilterStateTest, ARestartedFilterFillsInSlicesAndTakesFramesAppendedMeanwhileOnce) {
    for (std::uint32_t i = 0; i < 200'000; ++i) m_store.append(frame(i % 0x800));
    // Only identifiers 0x10..0x1F pass.
    std::vector<FilterCondition> conditions;
    for (std::uint32_t id = 0; id < 64; ++id)
        conditions.push_back(exactId(id, id >= 0x10 && id < 0x20));

    m_state.conditions = {exactId(0x7FF)};
    m_state.recomputeActive();
    FilterStep(m_state, m_store, m_flags);
    ASSERT_FALSE(rows(m_state).empty());

    FilterRestart(m_state, m_store, conditions, FilterMode::kShow);
    EXPECT_TRUE(m_state.displayIndexList.empty());  // the old rows are let go at once
    EXPECT_TRUE(m_state.active());
    // A zero budget: one chunk, then the call hands back.
    EXPECT_TRUE(FilterStepWithin(m_state, m_store, m_flags, std::chrono::nanoseconds{0}, 50'000));
    EXPECT_EQ(m_state.processedCount, 50'000u);
    const std::vector<std::uint32_t> partial = rows(m_state);
    EXPECT_FALSE(partial.empty());
    EXPECT_LT(partial.back(), 50'000u);

    // Frames captured between slices.
    for (std::uint32_t i = 0; i < 1000; ++i) m_store.append(frame(0x10 + i % 0x20));
    int calls = 1;
    for (;;) {
        ++calls;
        if (!FilterStepWithin(m_state, m_store, m_flags, std::chrono::nanoseconds{0}, 50'000)) break;
        ASSERT_LT(calls, 100);
    }
    EXPECT_EQ(calls, 5);  // three more whole chunks, then the last 1000 frames
    EXPECT_EQ(m_state.processedCount, 201'000u);

    FilterState whole;
    FilterRebuild(whole, m_store, m_flags, conditions, FilterMode::kShow);
    const std::vector<std::uint32_t> all = rows(m_state);
    EXPECT_EQ(all, rows(whole));
    ASSERT_GE(all.size(), partial.size());
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), all.begin()));

    // A budget that is not spent runs to the end.
    m_store.append(frame(0x15));
    EXPECT_FALSE(FilterStepWithin(m_state, m_store, m_flags, std::chrono::seconds{10}));
    EXPECT_EQ(rows(m_state).back(), 201'000u);
}

TEST_F(FilterStateTest, AListOfManyBlocksCopiesAndMovesWhole) {
    FilterState big;
    for (std::uint32_t i = 0; i < 150'000; ++i) m_store.append(frame(i % 3));
    FilterRebuild(big, m_store, m_flags, {exactId(0)}, FilterMode::kHide);
    ASSERT_EQ(big.displayIndexList.size(), 100'000u);
    FilterState copy = big;
    EXPECT_EQ(rows(copy), rows(big));
    EXPECT_EQ(copy.displayIndexList.generation(), big.displayIndexList.generation());
    const std::vector<std::uint32_t> before = rows(big);
    FilterState moved = std::move(copy);
    EXPECT_EQ(rows(moved), before);
    EXPECT_EQ(copy.displayIndexList.size(), 0u);  // NOLINT: the moved-from list is empty
    EXPECT_EQ(before[99'999], 149'999u);
    EXPECT_EQ(moved.displayIndexList.storedRows(), 100'000u);  // frame 0 is left out
}

TEST_F(FilterStateTest, RowsOfEveryFrameFromTheFirstTakeNoMemoryUntilAFrameIsLeftOut) {
    for (std::uint32_t i = 0; i < 100'000; ++i) m_store.append(frame(i % 5));
    FilterStep(m_state, m_store, m_flags);
    EXPECT_EQ(m_state.displayIndexList.size(), 100'000u);
    EXPECT_EQ(m_state.displayIndexList.storedRows(), 0u);
    EXPECT_EQ(m_state.displayIndexList.at(77'777), 77'777u);

    // Hide identifier 4: rows 0..3 still show frames 0..3, then the list leaves frames out.
    FilterRebuild(m_state, m_store, m_flags, {exactId(4)}, FilterMode::kHide);
    ASSERT_EQ(m_state.displayIndexList.size(), 80'000u);
    EXPECT_EQ(m_state.displayIndexList.storedRows(), 80'000u - 4);
    for (std::size_t r : {0, 3, 4, 5, 65'535, 65'540, 79'999}) {
        const std::uint32_t p = m_state.displayIndexList.at(r);
        EXPECT_EQ(p, r / 4 * 5 + r % 4) << r;
    }
    // A copy made by appending is the same list.
    DisplayIndexList copy;
    for (std::size_t r = 0; r < m_state.displayIndexList.size(); ++r)
        copy.append(m_state.displayIndexList.at(r));
    EXPECT_EQ(copy.storedRows(), m_state.displayIndexList.storedRows());

    // A range after a gap is stored row by row.
    DisplayIndexList list;
    list.appendRange(0, 10);
    list.appendRange(12, 15);
    list.appendRange(15, 15);
    EXPECT_EQ(list.size(), 13u);
    EXPECT_EQ(list.storedRows(), 3u);
    EXPECT_EQ(list.at(9), 9u);
    EXPECT_EQ(list.at(10), 12u);
    EXPECT_EQ(list.at(12), 14u);
}

TEST_F(FilterStateTest, APassCanStopShortAndTheNextOneGoesOn) {
    add({1, 2, 3, 4});
    FilterStep(m_state, m_store, m_flags, 2);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 1}));
    FilterStep(m_state, m_store, m_flags);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 1, 2, 3}));
}

}  // namespace

namespace {

// Matches frames of one identifier, as another subsystem's conditions would.
class IdentifierIs final : public FrameConditions {
public:
    explicit IdentifierIs(std::uint32_t id) : m_id(id) {}
    bool matches(const CapturedFrame& f) const override { return f.identifier == m_id; }

private:
    std::uint32_t m_id;
};

}  // namespace

TEST_F(FilterStateTest, OtherConditionsCountAsConditionsOfTheListInEitherMode) {
    add({1, 2, 3, 2, 4});
    m_state.moreConditions = std::make_shared<IdentifierIs>(3);
    // Alone, with no condition of the list ticked.
    FilterRebuild(m_state, m_store, m_flags, {exactId(2, false)}, FilterMode::kShow);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{2}));
    FilterRebuild(m_state, m_store, m_flags, {}, FilterMode::kHide);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 1, 3, 4}));
    // Beside the list's conditions.
    FilterRebuild(m_state, m_store, m_flags, {exactId(2)}, FilterMode::kShow);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{1, 2, 3}));
    FilterRebuild(m_state, m_store, m_flags, {exactId(2)}, FilterMode::kHide);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 4}));
    // A restart in slices keeps them, and new frames meet them too.
    FilterRestart(m_state, m_store, {exactId(1)}, FilterMode::kShow);
    while (FilterStepWithin(m_state, m_store, m_flags, std::chrono::nanoseconds{0}, 2)) {
    }
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 2}));
    add({3});
    FilterStep(m_state, m_store, m_flags);
    EXPECT_EQ(rows(m_state), (std::vector<std::uint32_t>{0, 2, 5}));
}
