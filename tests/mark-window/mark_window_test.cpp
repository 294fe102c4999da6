// SPDX-License-Identifier: GPL-3.0-or-later
// The window of awardsync-mark, offscreen: when Mark may be pressed, a run against a small log
// (judged against the command line's output, byte for byte), an error and a cancel.
#include "mark-window/application_list.h"
#include "mark-window/mark_window.h"
#include "mark-window/progress_chart.h"
#include "mark-window/standings_tab.h"
#include "tests/support/files.h"
#include "tests/support/mark_fixtures.h"
#include "tests/support/program_run.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <sys/stat.h>
#include <vector>

namespace {

using awardsync::markwindow::EntityNameColumn;
using awardsync::markwindow::EntityNumberColumn;
using awardsync::markwindow::FirstAwardColumn;
using awardsync::markwindow::MarkWindow;
using awardsync::markwindow::StandingsTab;
using awardsync::testing::readBytes;
using awardsync::testing::writeBytes;

const std::string& Log = awardsync::testing::FixtureLog;
const std::string Records = "Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n"
                            "Q3XYZ|001|2009/07/15|10:00:00|CW|40M|QSL|\r\n"
                            "Q2ABC|001|2009/07/15|09:00:00|CW|80M|QSL|\r\n";

using Cli = awardsync::testing::ProgramRun;

mode_t modeOf(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

class MarkWindowTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); } // every test starts as a first start
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    Cli runCli(const QStringList& arguments) const {
        return awardsync::testing::runProgram(QStringLiteral(AWARDSYNC_MARK_PROGRAM), arguments);
    }
    // Fills in the window and presses Mark; returns when the run has ended.
    void mark(MarkWindow& window, const QString& records, const QString& log, const QString& output = {}) {
        window.recordsEdit()->setText(records);
        window.logEdit()->setText(log);
        if (!output.isEmpty()) {
            window.outputEdit()->setText(output);
        }
        QSignalSpy finished(&window, &MarkWindow::markingFinished);
        window.markButton()->click();
        ASSERT_TRUE(finished.wait(60000));
        EXPECT_FALSE(window.isWorking());
    }
    QTemporaryDir dir;
};

TEST_F(MarkWindowTest, DefaultsAndTheEnablingRuleOfMark) {
    writeBytes(path("awardsync.ini"), "[Settings]\r\nCall=Q1ABC\r\nTextFile=/data/credits.txt\r\n");
    MarkWindow window(dir.path());
    EXPECT_EQ(window.recordsEdit()->text(), QStringLiteral("/data/credits.txt"));
    EXPECT_EQ(readBytes(path("awardsync.ini")), "[Settings]\r\nCall=Q1ABC\r\nTextFile=/data/credits.txt\r\n");
    // The credits file beside the records file comes first, once the download has written it.
    writeBytes(path("awardsync.ini"), "[Settings]\r\nTextFile=" + path("credits.txt").toStdString() + "\r\n");
    writeBytes(path("credits-credits.adi"), "");
    EXPECT_EQ(MarkWindow(dir.path()).recordsEdit()->text(), path("credits-credits.adi"));

    const struct {
        const char *records, *log;
        bool enabled;
    } cases[] = {
        {"", "", false}, {"c.txt", "", false}, {"", "l.adi", false}, {" ", "l.adi", false}, {"c.txt", "l.adi", true}};
    for (const auto& c : cases) {
        window.recordsEdit()->setText(QString::fromUtf8(c.records));
        window.logEdit()->setText(QString::fromUtf8(c.log));
        EXPECT_EQ(window.markButton()->isEnabled(), c.enabled) << c.records << " / " << c.log;
    }
    // The output follows the log as the command line names it, until the user types another name.
    window.logEdit()->setText(QStringLiteral("/logs/my.log.adi"));
    EXPECT_EQ(window.outputEdit()->text(), QStringLiteral("/logs/my.log-granted.adi"));
    window.outputEdit()->setFocus();
    window.outputEdit()->selectAll();
    window.outputEdit()->insert(QStringLiteral("/tmp/out.adi"));
    window.logEdit()->setText(QStringLiteral("/logs/other.adi"));
    EXPECT_EQ(window.outputEdit()->text(), QStringLiteral("/tmp/out.adi"));
    EXPECT_FALSE(window.cancelButton()->isEnabled());
}

