// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "adi_reader.h"
#include "credit_source.h"
#include "records/adif_enums.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace awardsync::mark {

// What matching needs of a QSO of the log, kept small: a log may hold millions of QSOs of a credited
// call. Its call and band are those of the lists it stands in; the texts and the places a marking needs
// are read again from the record's bytes (detailOf).
struct LogQso {
    enum Flag : std::uint8_t {
        HasDay = 1,
        HasStart = 2,
        HasCredit = 4,
        CreditUnreadable = 8, // CREDIT_GRANTED holds more than printable ASCII
        CreditTwice = 16,     // two CREDIT_GRANTED fields: which one counts is anybody's guess
        ReadInCharacters = 32 // the log's lengths counted characters as the record began
    };
    std::uint64_t begin = 0, end = 0; // the record's bytes
    std::int64_t key = 0;             // the start, else the day's start (HasStart, HasDay)
    std::int32_t dxcc = -1;           // -1: no DXCC field
    std::uint8_t groups = AnyGroup;
    std::uint8_t flags = 0;

    bool has(Flag flag) const { return (flags & flag) != 0; }
    std::optional<std::int64_t> start() const { return has(HasStart) ? std::optional(key) : std::nullopt; }
    std::optional<std::int64_t> day() const;
};
static_assert(sizeof(LogQso) <= 32, "a kept QSO costs its bytes millions of times over");

// The texts of a QSO as in the log (trimmed; the band from FREQ when BAND is missing) and where to mark it.
struct QsoDetail {
    std::size_t firstTag = 0, eorBegin = 0;
    std::string_view call, band, mode, date, time;
    AdiField credit; // CREDIT_GRANTED, when the QSO has it
};

// The QSOs kept for matching, in log order; a deque grows without copying what it holds.
using QsoList = std::deque<LogQso>;

// The fields qsoOf() reads: a record of millions of other fields then costs no memory.
extern const AdiFieldNames QsoFields;

// The QSO facts of a record, read in `unit`; `detail` gets its texts.
LogQso qsoOf(const AdiRecord& record, AdiLengthUnit unit, QsoDetail& detail);

// The texts and places of a kept QSO, read again from the log.
QsoDetail detailOf(const LogQso& qso, std::string_view log);

// The QSOs of one call (indexes into the QSO list) per band (upper case), sorted by time by
// sortByBandAndTime, QSOs with a date but no time at the start of their day.
struct CallQsos {
    std::vector<std::pair<std::string, std::vector<std::size_t>>> byBand;
};
using QsoIndex = std::unordered_map<std::string, CallQsos>; // by call, upper case

// Adds a QSO to its call's list of its band, in log order.
void addToBand(CallQsos& call, std::string_view band, std::size_t qso);

// Sorts the per-band lists of every call by time, QSOs of equal time in log order.
void sortByBandAndTime(QsoIndex& index, const QsoList& qsos);

enum class Outcome {
    Matched,
    Unreadable,
    NoCall,
    OtherBand,
    OtherMode,
    OtherDxcc,
    TooFar,
    Ambiguous,
    Unmarkable,
    TwoCreditFields
};

// How many QSOs a match names at most: an ambiguous credit among thousands of equal QSOs names these
// and counts the rest.
constexpr std::size_t NamedQsos = 3;

struct Match {
    Outcome outcome = Outcome::NoCall;
    // Matched: the QSO; Unmarkable, TwoCreditFields: the QSO that cannot be marked; Ambiguous: the first
    // of the QSOs equally near; otherwise the nearest QSO that passed every earlier test (none for NoCall
    // and Unreadable). Indexes into the QSO list.
    std::vector<std::size_t> qsos;
    std::size_t count = 0; // the QSOs equally near, named or not
};

// Matches a credit against the QSOs of its call (nullptr when the log has none).
Match matchCredit(const Credit& credit, const QsoList& qsos, const CallQsos* sameCall);

// How far a QSO lies from the credit: seconds with a credit time, whole days (in seconds) without;
// a QSO without the date or time needed lies further than any other.
std::int64_t distance(const Credit& credit, const LogQso& qso);

} // namespace awardsync::mark
