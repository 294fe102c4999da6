// SPDX-License-Identifier: GPL-3.0-or-later
// The standings of a small hand-made credit list and log: every cell, every total, the targets, what is
// still needed, the application list by medium, and what the page and the ADI files make of them.
#include "mark/dxcc_entities.h"
#include "mark/mark_command.h"
#include "mark/marking.h"
#include "mark/standings.h"
#include "mark/standings_files.h"
#include "mark/standings_page.h"
#include "records/adif_enums.h"
#include "tests/support/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <tuple>

namespace {

using namespace awardsync;
using namespace awardsync::mark;

// Log line numbers: the header is line 1.
const std::string Log =
    "hand-made log<EOH>\n"
    "<CALL:2>K1<DXCC:3>291<BAND:3>20m<MODE:3>SSB<QSO_DATE:8>20200102<LOTW_QSL_RCVD:1>Y<EOR>\n"                   // 2
    "<CALL:4>K2&<<DXCC:3>291<FREQ:6>14.200<MODE:3>SSB<QSO_DATE:8>20190101<LOTW_QSL_RCVD:1>N<QSL_RCVD:1>v<EOR>\n" // 3
    "<CALL:2>K3<DXCC:3>291<BAND:3>40M<MODE:2>CW<QSO_DATE:8>20180101<LOTW_QSL_RCVD:1>N<EOR>\n"                    // 4
    "<CALL:3>VE1<DXCC:1>1<BAND:3>20M<MODE:2>CW<QSO_DATE:8>20170101<LOTW_QSL_RCVD:1>Y<EOR>\n"                     // 5
    "<CALL:3>VE2<DXCC:1>1<BAND:2>2M<MODE:2>FM<PROP_MODE:3>SAT<QSO_DATE:8>20160101<QSL_RCVD:1>Y<EOR>\n"           // 6
    "<CALL:2>XX<BAND:3>10M<MODE:3>FT8<QSO_DATE:8>20150101<QSL_RCVD:1>Y<EOR>\n"                                   // 7
    "<CALL:3>DL\xe4<DXCC:3>230<BAND:3>15M<MODE:3>FT8<QSO_DATE:8>20140101<LOTW_QSL_RCVD:1>V<EOR>\n"               // 8
    "<CALL:2>YY<DXCC:4>1000<BAND:3>10M<MODE:3>FT8<QSO_DATE:8>20130101<EOR>\n"; // no entity has four digits

const std::vector<StandingsCredit> Credits = {
    {1, "DXCC", MediaLotw, "20M", GroupCw, 1},
    {1, "DXCC_BAND", MediaLotw, "20M", GroupCw, 2},
    {1, "DXCC_BAND", MediaCard, "20M", GroupCw, 3},
    {1, "DXCC_MODE", MediaCard, "20M", GroupCw, 4},
    {291, "DXCC", 0, "20M", GroupPhone, 5},
    {291, "DXCC_SATELLITE", MediaLotw, "2M", GroupPhone, 6},
    {81, "DXCC", MediaCard, "20M", GroupCw, 7},           // deleted: shown, not counted
    {0, "DXCC", MediaLotw, "20M", GroupCw, 8},            // no entity
    {230, "DXCC_BAND", MediaLotw, "60M", GroupCw, 9},     // no column
    {230, "DXCC_MODE", MediaLotw, "20M", GroupImage, 10}, // IMAGE counts as Phone
    {230, "WAS", MediaLotw, "20M", GroupCw, 11},          // not a DXCC credit
    {1000, "DXCC", MediaLotw, "20M", GroupCw, 12},        // no entity
};

struct CellCase {
    int dxcc;
    int column;
    const char* letter;
};

const CellCase Cells[] = {
    {1, ColumnMixed, "L"},     {1, ColumnCw, "Q"},         {1, ColumnPhone, "c"},      {1, Column160M + 4, "B"},
    {1, ColumnSat, "c"},       {81, ColumnMixed, "Q"},     {230, ColumnMixed, "c"},    {230, ColumnPhone, "L"},
    {230, ColumnDigital, "c"}, {230, Column160M + 6, "c"}, {291, ColumnMixed, "G"},    {291, ColumnCw, "w"},
    {291, ColumnPhone, "c"},   {291, Column160M + 4, "c"}, {291, Column160M + 2, "w"}, {291, ColumnSat, "L"},
};

// credited, LoTW, card, confirmed, worked, QSOs without DXCC; columns not listed are all zero.
const std::vector<std::pair<int, ColumnTotals>> Totals = {
    {ColumnMixed, {2, 1, 0, 1, 0, 2}},    {ColumnCw, {1, 0, 1, 0, 1, 0}},       {ColumnPhone, {1, 1, 0, 2, 0, 0}},
    {ColumnDigital, {0, 0, 0, 1, 0, 2}},  {Column160M + 2, {0, 0, 0, 0, 1, 0}}, {Column160M + 4, {1, 1, 1, 1, 0, 0}},
    {Column160M + 6, {0, 0, 0, 1, 0, 0}}, {Column160M + 8, {0, 0, 0, 0, 0, 2}}, {ColumnSat, {1, 1, 0, 1, 0, 0}},
};

class StandingsTest : public ::testing::Test {
protected:
    Standings standings = buildStandings(Credits, tallyLog(Log));
    void SetUp() override { numberShownLines(standings, Log); }
};

TEST_F(StandingsTest, EveryCellAndTotal) {
    std::size_t shown = 0;
    for (const StandingsRow& row : standings.rows) {
        for (int c = 0; c < ColumnCount; ++c) {
            const std::string_view letter = cellLetter(row.cells[static_cast<std::size_t>(c)]);
            if (letter.empty()) {
                continue;
            }
            ++shown;
            const auto expected = std::find_if(std::begin(Cells), std::end(Cells), [&](const CellCase& cell) {
                return cell.dxcc == row.dxcc && cell.column == c;
            });
            ASSERT_NE(expected, std::end(Cells)) << row.dxcc << " " << columnName(c) << " shows " << letter;
            EXPECT_EQ(letter, expected->letter) << row.dxcc << " " << columnName(c);
        }
    }
    EXPECT_EQ(shown, std::size(Cells));
    for (int c = 0; c < ColumnCount; ++c) {
        const auto listed = std::find_if(Totals.begin(), Totals.end(), [&](const auto& t) { return t.first == c; });
        const ColumnTotals want = listed == Totals.end() ? ColumnTotals{} : listed->second;
        const ColumnTotals& got = standings.totals[static_cast<std::size_t>(c)];
        EXPECT_EQ(
            std::vector<std::size_t>({got.credited, got.lotw, got.card, got.confirmed, got.worked, got.unknownEntity}),
            std::vector<std::size_t>(
                {want.credited, want.lotw, want.card, want.confirmed, want.worked, want.unknownEntity}))
            << columnName(c);
    }
    EXPECT_EQ(standings.creditsUnplaced, 3u);
    EXPECT_EQ(standingsSummaryLine(standings),
              "Credited entities: Mixed 2, CW 1, Phone 1, Digital 0, Challenge 1 (+2 confirmed, not credited)");
}

TEST_F(StandingsTest, ApplicationListTakesTheEarliestConfirmedQsoOfEachSlot) {
    std::vector<std::string> applied;
    for (const ApplicationSlot& slot : standings.application) {
        applied.push_back(std::to_string(standings.rows[slot.row].dxcc) + " " + std::string(columnName(slot.column)) +
                          " line " + std::to_string(standings.qsos[slot.qso].line));
    }
    EXPECT_EQ(applied,
              std::vector<std::string>({"1 Phone line 6", "1 SAT line 6", "230 Mixed line 8", "230 Digital line 8",
                                        "230 15M line 8", "291 Phone line 3", "291 20M line 3"}));
    // Each QSO once, in log order, byte for byte with the text before it.
    const std::string adi = applicationAdi(standings, Log);
    const std::size_t header = adi.find("<EOH>") + 5;
    const auto record = [](int line) {
        std::size_t begin = 0;
        for (int l = 1; l < line; ++l) {
            begin = Log.find('\n', begin) + 1;
        }
        return Log.substr(begin - 1, Log.find('\n', begin) - begin + 1);
    };
    EXPECT_EQ(adi.substr(header), record(3) + record(6) + record(8) + "\r\n");
    const std::string lotw = applicationAdi(standings, Log, MediaLotw);
    EXPECT_EQ(lotw.substr(lotw.find("<EOH>") + 5), record(8) + "\r\n");
    const std::string cards = applicationAdi(standings, Log, MediaCard);
    EXPECT_EQ(cards.substr(cards.find("<EOH>") + 5), record(3) + record(6) + "\r\n");
}

// Beside the grid: the targets (here and at every kind of step), what each column still needs, and the
// application list by medium, each as the text it reads as.
TEST_F(StandingsTest, TargetsNeededAndMedia) {
    const auto needed = [&](int column) {
        const NeededEntities& n = standings.needed[static_cast<std::size_t>(column)];
        const auto some = [](const std::vector<int>& dxcc) {
            std::string text = std::to_string(dxcc.size()) + ":";
            for (std::size_t i = 0; i < std::min<std::size_t>(dxcc.size(), 3); ++i) {
                text += " " + std::to_string(dxcc[i]);
            }
            return text + (dxcc.size() > 3 ? " ..." : "");
        };
        return std::to_string(n.notCredited) + " not credited; worked " + some(n.notConfirmed) + "; never worked " +
               some(n.neverWorked);
    };
    const auto applied = [&](unsigned medium) {
        std::string text = std::to_string(applicationSlots(standings, medium)) + ":";
        for (const ApplicationSlot& slot : standings.application) {
            if (slot.medium == medium) {
                text +=
                    " " + std::to_string(standings.rows[slot.row].dxcc) + " " + std::string(columnName(slot.column));
            }
        }
        return text;
    };
    const ProgressSeries progress = progressByMonth(standings);
    const auto month = [&](std::size_t m) {
        const MonthProgress& p = progress.months.at(m);
        return std::to_string(p.year) + "-" + std::to_string(p.month) + " " + std::to_string(p.mixed) + "/" +
               std::to_string(p.challenge);
    };
    const std::pair<std::string, std::string> facts[] = {
        {targetText(dxccTarget(standings.totals[ColumnMixed].credited)), "2 of 340 (next: DXCC at 100)"},
        {targetText(dxccTarget(100)), "100 of 340 (next: endorsement at 125)"},
        {targetText(dxccTarget(249)), "249 of 340 (next: endorsement at 250)"},
        {targetText(dxccTarget(250)), "250 of 340 (next: endorsement at 255)"},
        {targetText(dxccTarget(330)), "330 of 340 (next: Honor Roll at 331)"},
        {targetText(dxccTarget(331)), "331 of 340 (next: #1 Honor Roll at 340)"},
        {targetText(dxccTarget(340)), "340 of 340 (#1 Honor Roll reached)"},
        {targetText(challengeTarget(standings.challenge)), "1 of 3,400 (next: 1,000)"},
        {targetText(challengeTarget(1000)), "1,000 of 3,400 (next: 1,050)"},
        {targetText(challengeTarget(3400)), "3,400 of 3,400 (every step reached)"},
        {targetText(fiveBandTarget(99)), "99 of 100 (next: 5-band DXCC at 100)"},
        // Deleted 2 and 81 are never needed; 1, 230 and 291 are in the log or the credits.
        {needed(ColumnMixed), "338 not credited; worked 0:; never worked 337: 3 4 5 ..."},
        {needed(ColumnCw), "339 not credited; worked 1: 291; never worked 338: 3 4 5 ..."},
        {needed(ColumnDigital), "340 not credited; worked 0:; never worked 339: 1 3 4 ..."},
        {needed(Column160M + 4), "339 not credited; worked 0:; never worked 338: 3 4 5 ..."},
        // LOTW_QSL_RCVD V is LoTW; N beside a card's Y is the card.
        {applied(MediaLotw), "3: 230 Mixed 230 Digital 230 15M"},
        {applied(MediaCard), "4: 1 Phone 1 SAT 291 Phone 291 20M"},
        // Mixed by the earliest confirmed QSO: 1 in 2016-01, 291 in 2019-01; the Challenge's 1 20M in 2017-01.
        {std::to_string(progress.months.size()) + ": " + month(0) + ", " + month(11) + ", " + month(12) + ", " +
             month(36) + "; undated " + std::to_string(progress.undatedMixed + progress.undatedChallenge),
         "37: 2016-1 1/0, 2016-12 1/0, 2017-1 1/1, 2019-1 2/1; undated 0"},
        {utcText(creditsCreatedTime(adiHeaderValue("x <ProgramID:3>abc <created_timestamp:15:S>20261208 040506 <EOH>",
                                                   "CREATED_TIMESTAMP"))
                     .value_or(QDateTime())),
         "2026-12-08 04:05 UTC"},
    };
    for (const auto& [got, want] : facts) {
        EXPECT_EQ(got, want);
    }
}

// The marking's reading of the log keeps its own fields and the standings': the standings of its tally
// are those of a reading of the standings alone, cell by cell and QSO by QSO.
TEST_F(StandingsTest, MarkingsReadingGivesTheSameStandings) {
    StandingsTally tally;
    markContent(
        "K1|291|2020/01/02||SSB|20M|LoTW|\r\n", Log, false, "r", "l", {},
        {StandingsTally::Fields, [&](const AdiRecord& record, AdiLengthUnit unit) { tally.add(record, unit); }});
    Standings along = buildStandings(Credits, tally);
    numberShownLines(along, Log);
    const auto cells = [](const Standings& s) {
        std::vector<std::tuple<int, CellState, std::uint32_t, std::uint32_t, std::size_t>> all;
        for (const StandingsRow& row : s.rows) {
            for (const StandingsCell& c : row.cells) {
                all.emplace_back(row.dxcc, c.state, c.qsos, c.confirmed, c.qso);
            }
        }
        return all;
    };
    const auto qsos = [](const Standings& s) {
        std::vector<std::tuple<std::size_t, std::size_t, std::size_t, std::size_t, bool, bool, std::int64_t>> all;
        for (const StandingsQso& q : s.qsos) {
            all.emplace_back(q.begin, q.end, q.firstTag, q.line, q.confirmed, q.byLotw, q.when);
        }
        return all;
    };
    EXPECT_EQ(cells(along), cells(standings));
    EXPECT_EQ(qsos(along), qsos(standings));
}

TEST_F(StandingsTest, PageEscapesFileTextAndScopesEveryHeader) {
    const std::string page = standingsHtml(standings, Log, {"credits.txt", "a<b&c.adi", "2026-12-09 17:05 UTC", ""});
    EXPECT_NE(page.find("<title>DXCC standings: a&lt;b&amp;c.adi</title>"), std::string::npos);
    EXPECT_NE(page.find("<td>K2&amp;&lt;</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>DL\xc3\xa4</td>"), std::string::npos); // a Windows-1252 call becomes UTF-8
    EXPECT_EQ(page.find("a<b"), std::string::npos);
    std::size_t headers = 0, scoped = 0;
    for (std::size_t at = page.find("<th"); at != std::string::npos; at = page.find("<th", at + 1)) {
        headers += page.compare(at, 4, "<th ") == 0 || page.compare(at, 4, "<th>") == 0 ? 1 : 0;
        scoped += page.compare(at, 11, "<th scope=\"") == 0 ? 1 : 0;
    }
    EXPECT_EQ(scoped, headers);
    EXPECT_NE(page.find("<caption>Every entity"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(page.find("<p>Made 2026-12-09 17:05 UTC by awardsync-mark " AWARDSYNC_VERSION
                        ".<br>Credits: credits.txt (the file does not say when it was made; a records file never "
                        "does)<br>"),
              std::string::npos);
    EXPECT_NE(standingsHtml(standings, Log, {"c.adi", "l.adi", "", "2026-12-08 04:05 UTC"})
                  .find("<br>Credits: c.adi (made 2026-12-08 04:05 UTC)<br>"),
              std::string::npos);
}

// The progress chart is well-formed SVG with one point per month of each line, 2016-01 to 2019-01.
TEST_F(StandingsTest, ProgressChartHasAPointPerMonth) {
    const std::string page = standingsHtml(standings, Log, {"c", "l", "t", ""});
    const std::size_t begin = page.find("<svg");
    ASSERT_NE(begin, std::string::npos);
    QXmlStreamReader svg(QByteArray::fromStdString(page.substr(begin, page.find("</svg>") + 6 - begin)));
    std::vector<std::pair<QString, qsizetype>> lines;
    while (svg.readNext() != QXmlStreamReader::EndDocument && !svg.hasError()) {
        if (svg.isStartElement() && svg.name() == QStringLiteral("polyline")) {
            lines.emplace_back(svg.attributes().value("class").toString(),
                               svg.attributes().value("points").toString().split(' ').size());
        }
    }
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
    EXPECT_EQ(lines, (std::vector<std::pair<QString, qsizetype>>{{"mixed", 37}, {"challenge", 37}}));
}

// The options on the command line: what is written, and what is refused before anything is.
TEST(StandingsCommand, OptionsAndRefusals) {
    QTemporaryDir dir;
    const std::string fixture = STANDINGS_FIXTURE;
    const std::string work = dir.path().toStdString();
    // Copies, so that a refusal that fails to refuse writes nothing beside the fixture.
    const std::string credits = work + "/credits.txt";
    const std::string log = work + "/log.adi";
    QFile::copy(QString::fromStdString(fixture + "/credits.txt"), dir.filePath("credits.txt"));
    QFile::copy(QString::fromStdString(fixture + "/log.adi"), dir.filePath("log.adi"));
    awardsync::testing::writeBytes(dir.filePath("report.adi"),
                                   "report<EOH>\n<CALL:5>DL1AB<QSO_DATE:8>20190301<BAND:3>20M<DXCC:3>230"
                                   "<APP_LoTW_MODEGROUP:5>PHONE<CREDIT_GRANTED:24>DXCC,DXCC_BAND,DXCC_MODE<EOR>\n");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* output; // part of standard output, or of standard error for status 2
    };
    const Case cases[] = {
        {{"--standings-only", "--standings", work + "/s.html", "--apply", work + "/a.adi", credits, log},
         0,
         "Credited entities: Mixed 4, CW 0, Phone 0, Digital 0, Challenge 0 (+9 confirmed, not credited)\nWritten: "},
        // An ADI source grants what its CREDIT_GRANTED lists, here without media.
        {{"--standings-only", "--standings", work + "/s.html", work + "/report.adi", log},
         0,
         "Mixed 1, CW 0, Phone 1, Digital 0, Challenge 1 (+8 confirmed, not credited)"},
        // With the marking, from the bytes it has read.
        {{"--standings", work + "/m.html", credits, log},
         0,
         "Credited entities: Mixed 4, CW 0, Phone 0, Digital 0, Challenge 0 (+9 confirmed, not credited)\nWritten: "},
        {{"--standings-only", credits, log}, 2, "--standings-only needs --standings or --apply, --apply-lotw or"},
        {{"--standings", log, credits, log}, 2, "would replace an input or another output"},
        {{"--standings", work + "/x", "--apply", work + "/x", credits, log}, 2, "would replace"},
        {{"--apply", work + "/missing/a.adi", "-o", work + "/out.adi", credits, log}, 2, "Cannot create file"},
        {{"--apply"}, 2, "--apply needs a file name"},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(runMarkCommand(c.arguments, out, err), c.status) << out.str() << err.str();
        EXPECT_NE((c.status == 2 ? err : out).str().find(c.output), std::string::npos) << out.str() << err.str();
    }
    // The written cases wrote their files; the refused ones wrote nothing.
    EXPECT_NE(awardsync::testing::readBytes(dir.filePath("s.html")).find("<caption>"), std::string::npos);
    EXPECT_EQ(awardsync::testing::readBytes(dir.filePath("a.adi")).substr(0, 11), "Application");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList({"a.adi", "credits.txt", "credits_bad.txt", "log-granted.adi", "log.adi", "m.html",
                           "report.adi", "s.html"}));
}

TEST(DxccEntities, WholeEnumerationWithDeletedOnesMarked) {
    EXPECT_EQ(dxccEntityCount(), 402);
    EXPECT_EQ(currentDxccEntityCount(), 340);
    EXPECT_EQ(dxccEntityLabel(230), "FEDERAL REPUBLIC OF GERMANY");
    EXPECT_EQ(dxccEntityLabel(81), "GERMANY (deleted)");
    EXPECT_EQ(dxccEntityLabel(522), "REPUBLIC OF KOSOVO");
    EXPECT_EQ(dxccEntityLabel(999), "entity 999 (not in the ADIF standard)");
    EXPECT_EQ(dxccEntity(0), nullptr);
}

} // namespace