TEST_F(MarkWindowTest, MarksAsTheCommandLineDoes) {
    for (const bool onlyMarked : {false, true}) {
        SCOPED_TRACE(onlyMarked);
        QTemporaryDir cliDir;
        for (const QString& folder : {dir.path(), cliDir.path()}) {
            writeBytes(QDir(folder).filePath(QStringLiteral("credits.txt")), Records);
            writeBytes(QDir(folder).filePath(QStringLiteral("log.adi")), Log);
        }
        QStringList arguments = {cliDir.filePath(QStringLiteral("credits.txt")),
                                 cliDir.filePath(QStringLiteral("log.adi"))};
        if (onlyMarked) {
            arguments.prepend(QStringLiteral("--only-marked"));
        }
        const Cli cli = runCli(arguments);
        ASSERT_EQ(cli.status, 1) << cli.err;

        QString copied;
        {
            MarkWindow window(dir.path(), {.onProgress = {}, .copyText = [&](const QString& text) { copied = text; }});
            window.onlyMarkedBox()->setChecked(onlyMarked);
            mark(window, path("credits.txt"), path("log.adi"));
            EXPECT_EQ(readBytes(path("log-granted.adi")),
                      readBytes(cliDir.filePath(QStringLiteral("log-granted.adi"))));
            EXPECT_EQ(readBytes(path("credits_bad.txt")),
                      readBytes(cliDir.filePath(QStringLiteral("credits_bad.txt"))));
            EXPECT_TRUE(window.messageLabel()->text().startsWith(QStringLiteral("Credits read: 3\nMatched: 1")));
            EXPECT_TRUE(window.openFolderButton()->isEnabled());

            // The table: every unmatched credit, its reason in the command line's words, the nearest QSO.
            QTableWidget& table = *window.table();
            const std::string expected[][4] = {
                {"2", "Q3XYZ|001|2009/07/15|10:00:00|CW|40M|QSL|", "no QSO with Q3XYZ in the log", ""},
                {"3", "Q2ABC|001|2009/07/15|09:00:00|CW|80M|QSL|", "Q2ABC is in the log, but not on 80M",
                 "Q2ABC 2009-07-15 09:00 40M CW (log line 3)"}};
            ASSERT_EQ(table.rowCount(), 2);
            std::string report;
            for (int row = 0; row < 2; ++row) {
                for (int column = 0; column < 4; ++column) {
                    EXPECT_EQ(table.item(row, column)->text().toStdString(), expected[row][column]);
                }
                const auto& e = expected[row];
                report += "line " + e[0] + " " + e[1] + ": " + e[2] + (e[3].empty() ? "" : "; nearest: " + e[3]) + "\n";
            }
            EXPECT_EQ(cli.out.substr(0, report.size()), report);
            table.sortByColumn(0, Qt::DescendingOrder);
            emit table.cellDoubleClicked(0, 2);
            EXPECT_EQ(copied, QStringLiteral("Q2ABC|001|2009/07/15|09:00:00|CW|80M|QSL|"));
        }
        // The last paths and the tick box come back at the next start.
        const MarkWindow again(dir.path());
        EXPECT_EQ(again.logEdit()->text(), path("log.adi"));
        EXPECT_EQ(again.onlyMarkedBox()->isChecked(), onlyMarked);
    }
}

