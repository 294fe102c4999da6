// SPDX-License-Identifier: GPL-3.0-or-later
#include "credit_source.h"

#include "adi_reader.h"
#include "core/error.h"
#include "core/text.h"
#include "qso_time.h"
#include "records/credit_record.h"
#include "report.h"

#include <algorithm>

namespace awardsync::mark {

namespace {

constexpr std::string_view Forms =
    "credits are read from a records file (lines like \"Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|\") or from an "
    "ADI file whose records carry CALL, QSO_DATE, BAND and CREDIT_GRANTED (the credits file of awardsync, or the "
    "DXCC QSL Card Report of LoTW)";

// Calls `each(number, line)` for every line; LF, CR LF and a lone CR each end one. Stops when `each`
// returns false.
template <typename Each> void forEachLine(std::string_view text, Each each) {
    std::size_t number = 0;
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find_first_of("\r\n", begin);
        end = end == std::string_view::npos ? text.size() : end;
        if (!each(++number, text.substr(begin, end - begin))) {
            return;
        }
        begin = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
}

bool holdsEndOfRecord(std::string_view text) {
    for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        if (equalsIgnoreAsciiCase(text.substr(at, 5), "<EOR>")) {
            return true;
        }
    }
    return false;
}

Credit creditOfLine(std::size_t number, std::string_view line) {
    Credit credit;
    credit.lineNumber = number;
    credit.line = line;
    const RecordLine record = parseRecordLine(line);
    const std::optional<std::int64_t> day = daysOfRecordDate(record.date);
    const std::optional<std::int64_t> seconds = secondsOfRecordTime(record.time);
    credit.problem = record.problem;
    if (!credit.problem.empty()) {
        return credit;
    }
    if (!day) {
        credit.problem = "the date \"" + echoed(record.date) + "\" is not a date (YYYY/MM/DD)";
    } else if (!record.time.empty() && !seconds) {
        credit.problem = "the time \"" + echoed(record.time) + "\" is not a time (HH:MM:SS or HH:MM)";
    }
    credit.call = record.call;
    credit.band = record.band;
    credit.mode = record.mode;
    credit.groups = modeGroupsOf(record.mode);
    credit.dxcc = record.dxcc;
    credit.day = day.value_or(0);
    if (day && seconds) {
        credit.start = *day * 86400 + *seconds;
    }
    credit.kind = record.lotw ? CreditKind::Lotw : CreditKind::Card;
    return credit;
}

// How many lines forEachLine finds: the credits are reserved once, not grown by copying millions.
std::size_t lineCount(std::string_view text) {
    std::size_t lines = 0;
    forEachLine(text, [&](std::size_t, std::string_view) { return ++lines > 0; });
    return lines;
}

CreditSource readRecordsFile(std::string_view bytes) {
    CreditSource source;
    source.credits.reserve(lineCount(withoutByteOrderMark(bytes)));
    forEachLine(withoutByteOrderMark(bytes), [&](std::size_t number, std::string_view line) {
        if (!trimControl(line).empty()) {
            source.credits.push_back(creditOfLine(number, line));
        }
        return true;
    });
    return source;
}

// What an ADI record says of its time, mode group and DXCC entity; the date and the items are there.
void readQsoFacts(const AdiRecord& record, std::string_view date, Credit& credit) {
    const auto value = [&](std::string_view name) {
        const AdiField* field = record.find(name);
        return field != nullptr ? trimControl(field->value) : std::string_view();
    };
    const std::string_view time = value("TIME_ON");
    const std::string_view dxcc = value("DXCC");
    std::string_view group = value("APP_AWARDSYNC_MODEGROUP");
    group = group.empty() ? value("APP_LoTW_MODEGROUP") : group;
    credit.mode = group.empty() ? value("MODE") : group;
    credit.groups = modeGroupsOf(credit.mode);
    credit.described = describeQsoValues(credit.call, date, time, credit.band, credit.mode, true);
    const std::optional<std::int64_t> seconds = secondsOfAdifTime(time);
    if (!time.empty() && !seconds) {
        credit.problem = "the TIME_ON \"" + echoed(time) + "\" is not a time (HHMM or HHMMSS)";
    } else if (!dxcc.empty() && !entityNumber(dxcc)) {
        credit.problem = "the DXCC \"" + echoed(dxcc) + "\" is not an entity number";
    }
    credit.dxcc = credit.problem.empty() ? entityNumber(dxcc).value_or(0) : 0;
    if (seconds) {
        credit.start = credit.day * 86400 + *seconds;
    }
}

// What of an item is not of the ADIF standard, as the report shows it: NAME, or NAME:MEDIUM for its first
// foreign medium; empty when the whole item is.
std::string foreignOf(const CreditItem& item) {
    if (!isAdifCredit(item.name)) {
        return item.name;
    }
    const auto medium =
        std::find_if(item.media.begin(), item.media.end(), [](const std::string& m) { return !isAdifQslMedium(m); });
    return medium == item.media.end() ? std::string() : item.name + ":" + *medium;
}

Credit creditOfRecord(const AdiRecord& record, std::string_view bytes) {
    Credit credit;
    credit.lineNumber = record.number;
    credit.line = bytes.substr(record.begin, record.end - record.begin);
    const AdiField* fields[] = {record.find("CALL"), record.find("QSO_DATE"), record.find("BAND"),
                                record.find("CREDIT_GRANTED")};
    const auto value = [&](std::size_t n) { return fields[n] != nullptr ? trimControl(fields[n]->value) : ""; };
    credit.call = asciiUpper(value(0));
    credit.band = asciiUpper(value(2));
    const std::optional<std::int64_t> day = daysOfAdifDate(value(1));
    credit.day = day.value_or(0);
    credit.items = creditItemsOf(value(3));
    readQsoFacts(record, value(1), credit);
    const std::string_view list = value(3);
    const bool printable = std::all_of(list.begin(), list.end(), [](char c) { return c >= 32 && c <= 126; });
    static const char* const names[] = {"CALL", "QSO_DATE", "BAND", "CREDIT_GRANTED"};
    for (std::size_t n = 0; n < 4; ++n) {
        if (value(n).empty()) {
            credit.problem = "the record has no " + std::string(names[n]);
            return credit;
        }
    }
    // Only credits and media of the ADIF standard go into a log: anything else might hold a tag.
    std::string foreign;
    for (auto item = credit.items.begin(); item != credit.items.end() && foreign.empty(); ++item) {
        foreign = foreignOf(*item);
    }
    if (record.overrun) {
        credit.problem = overrunProblem(bytes, *record.overrun);
    } else if (!day) {
        credit.problem = "the QSO_DATE \"" + echoed(value(1)) + "\" is not a date (YYYYMMDD)";
    } else if (!printable || credit.items.empty()) {
        credit.problem = "the CREDIT_GRANTED \"" + echoed(list) + "\" names no credit";
    } else if (!foreign.empty()) {
        credit.problem = "the CREDIT_GRANTED \"" + echoed(list) + "\" holds \"" + echoed(foreign) +
                         "\", which is not a credit of the ADIF standard with media CARD, EQSL or LOTW";
    }
    const auto anyMedium = [&](std::string_view medium) {
        return std::any_of(credit.items.begin(), credit.items.end(), [&](const CreditItem& item) {
            return std::find(item.media.begin(), item.media.end(), medium) != item.media.end();
        });
    };
    credit.kind = anyMedium("LOTW") ? CreditKind::Lotw : anyMedium("CARD") ? CreditKind::Card : CreditKind::Unstated;
    return credit;
}

// The fields a credit is read from; a record of millions of others then costs no memory.
const AdiFieldNames CreditFields = {
    "CALL", "QSO_DATE", "BAND", "CREDIT_GRANTED", "TIME_ON", "DXCC", "APP_AWARDSYNC_MODEGROUP", "APP_LoTW_MODEGROUP",
    "MODE"};

CreditSource readAdiCredits(std::string_view bytes, const std::string& name) {
    CreditSource source;
    source.kind = CreditSourceKind::Adi;
    AdiLayout layout;
    bool anyCredit = false;
    try {
        readAdi(
            bytes,
            [&](const AdiRecord& record) {
                if (record.overrun) {
                    source.warnings.push_back(overrunWarning(name, bytes, record, "the credit is not used"));
                }
                if (!record.fields.empty()) { // an empty record grants nothing
                    source.credits.push_back(creditOfRecord(record, bytes));
                    anyCredit =
                        anyCredit || (record.find("CALL") != nullptr && record.find("QSO_DATE") != nullptr &&
                                      record.find("BAND") != nullptr && record.find("CREDIT_GRANTED") != nullptr);
                }
                return true;
            },
            layout, CreditFields);
    } catch (const AdiError& error) {
        throw Error(name + ": " + error.what());
    }
    if (!anyCredit) {
        throw Error(name + " holds no credits: " + std::string(Forms) + "; give the credits first, then the log");
    }
    source.header = bytes.substr(0, layout.headerEnd);
    source.tail = bytes.substr(layout.tailBegin);
    source.created = adiHeaderValue(source.header, "CREATED_TIMESTAMP");
    return source;
}

} // namespace

