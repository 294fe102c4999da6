// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar.h"

namespace awardsync {

// Both directions count years from March, so that the leap day ends a year; an era is the 400
// years after which the calendar repeats.
constexpr std::int64_t DaysPerEra = 146097;
constexpr std::int64_t EpochFromMarchZero = 719468; // 1970-01-01 counted from 0000-03-01

std::optional<std::int64_t> daysOfDate(int year, int month, int day) {
    static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1900 || month < 1 || month > 12 || day < 1 ||
        day > monthDays[month - 1] + (month == 2 && leap ? 1 : 0)) {
        return std::nullopt;
    }
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = y / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<std::int64_t>(era) * DaysPerEra + dayOfEra - EpochFromMarchZero;
}

CalendarDate dateOfDays(std::int64_t days) {
    days += EpochFromMarchZero;
    const std::int64_t era = (days >= 0 ? days : days - DaysPerEra + 1) / DaysPerEra;
    const std::int64_t dayOfEra = days - era * DaysPerEra;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    CalendarDate date;
    date.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    date.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    date.year = static_cast<int>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

} // namespace awardsync