TEST_F(MarkWindowTest, TheStandingsTabIsFilledAfterMarkingAndSavesTheCommandLinesPage) {
    writeBytes(path("credits.txt"), Records);
    writeBytes(path("log.adi"), Log);
    // What is saved is never wider than what it is made of.
    ASSERT_EQ(::chmod(QFile::encodeName(path("credits.txt")).constData(), 0640), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("log.adi")).constData(), 0604), 0);
    MarkWindow window(dir.path());
    StandingsTab& tab = *window.standingsTab();
    window.recordsEdit()->setText(path("credits.txt"));
    window.logEdit()->setText(path("log.adi"));
    EXPECT_FALSE(tab.saveButton()->isEnabled()); // nothing to save before a marking
    mark(window, path("credits.txt"), path("log.adi"));
    const QAbstractItemModel& grid = *tab.view()->model();
    ASSERT_EQ(grid.rowCount(), 1); // the log's QSOs have no DXCC: only the credits' entity has a row
    EXPECT_EQ(grid.index(0, EntityNumberColumn).data().toInt(), 1);
    EXPECT_EQ(grid.index(0, EntityNameColumn).data().toString(), QStringLiteral("CANADA"));
    EXPECT_EQ(grid.index(0, FirstAwardColumn).data().toString(), QStringLiteral("B"));
    EXPECT_EQ(grid.index(0, FirstAwardColumn).data(Qt::ToolTipRole).toString(),
              QStringLiteral("Credited by LoTW and card (credit source line 1)"));
    EXPECT_EQ(tab.totalsTable()->item(0, FirstAwardColumn)->text(), QStringLiteral("1")); // Mixed credited

    // Save proposes the log's name without its extension, beside the log, and writes the command line's page.
    QString proposed;
    tab.setChoosePath([&](QWidget*, const QString&, const QString& offered, const QString&) {
        proposed = offered;
        return path("window.html");
    });
    ASSERT_TRUE(tab.saveButton()->isEnabled());
    tab.saveButton()->click();
    EXPECT_EQ(proposed, path("log-standings.html"));
    EXPECT_EQ(modeOf(path("window.html")), 0600u);
    EXPECT_EQ(modeOf(path("log-granted.adi")), 0604u);
    EXPECT_EQ(modeOf(path("credits_bad.txt")), 0640u);
    const Cli cli = runCli({QStringLiteral("--standings-only"), QStringLiteral("--standings"), path("cli.html"),
                            path("credits.txt"), path("log.adi")});
    ASSERT_EQ(cli.status, 0) << cli.err;
    // Each page names the minute it was made, which a run across a minute's end would tell apart.
    const auto undated = [](const std::string& page) {
        return std::regex_replace(page, std::regex("Made [-0-9: ]+ UTC"), "Made");
    };
    EXPECT_EQ(undated(readBytes(path("window.html"))), undated(readBytes(path("cli.html"))));
}

// Five entities' Mixed and CW cells; a confirmed cell is a slot to apply for. AFGHANISTAN (3), which neither the
// log nor the credits name, is needed in both columns; FEDERAL REPUBLIC OF GERMANY (230) has a row from its CW
// credit and is never worked in Mixed.
std::shared_ptr<const awardsync::mark::StandingsData> fiveEntities() {
    using awardsync::mark::CellState;
    const struct {
        int dxcc; // 1 CANADA, 6 ALASKA, 15 ASIATIC RUSSIA, 230 FEDERAL REPUBLIC OF GERMANY, 291 UNITED STATES...
        CellState mixed, cw;
    } rows[] = {{1, CellState::Credited, CellState::Confirmed},
                {6, CellState::Worked, CellState::Empty},
                {15, CellState::Confirmed, CellState::Empty},
                {230, CellState::Empty, CellState::Credited},
                {291, CellState::Credited, CellState::Empty}};
    auto data = std::make_shared<awardsync::mark::StandingsData>();
    data->log = "<CALL:5>Q1ABC<EOR>";
    awardsync::mark::Standings& standings = data->standings;
    standings.qsos.push_back({.begin = 0, .end = static_cast<std::size_t>(data->log.size())});
    standings.needed[awardsync::mark::ColumnMixed] = {.notCredited = 4, .notConfirmed = {6}, .neverWorked = {3, 230}};
    standings.needed[awardsync::mark::ColumnCw] = {
        .notCredited = 5, .notConfirmed = {}, .neverWorked = {3, 6, 15, 291}};
    for (const auto& r : rows) {
        awardsync::mark::StandingsRow& row = standings.rows.emplace_back();
        row.dxcc = r.dxcc;
        for (const int column : {awardsync::mark::ColumnMixed, awardsync::mark::ColumnCw}) {
            awardsync::mark::StandingsCell& cell = row.cells[static_cast<std::size_t>(column)];
            cell.state = column == awardsync::mark::ColumnMixed ? r.mixed : r.cw;
            cell.media = awardsync::mark::MediaLotw;
            if (cell.state == CellState::Confirmed) {
                standings.application.push_back({.row = standings.rows.size() - 1, .column = column});
            }
        }
    }
    return data;
}

