// SPDX-License-Identifier: GPL-3.0-or-later
#include "standings.h"

#include "adi_reader.h"
#include "core/text.h"
#include "dxcc_entities.h"
#include "matching.h"
#include "qso_time.h"
#include "records/adif_enums.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <span>
#include <unordered_map>

namespace awardsync::mark {

namespace {

constexpr std::array<std::string_view, ColumnCount> ColumnNames = {"Mixed", "CW",  "Phone", "Digital", "160M", "80M",
                                                                   "40M",   "30M", "20M",   "17M",     "15M",  "12M",
                                                                   "10M",   "6M",  "2M",    "SAT"};

bool isYesOrVerified(std::string_view value) {
    const std::string_view v = trimControl(value);
    return v.size() == 1 && (asciiUpper(v[0]) == 'Y' || asciiUpper(v[0]) == 'V');
}

// The fields of a record the standings read.
struct StandingsFields {
    QsoNames names;
    std::string_view dxcc, freq, propMode;
    bool confirmed = false, byLotw = false;
};

// The fields the standings read, by their index in FieldNames.
enum Field { FieldCall, FieldBand, FieldMode, FieldDxcc, FieldFreq, FieldDate, FieldTime, FieldPropMode, FieldCount };
constexpr std::array<std::string_view, FieldCount + 2> FieldNames = {
    "CALL", "BAND", "MODE", "DXCC", "FREQ", "QSO_DATE", "TIME_ON", "PROP_MODE", "QSL_RCVD", "LOTW_QSL_RCVD"};

// Reads StandingsFields in one pass over the record (which holds only the fields the reading kept): the
// first of each name counts; either confirmation confirms.
StandingsFields readFields(const AdiRecord& record) {
    std::array<std::string_view, FieldCount> values;
    bool confirmed = false, byLotw = false;
    for (const AdiField& field : record.fields) {
        const int index = fieldNameIndex(field.name, FieldNames);
        if (index >= FieldCount) {
            const bool yes = isYesOrVerified(field.value);
            confirmed = confirmed || yes;
            byLotw = byLotw || (yes && index == FieldCount + 1);
        } else if (index >= 0 && values[static_cast<std::size_t>(index)].empty()) {
            values[static_cast<std::size_t>(index)] = trimControl(field.value);
        }
    }
    return {{values[FieldCall], values[FieldDate], values[FieldTime], values[FieldBand], values[FieldMode]},
            values[FieldDxcc],
            values[FieldFreq],
            values[FieldPropMode],
            confirmed,
            byLotw};
}

// Whether a DXCC number gets a row: DXCC 0 (no entity, at sea say) is as unknown as no DXCC at all, and
// so is a number of more than three digits, which no entity has; a log of a million such numbers then
// makes no million rows. Numbers the ADIF standard does not know yet keep their row.
bool hasRow(int dxcc) {
    return dxcc > 0 && dxcc <= 999;
}

std::size_t rowOf(std::unordered_map<int, std::size_t>& rowIndex, std::vector<StandingsRow>& rows, int dxcc) {
    const auto [found, added] = rowIndex.try_emplace(dxcc, rows.size());
    if (added) {
        StandingsRow row;
        row.dxcc = dxcc;
        const DxccEntity* entity = dxccEntity(dxcc);
        row.counted = entity != nullptr && !entity->deleted;
        rows.push_back(row);
    }
    return found->second;
}

// The column a credit item grants, or -1.
int creditColumn(const StandingsCredit& credit) {
    if (credit.name == "DXCC") {
        return ColumnMixed;
    }
    if (credit.name == "DXCC_MODE") {
        return modeColumn(credit.groups);
    }
    if (credit.name == "DXCC_BAND") {
        return bandColumn(credit.band);
    }
    return credit.name == "DXCC_SATELLITE" ? ColumnSat : -1;
}

void countTotals(Standings& standings) {
    for (std::size_t r = 0; r < standings.rows.size(); ++r) {
        StandingsRow& row = standings.rows[r];
        for (int c = 0; c < ColumnCount; ++c) {
            StandingsCell& cell = row.cells[static_cast<std::size_t>(c)];
            if (cell.state != CellState::Credited) {
                cell.state = cell.confirmed > 0 ? CellState::Confirmed
                             : cell.qsos > 0    ? CellState::Worked
                                                : CellState::Empty;
            }
            if (cell.state == CellState::Confirmed) {
                standings.application.push_back(
                    {r, c, cell.qso, standings.qsos[cell.qso].byLotw ? MediaLotw : MediaCard});
            }
            if (!row.counted) {
                continue;
            }
            ColumnTotals& totals = standings.totals[static_cast<std::size_t>(c)];
            totals.credited += cell.state == CellState::Credited ? 1 : 0;
            totals.lotw += cell.state == CellState::Credited && (cell.media & MediaLotw) ? 1 : 0;
            totals.card += cell.state == CellState::Credited && (cell.media & MediaCard) ? 1 : 0;
            totals.confirmed += cell.state == CellState::Confirmed ? 1 : 0;
            totals.worked += cell.state == CellState::Worked ? 1 : 0;
        }
    }
    for (int c = Column160M; c <= Column6M; ++c) {
        standings.challenge += standings.totals[static_cast<std::size_t>(c)].credited;
        standings.challengeConfirmed += standings.totals[static_cast<std::size_t>(c)].confirmed;
    }
}

// What each column still needs, of every current entity of the table: per entity, not per QSO.
void listNeeded(Standings& standings) {
    auto row = standings.rows.cbegin(); // both by entity number
    for (const DxccEntity& entity : dxccEntities()) {
        if (entity.deleted) {
            continue;
        }
        while (row != standings.rows.cend() && row->dxcc < entity.code) {
            ++row;
        }
        const bool held = row != standings.rows.cend() && row->dxcc == entity.code;
        for (std::size_t c = 0; c < ColumnCount; ++c) {
            const CellState state = held ? row->cells[c].state : CellState::Empty;
            NeededEntities& needed = standings.needed[c];
            needed.notCredited += state == CellState::Credited ? 0 : 1;
            if (state == CellState::Worked) {
                needed.notConfirmed.push_back(entity.code);
            } else if (state == CellState::Empty) {
                needed.neverWorked.push_back(entity.code);
            }
        }
    }
}

// A count of an award's step: `n`, or n below the most the award counts.
struct StepCount {
    std::size_t n;
    bool belowMost;
    std::size_t of(std::size_t most) const { return belowMost ? most - std::min(n, most) : n; }
};
constexpr StepCount at(std::size_t n) {
    return {n, false};
}
constexpr StepCount below(std::size_t n) {
    return {n, true};
}
// A run of an award's steps: from `first` to `last`, `every` apart.
struct StepRun {
    std::string_view name;
    StepCount first, last;
    std::size_t every;
};

// The awards' steps, lowest first. The top ones follow the entity table: the Honor Roll is within 9
// of all current entities, #1 Honor Roll is all of them.
constexpr StepRun DxccSteps[] = {
    {"DXCC", at(100), at(100), 1},
    {"endorsement", at(125), at(250), 25},
    {"endorsement", at(255), below(10), 5},
    {"Honor Roll", below(9), below(9), 1},
    {"#1 Honor Roll", below(0), below(0), 1},
};
constexpr StepRun ChallengeSteps[] = {{"", at(1000), at(1000), 1}, {"", at(1050), below(0), 50}};
constexpr StepRun FiveBandSteps[] = {{"5-band DXCC", at(100), at(100), 1}};
constexpr std::size_t ChallengeBands = Column6M - Column160M + 1;

AwardTarget target(std::span<const StepRun> steps, std::size_t credited, std::size_t most) {
    AwardTarget target{credited, most, 0, {}};
    for (const StepRun& run : steps) {
        target.step = run.name;
        const std::size_t first = run.first.of(most);
        const std::size_t next = credited < first ? first : first + ((credited - first) / run.every + 1) * run.every;
        if (next <= run.last.of(most)) {
            target.next = next;
            return target;
        }
    }
    return target;
}

} // namespace

AwardTarget dxccTarget(std::size_t credited) {
    return target(DxccSteps, credited, static_cast<std::size_t>(currentDxccEntityCount()));
}

AwardTarget challengeTarget(std::size_t credited) {
    return target(ChallengeSteps, credited, ChallengeBands * static_cast<std::size_t>(currentDxccEntityCount()));
}

AwardTarget fiveBandTarget(std::size_t credited) {
    return target(FiveBandSteps, credited, 100);
}

std::string groupedNumber(std::size_t number) {
    // Built forward rather than by inserting into the digits, which GCC 12 at -O2 warns of wrongly.
    const std::string digits = std::to_string(number);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

std::string nextStepText(const AwardTarget& target) {
    if (target.next == 0) {
        return target.step.empty() ? "every step reached" : std::string(target.step) + " reached";
    }
    return target.step.empty() ? groupedNumber(target.next)
                               : std::string(target.step) + " at " + groupedNumber(target.next);
}

std::string targetText(const AwardTarget& target) {
    return groupedNumber(target.count) + " of " + groupedNumber(target.of) + " (" + (target.next == 0 ? "" : "next: ") +
           nextStepText(target) + ")";
}

std::vector<std::size_t> applicationQsos(const Standings& standings, unsigned media) {
    std::vector<std::size_t> chosen;
    for (const ApplicationSlot& slot : standings.application) {
        if (slot.medium & media) {
            chosen.push_back(slot.qso);
        }
    }
    // A QSO may stand for several slots (Mixed, its mode and its band): it is named once.
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    return chosen;
}

std::size_t applicationSlots(const Standings& standings, unsigned media) {
    return static_cast<std::size_t>(std::count_if(standings.application.begin(), standings.application.end(),
                                                  [&](const ApplicationSlot& slot) { return slot.medium & media; }));
}

std::string_view columnName(int column) {
    return column >= 0 && column < ColumnCount ? ColumnNames[static_cast<std::size_t>(column)] : std::string_view();
}

int bandColumn(std::string_view band) {
    for (int c = Column160M; c <= Column2M; ++c) {
        if (equalsIgnoreAsciiCase(band, ColumnNames[static_cast<std::size_t>(c)])) {
            return c;
        }
    }
    return -1;
}

int modeColumn(unsigned groups) {
    if (groups == 0 || groups == AnyGroup) {
        return -1;
    }
    // DIGITALVOICE is in both PHONE and DATA: the first group counts, as the report names it.
    return groups & GroupCw ? ColumnCw : groups & (GroupPhone | GroupImage) ? ColumnPhone : ColumnDigital;
}

std::string_view cellLetter(const StandingsCell& cell) {
    switch (cell.state) {
    case CellState::Credited:
        return cell.media == (MediaLotw | MediaCard) ? "B" : cell.media == MediaLotw ? "L" : cell.media ? "Q" : "G";
    case CellState::Confirmed:
        return "c";
    case CellState::Worked:
        return "w";
    default:
        return "";
    }
}

const std::array<CellLegendEntry, 6>& cellLegend() {
    static constexpr std::array<CellLegendEntry, 6> Legend = {{
        {CellState::Credited, MediaLotw, "credited by LoTW"},
        {CellState::Credited, MediaCard, "credited by QSL card"},
        {CellState::Credited, MediaLotw | MediaCard, "credited by both"},
        {CellState::Credited, 0, "credited, the source names no medium"},
        {CellState::Confirmed, 0, "confirmed, not credited: apply"},
        {CellState::Worked, 0, "worked, not confirmed"},
    }};
    return Legend;
}

namespace {

// Calls `each` with every credit item of the readable credits, in source order.
template <typename Each> void forEachStandingsCredit(const std::vector<Credit>& credits, const Each& each) {
    for (const Credit& credit : credits) {
        if (!credit.problem().empty()) {
            continue;
        }
        for (const CreditItem& item : credit.granted()) {
            unsigned media = 0;
            for (const std::string& medium : item.media) {
                media |= medium == "LOTW" ? MediaLotw : medium == "CARD" ? MediaCard : 0u;
            }
            each(StandingsCredit{credit.dxcc, item.name, media, credit.band(), credit.groups, credit.lineNumber});
        }
    }
}

} // namespace

std::vector<StandingsCredit> standingsCredits(const std::vector<Credit>& credits) {
    std::vector<StandingsCredit> items;
    items.reserve(credits.size());
    forEachStandingsCredit(credits, [&](const StandingsCredit& item) { items.push_back(item); });
    return items;
}

// The fields the standings read: a record of millions of other fields then costs no memory.
const AdiFieldNames StandingsTally::Fields(FieldNames.begin(), FieldNames.end());

StandingsTally::Entity& StandingsTally::entity(int dxcc) {
    const auto [found, added] = entityIndex_.try_emplace(dxcc, entities_.size());
    if (added) {
        entities_.emplace_back().dxcc = dxcc;
    }
    return entities_[found->second];
}

void StandingsTally::add(const AdiRecord& record, AdiLengthUnit unit) {
    const StandingsFields fields = readFields(record);
    StandingsQso qso;
    qso.begin = record.begin;
    qso.end = record.end;
    qso.firstTag = record.fields.empty() ? record.eorBegin : record.fields.front().tagBegin;
    qso.confirmed = fields.confirmed;
    qso.byLotw = fields.byLotw;
    qso.inCharacters = unit == AdiLengthUnit::Characters;
    if (const auto day = daysOfAdifDate(fields.names.date)) {
        qso.when = *day * 86400 + secondsOfAdifTime(fields.names.time).value_or(0);
    }
    std::string_view band = fields.names.band;
    if (band.empty() && !fields.freq.empty()) {
        band = bandOfFrequency(fields.freq).value_or(std::string_view());
    }
    // A satellite QSO's BAND is its uplink, so it counts for SAT and not for a band.
    const std::array<int, 3> columns = {
        ColumnMixed, modes_.columnOf(fields.names.mode, [](std::string_view m) { return modeColumn(modeGroupsOf(m)); }),
        equalsIgnoreAsciiCase(fields.propMode, "SAT")
            ? static_cast<int>(ColumnSat)
            : bands_.columnOf(band, [](std::string_view b) { return bandColumn(b); })};
    const int dxcc = entityNumber(fields.dxcc).value_or(-1);
    Entity* held = hasRow(dxcc) ? &entity(dxcc) : nullptr;
    for (int column : columns) {
        if (column < 0) {
            continue;
        }
        if (held == nullptr) {
            ++unknownEntity_[static_cast<std::size_t>(column)];
            continue;
        }
        Cell& cell = held->cells[static_cast<std::size_t>(column)];
        // A confirmed QSO wins over one that is not; the earlier of two alike wins (log order on a tie).
        if (cell.qsos == 0 || (qso.confirmed != cell.shown.confirmed ? qso.confirmed : qso.when < cell.shown.when)) {
            cell.shown = qso;
        }
        ++cell.qsos;
        cell.confirmed += qso.confirmed ? 1 : 0;
    }
}

StandingsTally tallyLog(std::string_view log) {
    StandingsTally tally;
    AdiLayout layout;
    AdiLengthUnit unitAtStart = AdiLengthUnit::Bytes;
    readAdi(
        log,
        [&](const AdiRecord& record) {
            tally.add(record, unitAtStart);
            unitAtStart = layout.unit;
            return true;
        },
        layout, StandingsTally::Fields);
    return tally;
}

void numberShownLines(Standings& standings, std::string_view log) {
    std::size_t line = 1;
    std::size_t lineAt = 0;                    // the line of this offset is `line`
    for (StandingsQso& qso : standings.qsos) { // in log order, so the log is counted once
        line += countLineEnds(log.substr(lineAt, qso.firstTag - lineAt));
        lineAt = qso.firstTag;
        qso.line = line;
    }
}

QsoNames qsoNames(const StandingsQso& qso, std::string_view log) {
    // Read in its place in the log, as the log counted its lengths then: read alone, a record of a
    // log that counts characters could read otherwise.
    QsoNames names;
    readAdiRecordAgain(
        log, qso.begin, qso.inCharacters ? AdiLengthUnit::Characters : AdiLengthUnit::Bytes,
        [&](const AdiRecord& record) {
            names = readFields(record).names;
            return false;
        },
        StandingsTally::Fields);
    return names;
}

namespace {

// The standings of `tally` with the credit items that `forEach` gives to its argument, one by one.
template <typename ForEach> Standings standingsOf(const ForEach& forEach, const StandingsTally& tally) {
    Standings standings;
    std::unordered_map<int, std::size_t> rowIndex;
    forEach([&](const StandingsCredit& credit) {
        const int column = creditColumn(credit);
        if (!hasRow(credit.dxcc) || column < 0) {
            standings.creditsUnplaced += credit.name.rfind("DXCC", 0) == 0 ? 1 : 0;
            return;
        }
        StandingsCell& cell =
            standings.rows[rowOf(rowIndex, standings.rows, credit.dxcc)].cells[static_cast<std::size_t>(column)];
        cell.state = CellState::Credited;
        cell.media |= credit.media;
        cell.creditLine = cell.creditLine ? cell.creditLine : credit.line;
    });
    struct Shown {
        const StandingsQso* qso;
        std::size_t row;
        std::size_t column;
    };
    std::vector<Shown> shown;
    for (const StandingsTally::Entity& entity : tally.entities()) {
        const std::size_t row = rowOf(rowIndex, standings.rows, entity.dxcc);
        for (std::size_t c = 0; c < entity.cells.size(); ++c) {
            const StandingsTally::Cell& counted = entity.cells[c];
            standings.rows[row].cells[c].qsos = counted.qsos;
            standings.rows[row].cells[c].confirmed = counted.confirmed;
            if (counted.qsos > 0) {
                shown.push_back({&counted.shown, row, c});
            }
        }
    }
    for (std::size_t c = 0; c < ColumnCount; ++c) {
        standings.totals[c].unknownEntity = tally.unknownEntity()[c];
    }
    // A QSO may be shown by several cells (Mixed, its mode, its band): it is kept once, in log order.
    std::sort(shown.begin(), shown.end(), [](const Shown& a, const Shown& b) { return a.qso->begin < b.qso->begin; });
    for (const Shown& s : shown) {
        if (standings.qsos.empty() || standings.qsos.back().begin != s.qso->begin) {
            standings.qsos.push_back(*s.qso);
        }
        standings.rows[s.row].cells[s.column].qso = standings.qsos.size() - 1;
    }
    std::sort(standings.rows.begin(), standings.rows.end(),
              [](const StandingsRow& a, const StandingsRow& b) { return a.dxcc < b.dxcc; });
    countTotals(standings);
    listNeeded(standings);
    return standings;
}

} // namespace

Standings buildStandings(const std::vector<StandingsCredit>& credits, const StandingsTally& tally) {
    return standingsOf(
        [&](const auto& each) {
            for (const StandingsCredit& credit : credits) {
                each(credit);
            }
        },
        tally);
}

Standings buildStandings(const std::vector<Credit>& credits, const StandingsTally& tally) {
    return standingsOf([&](const auto& each) { forEachStandingsCredit(credits, each); }, tally);
}

ProgressSeries progressByMonth(const Standings& standings) {
    ProgressSeries series;
    // Months as year * 12 + month - 1, so that they follow each other; -1: no dated QSO.
    const auto monthOf = [&](const StandingsCell& cell) -> std::int64_t {
        if (cell.qso == StandingsCell::NoQso ||
            standings.qsos[cell.qso].when == std::numeric_limits<std::int64_t>::max()) {
            return -1;
        }
        const std::int64_t when = standings.qsos[cell.qso].when;
        const std::int64_t day = when / 86400 - (when % 86400 < 0 ? 1 : 0);
        const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{day}}};
        return static_cast<std::int64_t>(static_cast<int>(date.year())) * 12 + static_cast<unsigned>(date.month()) - 1;
    };
    std::vector<std::pair<std::int64_t, bool>> credited; // month, Mixed (else a Challenge slot)
    for (const StandingsRow& row : standings.rows) {
        if (!row.counted) {
            continue;
        }
        for (int c = ColumnMixed; c <= Column6M; ++c) {
            const StandingsCell& cell = row.cells[static_cast<std::size_t>(c)];
            if (cell.state != CellState::Credited || (c != ColumnMixed && c < Column160M)) {
                continue;
            }
            const std::int64_t month = monthOf(cell);
            if (month < 0) {
                (c == ColumnMixed ? series.undatedMixed : series.undatedChallenge) += 1;
            } else {
                credited.emplace_back(month, c == ColumnMixed);
            }
        }
    }
    if (credited.empty()) {
        return series;
    }
    const auto [first, last] = std::minmax_element(credited.begin(), credited.end());
    const std::int64_t from = first->first;
    series.months.resize(static_cast<std::size_t>(last->first - from + 1));
    for (const auto& [month, mixed] : credited) {
        MonthProgress& at = series.months[static_cast<std::size_t>(month - from)];
        (mixed ? at.mixed : at.challenge) += 1;
    }
    MonthProgress sum;
    for (std::size_t m = 0; m < series.months.size(); ++m) {
        sum.mixed += series.months[m].mixed;
        sum.challenge += series.months[m].challenge;
        const std::int64_t month = from + static_cast<std::int64_t>(m);
        series.months[m] = {static_cast<int>(month / 12), static_cast<int>(month % 12) + 1, sum.mixed, sum.challenge};
    }
    return series;
}

std::string standingsSummaryLine(const Standings& s) {
    const auto n = [&](int column) { return std::to_string(s.totals[static_cast<std::size_t>(column)].credited); };
    return "Credited entities: Mixed " + n(ColumnMixed) + ", CW " + n(ColumnCw) + ", Phone " + n(ColumnPhone) +
           ", Digital " + n(ColumnDigital) + ", Challenge " + std::to_string(s.challenge) + " (+" +
           std::to_string(s.challengeConfirmed) + " confirmed, not credited)";
}

} // namespace awardsync::mark
