// SPDX-License-Identifier: GPL-3.0-or-later
#include "standings.h"

#include "adi_reader.h"
#include "core/text.h"
#include "dxcc_entities.h"
#include "matching.h"
#include "qso_time.h"
#include "records/adif_enums.h"

#include <algorithm>
#include <cstring>
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
    bool confirmed = false;
};

// The fields the standings read, by their index in FieldNames.
enum Field { FieldCall, FieldBand, FieldMode, FieldDxcc, FieldFreq, FieldDate, FieldTime, FieldPropMode, FieldCount };
constexpr std::array<std::string_view, FieldCount + 2> FieldNames = {
    "CALL", "BAND", "MODE", "DXCC", "FREQ", "QSO_DATE", "TIME_ON", "PROP_MODE", "QSL_RCVD", "LOTW_QSL_RCVD"};

// Reads StandingsFields in one pass over the record (which holds only the fields the reading kept): the
// first of each name counts; either confirmation confirms.
StandingsFields readFields(const AdiRecord& record) {
    std::array<std::string_view, FieldCount> values;
    bool confirmed = false;
    for (const AdiField& field : record.fields) {
        const int index = fieldNameIndex(field.name, FieldNames);
        if (index >= FieldCount) {
            confirmed = confirmed || isYesOrVerified(field.value);
        } else if (index >= 0 && values[static_cast<std::size_t>(index)].empty()) {
            values[static_cast<std::size_t>(index)] = trimControl(field.value);
        }
    }
    return {{values[FieldCall], values[FieldDate], values[FieldTime], values[FieldBand], values[FieldMode]},
            values[FieldDxcc],
            values[FieldFreq],
            values[FieldPropMode],
            confirmed};
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
                standings.application.push_back({r, c, cell.qso});
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

} // namespace

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
        return cell.media == (MediaLotw | MediaCard) ? "B" : cell.media == MediaLotw ? "L" : cell.media ? "C" : "G";
    case CellState::Confirmed:
        return "c";
    case CellState::Worked:
        return "w";
    default:
        return "";
    }
}

std::vector<StandingsCredit> standingsCredits(const std::vector<Credit>& credits) {
    std::vector<StandingsCredit> items;
    items.reserve(credits.size());
    for (const Credit& credit : credits) {
        if (!credit.problem.empty()) {
            continue;
        }
        for (const CreditItem& item : credit.items) {
            unsigned media = 0;
            for (const std::string& medium : item.media) {
                media |= medium == "LOTW" ? MediaLotw : medium == "CARD" ? MediaCard : 0u;
            }
            items.push_back({credit.dxcc, item.name, media, credit.band, credit.groups, credit.lineNumber});
        }
    }
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

Standings buildStandings(const std::vector<StandingsCredit>& credits, const StandingsTally& tally) {
    Standings standings;
    std::unordered_map<int, std::size_t> rowIndex;
    for (const StandingsCredit& credit : credits) {
        const int column = creditColumn(credit);
        if (!hasRow(credit.dxcc) || column < 0) {
            standings.creditsUnplaced += credit.name.rfind("DXCC", 0) == 0 ? 1 : 0;
            continue;
        }
        StandingsCell& cell =
            standings.rows[rowOf(rowIndex, standings.rows, credit.dxcc)].cells[static_cast<std::size_t>(column)];
        cell.state = CellState::Credited;
        cell.media |= credit.media;
        cell.creditLine = cell.creditLine ? cell.creditLine : credit.line;
    }
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
    return standings;
}

std::string standingsSummaryLine(const Standings& s) {
    const auto n = [&](int column) { return std::to_string(s.totals[static_cast<std::size_t>(column)].credited); };
    return "Credited entities: Mixed " + n(ColumnMixed) + ", CW " + n(ColumnCw) + ", Phone " + n(ColumnPhone) +
           ", Digital " + n(ColumnDigital) + ", Challenge " + std::to_string(s.challenge) + " (+" +
           std::to_string(s.challengeConfirmed) + " confirmed, not credited)";
}

} // namespace awardsync::mark