TEST_F(MarkWindowTest, TheApplicationListShowsTheSlotsByMediumAndSavesTheCommandLinesLists) {
    // CANADA credited in Mixed alone (a records file grants DXCC); its QSO and one of 291 confirmed by LoTW, one
    // of 230 by card; 15 only worked.
    writeBytes(path("credits.txt"), Records);
    writeBytes(
        path("log.adi"),
        "<EOH>\r\n"
        "<CALL:5>Q1ABC<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20090714<TIME_ON:4>1805<DXCC:1>1<LOTW_QSL_RCVD:1>Y<EOR>\r\n"
        "<CALL:5>Q4DEF<BAND:3>40M<MODE:2>CW<QSO_DATE:8>20100102<TIME_ON:4>1200<DXCC:3>230<QSL_RCVD:1>Y<EOR>\r\n"
        "<CALL:5>Q5GHI<BAND:3>15M<MODE:3>FT8<QSO_DATE:8>20110103<TIME_ON:4>0030<DXCC:3>291<LOTW_QSL_RCVD:1>V<EOR>\r\n"
        "<CALL:5>Q6JKL<BAND:3>10M<MODE:3>SSB<QSO_DATE:8>20120104<TIME_ON:4>1200<DXCC:2>15<EOR>\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path("log.adi")).constData(), 0640), 0);
    MarkWindow window(dir.path());
    StandingsTab& tab = *window.standingsTab();
    awardsync::markwindow::ApplicationList& list = *tab.applicationList();
    EXPECT_FALSE(list.saveButton()->isEnabled()); // nothing to save before a marking
    mark(window, path("credits.txt"), path("log.adi"));
    EXPECT_TRUE(tab.sourcesLabel()->text().contains(QStringLiteral(" from credits.txt (it does not say when")))
        << tab.sourcesLabel()->text().toStdString();
    ASSERT_EQ(tab.progressChart()->series().months.size(), 1U); // CANADA's credit on a QSO of July 2009
    EXPECT_EQ(tab.progressChart()->series().months[0].mixed, 1U);
    EXPECT_TRUE(
        tab.targetsLabel()->text().startsWith(QStringLiteral("Mixed: 1 of 340 (next: DXCC at 100)\nCW: 0 of 340")))
        << tab.targetsLabel()->text().toStdString();

    using awardsync::markwindow::SlotMediumColumn;
    const QAbstractItemModel& listed = *list.view()->model();
    const std::vector<std::vector<const char*>> expected = {
        {"1", "CANADA", "Phone", "Q1ABC", "2009-07-14", "18:05", "20M", "SSB", "LoTW", "2"},
        {"1", "CANADA", "20M", "Q1ABC", "2009-07-14", "18:05", "20M", "SSB", "LoTW", "2"},
        {"230", "FEDERAL REPUBLIC OF GERMANY", "Mixed", "Q4DEF", "2010-01-02", "12:00", "40M", "CW", "card", "3"},
        {"230", "FEDERAL REPUBLIC OF GERMANY", "CW", "Q4DEF", "2010-01-02", "12:00", "40M", "CW", "card", "3"},
        {"230", "FEDERAL REPUBLIC OF GERMANY", "40M", "Q4DEF", "2010-01-02", "12:00", "40M", "CW", "card", "3"},
        {"291", "UNITED STATES OF AMERICA", "Mixed", "Q5GHI", "2011-01-03", "00:30", "15M", "FT8", "LoTW", "4"},
        {"291", "UNITED STATES OF AMERICA", "Digital", "Q5GHI", "2011-01-03", "00:30", "15M", "FT8", "LoTW", "4"},
        {"291", "UNITED STATES OF AMERICA", "15M", "Q5GHI", "2011-01-03", "00:30", "15M", "FT8", "LoTW", "4"},
    };
    ASSERT_EQ(listed.rowCount(), static_cast<int>(expected.size()));
    for (int row = 0; row < listed.rowCount(); ++row) {
        for (int column = 0; column < listed.columnCount(); ++column) {
            EXPECT_EQ(listed.index(row, column).data().toString().toStdString(), expected[row][column])
                << row << " " << column;
        }
    }
    EXPECT_EQ(list.countsLabel()->text(), QStringLiteral("Apply online (LoTW): 5 slots (2 QSOs); Take to a card "
                                                         "checker (QSL cards): 3 slots (1 QSO)"));
    list.view()->sortByColumn(awardsync::markwindow::SlotBandColumn, Qt::AscendingOrder); // in the grid's order
    EXPECT_EQ(listed.index(0, awardsync::markwindow::SlotBandColumn).data().toString(), QStringLiteral("40M"));

    // Each medium shown is the one saved: the same bytes as the command line's list of it.
    const Cli cli = runCli({QStringLiteral("--standings-only"), QStringLiteral("--apply"), path("cli.adi"),
                            QStringLiteral("--apply-lotw"), path("cli-lotw.adi"), QStringLiteral("--apply-cards"),
                            path("cli-cards.adi"), path("credits.txt"), path("log.adi")});
    ASSERT_EQ(cli.status, 0) << cli.err;
    QString proposed;
    tab.setChoosePath([&](QWidget*, const QString&, const QString& offered, const QString&) {
        proposed = offered;
        return path("window.adi");
    });
    const struct {
        int choice; // both, LoTW, cards
        const char *proposed, *cli;
        int rows;
        const char* medium;
    } media[] = {{0, "log-apply.adi", "cli.adi", 8, ""},
                 {1, "log-apply-lotw.adi", "cli-lotw.adi", 5, "LoTW"},
                 {2, "log-apply-cards.adi", "cli-cards.adi", 3, "card"}};
    for (const auto& m : media) {
        SCOPED_TRACE(m.proposed);
        list.mediaBox()->setCurrentIndex(m.choice);
        ASSERT_EQ(listed.rowCount(), m.rows);
        if (*m.medium != '\0') {
            EXPECT_EQ(listed.index(m.rows - 1, SlotMediumColumn).data().toString(), QString::fromUtf8(m.medium));
        }
        ASSERT_TRUE(list.saveButton()->isEnabled());
        list.saveButton()->click();
        EXPECT_EQ(proposed, path(m.proposed));
        EXPECT_EQ(readBytes(path("window.adi")), readBytes(path(m.cli)));
        EXPECT_EQ(modeOf(path("window.adi")), 0640u);
    }
}

TEST_F(MarkWindowTest, TheProgressChartPaintsNoMonthOneMonthAndManyMonths) {
    using awardsync::mark::MonthProgress;
    awardsync::markwindow::ProgressChart chart;
    const std::vector<MonthProgress> cases[] = {
        {},
        {{.year = 2009, .month = 7, .mixed = 1, .challenge = 0}},
        {{.year = 2009, .month = 12, .mixed = 3, .challenge = 5},
         {.year = 2010, .month = 1, .mixed = 3, .challenge = 5},
         {.year = 2010, .month = 2, .mixed = 340, .challenge = 3400}},
    };
    for (const auto& months : cases) {
        chart.setSeries({.months = months, .undatedMixed = 1, .undatedChallenge = 2});
        for (const QSize size : {QSize(800, 400), QSize(10, 10)}) { // a size too small for the labels too
            chart.resize(size);
            EXPECT_FALSE(chart.grab().isNull()) << months.size();
        }
    }
}

void clickHeader(QTableView& view, int column) {
    QHeaderView& header = *view.horizontalHeader();
    const QPoint middle(header.sectionViewportPosition(column) + header.sectionSize(column) / 2, header.height() / 2);
    QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, middle);
}

