// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The report's wording: why a credit matched no QSO, and how it and the QSOs are named.
#include "matching.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace awardsync::mark {

// How much of one value or record line the report echoes: a longer one is cut (with "...") so that a
// hostile file cannot blow up the report.
constexpr std::size_t EchoLimit = 200;

// `text` as the report echoes it: at most EchoLimit bytes, never cut inside a UTF-8 character.
std::string echoed(std::string_view text);

// A QSO or ADI credit as the report names it: "CALL 2009-07-14 18:05:00 20M SSB" (an ADIF date and
// time spelt out; missing parts named, an empty time left out when `timeOptional`).
std::string describeQsoValues(std::string_view call, std::string_view date, std::string_view time,
                              std::string_view band, std::string_view mode, bool timeOptional);

// A credit that did not match, in the report's words and in parts for a table: the credit as the
// report names it, the reason, and the QSOs of the log that the reason names (empty when none),
// joined to it by `link`.
struct UnmatchedCredit {
    std::size_t lineNumber = 0; // the line of a records file, or the record of an ADI source
    std::string line;
    std::string reason;
    std::string nearest;
    std::string link;
    bool adiRecord = false; // the report says "record N" instead of "line N"
};

// A QSO that the report names: its texts and its line in the log.
struct ShownQso {
    QsoDetail detail;
    std::size_t line = 0;
};
using ShownQsos = std::map<std::size_t, ShownQso>; // by index into the QSO list

// Why `credit` matched no QSO, naming the nearest QSOs with their texts and lines in the log (`named`, by
// QSO index).
UnmatchedCredit explainUnmatched(const Credit& credit, const Match& match, const QsoList& qsos, const ShownQsos& named,
                                 bool adiRecord);

// The report line: the credit's line or record number and how it reads, the reason, then the QSOs it names.
std::string reportLine(const UnmatchedCredit& credit);

} // namespace awardsync::mark
