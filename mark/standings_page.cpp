// SPDX-License-Identifier: GPL-3.0-or-later
#include "standings_page.h"

#include "core/text.h"
#include "dxcc_entities.h"
#include "records/credits_file.h"

#include <algorithm>
#include <cmath>

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
td.name, th.name { text-align: left; white-space: nowrap; }
div.scroll { overflow-x: auto; max-width: 100%; }
div.grid { overflow: auto; max-height: 85vh; border: 1px solid #ccc; }
table.grid thead th { position: sticky; top: 0; background: #e8e8e8; z-index: 1; }
table.grid td, table.grid thead th.col { width: 3.2em; font-family: "DejaVu Sans Mono", monospace; }
td.L, td.Q, td.B, td.G, .legend .L, .legend .Q, .legend .B, .legend .G {
  background: #2e7d32; color: #fff; font-weight: bold; }
td.c, .legend .c { background: #fdd835; color: #000; }
td.w, .legend .w { background: #ffe0b2; color: #444; }
tr.deleted th, tr.deleted td.name { color: #777; font-style: italic; }
table.application td, table.application th { white-space: nowrap; }
table.awards td { text-align: left; } table.awards td.count { text-align: right; }
ul.needed { columns: 18em; list-style: none; padding: 0; margin: 0.3em 0 0.8em 1.5em; }
ul.needed li { break-inside: avoid; }
.legend span { display: inline-block; min-width: 1.6em; text-align: center; border: 1px solid #999; margin-right: 0.3em;
  font-family: "DejaVu Sans Mono", monospace; }
.legend span.entry { display: inline; border: none; min-width: 0; font-family: inherit; white-space: nowrap;
  margin-right: 1em; }
svg.progress { width: 100%; max-width: 760px; height: auto; }
svg.progress text { font-size: 12px; fill: #111; }
@media print {
  body { margin: 0; font-size: 9pt; }
  table.grid thead th { position: static; }
  div.grid, div.scroll { overflow: visible; max-height: none; border: none; }
  thead { display: table-header-group; }
  tr { break-inside: avoid; }
  td.L, td.Q, td.B, td.G, td.c, td.w, .legend span { background: none; color: #000; }
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
    page += "<div class=\"scroll\"><table class=\"totals\">\n<caption>Entities per column (current entities; deleted "
            "ones are listed "
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
    page += "</tbody>\n</table></div>\n";
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
    page += "<p class=\"legend\">";
    for (const CellLegendEntry& sample : cellLegend()) {
        StandingsCell cell;
        cell.state = sample.state;
        cell.media = sample.media;
        const std::string letter(cellLetter(cell));
        page += "<span class=\"entry\"><span class=\"" + letter + "\">" + letter + "</span>" +
                std::string(sample.meaning) + "</span> ";
    }
    page += "</p>\n<div class=\"grid\"><table class=\"grid\">\n<caption>Every entity of the credits or the log, by "
            "DXCC number</caption>\n"
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
    page += "</tbody>\n</table></div>\n";
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
    page += "<div class=\"scroll\"><table class=\"needed\">\n<caption>Per band: current entities without a credit on "
            "it (SAT: by "
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
    page += "</tbody>\n</table></div>\n";
}

void applicationTable(std::string& page, const Standings& s, std::string_view log, unsigned medium) {
    const std::string title = medium == MediaLotw ? "Apply online (LoTW)" : "Take to a card checker (QSL cards)";
    const std::size_t slotCount = applicationSlots(s, medium);
    const std::size_t qsos = applicationQsos(s, medium).size();
    if (slotCount == 0) {
        page += "<p>" + title + ": no slot.</p>\n";
        return;
    }
    page += "<div class=\"scroll\"><table class=\"application\">\n<caption>" + title + ": " +
            std::to_string(slotCount) + " slot" + (slotCount == 1 ? "" : "s") + " (" + std::to_string(qsos) +
            (qsos == 1 ? " QSO" : " QSOs") +
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
    page += "</tbody>\n</table></div>\n";
}

// A y axis step that gives four to eight lines: 1, 2 or 5 times a power of ten.
std::size_t axisStep(std::size_t most) {
    for (std::size_t power = 1;; power *= 10) {
        for (std::size_t factor : {1, 2, 5}) {
            if (most <= factor * power * 8) {
                return factor * power;
            }
        }
    }
}

std::string number(double value) {
    const long tenths = std::lround(value * 10);
    return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "");
}

// The credits over time as inline SVG: one point per month on each line, told apart on paper by the
// dashes and by the labels at their ends.
void progressChart(std::string& page, const Standings& s) {
    const ProgressSeries series = progressByMonth(s);
    if (series.months.empty()) {
        page += "<p>No credited cell has a QSO with a date in the log: no chart.</p>\n";
        return;
    }
    const MonthProgress& last = series.months.back();
    const std::size_t step = axisStep(std::max<std::size_t>({last.mixed, last.challenge, 1}));
    const std::size_t top = (std::max(last.mixed, last.challenge) / step + 1) * step;
    constexpr double Left = 50, Right = 620, Top = 15, Bottom = 235, Width = 760, Height = 265;
    const std::size_t months = series.months.size();
    const auto x = [&](std::size_t m) {
        return months == 1 ? (Left + Right) / 2 : Left + (Right - Left) * static_cast<double>(m) / (months - 1);
    };
    const auto y = [&](std::size_t count) { return Bottom - (Bottom - Top) * static_cast<double>(count) / top; };
    const auto monthName = [](const MonthProgress& m) {
        return std::to_string(m.year) + "-" + (m.month < 10 ? "0" : "") + std::to_string(m.month);
    };
    page += "<p>Credited entities (Mixed, solid line) and Challenge band slots (dashed line) by the date of the QSO "
            "each credit stands on, one point per month from " +
            monthName(series.months.front()) + " to " + monthName(last) + ".";
    const auto undated = [](std::size_t count, std::string_view one, std::string_view many) {
        return count == 0 ? std::string() : std::to_string(count) + " " + std::string(count == 1 ? one : many);
    };
    const std::string mixed = undated(series.undatedMixed, "Mixed entity", "Mixed entities");
    const std::string challenge = undated(series.undatedChallenge, "Challenge slot", "Challenge slots");
    if (!mixed.empty() || !challenge.empty()) {
        page += " Credited, but not in the chart as the log holds no dated QSO for them: " + mixed +
                (mixed.empty() || challenge.empty() ? "" : " and ") + challenge + ".";
    }
    page += "</p>\n<svg class=\"progress\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + number(Width) + " " +
            number(Height) + "\" role=\"img\" aria-label=\"Credited entities and Challenge slots by month\">\n";
    for (std::size_t count = 0; count <= top; count += step) {
        page += "<line x1=\"" + number(Left) + "\" y1=\"" + number(y(count)) + "\" x2=\"" + number(Right) + "\" y2=\"" +
                number(y(count)) + "\" stroke=\"" + (count == 0 ? "#000" : "#ccc") +
                "\" stroke-width=\"1\"/><text x=\"" + number(Left - 6) + "\" y=\"" + number(y(count) + 4) +
                "\" text-anchor=\"end\">" + groupedNumber(count) + "</text>\n";
    }
    // A year's label every so many years, so that they never overlap.
    const std::size_t years = static_cast<std::size_t>(last.year - series.months.front().year) + 1;
    const int every = static_cast<int>(years / 10 + 1);
    for (std::size_t m = 0; m < months; ++m) {
        const MonthProgress& month = series.months[m];
        // The first month is named too when it is not a January the labels name, if the next is far enough.
        const bool first =
            m == 0 && (months == 1 ||
                       static_cast<double>(13 - month.month) * (Right - Left) / static_cast<double>(months - 1) >= 60);
        if ((month.month == 1 && (month.year - series.months.front().year) % every == 0) || first) {
            page += "<line x1=\"" + number(x(m)) + "\" y1=\"" + number(Bottom) + "\" x2=\"" + number(x(m)) +
                    "\" y2=\"" + number(Bottom + 5) + "\" stroke=\"#000\" stroke-width=\"1\"/><text x=\"" +
                    number(x(m)) + "\" y=\"" + number(Bottom + 18) + "\" text-anchor=\"middle\">" +
                    (month.month == 1 ? std::to_string(month.year) : monthName(month)) + "</text>\n";
        }
    }
    const auto line = [&](std::string_view name, std::size_t MonthProgress::*count, std::string_view dashes) {
        page += "<polyline class=\"" + std::string(name) + "\" fill=\"none\" stroke=\"#000\" stroke-width=\"2\"" +
                std::string(dashes) + " points=\"";
        for (std::size_t m = 0; m < months; ++m) {
            page += (m ? " " : "") + number(x(m)) + "," + number(y(series.months[m].*count));
        }
        page += "\"/>\n";
    };
    line("mixed", &MonthProgress::mixed, "");
    line("challenge", &MonthProgress::challenge, " stroke-dasharray=\"7 4\"");
    // The labels at the lines' ends, apart when the two ends are close.
    double mixedY = y(last.mixed) + 4, challengeY = y(last.challenge) + 4;
    if (std::abs(mixedY - challengeY) < 14) {
        (mixedY > challengeY ? mixedY : challengeY) += 14 - std::abs(mixedY - challengeY);
    }
    page += "<text x=\"" + number(x(months - 1) + 6) + "\" y=\"" + number(mixedY) + "\">Mixed " +
            groupedNumber(last.mixed) + "</text>\n<text x=\"" + number(x(months - 1) + 6) + "\" y=\"" +
            number(challengeY) + "\">Challenge " + groupedNumber(last.challenge) + "</text>\n</svg>\n";
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
    page += "<h1>DXCC standings</h1>\n<p>Made " + escaped(sources.made) +
            " by awardsync-mark " AWARDSYNC_VERSION ".<br>Credits: " + escaped(sources.credits) +
            (sources.creditsCreated.empty() ? std::string(" (the file does not say when it was made; a records file "
                                                          "never does)")
                                            : " (made " + escaped(sources.creditsCreated) + ")") +
            "<br>Log: " + escaped(sources.log) + "</p>\n<h2 id=\"totals\">Totals</h2>\n";
    awardsTable(page, standings);
    totalsTable(page, standings);
    awardLines(page, standings);
    page += "<h2 id=\"progress\">Progress</h2>\n";
    progressChart(page, standings);
    page += "<h2 id=\"needed\">Still needed</h2>\n";
    neededSection(page, standings);
    page += "<h2 id=\"grid\">Grid</h2>\n";
    gridTable(page, standings, log);
    page += "<h2 id=\"application\">Application list</h2>\n<p>Confirmed QSOs that hold no credit yet, one per entity "
            "and column: "
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
