// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "adi_reader.h"
#include "credit_source.h"
#include "records/adif_enums.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace awardsync::mark {

// What matching needs of a QSO of the log, kept in 20 bytes: a log may hold millions of QSOs of a
// credited call, as small as 14 bytes each. The texts and the places a marking needs are read again from
// the record's bytes (detailOf).
class LogQso {
public:
    enum Flag : std::uint8_t {
        HasDay = 1,
        HasStart = 2,
        HasCredit = 4,
        CreditUnreadable = 8, // CREDIT_GRANTED holds more than printable ASCII
        CreditTwice = 16,     // two CREDIT_GRANTED fields: which one counts is anybody's guess
        ReadInCharacters = 32 // the log's lengths counted characters as the record began
    };

    // The record's first byte; 40 bits reach 1 TB, far beyond any log read into memory.
    std::uint64_t begin() const { return (std::uint64_t{beginHigh_} << 32) | beginLow_; }
    void setBegin(std::uint64_t begin);
    // The start, else the day's start (HasStart, HasDay), in seconds; 40 bits reach the years 0 to 9999.
    std::int64_t key() const { return static_cast<std::int64_t>(std::uint64_t(keyHigh_) << 32 | keyLow_); }
    void setKey(std::int64_t key);

    bool has(Flag flag) const { return (flags & flag) != 0; }
    std::optional<std::int64_t> start() const { return has(HasStart) ? std::optional(key()) : std::nullopt; }
    std::optional<std::int64_t> day() const;

    std::int32_t dxcc = -1; // -1: no DXCC field
    std::uint32_t list = 0; // the list of its call and band (BandQsos)
    std::uint8_t groups = AnyGroup;
    std::uint8_t flags = 0;

private:
    // Next to groups and flags, so that the four share one word.
    std::uint8_t beginHigh_ = 0;
    std::int8_t keyHigh_ = 0;
    std::uint32_t beginLow_ = 0, keyLow_ = 0;
};
static_assert(sizeof(LogQso) <= 20, "a kept QSO costs its bytes millions of times over");

// The texts of a QSO as in the log (trimmed; the band from FREQ when BAND is missing) and where to mark it.
struct QsoDetail {
    std::size_t firstTag = 0, eorBegin = 0, end = 0;
    std::string_view call, band, mode, date, time;
    AdiField credit; // CREDIT_GRANTED, when the QSO has it
};

// The QSOs kept for matching; a deque grows without copying what it holds. Read in log order, then
// sorted into their lists (sortIntoLists).
using QsoList = std::deque<LogQso>;

// The fields qsoOf() reads: a record of millions of other fields then costs no memory.
extern const AdiFieldNames QsoFields;

// The QSO facts of a record, read in `unit`; `detail` gets its texts.
LogQso qsoOf(const AdiRecord& record, AdiLengthUnit unit, QsoDetail& detail);

// The texts and places of a kept QSO, read again from the log.
QsoDetail detailOf(const LogQso& qso, std::string_view log);

// The QSOs of one call on one band: once sorted, the run [first, last) of the QSO list, in time order
// (QSOs with a date but no time at the start of their day), QSOs alike for matching next to each other,
// and those in log order.
struct BandQsos {
    static constexpr std::uint32_t NoList = std::numeric_limits<std::uint32_t>::max();
    std::string band;            // upper case; empty: every band that no credit of the call names
    std::uint32_t list = NoList; // opened by the band's first QSO
    std::size_t first = 0, last = 0;
};

// A credited call's QSOs: a list for each band its credits name, sorted by band, then one for all other
// bands, so that a log of a thousand odd bands makes no more lists than the credits do.
struct CallQsos {
    std::vector<BandQsos> byBand;
    bool anyQso = false;
};
// Looked up by a credit's call as it stands in its line, without a copy.
struct CallHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view call) const { return std::hash<std::string_view>()(call); }
};
using QsoIndex = std::unordered_map<std::string, CallQsos, CallHash, std::equal_to<>>; // by call, upper case

// The calls of the readable credits, each with the bands its credits name.
QsoIndex indexOfCredits(const std::vector<Credit>& credits);

// Files a QSO under its call's list of its band; a list's first QSO opens it, numbered by `lists`.
void addToBand(CallQsos& call, std::string_view band, LogQso& qso, std::uint32_t& lists);

// Sorts the QSOs into their lists, so that each list is a run of the QSO list and needs no index of
// its own, and tells every band of `index` its run.
void sortIntoLists(QsoIndex& index, QsoList& qsos, std::uint32_t lists);

enum class Outcome : std::uint8_t {
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
    // and Unreadable). Indexes into the QSO list, in log order.
    std::vector<std::size_t> qsos;
    std::size_t count = 0; // the QSOs equally near, named or not
};

// Whether two readable credits are matched alike: the same call, band, time, mode groups and DXCC.
bool matchedAlike(const Credit& a, const Credit& b);

// What explaining the unmatched credits learns of the band lists once, for the next credit of the same list:
// each long list's QSOs split by their mode groups and DXCC, in list order. Costs 4 bytes per QSO of a list
// that an explanation walked.
class ExplainCache {
public:
    struct Kind {
        std::vector<std::uint32_t> offsets; // from the list's first QSO, ascending
    };
    const std::vector<Kind>& kindsOf(const BandQsos& list, const QsoList& qsos);

private:
    std::unordered_map<std::uint32_t, std::vector<Kind>> byList_;
};

// Matches a credit against the QSOs of its call (nullptr when the log has none). A `cache` kept across the
// credits of one log makes explaining many credits of a long list cheap; the outcome is the same without.
Match matchCredit(const Credit& credit, const QsoList& qsos, const CallQsos* sameCall, ExplainCache* cache = nullptr);

// How far a QSO lies from the credit: seconds with a credit time, whole days (in seconds) without;
// a QSO without the date or time needed lies further than any other.
std::int64_t distance(const Credit& credit, const LogQso& qso);

} // namespace awardsync::mark
