#pragma once

#include "adi_reader.h"
#include "records/adif_enums.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace awardsync::mark {

enum class CreditKind { Lotw, Card };

// One line of the records file and what it says.
struct Credit {
    std::size_t lineNumber = 0;
    std::string_view line; // unchanged, without its line end
    std::string problem;   // why the line cannot be used; empty when it can
    std::string call;      // trimmed, upper case
    std::string band;      // trimmed, upper case
    std::string_view mode;
    unsigned groups = AnyGroup;
    int dxcc = 0; // 0: unknown
    std::int64_t day = 0;
    std::optional<std::int64_t> start; // seconds since 1970, when the line has a time
    CreditKind kind = CreditKind::Lotw;
};

// The credits of a records file, one per line that is not blank, in file order (CR LF or LF).
std::vector<Credit> readCredits(std::string_view text);

// What matching needs of a QSO of the log, and where to mark it.
struct LogQso {
    std::size_t number = 0; // the record's number in the log
    std::size_t begin = 0, firstTag = 0, eorBegin = 0, end = 0;
    std::string_view call, band, mode, date, time; // trimmed, as in the log
    unsigned groups = AnyGroup;
    int dxcc = -1; // -1: no DXCC field
    std::optional<std::int64_t> day, start;
    bool hasCredit = false;
    bool creditUnreadable = false; // CREDIT_GRANTED holds more than printable ASCII
    AdiField credit;               // CREDIT_GRANTED, when hasCredit
};

// The QSOs kept for matching, in log order.
using QsoList = std::vector<LogQso>;

// The QSO facts of a record.
LogQso qsoOf(const AdiRecord& record);

enum class Outcome { Matched, Unreadable, NoCall, OtherBand, OtherMode, OtherDxcc, TooFar, Ambiguous, Unmarkable };

struct Match {
    Outcome outcome = Outcome::NoCall;
    // Matched: the QSO; Unmarkable: the QSO whose CREDIT_GRANTED cannot be read; Ambiguous: the QSOs equally near;
    // otherwise the nearest QSO that passed every earlier test (none for NoCall and Unreadable). Indexes into the QSO
    // list.
    std::vector<std::size_t> qsos;
};

// Matches a credit against the QSOs with its call (indexes into `qsos`), in log order.
Match matchCredit(const Credit& credit, const QsoList& qsos, const std::vector<std::size_t>& sameCall);

// A credit that did not match, in the report's words and in parts for a table: its record line, the
// reason, and the QSOs of the log that the reason names (empty when none), joined to it by `link`.
struct UnmatchedCredit {
    std::size_t lineNumber = 0;
    std::string line;
    std::string reason;
    std::string nearest;
    std::string link;
};

// Why `credit` matched no QSO, naming the nearest QSOs with their lines in the log (`qsoLines`, by
// QSO index).
UnmatchedCredit explainUnmatched(const Credit& credit, const Match& match, const QsoList& qsos,
                                 const std::vector<std::size_t>& qsoLines);

// The report line: the record line's number and text, the reason, then the QSOs it names.
std::string reportLine(const UnmatchedCredit& credit);

} // namespace awardsync::mark
