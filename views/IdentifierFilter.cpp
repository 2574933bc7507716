#include "views/IdentifierFilter.h"

#include "filters/FilterMatch.h"

std::vector<FilterCondition> conditionsShowingIdentifier(
    const std::vector<FilterCondition>& conditions, FilterMode mode, std::uint32_t identifier,
    bool extended, bool remote) {
    FilterCondition c;
    c.flags = FCF_CAN | FCF_FORMAT | FCF_ID | FCF_ENABLED;
    c.formatAndLength = extended ? 1 : 0;
    c.identifier = identifier;
    c.remote = remote ? 1 : 0;
    std::vector<FilterCondition> result = conditions;
    if (mode == FilterMode::kHide) {
        for (FilterCondition& other : result) other.flags &= ~FCF_ENABLED;
    }
    for (FilterCondition& other : result) {
        if (sameCondition(ConditionProtocol::kCan, c, other)) {
            other.flags |= FCF_ENABLED;
            return result;
        }
    }
    result.push_back(c);
    return result;
}