TEST_F(MarkWindowTest, HeaderClicksSortTheGridAndTheFiltersChooseItsRows) {
    StandingsTab tab;
    tab.resize(1200, 600);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    tab.setStandings(fiveEntities());
    QTableView& view = *tab.view();
    constexpr int Mixed = FirstAwardColumn, Cw = FirstAwardColumn + 1;
    const struct {
        const char* entity;
        bool onlyToApply;
        const char* needed; // only the needed of this column; empty: all
        int column, clicks; // from the order by number, ascending; a second click turns the order round
        std::vector<int> shown;
    } cases[] = {
        {"", false, "", EntityNumberColumn, 1, {291, 230, 15, 6, 1}},
        {"", false, "", EntityNameColumn, 1, {6, 15, 1, 230, 291}},
        {"", false, "", EntityNameColumn, 2, {291, 230, 1, 15, 6}},
        {"", false, "", Mixed, 1, {230, 6, 15, 1, 291}}, // what is missing first; equal cells by number
        {"", false, "", Cw, 2, {230, 1, 6, 15, 291}},
        {"an", false, "", EntityNumberColumn, 0, {1, 230}}, // CANADA, GERMANY: AFGHANISTAN is not a row of the grid
        {"15", false, "", EntityNumberColumn, 0, {15}},
        {" 1 ", false, "", EntityNumberColumn, 0, {1}}, // a number names one entity, not 15 too
        {"", true, "", EntityNumberColumn, 0, {1, 15}},
        {"a", true, "", EntityNameColumn, 1, {15, 1}},
        {"alaska", true, "", EntityNumberColumn, 0, {}},
        {"", false, "Mixed", EntityNumberColumn, 0, {3, 6, 15, 230}}, // not credited, the unnamed one included
        {"", false, "CW", Cw, 1, {3, 6, 15, 291, 1}},
        {"an", false, "Mixed", EntityNumberColumn, 0, {3, 230}},
        {"", true, "Mixed", EntityNumberColumn, 0, {15}},
        {"", false, "20M", EntityNumberColumn, 0, {1, 3, 6, 15, 230, 291}}, // the bands too: nothing on 20M
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << '"' << c.entity << "\" " << c.onlyToApply << " " << c.needed << " " << c.column);
        view.sortByColumn(EntityNumberColumn, Qt::AscendingOrder);
        tab.entityFilter()->setText(QString::fromUtf8(c.entity));
        tab.onlyToApplyBox()->setChecked(c.onlyToApply);
        tab.onlyNeededBox()->setChecked(*c.needed != '\0');
        if (*c.needed != '\0') {
            tab.neededColumnBox()->setCurrentText(QString::fromUtf8(c.needed));
        }
        for (int i = 0; i < c.clicks; ++i) {
            clickHeader(view, c.column);
        }
        std::vector<int> shown;
        for (int row = 0; row < view.model()->rowCount(); ++row) {
            shown.push_back(view.model()->index(row, EntityNumberColumn).data().toInt());
        }
        EXPECT_EQ(shown, c.shown);
    }
    tab.neededColumnBox()->setCurrentText(QStringLiteral("Mixed"));
    EXPECT_EQ(tab.neededLabel()->text(),
              QStringLiteral("Mixed: 4 not credited; 2 never worked, 1 worked, not confirmed, 1 confirmed (to apply "
                             "for)."));

    // The totals keep the grid's column widths and follow it sideways.
    QTableWidget& totals = *tab.totalsTable();
    view.setColumnWidth(Cw, 90);
    for (int column = 0; column < view.model()->columnCount(); ++column) {
        EXPECT_EQ(totals.columnWidth(column), view.columnWidth(column)) << column;
    }
    tab.resize(500, 600);
    QApplication::processEvents();
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum());
    ASSERT_GT(view.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(totals.horizontalScrollBar()->value(), view.horizontalScrollBar()->value());
}

