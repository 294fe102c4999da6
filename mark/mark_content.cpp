// SPDX-License-Identifier: GPL-3.0-or-later
// Marking a log in memory: the credit source read, the log's QSOs read and indexed, every credit
// matched, every matched item put into its QSO's CREDIT_GRANTED, and the output assembled from the
// log's own bytes around the changes.
#include "adi_reader.h"
#include "core/file_paths.h"
#include "core/text.h"
#include "credit_granted.h"
#include "marking.h"
#include "matching.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <new>

namespace awardsync::mark {

namespace {

constexpr std::string_view CreditField = "CREDIT_GRANTED";
// How often the progress hook hears from the loops: every so many records or credits.
constexpr std::size_t ProgressStep = 4096;
constexpr std::size_t HashBits = 20;

// The credits each matched QSO takes, in source order (their items are its gains); a credit's items are
// listed once however many there are, and one the QSO holds already changes nothing.
using Gains = std::map<std::size_t, std::vector<const Credit*>>; // by QSO index: the matched QSOs only

// A change of the log: the bytes [begin, end) of the record [recordBegin, recordEnd) give way to `text`.
struct Edit {
    std::size_t recordBegin, recordEnd;
    std::size_t begin, end;
    std::string_view text;
};

// The texts and log line of each QSO that the report names, the lines counted in one pass over the log.
ShownQsos shownQsos(std::string_view log, const QsoList& qsos, std::vector<std::size_t> wanted) {
    ShownQsos named;
    std::sort(wanted.begin(), wanted.end(),
              [&](std::size_t a, std::size_t b) { return qsos[a].begin() < qsos[b].begin(); });
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    std::size_t line = 1;
    std::size_t counted = 0;
    for (std::size_t index : wanted) { // in log order; a QSO starts at a tag, never inside CR LF
        ShownQso& qso = named[index];
        qso.detail = detailOf(qsos[index], log);
        const std::size_t offset = qso.detail.firstTag;
        line += countLineEnds(log.substr(counted, offset - counted));
        counted = offset;
        qso.line = line;
    }
    return named;
}

std::size_t hashSlot(std::string_view call) {
    return std::hash<std::string_view>()(call) & ((std::size_t{1} << HashBits) - 1);
}

// Reads the log, keeping only the QSOs whose call some credit names (the calls of `index`), sorted
// into their calls' and bands' lists.
QsoList readLog(std::string_view log, const std::string& logName, QsoIndex& index, AdiLayout& layout,
                const MarkProgress& progress, const LogRecordObserver& observer, std::vector<std::string>& warnings) {
    // Most QSOs of a large log have a call no credit names; a bit per hash value turns them away
    // before the map is asked.
    std::vector<bool> maybeCredited(std::size_t{1} << HashBits);
    for (const auto& [call, unused] : index) {
        maybeCredited[hashSlot(call)] = true;
    }
    QsoList qsos;
    std::uint32_t lists = 0;
    std::size_t withFields = 0;
    AdiLengthUnit unitAtStart = AdiLengthUnit::Bytes; // the unit as the next record begins
    // Each name once: the reader compares every field of the log with the list.
    AdiFieldNames keep = QsoFields;
    for (std::string_view name : observer.record ? observer.fields : AdiFieldNames()) {
        if (std::find(keep.begin(), keep.end(), name) == keep.end()) {
            keep.push_back(name);
        }
    }
    try {
        readAdi(
            log,
            [&](const AdiRecord& record) {
                withFields += record.fields.empty() ? 0 : 1;
                if (observer.record) {
                    observer.record(record, unitAtStart);
                }
                // A record whose lengths cannot be trusted may hold the start of the next QSO: no credit is
                // put into it, so its credits are reported as unmatched.
                if (record.overrun) {
                    warnings.push_back(overrunWarning(logName, log, record, "the QSO is not marked"));
                } else if (const AdiField* call = record.find("CALL"); call != nullptr) {
                    const std::string upper = asciiUpper(trimControl(call->value));
                    if (!maybeCredited[hashSlot(upper)]) {
                        // no credit for this call
                    } else if (auto it = index.find(upper); it != index.end()) {
                        QsoDetail detail;
                        addToBand(it->second, detail.band, qsos.emplace_back(qsoOf(record, unitAtStart, detail)),
                                  lists);
                    }
                }
                unitAtStart = layout.unit;
                if (record.number % ProgressStep == 0) {
                    reportProgress(progress, MarkPhase::ReadingLog, record.end, log.size());
                }
                return true;
            },
            layout, keep);
    } catch (const AdiError& error) {
        throw Error(logName + ": " + error.what());
    }
    if (withFields == 0) {
        throw Error(logName + ": no QSO record (no <EOR> after a field): is this an ADI log?");
    }
    sortIntoLists(index, qsos, lists);
    return qsos;
}

void countMatch(MarkSummary& summary, const Credit& credit) {
    ++(credit.kind == CreditKind::Lotw   ? summary.matchedLotw
       : credit.kind == CreditKind::Card ? summary.matchedCard
                                         : summary.matchedOther);
}

// Matches every credit: the items each QSO gains, and the credits that matched none.
Gains matchAll(const CreditSource& source, const QsoList& qsos, const QsoIndex& index, MarkSummary& summary,
               std::deque<UnmatchedCredits::Entry>& unmatched, const MarkProgress& progress) {
    Gains gains;
    ExplainCache cache;
    const Credit* previous = nullptr;
    Match previousMatch;
    for (std::size_t i = 0; i < source.credits.size(); ++i) {
        const Credit& credit = source.credits[i];
        const auto it = credit.problem().empty() ? index.find(credit.call()) : index.end();
        // A run of equal credits (a source written out twice, say) is matched once.
        Match match = previous != nullptr && matchedAlike(*previous, credit)
                          ? previousMatch
                          : matchCredit(credit, qsos, it == index.end() ? nullptr : &it->second, &cache);
        previous = &credit;
        if (match.outcome == Outcome::Matched) {
            countMatch(summary, credit);
            gains[match.qsos[0]].push_back(&credit);
        } else {
            summary.ambiguous += match.outcome == Outcome::Ambiguous ? 1 : 0;
            unmatched.push_back(UnmatchedCredits::entryOf(i, match));
        }
        previousMatch = std::move(match);
        if ((i + 1) % ProgressStep == 0) {
            reportProgress(progress, MarkPhase::Matching, i + 1, source.credits.size());
        }
    }
    summary.unmatched = unmatched.size();
    return gains;
}

// The texts of the QSOs the report names, and the file that lists the unmatched credits: a records file's
// lines each with CR LF, an ADI source's header, records and tail. A run of pieces that follow each other in
// the source is one piece, so that a source of millions of credits that match nothing costs few.
void reportUnmatched(const CreditSource& source, std::string_view credits, UnmatchedCredits::Sources& sources,
                     std::string_view log, MarkedLog& result) {
    std::vector<std::size_t> wanted;
    for (const UnmatchedCredits::Entry& entry : sources.entries) {
        wanted.insert(wanted.end(), entry.qsos.begin(), entry.qsos.begin() + entry.named);
    }
    sources.named = shownQsos(log, sources.qsos, std::move(wanted));
    const auto add = [&](std::string_view piece) {
        if (!result.bad.empty() && result.bad.back().data() + result.bad.back().size() == piece.data()) {
            result.bad.back() = std::string_view(result.bad.back().data(), result.bad.back().size() + piece.size());
        } else if (!piece.empty()) {
            result.bad.push_back(piece);
        }
    };
    const bool adi = source.kind == CreditSourceKind::Adi;
    if (adi) {
        add(source.header);
    }
    const char* const end = credits.data() + credits.size();
    for (const UnmatchedCredits::Entry& entry : sources.entries) {
        const std::string_view line = source.credits[entry.credit].line();
        const char* const after = line.data() + line.size();
        // A records-file line with its own end (CR LF, LF or CR), which forEachBadBytes writes as CR LF.
        const std::size_t ending = adi || after == end                                        ? 0
                                   : (*after == '\r' && end - after >= 2 && after[1] == '\n') ? 2
                                                                                              : 1;
        add(std::string_view(line.data(), line.size() + ending));
    }
    if (adi) {
        add(source.tail);
    }
}

// The list with the credits' items in it, and which credit names changed; nothing when none did.
std::optional<std::string> withGains(std::string_view value, const std::vector<const Credit*>& credits,
                                     std::vector<std::string_view>& changedNames) {
    CreditList list(value);
    bool changed = false;
    const auto add = [&](std::string_view name, std::string_view medium) {
        if (list.add(name, medium)) {
            changed = true;
            // Few names: only the credits of the ADIF standard are gained.
            if (std::find(changedNames.begin(), changedNames.end(), name) == changedNames.end()) {
                changedNames.push_back(name);
            }
        }
    };
    for (const Credit* credit : credits) {
        for (const CreditItem& item : credit->granted()) {
            if (item.media.empty()) {
                add(item.name, {});
            }
            for (const std::string& medium : item.media) {
                add(item.name, medium);
            }
        }
    }
    return changed ? std::optional(list.text()) : std::nullopt;
}

// The changed CREDIT_GRANTED fields; a changed field keeps its tag's spelling and data-type indicator.
std::vector<Edit> editsOf(std::string_view log, const QsoList& qsos, const Gains& gains, AdiLengthUnit unit,
                          MarkedLog& result) {
    std::vector<Edit> edits;
    for (const auto& [q, gained] : gains) {
        const bool hasCredit = qsos[q].has(LogQso::HasCredit);
        const QsoDetail qso = detailOf(qsos[q], log);
        std::vector<std::string_view> changedNames;
        const std::optional<std::string> value =
            withGains(hasCredit ? qso.credit.value : std::string_view(), gained, changedNames);
        if (!value) {
            ++result.summary.qsosAlready;
            continue;
        }
        ++result.summary.qsosMarked;
        for (std::string_view name : changedNames) {
            ++result.summary.qsosGaining[std::string(name)];
        }
        const std::string_view name = hasCredit ? qso.credit.name : CreditField;
        std::string field = "<" + std::string(name) + ":" + std::to_string(adiLength(*value, unit));
        if (hasCredit && !qso.credit.type.empty()) {
            field += ":" + std::string(qso.credit.type);
        }
        field += ">" + *value;
        const std::string_view text = result.storage.emplace_back(std::move(field));
        const std::size_t begin = qsos[q].begin();
        edits.push_back(hasCredit ? Edit{begin, qso.end, qso.credit.tagBegin, qso.credit.valueEnd, text}
                                  : Edit{begin, qso.end, qso.eorBegin, qso.eorBegin, text});
    }
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    return edits;
}

// The output: the log's own bytes around the edits (only the changed QSOs with `onlyMarked`).
void assemble(MarkedLog& result, std::string_view log, const std::vector<Edit>& edits, const AdiLayout& layout,
              bool onlyMarked) {
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
            cursor = edit.recordBegin;
        }
        bytes(cursor, edit.begin);
        result.output.push_back(edit.text);
        cursor = edit.end;
        if (onlyMarked) {
            bytes(cursor, edit.recordEnd);
        }
    }
    bytes(onlyMarked ? layout.tailBegin : cursor, log.size());
}

} // namespace