const std::vector<CreditItem>& Credit::granted() const {
    static const std::vector<CreditItem> ByLotw = {{"DXCC", {"LOTW"}}};
    static const std::vector<CreditItem> ByCard = {{"DXCC", {"CARD"}}};
    if (!items.empty() || !problem.empty() || !described.empty()) {
        return items;
    }
    return kind == CreditKind::Lotw ? ByLotw : ByCard;
}

std::optional<CreditSourceKind> creditSourceKindOf(std::string_view bytes) {
    bool blank = true;
    bool recordLine = false;
    forEachLine(withoutByteOrderMark(bytes), [&](std::size_t, std::string_view line) {
        blank = blank && trimControl(line).empty();
        recordLine = splitRecordLine(line).has_value();
        return !recordLine;
    });
    if (recordLine) {
        return CreditSourceKind::RecordsFile;
    }
    if (holdsEndOfRecord(bytes)) {
        return CreditSourceKind::Adi;
    }
    // Lines with a "|" but not all seven are a records file gone wrong: each line is reported.
    if (blank || bytes.find('|') != std::string_view::npos) {
        return CreditSourceKind::RecordsFile;
    }
    return std::nullopt;
}

CreditSource readCreditSource(std::string_view bytes, const std::string& name) {
    const std::optional<CreditSourceKind> kind = creditSourceKindOf(bytes);
    // An empty file is no credit source: marking it would write a copy of the log as if every credit had matched.
    // Nor is one of blanks and other control bytes alone: no line of it can be a credit.
    const bool empty = trimControl(withoutByteOrderMark(bytes)).empty();
    if (!kind || empty) {
        throw Error(name + " holds no credits: " + std::string(Forms));
    }
    return *kind == CreditSourceKind::RecordsFile ? readRecordsFile(bytes) : readAdiCredits(bytes, name);
}

