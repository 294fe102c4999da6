#include "marking.h"

#include "adi_reader.h"
#include "core/atomic_save.h"
#include "core/file_paths.h"
#include "core/text.h"
#include "credit_granted.h"
#include "matching.h"
#include "run_files.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>

namespace awardsync::mark {

namespace {

constexpr std::string_view CreditName = "DXCC";
constexpr std::string_view CreditField = "CREDIT_GRANTED";
// How often the progress hook hears from the loops: every so many records or credits.
constexpr std::size_t ProgressStep = 4096;
constexpr qint64 WriteChunk = 8 << 20;
constexpr std::size_t GatherLimit = 64 << 10;
// The fields that qsoOf() reads: a record of millions of other fields then costs no memory.
const AdiFieldNames QsoFields = {"CALL", "BAND", "MODE", "DXCC", "QSO_DATE", "TIME_ON", "CREDIT_GRANTED"};

void reportProgress(const MarkProgress& progress, MarkPhase phase, std::size_t done, std::size_t total) {
    if (progress && !progress(phase, static_cast<std::int64_t>(done), static_cast<std::int64_t>(total))) {
        throw MarkCancelled();
    }
}

// A change of the log: the bytes [begin, end) give way to `text`.
struct Edit {
    std::size_t qso;
    std::size_t begin, end;
    std::string_view text;
};

// How many line feeds `text` holds, eight bytes at a time: the report's line numbers need one pass
// over a log that may be a hundred megabytes.
std::size_t lineFeeds(std::string_view text) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t lows = 0x7F7F7F7F7F7F7F7FULL;
    std::size_t count = 0;
    std::size_t pos = 0;
    for (; pos + 8 <= text.size(); pos += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + pos, 8);
        const std::uint64_t x = word ^ (ones * '\n'); // bytes that were line feeds are now zero
        const std::uint64_t nonZero = ((x & lows) + lows) | x;
        // One bit per line feed, at the top of its byte; the multiplication adds them up in the top byte.
        count += static_cast<std::size_t>((((~nonZero & ~lows) >> 7) * ones) >> 56);
    }
    return count +
           static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(), '\n'));
}

// The log line of each QSO that the report names, counted in one pass over the log.
std::vector<std::size_t> linesOf(std::string_view log, const QsoList& qsos, std::vector<std::size_t> wanted) {
    std::vector<std::size_t> lines(qsos.size(), 0);
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    std::size_t line = 1;
    std::size_t counted = 0;
    for (std::size_t index : wanted) { // QSO indexes follow the log's order
        const std::size_t offset = qsos[index].firstTag;
        line += lineFeeds(log.substr(counted, offset - counted));
        counted = offset;
        lines[index] = line;
    }
    return lines;
}