TEST_F(MarkWindowTest, TheDefaultSizeShowsTwelveReportRowsAndTwentyGridRowsOnALaptopScreen) {
    writeBytes(path("credits.txt"), Records);
    writeBytes(path("log.adi"), Log);
    MarkWindow window(dir.path());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.screen()->geometry().size(), QSize(1366, 768));
    // Room for a title bar and a desktop's panel.
    EXPECT_LE(window.width(), 1366);
    EXPECT_LE(window.height(), 690);
    mark(window, path("credits.txt"), path("log.adi")); // the run's summary takes its lines above the report
    QApplication::processEvents();
    const QTableWidget& report = *window.table();
    EXPECT_GE(report.viewport()->height() / report.rowHeight(0), 12);
    window.findChild<QTabWidget*>()->setCurrentWidget(window.standingsTab());
    QApplication::processEvents();
    const QTableView& grid = *window.standingsTab()->view();
    EXPECT_GE(grid.viewport()->height() / grid.rowHeight(0), 20);
    EXPECT_EQ(grid.horizontalScrollBar()->maximum(), 0); // every column in view
}

TEST_F(MarkWindowTest, AnErrorIsShownInTheCommandLinesWordsAndNothingIsWritten) {
    writeBytes(path("credits.txt"), Records);
    writeBytes(path("log.adi"), "<EOH><CALL:50>Q1ABC<EOR>\r\n");
    writeBytes(path("log-granted.adi"), "earlier output");
    const Cli cli = runCli({path("credits.txt"), path("log.adi")});
    ASSERT_EQ(cli.status, 2);

    MarkWindow window(dir.path());
    mark(window, path("credits.txt"), path("log.adi"));
    EXPECT_EQ("awardsync-mark: " + window.messageLabel()->text().toStdString() + "\n", cli.err);
    EXPECT_EQ(window.table()->rowCount(), 0);
    EXPECT_EQ(readBytes(path("log-granted.adi")), "earlier output");
    EXPECT_FALSE(QFile::exists(path("credits_bad.txt")));
    EXPECT_FALSE(window.standingsTab()->saveButton()->isEnabled());
}

