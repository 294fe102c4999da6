// SPDX-License-Identifier: GPL-3.0-or-later
#include "standings_page.h"

#include "core/text.h"
#include "dxcc_entities.h"
#include "records/credits_file.h"

#include <algorithm>

namespace awardsync::mark {

namespace {

// Colours for the screen; the letters carry the same meaning on paper and for colour-blind readers.
constexpr std::string_view Style = R"(
body { font-family: "DejaVu Sans", "Liberation Sans", sans-serif; font-size: 14px; margin: 1em 2em; color: #111; }
h1 { font-size: 1.5em; } h2 { font-size: 1.2em; margin-top: 1.5em; }
table { border-collapse: collapse; margin: 0.5em 0; }
caption { text-align: left; font-weight: bold; padding: 0.3em 0; }
th, td { border: 1px solid #999; padding: 2px 6px; }
td { text-align: center; }
td.name, th.name { text-align: left; }
table.grid thead th { position: sticky; top: 0; background: #e8e8e8; z-index: 1; }
table.grid td, table.grid thead th.col { width: 3.2em; font-family: "DejaVu Sans Mono", monospace; }
td.L, td.C, td.B, td.G { background: #2e7d32; color: #fff; font-weight: bold; }
td.c { background: #fdd835; color: #000; }
td.w { background: #ffe0b2; color: #444; }
tr.deleted th, tr.deleted td.name { color: #777; font-style: italic; }
.legend span { display: inline-block; min-width: 1.6em; text-align: center; border: 1px solid #999; margin-right: 0.3em; }
@media print {
  body { margin: 0; font-size: 9pt; }
  table.grid thead th { position: static; }
  thead { display: table-header-group; }
  tr { break-inside: avoid; }
  td.L, td.C, td.B, td.G, td.c, td.w { background: none; color: #000; }
}
)";

// Text from the files, fit for the page: a log in Windows-1252 (as older loggers write) becomes UTF-8,
// so that the page stays valid; markup characters become entities.
std::string escaped(std::string_view raw) {
    return escapeHtml(isValidUtf8(raw) ? raw : std::string_view(windows1252ToUtf8(raw)));
}

std::string dateText(std::string_view date) {
    return date.size() == 8 ? std::string(date.substr(0, 4)) + "-" + std::string(date.substr(4, 2)) + "-" +
                                  std::string(date.substr(6, 2))
                            : std::string(date);
}

std::string timeText(std::string_view time) {
    return time.size() >= 4 ? std::string(time.substr(0, 2)) + ":" + std::string(time.substr(2, 2)) : std::string(time);
}

void columnHeaders(std::string& page, std::string_view first) {
    page += "<tr>" + std::string(first);
    for (int c = 0; c < ColumnCount; ++c) {
        page += "<th scope=\"col\" class=\"col\">" + std::string(columnName(c)) + "</th>";
    }
    page += "</tr>\n";
}

void totalsTable(std::string& page, const Standings& s) {
    page += "<table class=\"totals\">\n<caption>Entities per column (current entities; deleted ones are listed "
            "in the grid but not counted)</caption>\n<thead>";
    columnHeaders(page, "<th scope=\"col\" class=\"name\">Entities</th>");
    page += "</thead>\n<tbody>\n";
    const auto line = [&](std::string_view label, std::size_t ColumnTotals::*member) {
        page += "<tr><th scope=\"row\" class=\"name\">" + std::string(label) + "</th>";
        for (const ColumnTotals& totals : s.totals) {
            page += "<td>" + std::to_string(totals.*member) + "</td>";
        }
        page += "</tr>\n";
    };
    line("Credited", &ColumnTotals::credited);
    line("&#8195;by LoTW", &ColumnTotals::lotw);
    line("&#8195;by card", &ColumnTotals::card);
    line("Confirmed, not credited", &ColumnTotals::confirmed);
    line("Worked, not confirmed", &ColumnTotals::worked);
    line("QSOs without DXCC (entity unknown)", &ColumnTotals::unknownEntity);
    page += "</tbody>\n</table>\n";
}

void awardLines(std::string& page, const Standings& s) {
    page += "<p><strong>Challenge:</strong> " + std::to_string(s.challenge) +
            " credited band slots from 160M to 6M (+" + std::to_string(s.challengeConfirmed) +
            " confirmed, not credited).</p>\n<p><strong>5-band DXCC</strong> (100 entities on each of 80M, 40M, "
            "20M, 15M, 10M):";
    for (int column : FiveBandColumns) {
        const std::size_t credited = s.totals[static_cast<std::size_t>(column)].credited;
        page += " " + std::string(columnName(column)) + " " + std::to_string(credited) +
                (credited >= 100 ? " (reached)" : "") + (column == FiveBandColumns.back() ? "." : ",");
    }
    page += "</p>\n";
    if (s.creditsUnplaced > 0) {
        page += "<p>" + std::to_string(s.creditsUnplaced) +
                " DXCC credits name no entity or no column of this grid (a band such as 60M, a mode credit "
                "without a mode) and are not shown.</p>\n";
    }
}

void gridTable(std::string& page, const Standings& s, std::string_view log) {
    page += "<p class=\"legend\"><span>L</span>credited by LoTW <span>C</span>by card <span>B</span>by both "
            "<span>G</span>credited, the source names no medium <span>c</span>confirmed, not credited: apply "
            "<span>w</span>worked, not confirmed</p>\n"
            "<table class=\"grid\">\n<caption>Every entity of the credits or the log, by DXCC number</caption>\n"
            "<thead>";
    columnHeaders(page, "<th scope=\"col\">DXCC</th><th scope=\"col\" class=\"name\">Entity</th>");
    page += "</thead>\n<tbody>\n";
    for (const StandingsRow& row : s.rows) {
        page += row.counted ? "<tr>" : "<tr class=\"deleted\">";
        page += "<td>" + std::to_string(row.dxcc) + "</td><th scope=\"row\" class=\"name\">" +
                escaped(dxccEntityLabel(row.dxcc)) + "</th>";
        for (const StandingsCell& cell : row.cells) {
            const std::string_view letter = cellLetter(cell);
            if (letter.empty()) {
                page += "<td></td>";
            } else {
                page += "<td class=\"" + std::string(letter) + "\" title=\"" + escaped(cellDescription(cell, s, log)) +
                        "\">" + std::string(letter) + "</td>";
            }
        }
        page += "</tr>\n";
    }
    page += "</tbody>\n</table>\n";
}

void applicationTable(std::string& page, const Standings& s, std::string_view log) {
    if (s.application.empty()) {
        page += "<p>No confirmed QSO waits for a credit.</p>\n";
        return;
    }
    page += "<table class=\"application\">\n<caption>" + std::to_string(s.application.size()) +
            " slots to apply for: the earliest confirmed QSO of each</caption>\n<thead><tr>"
            "<th scope=\"col\">DXCC</th><th scope=\"col\" class=\"name\">Entity</th><th scope=\"col\">Column</th>"
            "<th scope=\"col\">Call</th><th scope=\"col\">Date</th><th scope=\"col\">Time</th>"
            "<th scope=\"col\">Band</th><th scope=\"col\">Mode</th><th scope=\"col\">Log line</th></tr></thead>\n"
            "<tbody>\n";
    for (const ApplicationSlot& slot : s.application) {
        const StandingsRow& row = s.rows[slot.row];
        const StandingsQso& qso = s.qsos[slot.qso];
        const QsoNames names = qsoNames(qso, log);
        page += "<tr><td>" + std::to_string(row.dxcc) + "</td><td class=\"name\">" +
                escaped(dxccEntityLabel(row.dxcc)) + "</td><td>" + std::string(columnName(slot.column)) + "</td><td>" +
                escaped(names.call) + "</td><td>" + escaped(dateText(names.date)) + "</td><td>" +
                escaped(timeText(names.time)) + "</td><td>" + escaped(names.band) + "</td><td>" + escaped(names.mode) +
                "</td><td>" + std::to_string(qso.line) + "</td></tr>\n";
    }
    page += "</tbody>\n</table>\n";
}

} // namespace

std::string qsoText(const StandingsQso& qso, std::string_view log) {
    const QsoNames n = qsoNames(qso, log);
    return std::string(n.call) + " " + dateText(n.date) + " " + timeText(n.time) + " " + std::string(n.band) + " " +
           std::string(n.mode) + " (log line " + std::to_string(qso.line) + ")";
}

std::string cellDescription(const StandingsCell& cell, const Standings& standings, std::string_view log) {
    std::string text;
    switch (cell.state) {
    case CellState::Credited:
        text = cell.media == (MediaLotw | MediaCard) ? "Credited by LoTW and card"
               : cell.media == MediaLotw             ? "Credited by LoTW"
               : cell.media == MediaCard             ? "Credited by card"
                                                     : "Credited (no medium named)";
        text += " (credit source line " + std::to_string(cell.creditLine) + ")";
        break;
    case CellState::Confirmed:
        text = "Confirmed, not credited";
        break;
    case CellState::Worked:
        text = "Worked, not confirmed";
        break;
    default:
        return text;
    }
    if (cell.qso != StandingsCell::NoQso) {
        text += "; " + std::to_string(cell.qsos) + " QSO" + (cell.qsos == 1 ? "" : "s") + " in the log (" +
                std::to_string(cell.confirmed) + " confirmed); " +
                (cell.confirmed > 0 ? "earliest confirmed: " : "earliest: ") + qsoText(standings.qsos[cell.qso], log);
    }
    return text;
}

std::string standingsHtml(const Standings& standings, std::string_view log, const StandingsSources& sources) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>DXCC standings: " +
                       escaped(sources.log) + "</title>\n<style>" + std::string(Style) + "</style>\n</head>\n<body>\n";
    page += "<h1>DXCC standings</h1>\n<p>Credits: " + escaped(sources.credits) + "<br>Log: " + escaped(sources.log) +
            "<br>Written by awardsync-mark " AWARDSYNC_VERSION ".</p>\n<h2>Totals</h2>\n";
    totalsTable(page, standings);
    awardLines(page, standings);
    page += "<h2>Grid</h2>\n";
    gridTable(page, standings, log);
    page += "<h2>Application list</h2>\n<p>Confirmed QSOs that hold no credit yet, one per entity and column: "
            "what the next application can claim. <code>--apply FILE.adi</code> writes them as an ADI file.</p>\n";
    applicationTable(page, standings, log);
    page += "</body>\n</html>\n";
    return page;
}

std::string applicationAdi(const Standings& standings, std::string_view log) {
    std::vector<std::size_t> chosen;
    chosen.reserve(standings.application.size());
    for (const ApplicationSlot& slot : standings.application) {
        chosen.push_back(slot.qso);
    }
    // A QSO may stand for several slots (Mixed, its mode and its band): it is written once.
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    const std::string version = AWARDSYNC_VERSION;
    std::string out = "Application list by awardsync-mark: confirmed QSOs not yet credited, as the log has them\r\n"
                      "<ADIF_VER:" +
                      std::to_string(CreditsAdifVersion.size()) + ">" + std::string(CreditsAdifVersion) +
                      " <PROGRAMID:9>awardsync <PROGRAMVERSION:" + std::to_string(version.size()) + ">" + version +
                      " <EOH>";
    for (std::size_t index : chosen) {
        const StandingsQso& qso = standings.qsos[index];
        out.append(log.substr(qso.begin, qso.end - qso.begin));
    }
    out += "\r\n";
    return out;
}

} // namespace awardsync::mark
