// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/error.h"
#include "credit_source.h"
#include "report.h"
#include "standings.h"

#include <QByteArray>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace awardsync::mark {

// The stages of a run, for a progress display.
enum class MarkPhase { ReadingLog, Matching, Writing };

// Called now and then with the work done and the work in all (bytes or credits); returning false
// cancels the run, which then raises MarkCancelled and writes nothing.
using MarkProgress = std::function<bool(MarkPhase phase, std::int64_t done, std::int64_t total)>;

class MarkCancelled : public Error {
public:
    MarkCancelled() : Error("Cancelled") {}
};

// Tells the progress hook, if any; raises MarkCancelled when it asks to stop.
void reportProgress(const MarkProgress& progress, MarkPhase phase, std::size_t done, std::size_t total);

struct MarkSummary {
    std::size_t creditsRead = 0;
    std::size_t matchedLotw = 0;
    std::size_t matchedCard = 0;
    std::size_t matchedOther = 0; // ADI credits whose items name neither LoTW nor a card
    std::size_t unmatched = 0;    // ambiguous ones included
    std::size_t ambiguous = 0;
    std::size_t qsosMarked = 0;  // QSOs whose CREDIT_GRANTED changed
    std::size_t qsosAlready = 0; // QSOs that a credit matched, all of whose credits they held already
    std::map<std::string, std::size_t> qsosGaining; // by credit name: the QSOs whose item of it changed
};

// What marking a log with the credits of a credit source gives, before anything is written.
struct MarkedLog {
    MarkSummary summary;
    CreditSourceKind sourceKind = CreditSourceKind::RecordsFile;
    std::vector<std::string_view> output; // the output file's bytes, piece by piece
    // The file of unmatched credits, piece by piece: an ADI source's bytes as they are; a records file's whole
    // lines with their own ends, written each with CR LF (forEachBadBytes).
    std::vector<std::string_view> bad;
    std::deque<std::string> storage;   // the pieces that are not the log's own bytes
    UnmatchedCredits unmatched;        // in source order; reportLine() gives the report
    std::vector<std::string> warnings; // "FILE: record N: ...": records of either file not used
    std::string_view creditsCreated;   // CreditSource::created, for the standings
    // The credit source's credits, for the standings.
    const std::vector<Credit>& credits() const { return unmatched.credits(); }
    // Calls `each` with the bytes of the file of unmatched credits, in order.
    void forEachBadBytes(const std::function<void(std::string_view)>& each) const;
};

// Sees every record of the log as the marking reads it, with `fields` kept beside the marking's own, so
// that one reading of the log serves another purpose too.
struct LogRecordObserver {
    AdiFieldNames fields;
    // Each record with the length unit its file counted in as it began, to read it again by.
    std::function<void(const AdiRecord&, AdiLengthUnit)> record;
};

// Marks `log` (an ADI file's bytes) with the credits of `credits` (a credit source's bytes). With
// `onlyMarked` the output holds the header and only the QSOs whose CREDIT_GRANTED changed. The
// unmatched credits: a records file's lines, each with CR LF; an ADI source's header, records and
// tail, byte for byte. The names are used in error messages. Raises Error for what cannot be read,
// named by file, byte offset or line, and record. The pieces point into both inputs and the result, the unmatched
// credits into both inputs.
// `observer`, if given, sees every record of the log.
MarkedLog markContent(std::string_view credits, std::string_view log, bool onlyMarked, const std::string& creditsName,
                      const std::string& logName, const MarkProgress& progress = {},
                      const LogRecordObserver& observer = {});

// What a run that ran out of memory says: both files named, in words.
std::string outOfMemoryMessage(const std::string& creditsPath, const std::string& logPath);

// The summary as printed after the report.
std::vector<std::string> summaryLines(const MarkSummary& summary);

// Output names: LOG with "-granted" before its extension, CREDITS with "_bad.txt" (a records file) or
// "_bad.adi" (an ADI source) in place of its.
std::string defaultOutputPath(const std::string& logPath);
std::string badCreditsPath(const std::string& creditsPath, CreditSourceKind kind);

struct MarkOptions {
    std::string recordsPath;
    std::string logPath;
    std::string outputPath; // empty: defaultOutputPath(logPath)
    bool onlyMarked = false;
};

struct MarkResult {
    MarkSummary summary;
    std::string outputPath;
    std::string badPath;
    UnmatchedCredits unmatched;        // in source order; reportLine() gives the report
    std::vector<std::string> warnings; // MarkedLog::warnings, shown before the report
    QByteArray creditBytes, logBytes;  // what the unmatched credits are put into words from
};

// The whole run: reads both files, marks, and writes the output and the unmatched credits, each
// through a temporary file and a rename. Raises Error with one line naming the problem; then
// neither file has been written.
// What the marking has read, handed to its hook: the credits, the log's bytes (shared, so keeping them copies
// nothing), the log totalled for the standings as the marking read it, and when the credit source was made.
struct MarkInputs {
    const std::vector<Credit>& credits;
    const QByteArray& log;
    const StandingsTally& tally;
    std::string_view creditsCreated; // CreditSource::created: "YYYYMMDD HHMMSS" as written, or empty
};

// Called once both files are marked and before anything is written, with what the marking read, so that
// the standings read neither file again; what it raises ends the run with nothing written. A hook may
// also take (credits, log, tally) alone.
class MarkInputsHook {
public:
    MarkInputsHook() = default;
    template <typename Hook>
    requires std::is_invocable_v<const Hook&, const MarkInputs&> MarkInputsHook(Hook hook) : hook_(std::move(hook)) {}
    template <typename Hook>
    requires(!std::is_invocable_v<const Hook&, const MarkInputs&> &&
             std::is_invocable_v<const Hook&, const std::vector<Credit>&, const QByteArray&, const StandingsTally&>)
        MarkInputsHook(Hook hook)
        : hook_([hook = std::move(hook)](const MarkInputs& read) { hook(read.credits, read.log, read.tally); }) {}

    explicit operator bool() const { return static_cast<bool>(hook_); }
    void operator()(const MarkInputs& read) const { hook_(read); }

private:
    std::function<void(const MarkInputs&)> hook_;
};

MarkResult markFiles(const MarkOptions& options, const MarkProgress& progress = {},
                     const MarkInputsHook& alsoRead = {});

} // namespace awardsync::mark
