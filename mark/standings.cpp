// SPDX-License-Identifier: GPL-3.0-or-later
#include "standings.h"

#include "adi_reader.h"
#include "core/text.h"
#include "dxcc_entities.h"
#include "matching.h"
#include "records/adif_enums.h"

#include <algorithm>
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

// The fields the matching does not read: FREQ, PROP_MODE and the two confirmations.
void addStandingsFields(const AdiRecord& record, StandingsQso& qso) {
    std::string_view freq;
    for (const AdiField& field : record.fields) {
        if (equalsIgnoreAsciiCase(field.name, "LOTW_QSL_RCVD") || equalsIgnoreAsciiCase(field.name, "QSL_RCVD")) {
            qso.confirmed = qso.confirmed || isYesOrVerified(field.value);
        } else if (equalsIgnoreAsciiCase(field.name, "PROP_MODE")) {
            qso.satellite = equalsIgnoreAsciiCase(trimControl(field.value), "SAT");
        } else if (freq.empty() && equalsIgnoreAsciiCase(field.name, "FREQ")) {
            freq = field.value;
        }
    }
    if (qso.bandColumn < 0 && qso.band.empty() && !freq.empty()) {
        if (const auto band = bandOfFrequency(freq)) {
            qso.bandColumn = bandColumn(*band);
        }
    }
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

void addQso(StandingsCell& cell, const std::vector<StandingsQso>& qsos, std::size_t index) {
    const StandingsQso& qso = qsos[index];
    ++cell.qsos;
    cell.confirmed += qso.confirmed ? 1 : 0;
    if (cell.qso == StandingsCell::NoQso) {
        cell.qso = index;
        return;
    }
    const StandingsQso& held = qsos[cell.qso];
    // A confirmed QSO wins over one that is not; the earlier of two alike wins (log order on a tie).
    if (qso.confirmed != held.confirmed ? qso.confirmed : qso.when < held.when) {
        cell.qso = index;
    }
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

std::vector<StandingsQso> standingsQsos(std::string_view log) {
    std::vector<StandingsQso> qsos;
    std::size_t line = 1;
    std::size_t counted = 0; // line feeds are counted up to here
    AdiLayout layout;
    readAdi(
        log,
        [&](const AdiRecord& record) {
            const LogQso facts = qsoOf(record);
            StandingsQso qso;
            qso.begin = record.begin;
            qso.end = record.end;
            line +=
                static_cast<std::size_t>(std::count(log.begin() + static_cast<std::ptrdiff_t>(counted),
                                                    log.begin() + static_cast<std::ptrdiff_t>(facts.firstTag), '\n'));
            counted = facts.firstTag;
            qso.line = line;
            qso.call = facts.call;
            qso.date = facts.date;
            qso.time = facts.time;
            qso.band = facts.band;
            qso.mode = facts.mode;
            qso.dxcc = facts.dxcc;
            qso.bandColumn = bandColumn(facts.band);
            qso.modeColumn = modeColumn(facts.groups);
            if (facts.start || facts.day) {
                qso.when = facts.start ? *facts.start : *facts.day * 86400;
            }
            addStandingsFields(record, qso);
            qsos.push_back(qso);
            return true;
        },
        layout);
    return qsos;
}

Standings buildStandings(const std::vector<StandingsCredit>& credits, const std::vector<StandingsQso>& qsos) {
    Standings standings;
    std::unordered_map<int, std::size_t> rowIndex;
    for (const StandingsCredit& credit : credits) {
        const int column = creditColumn(credit);
        if (credit.dxcc <= 0 || column < 0) {
            standings.creditsUnplaced += credit.name.rfind("DXCC", 0) == 0 ? 1 : 0;
            continue;
        }
        StandingsCell& cell =
            standings.rows[rowOf(rowIndex, standings.rows, credit.dxcc)].cells[static_cast<std::size_t>(column)];
        cell.state = CellState::Credited;
        cell.media |= credit.media;
        cell.creditLine = cell.creditLine ? cell.creditLine : credit.line;
    }
    for (std::size_t i = 0; i < qsos.size(); ++i) {
        const StandingsQso& qso = qsos[i];
        // A satellite QSO's BAND is its uplink, so it counts for SAT and not for a band.
        const std::array<int, 3> columns = {ColumnMixed, qso.modeColumn, qso.satellite ? ColumnSat : qso.bandColumn};
        // DXCC 0 (no entity, at sea say) is as unknown as no DXCC at all.
        StandingsRow* row = qso.dxcc > 0 ? &standings.rows[rowOf(rowIndex, standings.rows, qso.dxcc)] : nullptr;
        for (int column : columns) {
            if (column >= 0 && row != nullptr) {
                addQso(row->cells[static_cast<std::size_t>(column)], qsos, i);
            } else if (column >= 0) {
                ++standings.totals[static_cast<std::size_t>(column)].unknownEntity;
            }
        }
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
