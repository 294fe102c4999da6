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
table.awards td { text-align: left; } table.awards td.count { text-align: right; }
ul.needed { columns: 18em; list-style: none; padding: 0; margin: 0.3em 0 0.8em 1.5em; }
ul.needed li { break-inside: avoid; }
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

void awardsTable(std::string& page, const Standings& s) {
    page += "<table class=\"awards\">\n<caption>Credited entities against the DXCC award: of the " +
            groupedNumber(static_cast<std::size_t>(currentDxccEntityCount())) +
            " current entities, and the next step</caption>\n<thead><tr><th scope=\"col\" class=\"name\">Column"
            "</th><th scope=\"col\">Credited</th><th scope=\"col\">Next step</th><th scope=\"col\">To go</th>"
            "</tr></thead>\n<tbody>\n";
    for (int c = 0; c < ColumnCount; ++c) {
        const AwardTarget target = dxccTarget(s.totals[static_cast<std::size_t>(c)].credited);
        page += "<tr><th scope=\"row\" class=\"name\">" + std::string(columnName(c)) + "</th><td class=\"count\">" +
                groupedNumber(target.count) + " of " + groupedNumber(target.of) + "</td><td>" + nextStepText(target) +
                "</td><td class=\"count\">" + (target.next ? groupedNumber(target.next - target.count) : "") +
                "</td></tr>\n";
    }
    page += "</tbody>\n</table>\n";
}

