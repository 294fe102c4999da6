// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The report's wording: why a credit matched no QSO, and how it and the QSOs are named.
#include "matching.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
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

// The credits that matched no QSO, in source order, each put into words when it is asked for: a source of
// millions of credits that match nothing then costs 24 bytes for each beside the credit itself. The credits'
// and the log's views point into the bytes they were read from, which must outlive the list.
class UnmatchedCredits {
public:
    // What an unmatched credit keeps: the credit, the outcome and the QSOs its match names.
    struct Entry {
        std::uint32_t credit = 0; // index into the credits
        Outcome outcome = Outcome::NoCall;
        std::uint8_t named = 0;  // how many of `qsos` the match names
        std::uint32_t count = 0; // the QSOs equally near, named or not
        std::array<std::uint32_t, NamedQsos> qsos{};
    };
    // What the words are made of: every credit of the source, the QSOs kept for matching, the texts of those
    // that the entries name.
    struct Sources {
        std::vector<Credit> credits;
        QsoList qsos;
        ShownQsos named;
        std::deque<Entry> entries; // grows without copying what it holds
        bool adiRecords = false;
    };

    UnmatchedCredits() = default;
    explicit UnmatchedCredits(std::shared_ptr<const Sources> sources) : sources_(std::move(sources)) {}

    std::size_t size() const { return sources_ ? sources_->entries.size() : 0; }
    bool empty() const { return size() == 0; }
    UnmatchedCredit operator[](std::size_t i) const;

    static Entry entryOf(std::size_t credit, const Match& match);
    // Every credit of the source, matched or not.
    const std::vector<Credit>& credits() const;

private:
    std::shared_ptr<const Sources> sources_;
};

} // namespace awardsync::mark
