#pragma once

// Whether a frame passes one condition, and whether two conditions say the same.

#include "capture/CapturedFrame.h"
#include "filters/FilterCondition.h"

[[nodiscard]] bool matches(const CapturedFrame& frame, const FilterCondition& condition);

// The duplicate rule, one variant per protocol (chosen by the dialog that adds): the conditions
// are the same when their flags differ at most in FCF_ENABLED, their remote words are equal and
// every field the flags constrain is equal.
[[nodiscard]] bool sameCondition(ConditionProtocol protocol, const FilterCondition& added,
                                 const FilterCondition& existing);
