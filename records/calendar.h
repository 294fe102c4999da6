// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace awardsync {

// The Gregorian calendar as QSO dates use it, counted in days since 1970-01-01 (UTC days).

// The day of a calendar date, or nothing when the date does not exist or lies before 1900 (no QSO
// date does).
std::optional<std::int64_t> daysOfDate(int year, int month, int day);

struct CalendarDate {
    int year = 1970;
    int month = 1;
    int day = 1;
};

// The calendar date of a day.
CalendarDate dateOfDays(std::int64_t days);

} // namespace awardsync