TEST_F(MarkWindowTest, AWarningIsShownAsTheCommandLinePrintsIt) {
    std::string log = Log;
    log.insert(log.find("<EOR>"), "<COMMENT:3>ab");
    writeBytes(path("credits.txt"), Records);
    writeBytes(path("log.adi"), log);
    const Cli cli = runCli({path("credits.txt"), path("log.adi")});
    MarkWindow window(dir.path());
    mark(window, path("credits.txt"), path("log.adi"));
    const std::string shown = window.messageLabel()->text().toStdString();
    EXPECT_EQ(shown.substr(0, shown.find('\n') + 1), cli.out.substr(0, cli.out.find('\n') + 1));
    EXPECT_EQ(shown.rfind("Warning: ", 0), 0u) << shown;
}

TEST_F(MarkWindowTest, CancelWritesNothing) {
    writeBytes(path("credits.txt"), Records);
    writeBytes(path("log.adi"), Log);
    writeBytes(path("credits_bad.txt"), "earlier list\r\n");
    MarkWindow* shown = nullptr;
    std::atomic<bool> pressed = false;
    // At the run's first report, the user presses Cancel; the worker waits until the click is handled.
    MarkWindow window(dir.path(), {.onProgress =
                                       [&] {
                                           if (!pressed.exchange(true)) {
                                               QMetaObject::invokeMethod(shown->cancelButton(), &QPushButton::click,
                                                                         Qt::BlockingQueuedConnection);
                                           }
                                       },
                                   .copyText = {}});
    shown = &window;
    mark(window, path("credits.txt"), path("log.adi"));
    EXPECT_EQ(window.messageLabel()->text(), QStringLiteral("Cancelled: nothing was written."));
    EXPECT_FALSE(QFile::exists(path("log-granted.adi")));
    EXPECT_EQ(readBytes(path("credits_bad.txt")), "earlier list\r\n");
    EXPECT_TRUE(window.markButton()->isEnabled());
}

} // namespace

int main(int argc, char** argv) {
    // The window's own settings go to a folder of the test's, never to the user's.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    // The offscreen screen as a laptop's of 1366 x 768, which the window's default size is made for.
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        const QString screens = QDir(config.path()).filePath(QStringLiteral("screens.json"));
        awardsync::testing::writeBytes(
            screens, R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768}]})");
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens));
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("awardsync"));
    QApplication::setApplicationName(QStringLiteral("awardsync-mark-test"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
