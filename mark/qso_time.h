// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace awardsync::mark {

// A date as the records file writes it (YYYY/MM/DD; YYYY-MM-DD too) or as ADIF does (YYYYMMDD).
std::optional<std::int64_t> daysOfRecordDate(std::string_view text);
std::optional<std::int64_t> daysOfAdifDate(std::string_view text);

// Seconds since midnight: records write HH:MM:SS or HH:MM, ADIF writes HHMM or HHMMSS.
std::optional<std::int64_t> secondsOfRecordTime(std::string_view text);
std::optional<std::int64_t> secondsOfAdifTime(std::string_view text);

} // namespace awardsync::mark
