#pragma once

#include "core/error.h"
#include "matching.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
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

struct MarkSummary {
    std::size_t creditsRead = 0;
    std::size_t matchedLotw = 0;
    std::size_t matchedCard = 0;
    std::size_t unmatched = 0; // ambiguous ones included
    std::size_t ambiguous = 0;
    std::size_t qsosMarked = 0;  // QSOs whose CREDIT_GRANTED changed
    std::size_t qsosAlready = 0; // QSOs that a credit matched, all of whose credits they held already
};

// What marking a log with the credits of a records file gives, before anything is written.
struct MarkedLog {
    MarkSummary summary;
    std::vector<std::string_view> output;   // the output file's bytes, piece by piece
    std::vector<std::string_view> badLines; // the unmatched record lines, unchanged
    std::deque<std::string> storage;        // the pieces that are not the log's own bytes
    std::vector<UnmatchedCredit> unmatched; // in records-file order; reportLine() gives the report
};

// Marks `log` (an ADI file's bytes) with the credits of `records` (a records file's bytes). With
// `onlyMarked` the output holds the header and only the QSOs whose CREDIT_GRANTED changed. The
// names are used in error messages. Raises Error for what cannot be read, named by file, byte
// offset or line, and record. The pieces point into `log` and into the result.
MarkedLog markContent(std::string_view records, std::string_view log, bool onlyMarked, const std::string& recordsName,
                      const std::string& logName, const MarkProgress& progress = {});

// The summary as printed after the report.
std::vector<std::string> summaryLines(const MarkSummary& summary);

// Output names: LOG with "-granted" before its extension, RECORDS with "_bad.txt" in place of its.
std::string defaultOutputPath(const std::string& logPath);
std::string badCreditsPath(const std::string& recordsPath);

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
    std::vector<UnmatchedCredit> unmatched; // in records-file order; reportLine() gives the report
};

// The whole run: reads both files, marks, and writes the output and the "_bad.txt" file, each
// through a temporary file and a rename. Raises Error with one line naming the problem; then
// neither file has been written.
MarkResult markFiles(const MarkOptions& options, const MarkProgress& progress = {});

// The command line: `awardsync-mark [--output FILE] [--only-marked] RECORDS LOG`, --help, --version.
// Prints the report and the summary to `out`, errors to `err`; returns the exit status: 0 when every
// credit matched, 1 when some did not, 2 on an error (nothing written).
int runMarkCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace awardsync::mark
