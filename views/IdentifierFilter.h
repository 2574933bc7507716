#pragma once

// "Filter on this identifier": the filter's list with a CAN condition for one identifier added,
// to be applied in Show mode. Conditions that hid frames would show theirs once the mode is Show,
// so they stay in the list unticked; a condition that says the same as the new one is ticked
// rather than added twice.
//
// Thread: any.

#include "filters/FilterCondition.h"
#include "filters/FilterState.h"

#include <cstdint>
#include <vector>

// `remote`: the condition is for the identifier's remote frames (a CAN condition takes either
// data or remote frames).
[[nodiscard]] std::vector<FilterCondition> conditionsShowingIdentifier(
    const std::vector<FilterCondition>& conditions, FilterMode mode, std::uint32_t identifier,
    bool extended, bool remote);
