// SPDX-License-Identifier: GPL-3.0-or-later
#include "marking.h"

#include "core/atomic_save.h"
#include "core/file_paths.h"
#include "core/text.h"
#include "credit_source.h"
#include "run_files.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace awardsync::mark {

void reportProgress(const MarkProgress& progress, MarkPhase phase, std::size_t done, std::size_t total) {
    if (progress && !progress(phase, static_cast<std::int64_t>(done), static_cast<std::int64_t>(total))) {
        throw MarkCancelled();
    }
}

namespace {

constexpr qint64 WriteChunk = 8 << 20;
constexpr std::size_t GatherLimit = 64 << 10;

// Opens the temporary file beside `path` and writes every piece; committing is left to the caller
// so that both output files are complete before either replaces its predecessor. Long pieces (the
// log's own bytes between edits) go straight to the file; short ones are gathered first, so that
// neither the log is copied nor a write is made for every edit.
template <typename ForEach>
void writePieces(AtomicFile& file, const ForEach& forEachPiece, const MarkProgress& progress, std::size_t& written,
                 std::size_t total) {
    std::string gathered;
    const auto writeOut = [&](std::string_view bytes) {
        while (!bytes.empty()) {
            const qint64 size = std::min<qint64>(static_cast<qint64>(bytes.size()), WriteChunk);
            file.write(bytes.data(), size);
            bytes.remove_prefix(static_cast<std::size_t>(size));
            written += static_cast<std::size_t>(size);
            if (size == WriteChunk) {
                reportProgress(progress, MarkPhase::Writing, written, total);
            }
        }
    };
    forEachPiece([&](std::string_view piece) {
        if (piece.size() >= GatherLimit) {
            writeOut(gathered);
            gathered.clear();
            writeOut(piece);
        } else {
            gathered += piece;
            if (gathered.size() >= GatherLimit) {
                writeOut(gathered);
                gathered.clear();
            }
        }
    });
    writeOut(gathered);
}

// The output files' own words for a save that failed: which file, and why.
[[noreturn]] void saveFailed(const SaveError& error, const std::string& path) {
    if (error.stage() == SaveError::Stage::Create) {
        throw Error(cannotCreateFileMessage(path, error.what()));
    }
    throw Error("cannot write \"" + path + "\": " + error.what());
}

} // namespace

std::vector<std::string> summaryLines(const MarkSummary& s) {
    const auto n = [](std::size_t value) { return std::to_string(value); };
    std::string marked;
    for (const auto& [name, count] : s.qsosGaining) {
        marked += (marked.empty() ? "" : ", ") + name + " " + n(count);
    }
    return {"Credits read: " + n(s.creditsRead),
            "Matched: " + n(s.matchedLotw + s.matchedCard + s.matchedOther) + " (LoTW " + n(s.matchedLotw) + ", card " +
                n(s.matchedCard) + (s.matchedOther > 0 ? ", media not given " + n(s.matchedOther) : "") + ")",
            "Unmatched: " + n(s.unmatched) + " (ambiguous " + n(s.ambiguous) + ")",
            "QSOs marked: " + n(s.qsosMarked),
            "Marked: " + (marked.empty() ? std::string("none") : marked),
            "QSOs already holding the credit: " + n(s.qsosAlready)};
}

std::string outOfMemoryMessage(const std::string& creditsPath, const std::string& logPath) {
    return "not enough memory to mark \"" + logPath + "\" with the credits of \"" + creditsPath +
           "\": close other programs or give smaller files";
}

std::string defaultOutputPath(const std::string& logPath) {
    return pathWithNewEnding(logPath, "-granted", true);
}

std::string badCreditsPath(const std::string& creditsPath, CreditSourceKind kind) {
    return pathWithNewEnding(creditsPath, kind == CreditSourceKind::Adi ? "_bad.adi" : "_bad.txt", false);
}

MarkResult markFiles(const MarkOptions& options, const MarkProgress& progress, const MarkInputsHook& alsoRead) {
    MarkResult result;
    result.outputPath = options.outputPath.empty() ? defaultOutputPath(options.logPath) : options.outputPath;
    // The name of the unmatched credits' file follows the source's form, so the source is read
    // first; reading it refuses anything but a regular file before a byte is read.
    const QByteArray recordBytes = readRegularFile(options.recordsPath, "the credits file");
    const std::string_view creditBytes = viewOf(recordBytes);
    result.badPath =
        badCreditsPath(options.recordsPath, creditSourceKindOf(creditBytes).value_or(CreditSourceKind::RecordsFile));
    checkRunFiles({options.recordsPath, options.logPath, result.outputPath, result.badPath});
    const QByteArray logBytes = readRegularFile(options.logPath, "the log");
    const std::string_view log = viewOf(logBytes);
    // The standings total the log in the marking's reading of it, only when they are wanted.
    StandingsTally tally;
    LogRecordObserver observer;
    if (alsoRead) {
        observer = {StandingsTally::Fields,
                    [&](const AdiRecord& record, AdiLengthUnit unit) { tally.add(record, unit); }};
    }
    MarkedLog marked =
        markContent(creditBytes, log, options.onlyMarked, options.recordsPath, options.logPath, progress, observer);
    if (alsoRead) {
        alsoRead({marked.credits(), logBytes, tally, marked.creditsCreated});
    }
    std::size_t total = 0;
    for (std::string_view piece : marked.output) {
        total += piece.size();
    }
    std::size_t written = 0;
    // Both files are complete before either replaces its predecessor.
    const auto saving = [](const std::string& path, const auto& step) {
        try {
            step();
        } catch (const SaveError& error) {
            saveFailed(error, path);
        }
    };
    std::optional<AtomicFile> outputFile;
    std::optional<AtomicFile> badFile;
    // Each takes the permissions of the file it is made of.
    saving(result.outputPath, [&] {
        outputFile.emplace(result.outputPath, SourcePermissions::of({options.logPath}));
        writePieces(
            *outputFile,
            [&](const auto& each) {
                for (std::string_view piece : marked.output) {
                    each(piece);
                }
            },
            progress, written, total);
    });
    saving(result.badPath, [&] {
        badFile.emplace(result.badPath, SourcePermissions::of({options.recordsPath}));
        writePieces(
            *badFile, [&](const auto& each) { marked.forEachBadBytes(each); }, progress, written, total);
    });
    reportProgress(progress, MarkPhase::Writing, total, total);
    // Whatever can fail does so before either is committed.
    saving(result.outputPath, [&] { outputFile->prepare(); });
    saving(result.badPath, [&] { badFile->prepare(); });
    saving(result.outputPath, [&] { outputFile->commit(); });
    saving(result.badPath, [&] { badFile->commit(); });
    result.summary = std::move(marked.summary);
    result.unmatched = std::move(marked.unmatched);
    result.warnings = std::move(marked.warnings);
    result.creditBytes = recordBytes;
    result.logBytes = logBytes;
    return result;
}

} // namespace awardsync::mark
