#pragma once

// The dates of an ASC log's header: "date Tue Nov 14 10:13:20.123 pm 2023" (the measurement) and
// "Begin Triggerblock Tue Nov 14 10:13:20.123 pm 2023" (the moment its times count from). Local
// time, English month names, a 12-hour clock with am/pm or a 24-hour one, fractions of a second
// optional. A date that does not read is no date: the log then has no time of day.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The date of a "date ..." or "Begin Triggerblock ..." line, in microseconds since 1970 UTC.
[[nodiscard]] std::optional<std::int64_t> ascHeaderDateUs(std::string_view line);

// Whether the line is a "Begin Triggerblock" line (whose date wins over the "date" line's).
[[nodiscard]] bool isAscTriggerBlockLine(std::string_view line);

// "Tue Nov 14 10:13:20.123 pm 2023" of `us` since 1970 in local time, to the millisecond.
[[nodiscard]] std::string formatAscDate(std::int64_t us);