std::string_view adiHeaderValue(std::string_view header, std::string_view name) {
    // The header is a few lines: a scan of it costs nothing beside the records.
    for (std::size_t at = header.find('<'); at != std::string_view::npos; at = header.find('<', at + 1)) {
        const std::string_view tag = header.substr(at + 1);
        if (tag.size() <= name.size() || tag[name.size()] != ':' ||
            !equalsIgnoreAsciiCase(tag.substr(0, name.size()), name)) {
            continue;
        }
        std::size_t length = 0, digit = name.size() + 1;
        for (; digit < tag.size() && tag[digit] >= '0' && tag[digit] <= '9'; ++digit) {
            length = std::min<std::size_t>(length * 10 + static_cast<std::size_t>(tag[digit] - '0'), header.size());
        }
        const std::size_t close = tag.find('>', digit);
        if (digit == name.size() + 1 || close == std::string_view::npos) {
            return {};
        }
        return trimControl(tag.substr(close + 1, length));
    }
    return {};
}

std::vector<CreditItem> creditItemsOf(std::string_view list) {
    std::vector<CreditItem> items;
    const auto split = [](std::string_view text, char separator, const auto& each) {
        for (std::size_t begin = 0; begin <= text.size();) {
            const std::size_t end = std::min(text.find(separator, begin), text.size());
            if (const std::string_view part = trimBlanks(text.substr(begin, end - begin)); !part.empty()) {
                each(part);
            }
            begin = end + 1;
        }
    };
    split(list, ',', [&](std::string_view item) {
        const std::size_t colon = std::min(item.find(':'), item.size());
        CreditItem credit{asciiUpper(trimBlanks(item.substr(0, colon))), {}};
        split(item.substr(std::min(colon + 1, item.size())), '&',
              [&](std::string_view medium) { credit.media.push_back(asciiUpper(medium)); });
        if (!credit.name.empty()) {
            items.push_back(std::move(credit));
        }
    });
    return items;
}

} // namespace awardsync::mark