// Opens the temporary file beside `path` and writes every piece; committing is left to the caller
// so that both output files are complete before either replaces its predecessor. Long pieces (the
// log's own bytes between edits) go straight to the file; short ones are gathered first, so that
// neither the log is copied nor a write is made for every edit.
void writePieces(AtomicFile& file, const std::vector<std::string_view>& pieces, const MarkProgress& progress,
                 std::size_t& written, std::size_t total) {
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
    for (std::string_view piece : pieces) {
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
    }
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

MarkedLog markContent(std::string_view records, std::string_view log, bool onlyMarked, const std::string& recordsName,
                      const std::string& logName, const MarkProgress& progress) {
    MarkedLog result;
    if (const std::optional<NotText> problem = notText(records)) {
        throw Error(recordsName + ": byte " + std::to_string(problem->offset) + ": " + problem->reason);
    }
    const std::vector<Credit> credits = readCredits(records);
    result.summary.creditsRead = credits.size();
    if (!credits.empty() &&
        std::all_of(credits.begin(), credits.end(), [](const Credit& c) { return !c.problem.empty(); }) &&
        asciiLower(records).find("<eor>") != std::string::npos) {
        throw Error(recordsName + " is an ADI log, not a records file: give the records file first, then the log");
    }

    // Only the QSOs whose call some credit names are kept.
    std::unordered_map<std::string, std::vector<std::size_t>> byCall;
    byCall.reserve(credits.size());
    for (const Credit& credit : credits) {
        if (credit.problem.empty()) {
            byCall.try_emplace(credit.call);
        }
    }
    // Most QSOs of a large log have a call no credit names; a bit per hash value turns them away
    // before the map is asked.
    std::vector<bool> maybeCredited(1u << 20);
    const auto hashSlot = [](std::string_view call) { return std::hash<std::string_view>()(call) & ((1u << 20) - 1); };
    for (const auto& [call, unused] : byCall) {
        maybeCredited[hashSlot(call)] = true;
    }
    QsoList qsos;
    AdiLayout layout;
    try {
        readAdi(
            log,
            [&](const AdiRecord& record) {
                if (const AdiField* call = record.find("CALL"); call != nullptr) {
                    const std::string upper = asciiUpper(trimControl(call->value));
                    if (!maybeCredited[hashSlot(upper)]) {
                        // no credit for this call
                    } else if (auto it = byCall.find(upper); it != byCall.end()) {
                        it->second.push_back(qsos.size());
                        qsos.push_back(qsoOf(record));
                    }
                }
                if (record.number % ProgressStep == 0) {
                    reportProgress(progress, MarkPhase::ReadingLog, record.end, log.size());
                }
                return true;
            },
            layout, QsoFields);
    } catch (const AdiError& error) {
        throw Error(logName + ": " + error.what());
    }
    if (layout.records == 0) {
        throw Error(logName + ": no QSO records (no <EOR> tag): is this an ADI log?");
    }

    // Matching: the media each QSO gains, and the report of what did not match.
    std::vector<std::vector<std::string_view>> media(qsos.size());
    std::vector<std::pair<const Credit*, Match>> unmatched;
    std::vector<std::size_t> named;
    static const std::vector<std::size_t> none;
    for (std::size_t i = 0; i < credits.size(); ++i) {
        const Credit& credit = credits[i];
        const auto it = credit.problem.empty() ? byCall.find(credit.call) : byCall.end();
        Match match = matchCredit(credit, qsos, it == byCall.end() ? none : it->second);
        if (match.outcome == Outcome::Matched) {
            const std::string_view medium = credit.kind == CreditKind::Lotw ? "LOTW" : "CARD";
            (credit.kind == CreditKind::Lotw ? result.summary.matchedLotw : result.summary.matchedCard)++;
            std::vector<std::string_view>& added = media[match.qsos[0]];
            if (std::find(added.begin(), added.end(), medium) == added.end()) {
                added.push_back(medium);
            }
        } else {
            result.summary.ambiguous += match.outcome == Outcome::Ambiguous ? 1 : 0;
            named.insert(named.end(), match.qsos.begin(), match.qsos.end());
            result.badLines.push_back(credit.line);
            unmatched.emplace_back(&credit, std::move(match));
        }
        if ((i + 1) % ProgressStep == 0) {
            reportProgress(progress, MarkPhase::Matching, i + 1, credits.size());
        }
    }
    result.summary.unmatched = unmatched.size();
    const std::vector<std::size_t> lines = linesOf(log, qsos, named);
    for (const auto& [credit, match] : unmatched) {
        result.unmatched.push_back(explainUnmatched(*credit, match, qsos, lines));
    }

    // Marking: a changed CREDIT_GRANTED keeps its tag's spelling and data-type indicator.
    std::vector<Edit> edits;
    for (std::size_t q = 0; q < qsos.size(); ++q) {
        if (media[q].empty()) {
            continue;
        }
        const LogQso& qso = qsos[q];
        std::string value(qso.hasCredit ? qso.credit.value : std::string_view());
        bool changed = false;
        for (std::string_view medium : media[q]) {
            if (std::optional<std::string> added = addCreditMedium(value, CreditName, medium)) {
                value = std::move(*added);
                changed = true;
            }
        }
        if (!changed) {
            ++result.summary.qsosAlready;
            continue;
        }
        ++result.summary.qsosMarked;
        const std::string_view name = qso.hasCredit ? qso.credit.name : CreditField;
        std::string field = "<" + std::string(name) + ":" + std::to_string(adiLength(value, layout.unit));
        if (qso.hasCredit && !qso.credit.type.empty()) {
            field += ":" + std::string(qso.credit.type);
        }
        field += ">" + value;
        const std::string_view text = result.storage.emplace_back(std::move(field));
        edits.push_back(qso.hasCredit ? Edit{q, qso.credit.tagBegin, qso.credit.valueEnd, text}
                                      : Edit{q, qso.eorBegin, qso.eorBegin, text});
    }

    // The output: the log's own bytes around the edits.
    const auto bytes = [&](std::size_t begin, std::size_t end) {
        if (end > begin) {
            result.output.push_back(log.substr(begin, end - begin));
        }
    };
    std::size_t cursor = 0;
    if (onlyMarked) {
        bytes(0, layout.headerEnd);
    }
    for (const Edit& edit : edits) {
        if (onlyMarked) {
            cursor = qsos[edit.qso].begin;
        }
        bytes(cursor, edit.begin);
        result.output.push_back(edit.text);
        cursor = edit.end;
        if (onlyMarked) {
            bytes(cursor, qsos[edit.qso].end);
        }
    }
    bytes(onlyMarked ? layout.tailBegin : cursor, log.size());
    return result;
}

std::vector<std::string> summaryLines(const MarkSummary& s) {
    const auto n = [](std::size_t value) { return std::to_string(value); };
    return {"Credits read: " + n(s.creditsRead),
            "Matched: " + n(s.matchedLotw + s.matchedCard) + " (LoTW " + n(s.matchedLotw) + ", card " +
                n(s.matchedCard) + ")",
            "Unmatched: " + n(s.unmatched) + " (ambiguous " + n(s.ambiguous) + ")", "QSOs marked: " + n(s.qsosMarked),
            "QSOs already holding the credit: " + n(s.qsosAlready)};
}

std::string defaultOutputPath(const std::string& logPath) {
    return pathWithNewEnding(logPath, "-granted", true);
}

std::string badCreditsPath(const std::string& recordsPath) {
    return pathWithNewEnding(recordsPath, "_bad.txt", false);
}

MarkResult markFiles(const MarkOptions& options, const MarkProgress& progress) {
    MarkResult result;
    result.outputPath = options.outputPath.empty() ? defaultOutputPath(options.logPath) : options.outputPath;
    result.badPath = badCreditsPath(options.recordsPath);
    checkRunFiles({options.recordsPath, options.logPath, result.outputPath, result.badPath});
    const QByteArray recordBytes = readRegularFile(options.recordsPath, "the records file");
    const QByteArray logBytes = readRegularFile(options.logPath, "the log");
    const MarkedLog marked =
        markContent(std::string_view(recordBytes.constData(), static_cast<std::size_t>(recordBytes.size())),
                    std::string_view(logBytes.constData(), static_cast<std::size_t>(logBytes.size())),
                    options.onlyMarked, options.recordsPath, options.logPath, progress);

    std::vector<std::string_view> badPieces;
    for (std::string_view line : marked.badLines) {
        badPieces.push_back(line);
        badPieces.push_back("\r\n");
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
    saving(result.outputPath, [&] {
        outputFile.emplace(result.outputPath);
        writePieces(*outputFile, marked.output, progress, written, total);
    });
    saving(result.badPath, [&] {
        badFile.emplace(result.badPath);
        writePieces(*badFile, badPieces, progress, written, total);
    });
    reportProgress(progress, MarkPhase::Writing, total, total);
    saving(result.outputPath, [&] { outputFile->commit(); });
    saving(result.badPath, [&] { badFile->commit(); });
    result.summary = marked.summary;
    result.unmatched = marked.unmatched;
    return result;
}

} // namespace awardsync::mark
