#include "filters/FilterState.h"

#include "filters/CompiledFilter.h"

#include <algorithm>

void FilterState::recomputeActive() {
    const bool any = std::any_of(conditions.begin(), conditions.end(),
                                 [](const FilterCondition& c) { return c.has(FCF_ENABLED); });
    activeWord = static_cast<std::uint16_t>((activeWord & ~1u) | (any ? 1u : 0u));
}

void FilterStep(FilterState& state, const FrameStore& store, const ApplicationFlags& flags,
                std::uint32_t upTo) {
    if (flags.test(ApplicationFlags::kClearing)) {
        return;
    }
    if (state.storeGeneration != store.generation()) {
        // Without this the first frames of the next capture would never be looked at.
        state.displayIndexList.clear();
        state.processedCount = 0;
        state.storeGeneration = store.generation();
    }
    const std::uint32_t n = std::min<std::uint32_t>(store.count(), upTo);
    if (n == 0 || n <= state.processedCount) {
        return;
    }
    auto& list = state.displayIndexList;
    if (state.moreConditions) {
        // A frame matches when a condition of the list or one of the others matches; the mode
        // then shows or hides the matching frames.
        const bool listOn = state.active();
        const bool hide = state.mode == FilterMode::kHide;
        const CompiledFilter filter(state.conditions, hide);
        const FrameConditions& more = *state.moreConditions;
        store.visit(state.processedCount, n,
                    [&](const CapturedFrame* frames, std::size_t count, std::size_t first) {
                        for (std::size_t i = 0; i < count; ++i) {
                            const bool matches = (listOn && filter.passes(frames[i]) != hide) ||
                                                 more.matches(frames[i]);
                            if (matches != hide) {
                                list.append(static_cast<std::uint32_t>(first + i));
                            }
                        }
                    });
    } else if (!state.active()) {
        list.appendRange(state.processedCount, n);
    } else {
        const CompiledFilter filter(state.conditions, state.mode == FilterMode::kHide);
        store.visit(state.processedCount, n,
                    [&](const CapturedFrame* frames, std::size_t count, std::size_t first) {
                        for (std::size_t i = 0; i < count; ++i) {
                            if (filter.passes(frames[i])) {
                                list.append(static_cast<std::uint32_t>(first + i));
                            }
                        }
                    });
    }
    state.processedCount = n;
}

void FilterRestart(FilterState& state, const FrameStore& store,
                   std::vector<FilterCondition> conditions, FilterMode mode) {
    state.conditions = std::move(conditions);
    state.displayIndexList.clear();
    state.processedCount = 0;
    state.storeGeneration = store.generation();
    state.mode = mode;
    state.recomputeActive();
}

void FilterRebuild(FilterState& state, const FrameStore& store, const ApplicationFlags& flags,
                   std::vector<FilterCondition> conditions, FilterMode mode) {
    FilterRestart(state, store, std::move(conditions), mode);
    FilterStep(state, store, flags);
}

bool FilterStepWithin(FilterState& state, const FrameStore& store, const ApplicationFlags& flags,
                      std::chrono::nanoseconds budget, std::uint32_t chunkFrames) {
    const auto start = std::chrono::steady_clock::now();
    const std::uint32_t chunk =
        chunkFrames > 0 ? chunkFrames : filterChunkFrames(state.conditions.size());
    for (;;) {
        const std::uint32_t from =
            state.storeGeneration == store.generation() ? state.processedCount : 0;
        FilterStep(state, store, flags, from + std::min(chunk, UINT32_MAX - from));
        const bool behind = state.storeGeneration != store.generation() ||
                            state.processedCount < store.count();
        // A store being emptied makes no progress: the next call tries again.
        if (!behind || flags.test(ApplicationFlags::kClearing)) return behind;
        if (std::chrono::steady_clock::now() - start >= budget) return true;
    }
}

std::uint32_t filterStepFrames(std::size_t conditions) {
    // About 16 million condition tests, a few tens of milliseconds on a desktop machine.
    constexpr std::uint64_t kTestsPerStep = 16u << 20;
    const std::uint64_t frames = kTestsPerStep / std::max<std::size_t>(conditions, 1);
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(frames, 1u << 16, 4u << 20));
}

std::uint32_t filterChunkFrames(std::size_t conditions) {
    // A millisecond or so.
    return std::max<std::uint32_t>(filterStepFrames(conditions) / 64, 4096);
}