void awardLines(std::string& page, const Standings& s) {
    page += "<p><strong>Challenge</strong> (credited band slots from 160M to 6M): " +
            targetText(challengeTarget(s.challenge)) + "; " + groupedNumber(s.challengeConfirmed) +
            " more confirmed, not credited.</p>\n<p><strong>5-band DXCC</strong> (100 entities on each of 80M, 40M, "
            "20M, 15M, 10M):";
    for (int column : FiveBandColumns) {
        const AwardTarget target = fiveBandTarget(s.totals[static_cast<std::size_t>(column)].credited);
        page += " " + std::string(columnName(column)) + " " + std::to_string(target.count) + " of " +
                std::to_string(target.of) + (target.next == 0 ? " (reached)" : "") +
                (column == FiveBandColumns.back() ? "." : ",");
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

// One list of needed entities, folded when it is long, so that a new log's 300 do not bury the page.
void neededList(std::string& page, int column, std::string_view what, const std::vector<int>& entities) {
    const std::string title =
        std::string(columnName(column)) + ": " + std::to_string(entities.size()) + " " + std::string(what);
    if (entities.empty()) {
        page += "<p>" + title + ".</p>\n";
        return;
    }
    page += std::string(entities.size() <= 20 ? "<details open>" : "<details>") + "<summary>" + title +
            "</summary>\n<ul class=\"needed\">";
    for (int dxcc : entities) {
        page += "<li>" + std::to_string(dxcc) + " " + escaped(dxccEntityLabel(dxcc)) + "</li>";
    }
    page += "</ul></details>\n";
}

void neededSection(std::string& page, const Standings& s) {
    page += "<p>Of the " + groupedNumber(static_cast<std::size_t>(currentDxccEntityCount())) +
            " current entities, those that hold no credit and are not confirmed either, by DXCC number; deleted "
            "entities never count as needed. Confirmed ones are in the application list below.</p>\n";
    for (int c = ColumnMixed; c <= ColumnDigital; ++c) {
        const NeededEntities& needed = s.needed[static_cast<std::size_t>(c)];
        neededList(page, c, "never worked", needed.neverWorked);
        neededList(page, c, "worked, not confirmed", needed.notConfirmed);
    }
    page += "<table class=\"needed\">\n<caption>Per band: current entities without a credit on it (SAT: by "
            "satellite)</caption>\n<thead><tr><th scope=\"col\" class=\"name\">Entities</th>";
    for (int c = Column160M; c < ColumnCount; ++c) {
        page += "<th scope=\"col\" class=\"col\">" + std::string(columnName(c)) + "</th>";
    }
    page += "</tr></thead>\n<tbody>\n";
    const auto line = [&](std::string_view label, const auto& count) {
        page += "<tr><th scope=\"row\" class=\"name\">" + std::string(label) + "</th>";
        for (int c = Column160M; c < ColumnCount; ++c) {
            page += "<td>" + std::to_string(count(static_cast<std::size_t>(c))) + "</td>";
        }
        page += "</tr>\n";
    };
    line("Not credited", [&](std::size_t c) { return s.needed[c].notCredited; });
    line("&#8195;confirmed: apply", [&](std::size_t c) { return s.totals[c].confirmed; });
    line("&#8195;worked, not confirmed", [&](std::size_t c) { return s.needed[c].notConfirmed.size(); });
    line("&#8195;never worked", [&](std::size_t c) { return s.needed[c].neverWorked.size(); });
    page += "</tbody>\n</table>\n";
}

void applicationTable(std::string& page, const Standings& s, std::string_view log, unsigned medium) {
    const std::string title = medium == MediaLotw ? "Apply online (LoTW)" : "Take to a card checker (QSL cards)";
    const std::size_t slotCount = applicationSlots(s, medium);
    const std::size_t qsos = applicationQsos(s, medium).size();
    if (slotCount == 0) {
        page += "<p>" + title + ": no slot.</p>\n";
        return;
    }
    page += "<table class=\"application\">\n<caption>" + title + ": " + std::to_string(slotCount) + " slot" +
            (slotCount == 1 ? "" : "s") + " (" + std::to_string(qsos) + (qsos == 1 ? " QSO" : " QSOs") +
            "), the earliest confirmed QSO of each</caption>\n<thead><tr>"
            "<th scope=\"col\">DXCC</th><th scope=\"col\" class=\"name\">Entity</th><th scope=\"col\">Column</th>"
            "<th scope=\"col\">Call</th><th scope=\"col\">Date</th><th scope=\"col\">Time</th>"
            "<th scope=\"col\">Band</th><th scope=\"col\">Mode</th><th scope=\"col\">Log line</th></tr></thead>\n"
            "<tbody>\n";
    for (const ApplicationSlot& slot : s.application) {
        if (slot.medium != medium) {
            continue;
        }
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
    awardsTable(page, standings);
    totalsTable(page, standings);
    awardLines(page, standings);
    page += "<h2>Still needed</h2>\n";
    neededSection(page, standings);
    page += "<h2>Grid</h2>\n";
    gridTable(page, standings, log);
    page += "<h2>Application list</h2>\n<p>Confirmed QSOs that hold no credit yet, one per entity and column: "
            "what the next application can claim, by the confirmation of the QSO that stands for the slot (LoTW "
            "when its <code>LOTW_QSL_RCVD</code> is Y or V, else its card). <code>--apply FILE.adi</code> writes "
            "them all as an ADI file, <code>--apply-lotw</code> and <code>--apply-cards</code> one medium each."
            "</p>\n";
    if (standings.application.empty()) {
        page += "<p>No confirmed QSO waits for a credit.</p>\n";
    } else {
        applicationTable(page, standings, log, MediaLotw);
        applicationTable(page, standings, log, MediaCard);
    }
    page += "</body>\n</html>\n";
    return page;
}

std::string applicationAdi(const Standings& standings, std::string_view log, unsigned media) {
    const std::string_view which = media == MediaLotw   ? ", LoTW (apply online)"
                                   : media == MediaCard ? ", QSL cards (for the card checker)"
                                                        : "";
    const std::string version = AWARDSYNC_VERSION;
    std::string out = "Application list by awardsync-mark" + std::string(which) +
                      ": confirmed QSOs not yet credited, as the log has them\r\n"
                      "<ADIF_VER:" +
                      std::to_string(CreditsAdifVersion.size()) + ">" + std::string(CreditsAdifVersion) +
                      " <PROGRAMID:9>awardsync <PROGRAMVERSION:" + std::to_string(version.size()) + ">" + version +
                      " <EOH>";
    for (std::size_t index : applicationQsos(standings, media)) {
        const StandingsQso& qso = standings.qsos[index];
        out.append(log.substr(qso.begin, qso.end - qso.begin));
    }
    out += "\r\n";
    return out;
}

} // namespace awardsync::mark
