// SPDX-License-Identifier: GPL-3.0-or-later
#include "qso_time.h"

#include "records/calendar.h"

namespace awardsync::mark {

namespace {

// The number that `text` spells in decimal digits only, or -1.
int digitsValue(std::string_view text) {
    if (text.empty()) {
        return -1;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<std::int64_t> timeOf(int hours, int minutes, int seconds) {
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59) {
        return std::nullopt;
    }
    return hours * 3600 + minutes * 60 + seconds;
}

} // namespace

std::optional<std::int64_t> daysOfRecordDate(std::string_view text) {
    if (text.size() != 10 || text[4] != text[7] || (text[4] != '/' && text[4] != '-')) {
        return std::nullopt;
    }
    return daysOfDate(digitsValue(text.substr(0, 4)), digitsValue(text.substr(5, 2)), digitsValue(text.substr(8, 2)));
}

std::optional<std::int64_t> daysOfAdifDate(std::string_view text) {
    if (text.size() != 8) {
        return std::nullopt;
    }
    return daysOfDate(digitsValue(text.substr(0, 4)), digitsValue(text.substr(4, 2)), digitsValue(text.substr(6, 2)));
}

std::optional<std::int64_t> secondsOfRecordTime(std::string_view text) {
    if ((text.size() != 5 && text.size() != 8) || text[2] != ':' || (text.size() == 8 && text[5] != ':')) {
        return std::nullopt;
    }
    return timeOf(digitsValue(text.substr(0, 2)), digitsValue(text.substr(3, 2)),
                  text.size() == 8 ? digitsValue(text.substr(6, 2)) : 0);
}

std::optional<std::int64_t> secondsOfAdifTime(std::string_view text) {
    if (text.size() != 4 && text.size() != 6) {
        return std::nullopt;
    }
    return timeOf(digitsValue(text.substr(0, 2)), digitsValue(text.substr(2, 2)),
                  text.size() == 6 ? digitsValue(text.substr(4, 2)) : 0);
}

} // namespace awardsync::mark
