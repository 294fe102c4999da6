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
    credit.lineNumber = static_cast<std::uint32_t>(number);
    credit.setLine(line);
    const RecordLine record = parseRecordLine(line);
    const std::optional<std::int64_t> day = daysOfRecordDate(record.date);
    const std::optional<std::int64_t> seconds = secondsOfRecordTime(record.time);
    if (!record.problem.empty()) {
        credit.setProblem(record.problem);
        return credit;
    }
    if (!day) {
        credit.setProblem("the date \"" + echoed(record.date) + "\" is not a date (YYYY/MM/DD)");
    } else if (!record.time.empty() && !seconds) {
        credit.setProblem("the time \"" + echoed(record.time) + "\" is not a time (HH:MM:SS or HH:MM)");
    }
    credit.setTexts(record.call, record.band, record.mode);
    credit.groups = static_cast<std::uint8_t>(modeGroupsOf(record.mode));
    credit.dxcc = record.dxcc;
    credit.day = day.value_or(0);
    if (day && seconds) {
        credit.setSecondsOfDay(static_cast<std::int32_t>(*seconds));
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
void readQsoFacts(const AdiRecord& record, std::string_view date, const std::string& call, const std::string& band,
                  Credit& credit) {
    const auto value = [&](std::string_view name) {
        const AdiField* field = record.find(name);
        return field != nullptr ? trimControl(field->value) : std::string_view();
    };
    const std::string_view time = value("TIME_ON");
    const std::string_view dxcc = value("DXCC");
    std::string_view group = value("APP_AWARDSYNC_MODEGROUP");
    group = group.empty() ? value("APP_LoTW_MODEGROUP") : group;
    const std::string_view mode = group.empty() ? value("MODE") : group;
    credit.setTexts(call, band, mode);
    credit.groups = static_cast<std::uint8_t>(modeGroupsOf(mode));
    credit.setDescribed(describeQsoValues(call, date, time, band, mode, true));
    const std::optional<std::int64_t> seconds = secondsOfAdifTime(time);
    if (!time.empty() && !seconds) {
        credit.setProblem("the TIME_ON \"" + echoed(time) + "\" is not a time (HHMM or HHMMSS)");
    } else if (!dxcc.empty() && !entityNumber(dxcc)) {
        credit.setProblem("the DXCC \"" + echoed(dxcc) + "\" is not an entity number");
    }
    credit.dxcc = credit.problem().empty() ? entityNumber(dxcc).value_or(0) : 0;
    if (seconds) {
        credit.setSecondsOfDay(static_cast<std::int32_t>(*seconds));
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
    credit.lineNumber = static_cast<std::uint32_t>(record.number);
    credit.setLine(bytes.substr(record.begin, record.end - record.begin));
    const AdiField* fields[] = {record.find("CALL"), record.find("QSO_DATE"), record.find("BAND"),
                                record.find("CREDIT_GRANTED")};
    const auto value = [&](std::size_t n) { return fields[n] != nullptr ? trimControl(fields[n]->value) : ""; };
    const std::optional<std::int64_t> day = daysOfAdifDate(value(1));
    credit.day = day.value_or(0);
    credit.setItems(creditItemsOf(value(3)));
    readQsoFacts(record, value(1), asciiUpper(value(0)), asciiUpper(value(2)), credit);
    const std::string_view list = value(3);
    const bool printable = std::all_of(list.begin(), list.end(), [](char c) { return c >= 32 && c <= 126; });
    static const char* const names[] = {"CALL", "QSO_DATE", "BAND", "CREDIT_GRANTED"};
    for (std::size_t n = 0; n < 4; ++n) {
        if (value(n).empty()) {
            credit.setProblem("the record has no " + std::string(names[n]));
            return credit;
        }
    }
    const std::vector<CreditItem>& items = credit.items();
    // Only credits and media of the ADIF standard go into a log: anything else might hold a tag.
    std::string foreign;
    for (auto item = items.begin(); item != items.end() && foreign.empty(); ++item) {
        foreign = foreignOf(*item);
    }
    if (record.overrun) {
        credit.setProblem(overrunProblem(bytes, *record.overrun));
    } else if (!day) {
        credit.setProblem("the QSO_DATE \"" + echoed(value(1)) + "\" is not a date (YYYYMMDD)");
    } else if (!printable || items.empty()) {
        credit.setProblem("the CREDIT_GRANTED \"" + echoed(list) + "\" names no credit");
    } else if (!foreign.empty()) {
        credit.setProblem("the CREDIT_GRANTED \"" + echoed(list) + "\" holds \"" + echoed(foreign) +
                          "\", which is not a credit of the ADIF standard with media CARD, EQSL or LOTW");
    }
    const auto anyMedium = [&](std::string_view medium) {
        return std::any_of(items.begin(), items.end(), [&](const CreditItem& item) {
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

struct Credit::Beside {
    std::string problem, described;
    std::vector<CreditItem> items;
    bool texts = false; // call, band and mode are kept here, not as places in the line
    std::string call, band, mode;
};

Credit::Credit(const Credit& other)
    : day(other.day), lineNumber(other.lineNumber), dxcc(other.dxcc), groups(other.groups), kind(other.kind),
      callAt_(other.callAt_), callSize_(other.callSize_), bandAt_(other.bandAt_), bandSize_(other.bandSize_),
      modeAt_(other.modeAt_), modeSize_(other.modeSize_), lineSize_(other.lineSize_), seconds_(other.seconds_),
      line_(other.line_), beside_(other.beside_ ? std::make_unique<Beside>(*other.beside_) : nullptr) {}

Credit& Credit::operator=(const Credit& other) {
    if (this != &other) {
        *this = Credit(other);
    }
    return *this;
}

Credit::~Credit() = default;

Credit::Beside& Credit::beside() {
    if (!beside_) {
        beside_ = std::make_unique<Beside>();
    }
    return *beside_;
}

void Credit::setLine(std::string_view line) {
    line_ = line.data();
    lineSize_ = static_cast<std::uint32_t>(line.size()); // a credit source is below 4 GiB
}

void Credit::setTexts(std::string_view call, std::string_view band, std::string_view mode) {
    const std::string_view texts[] = {call, band, mode};
    std::uint8_t* places[][2] = {{&callAt_, &callSize_}, {&bandAt_, &bandSize_}, {&modeAt_, &modeSize_}};
    bool inLine = true;
    for (std::size_t i = 0; i < 3 && inLine; ++i) {
        const std::size_t at = texts[i].empty() ? 0 : line().find(texts[i]);
        inLine = at <= 255 && texts[i].size() <= 255;
        *places[i][0] = static_cast<std::uint8_t>(inLine ? at : 0);
        *places[i][1] = static_cast<std::uint8_t>(inLine ? texts[i].size() : 0);
    }
    if (!inLine) {
        Beside& kept = beside();
        kept.texts = true;
        kept.call = call;
        kept.band = band;
        kept.mode = mode;
    } else if (beside_) {
        beside_->texts = false;
    }
}

std::string_view Credit::call() const {
    return beside_ && beside_->texts ? std::string_view(beside_->call) : line().substr(callAt_, callSize_);
}

std::string_view Credit::band() const {
    return beside_ && beside_->texts ? std::string_view(beside_->band) : line().substr(bandAt_, bandSize_);
}

std::string_view Credit::mode() const {
    return beside_ && beside_->texts ? std::string_view(beside_->mode) : line().substr(modeAt_, modeSize_);
}

namespace {
const std::string NoText;
const std::vector<CreditItem> NoItems;
} // namespace

const std::string& Credit::problem() const {
    return beside_ ? beside_->problem : NoText;
}

void Credit::setProblem(std::string problem) {
    if (beside_ || !problem.empty()) {
        beside().problem = std::move(problem);
    }
}

const std::string& Credit::described() const {
    return beside_ ? beside_->described : NoText;
}

void Credit::setDescribed(std::string described) {
    if (beside_ || !described.empty()) {
        beside().described = std::move(described);
    }
}

const std::vector<CreditItem>& Credit::items() const {
    return beside_ ? beside_->items : NoItems;
}

void Credit::setItems(std::vector<CreditItem> items) {
    if (beside_ || !items.empty()) {
        beside().items = std::move(items);
    }
}

const std::vector<CreditItem>& Credit::granted() const {
    static const std::vector<CreditItem> ByLotw = {{"DXCC", {"LOTW"}}};
    static const std::vector<CreditItem> ByCard = {{"DXCC", {"CARD"}}};
    if (!items().empty() || !problem().empty() || !described().empty()) {
        return items();
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
    // A credit keeps its place in the source in 32 bits.
    if (bytes.size() >= (std::uint64_t{1} << 32)) {
        throw Error(name + " is too large: credits are read from files below 4 GiB");
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

void forEachRecordsLine(std::string_view text, const std::function<void(std::string_view)>& each) {
    forEachLine(text, [&](std::size_t, std::string_view line) {
        each(line);
        return true;
    });
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