void MarkedLog::forEachBadBytes(const std::function<void(std::string_view)>& each) const {
    for (std::string_view piece : bad) {
        if (sourceKind == CreditSourceKind::Adi) {
            each(piece);
            continue;
        }
        forEachRecordsLine(piece, [&](std::string_view line) {
            each(line);
            each("\r\n");
        });
    }
}

MarkedLog markContent(std::string_view credits, std::string_view log, bool onlyMarked, const std::string& creditsName,
                      const std::string& logName, const MarkProgress& progress, const LogRecordObserver& observer) {
    MarkedLog result;
    if (const std::optional<NotText> problem = notText(credits)) {
        throw Error(creditsName + ": byte " + std::to_string(problem->offset) + ": " + problem->reason);
    }
    // Running out of memory names the file whose size it is owed to, in words.
    const auto memoryFor = [](const std::string& name, std::string_view bytes, const char* doing, const auto& step) {
        try {
            return step();
        } catch (const std::bad_alloc&) {
            throw Error("not enough memory to " + std::string(doing) + " \"" + name + "\" (" +
                        megabytesText(bytes.size()) + "): " + std::string(MemoryAdvice));
        }
    };
    CreditSource source =
        memoryFor(creditsName, credits, "read the credits of", [&] { return readCreditSource(credits, creditsName); });
    result.sourceKind = source.kind;
    result.summary.creditsRead = source.credits.size();
    QsoIndex index =
        memoryFor(creditsName, credits, "index the credits of", [&] { return indexOfCredits(source.credits); });
    AdiLayout layout;
    result.warnings = std::move(source.warnings);
    auto sources = std::make_shared<UnmatchedCredits::Sources>();
    sources->adiRecords = source.kind == CreditSourceKind::Adi;
    sources->qsos = memoryFor(logName, log, "read the QSOs of", [&] {
        return readLog(log, logName, index, layout, progress, observer, result.warnings);
    });
    memoryFor(creditsName, credits, "match the credits of", [&] {
        const Gains gains = matchAll(source, sources->qsos, index, result.summary, sources->entries, progress);
        reportUnmatched(source, credits, *sources, log, result);
        assemble(result, log, editsOf(log, sources->qsos, gains, layout.unit, result), layout, onlyMarked);
    });
    sources->credits = std::move(source.credits);
    result.unmatched = UnmatchedCredits(std::move(sources));
    result.creditsCreated = source.created;
    return result;
}

} // namespace awardsync::mark
