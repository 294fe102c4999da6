// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "adi_reader.h"
#include "credit_source.h"
#include "records/adif_enums.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace awardsync::mark {

// What matching needs of a QSO of the log, and where to mark it.
struct LogQso {
    std::size_t number = 0; // the record's number in the log
    std::size_t begin = 0, firstTag = 0, eorBegin = 0, end = 0;
    std::string_view call, band, mode, date, time; // trimmed, as in the log; the band from FREQ when BAND is missing
    unsigned groups = AnyGroup;
    int dxcc = -1; // -1: no DXCC field
    std::optional<std::int64_t> day, start;
    bool hasCredit = false;
    bool creditUnreadable = false; // CREDIT_GRANTED holds more than printable ASCII
    bool creditTwice = false;      // two CREDIT_GRANTED fields: which one counts is anybody's guess
    AdiField credit;               // CREDIT_GRANTED, when hasCredit
};

// The QSOs kept for matching, in log order.
using QsoList = std::vector<LogQso>;

// The QSO facts of a record.
LogQso qsoOf(const AdiRecord& record);

// The QSOs of one call (indexes into the QSO list): all of them in log order, and per band (upper
// case) sorted by time, QSOs with a date but no time at the start of their day.
struct CallQsos {
    std::vector<std::size_t> inLogOrder;
    std::vector<std::pair<std::string, std::vector<std::size_t>>> byBand;
};
using QsoIndex = std::unordered_map<std::string, CallQsos>; // by call, upper case

// Fills the per-band lists of every call from its QSOs in log order.
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
