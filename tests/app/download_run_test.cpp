// SPDX-License-Identifier: GPL-3.0-or-later
// The download run end to end: the real window, offscreen, against the mock service. Each test
// drives a whole run through the Download button and judges what the user and the service see:
// the log pane, the records file, the buttons, the progress bar and the service's request log.
#include "harvest/credit_list.h"
#include "scenario.h"
#include "tests/support/files.h"
#include "tests/support/window_run.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sys/stat.h>

namespace {

using awardsync::AwardIds;
using awardsync::testing::isIdle;
using awardsync::testing::logLines;
using awardsync::testing::MockRequest;
using awardsync::testing::readBytes;
using awardsync::testing::whenLogShows;
using awardsync::testing::WindowRun;
using awardsync::testing::writeBytes;

std::string creditListTarget(int account, int category) {
    return "/lotwuser/accountcredits?awg_id=DXCC&ac_acct=" + std::to_string(account) +
           "&ac_view=allc&aw_id=" + AwardIds[static_cast<std::size_t>(category)] + "&ac_order=1";
}

bool isCreditList(const MockRequest& request) {
    return request.target.rfind("/lotwuser/accountcredits?", 0) == 0;
}

bool isLoginPost(const MockRequest& request) {
    return request.method == "POST" && request.target == "/lotwuser/default";
}

std::vector<std::string> targetsOf(const std::vector<MockRequest>& requests, std::size_t from = 0) {
    std::vector<std::string> targets;
    for (std::size_t i = from; i < requests.size(); ++i) {
        targets.push_back(requests[i].method + " " + requests[i].target);
    }
    return targets;
}

// What a run fetches from the service, in order: the sign-in post, the page it leads to, the
// first `categories` credit lists of `account`, then the given detail pages.
std::vector<std::string> expectedTargets(int account, int categories, const std::vector<std::string>& details) {
    std::vector<std::string> targets = {"POST /lotwuser/default", "GET /lotwuser/home"};
    for (int i = 0; i < categories; ++i) {
        targets.push_back("GET " + creditListTarget(account, i));
    }
    for (const std::string& detail : details) {
        targets.push_back("GET " + detail);
    }
    return targets;
}

ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(path.toLocal8Bit().constData(), &info) == 0 ? info.st_ino : 0;
}

QStringList categoryLines(int count) {
    QStringList result;
    for (int i = 0; i < count; ++i) {
        result.push_back(QStringLiteral("  ") + AwardIds[static_cast<std::size_t>(i)]);
    }
    return result;
}

// A records file that a run must either leave alone or replace.
const std::string OldRecords = "OLD1ABC|001|2001/01/01|00:00:00|CW|20M|LoTW|\r\n";

struct RunSettings {
    std::string user = "Q1ABC";
    std::string password = "secret";
    int account = 1;
    bool ssb = true;
};

// Opens the window with these settings and the default records file, against the run's mock.
TMainForm& open(WindowRun& run, const RunSettings& settings = {}, bool realPause = false) {
    run.writeSettings("[Settings]\nCall=" + settings.user + "\nPassword=" + settings.password + "\nTextFile=" +
                      run.recordsPath().toStdString() + "\nAccount=" + std::to_string(settings.account) +
                      "\nSSB=" + (settings.ssb ? "1" : "0") + "\n" + run.serviceSection());
    run.realPause = realPause;
    return run.open();
}

// A scenario for account 12 with every shape the run must cope with: a QSO credited in several
// categories, one address twice on a page, two addresses differing only in letter case (the first
// one seen, K7UC in DXCC-M, is kept), a link without bold text, a category page without its table,
// a detail page without the marker and one that mentions the marker without its row.
const char* const FullScenario = R"json({
  "login": {"user": "Q1ABC", "password": "secret"},
  "qsos": {
    "1": {"call": "W1AW", "datetime": "2009-07-14 18:05:00", "mode": "PHONE (SSB)",
          "dxcc": "UNITED STATES OF AMERICA (291)", "band": "20M", "qsl": "Yes"},
    "2": {"call": "DL2BB", "datetime": "2011-01-02 03:04:05", "mode": "CW (CW)",
          "dxcc": "FEDERAL REPUBLIC OF GERMANY (230)", "band": "40M", "qsl": ""},
    "3": {"html": "<html><body><p>Your session has expired</p></body></html>", "link_text": "F3CC"},
    "4": {"call": "JA4DD", "datetime": "2015-06-07 08:09:10", "mode": "DATA (FT8)", "dxcc": "JAPAN (339)",
          "band": "6M", "qsl": "Yes"},
    "5": {"call": "VK5EE", "datetime": "2016-01-01 00:00:00", "mode": "CW (CW)", "dxcc": "AUSTRALIA (150)",
          "band": "20M", "qsl": "Yes"},
    "6": {"call": "G6FF", "datetime": "2012-02-03 04:05:06", "mode": "PHONE (USB)", "dxcc": "ENGLAND (223)",
          "band": "80M", "qsl": "Yes"},
    "7": {"call": "K7LC", "datetime": "2010-10-10 10:10:10", "mode": "CW (CW)",
          "dxcc": "UNITED STATES OF AMERICA (291)", "band": "10M", "qsl": "Yes"},
    "8": {"call": "K7UC", "path": "/lotwuser/QSODETAIL?qso=7", "datetime": "2010-10-10 10:10:10",
          "mode": "CW (CW)", "dxcc": "UNITED STATES OF AMERICA (291)", "band": "160M", "qsl": "Yes"},
    "9": {"html": "<html><body><p>Worked Station</p><table><tr><td>Worked</td><td>:</td><td>X9X</td></tr></table></body></html>",
          "link_text": "X9X"}
  },
  "accounts": {
    "1": {"DXCC-M": [5]},
    "12": {
      "DXCC-M": [8, 1, 2],
      "DXCC-CW": {"qsos": [6, 2, 6], "plain_links": [5]},
      "DXCC-PH": {"html": "<html><body><p>No credits here</p></body></html>"},
      "DXCC-20": [1, 7, 3],
      "DXCC-CHAL": [9],
      "DXCC-SAT": [4]
    }
  }
})json";

// The detail pages of FullScenario in the order the run reads them.
const std::vector<std::string> FullDetailPaths = {
    "/lotwuser/qsodetail?qso=1", "/lotwuser/qsodetail?qso=2", "/lotwuser/qsodetail?qso=3", "/lotwuser/qsodetail?qso=4",
    "/lotwuser/qsodetail?qso=6", "/lotwuser/QSODETAIL?qso=7", "/lotwuser/qsodetail?qso=9"};

// The records file of FullScenario with PHONE written as SSB.
const std::string FullRunRecords = "DL2BB|230|2011/01/02|03:04:05|CW|40M|QSL|\r\n"
                                   "G6FF|223|2012/02/03|04:05:06|SSB|80M|LoTW|\r\n"
                                   "JA4DD|339|2015/06/07|08:09:10|DATA|6M|LoTW|\r\n"
                                   "K7UC|291|2010/10/10|10:10:10|CW|160M|LoTW|\r\n"
                                   "W1AW|291|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n";

QStringList fullRunLog(const WindowRun& run) {
    QStringList log = QStringList({"Logging in to LotW...", "Logged in.", "", "Downloading credit lists"});
    log += categoryLines(3);
    log += "  Error:     Page download failed";
    log += categoryLines(17).mid(3);
    log += QStringList({"", "7 credits found.", "", "", "Downloading QSO data...", "", "    W1AW", "    DL2BB"});
    log += QString::fromStdString("  Error:    Page download failed. URL: " + run.url("/lotwuser/qsodetail?qso=3"));
    log += QStringList({"    JA4DD", "    G6FF", "    K7UC"});
    log += QString::fromStdString("  Error:    Page download failed. URL: " + run.url("/lotwuser/qsodetail?qso=9"));
    log += "  7 credited QSOs: 5 read, 2 missing (see the errors above); 1 category failed";
    log += QStringList({"", "Saving records...", "Done"});
    return log;
}

// The fields of each record of a credits file by name (one record a line; values without blanks).
std::vector<std::map<std::string, std::string>> creditsRecords(const std::string& adi) {
    std::vector<std::map<std::string, std::string>> records;
    const std::regex field("<(\\w+):\\d+>(\\S*) ");
    for (std::size_t at = adi.find("<EOH>\r\n") + 7; at < adi.size(); at = adi.find('\n', at) + 1) {
        const std::string line = adi.substr(at, adi.find('\n', at) - at);
        EXPECT_TRUE(line.ends_with("<EOR>\r")) << line;
        auto& record = records.emplace_back();
        for (std::sregex_iterator it(line.begin(), line.end(), field), end; it != end; ++it) {
            record[(*it)[1]] = (*it)[2];
        }
    }
    return records;
}

// ---- Completed runs ----

TEST(CompletedRun, WritesEverySortedRecordOnceAndLogsEachStep) {
    struct Case {
        bool ssb;
        std::string records;
    };
    const Case cases[] = {
        {true, FullRunRecords},
        {false, "DL2BB|230|2011/01/02|03:04:05|CW|40M|QSL|\r\n"
                "G6FF|223|2012/02/03|04:05:06|PHONE|80M|LoTW|\r\n"
                "JA4DD|339|2015/06/07|08:09:10|DATA|6M|LoTW|\r\n"
                "K7UC|291|2010/10/10|10:10:10|CW|160M|LoTW|\r\n"
                "W1AW|291|2009/07/14|18:05:00|PHONE|20M|LoTW|\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ssb ? "PHONE as SSB" : "PHONE kept");
        WindowRun run(FullScenario);
        TMainForm& form = open(run, {.account = 12, .ssb = c.ssb});
        writeBytes(run.recordsPath(), OldRecords);
        int highestProgress = 0;
        QObject::connect(form.ProgressBar1, &QProgressBar::valueChanged,
                         [&](int value) { highestProgress = std::max(highestProgress, value); });

        run.download();

        EXPECT_EQ(readBytes(run.recordsPath()), c.records);
        EXPECT_EQ(logLines(form), fullRunLog(run));
        EXPECT_TRUE(run.errors.empty());
        EXPECT_TRUE(isIdle(form));
        EXPECT_EQ(form.ProgressBar1->maximum(), 7);
        EXPECT_EQ(highestProgress, 7);
        EXPECT_EQ(form.ProgressBar1->value(), 0);
    }
}

// A generated account lists each QSO where the service would; the credits file must say the same.
TEST(CompletedRun, CreditsFileAgreesWithTheCategoriesOfAGeneratedAccount) {
    const std::string scenarioJson = R"json({"generate": {"count": 120, "seed": 3}})json";
    mock::Scenario scenario;
    mock::loadScenario(QByteArray::fromStdString(scenarioJson), scenario);
    const std::map<std::string, std::string> creditOf = {{"DXCC-M", "1DXCC"},
                                                         {"DXCC-CW", "2DXCC_MODE"},
                                                         {"DXCC-PH", "2DXCC_MODE"},
                                                         {"DXCC-RTTY", "2DXCC_MODE"},
                                                         {"DXCC-SAT", "4DXCC_SATELLITE"}};
    std::map<std::string, std::string> expected; // "CALL QSO_DATE TIME_ON" -> "CREDIT_GRANTED APP_AWARDSYNC_AWARDS"
    for (const auto& [id, qso] : scenario.qsos) {
        std::string awards;
        std::set<std::string> credits; // in the order of their leading digit
        for (const char* award : AwardIds) {
            const std::vector<std::string>& listed = scenario.accounts["1"][award].credited;
            if (std::find(listed.begin(), listed.end(), id) != listed.end()) {
                awards += (awards.empty() ? "" : ",") + std::string(award);
                credits.insert(creditOf.contains(award) ? creditOf.at(award) : "3DXCC_BAND");
            }
        }
        std::string granted;
        for (const std::string& credit : credits) {
            granted += (granted.empty() ? "" : ",") + credit.substr(1) + (qso.field("QSL").empty() ? ":CARD" : ":LOTW");
        }
        std::string when = qso.field("Date/Time"); // "YYYY-MM-DD HH:MM:SS"
        std::erase_if(when, [](char c) { return c == '-' || c == ':'; });
        expected[qso.field("Worked") + " " + when] = granted + " " + awards;
    }
    WindowRun run(scenarioJson);
    TMainForm& form = open(run, {.user = "TEST", .password = "test"});

    run.download();

    const std::string adi = readBytes(run.folder + "/awardsync-credits.adi");
    EXPECT_TRUE(adi.starts_with("DXCC credits of LoTW account 1, downloaded by Awardsync\r\n<ADIF_VER:5>3.1.4\r\n"));
    std::map<std::string, std::string> written;
    std::vector<std::string> calls;
    for (const auto& record : creditsRecords(adi)) {
        written[record.at("CALL") + " " + record.at("QSO_DATE") + " " + record.at("TIME_ON")] =
            record.at("CREDIT_GRANTED") + " " + record.at("APP_AWARDSYNC_AWARDS");
        calls.push_back(record.at("CALL"));
    }
    EXPECT_EQ(written, expected);
    std::vector<std::string> recordCalls;
    for (const std::string& line : form.Records->lines()) {
        recordCalls.push_back(line.substr(0, line.find('|')));
    }
    EXPECT_EQ(calls, recordCalls) << "the records file's order";
}

TEST(CompletedRun, FetchesListsInTableOrderAndEachDetailPageOnceInSortedOrder) {
    WindowRun run(FullScenario);
    TMainForm& form = open(run, {.account = 12});

    run.download();

    const std::vector<MockRequest> requests = run.mock->requests();
    EXPECT_EQ(targetsOf(requests), expectedTargets(12, 17, FullDetailPaths));
    ASSERT_FALSE(requests.empty());
    ASSERT_TRUE(isLoginPost(requests[0]));
    EXPECT_EQ(requests[0].form, (std::map<std::string, std::string>{{"login", "Q1ABC"}, {"password", "secret"}}));
    for (std::size_t i = 1; i < requests.size(); ++i) {
        EXPECT_TRUE(requests[i].cookie) << requests[i].target << ": the signed-in state must carry over";
    }

    // One pause after each credit list: the page of category i is in and the next one not yet asked for.
    ASSERT_EQ(run.pauses.size(), 17u);
    for (std::size_t i = 0; i < run.pauses.size(); ++i) {
        EXPECT_EQ(run.pauses[i].duration, std::chrono::milliseconds(1000)) << i;
        EXPECT_EQ(run.pauses[i].requestsSeen, 2 + i + 1) << "pause " << i;
    }
    EXPECT_EQ(form.CreditUrls->count(), FullDetailPaths.size());
}

TEST(CompletedRun, KeepsTheRealPauseBetweenCreditListPages) {
    WindowRun run(R"json({"accounts": {"1": {"DXCC-SAT": [1]}},
                      "qsos": {"1": {"call": "Q1SAT", "datetime": "2020-01-01 12:00:00", "mode": "DATA (FT4)",
                                     "dxcc": "EXAMPLE ISLAND (1)", "band": "2M", "qsl": "Yes"}}})json");
    TMainForm& form = open(run, {.user = "TEST", .password = "test"}, true);

    run.download();

    EXPECT_EQ(readBytes(run.recordsPath()), "Q1SAT|001|2020/01/01|12:00:00|DATA|2M|LoTW|\r\n");
    std::vector<double> listTimes;
    for (const MockRequest& request : run.mock->requests()) {
        if (isCreditList(request)) {
            listTimes.push_back(request.timeMs);
        }
    }
    ASSERT_EQ(listTimes.size(), 17u);
    for (std::size_t i = 1; i < listTimes.size(); ++i) {
        EXPECT_GE(listTimes[i] - listTimes[i - 1], 1000.0) << "between " << AwardIds[i - 1] << " and " << AwardIds[i];
    }
    EXPECT_EQ(logLines(form).back(), "Done");
}

TEST(CompletedRun, EveryQsoFailingReplacesTheRecordsWithAnEmptyFile) {
    WindowRun run(R"json({"qsos": {"1": {"html": "<html><body>Please sign in</body></html>", "link_text": "Q1A"},
                                "2": {"call": "Q2B"}},
                      "accounts": {"1": {"DXCC-M": [1, 2]}},
                      "faults": [{"path": "/lotwuser/qsodetail?qso=2", "kind": "non_html"}]})json");
    TMainForm& form = open(run, {.user = "TEST", .password = "test"});
    writeBytes(run.recordsPath(), OldRecords);

    run.download();

    EXPECT_EQ(readBytes(run.recordsPath()), "");
    QStringList tail = QStringList({"2 credits found.", "", "", "Downloading QSO data...", ""});
    tail += QString::fromStdString("  Error:    Page download failed. URL: " + run.url("/lotwuser/qsodetail?qso=1"));
    tail +=
        QStringList({"  Error: Interface not supported", "  2 credited QSOs: 0 read, 2 missing (see the errors above)",
                     "", "Saving records...", "Done"});
    EXPECT_EQ(logLines(form).mid(logLines(form).size() - tail.size()), tail);
    EXPECT_TRUE(run.errors.empty());
}

TEST(CompletedRun, SecondRunAfterSwitchingTheAccountHoldsOnlyThatAccount) {
    WindowRun run(R"json({"qsos": {"1": {"call": "Q1ONE", "datetime": "2001-01-01 01:01:01", "mode": "CW (CW)",
                                      "dxcc": "EXAMPLE ISLAND (1)", "band": "20M", "qsl": "Yes"},
                                "2": {"call": "Q2ONE", "datetime": "2002-02-02 02:02:02", "mode": "CW (CW)",
                                      "dxcc": "EXAMPLE ISLAND (1)", "band": "40M", "qsl": "Yes"},
                                "3": {"call": "Q3TWO", "datetime": "2003-03-03 03:03:03", "mode": "PHONE (LSB)",
                                      "dxcc": "EXAMPLE ISLAND (1)", "band": "80M", "qsl": ""}},
                      "accounts": {"1": {"DXCC-M": [1, 2], "DXCC-CW": [1]}, "2": {"DXCC-PH": [3]}}})json");
    TMainForm& form = open(run, {.user = "TEST", .password = "test", .account = 1});
    run.download();
    ASSERT_EQ(readBytes(run.recordsPath()), "Q1ONE|001|2001/01/01|01:01:01|CW|20M|LoTW|\r\n"
                                            "Q2ONE|001|2002/02/02|02:02:02|CW|40M|LoTW|\r\n");
    const std::size_t firstRunRequests = run.mock->requests().size();

    form.SpinEdit1->setValue(2);
    form.CheckBox2->setChecked(true); // the last run's file is another account's: every page is loaded
    run.download();

    EXPECT_EQ(readBytes(run.recordsPath()), "Q3TWO|001|2003/03/03|03:03:03|SSB|80M|QSL|\r\n");
    EXPECT_EQ(targetsOf(run.mock->requests(), firstRunRequests), expectedTargets(2, 17, {"/lotwuser/qsodetail?qso=3"}));
    const QStringList log = logLines(form);
    EXPECT_EQ(log.front(), "Logging in to LotW...") << "the pane starts empty for every run";
    EXPECT_TRUE(log.contains("1 credits found."));
    EXPECT_EQ(form.CreditUrls->count(), 1u);
    EXPECT_EQ(form.Records->count(), 1u);
}

TEST(CompletedRun, OnlyNewQsosLoadsOnlyWhatTheLastRunLacksAndTheBarSaysWhatIsMissing) {
    WindowRun run(FullScenario);
    TMainForm& form = open(run, {.account = 12});
    run.download();
    const std::string records = readBytes(run.recordsPath());
    const std::size_t firstRunRequests = run.mock->requests().size();

    form.CheckBox2->setChecked(true);
    run.download();

    // The two pages that failed are asked for again; the QSOs the last run read are not.
    std::vector<std::string> details;
    for (const std::string& target : targetsOf(run.mock->requests(), firstRunRequests)) {
        if (target.find("qsodetail") != std::string::npos) {
            details.push_back(target);
        }
    }
    EXPECT_EQ(details, (std::vector<std::string>{"GET /lotwuser/qsodetail?qso=3", "GET /lotwuser/qsodetail?qso=9"}));
    EXPECT_EQ(readBytes(run.recordsPath()), records);
    const QString count = "7 credited QSOs: 0 read, 5 kept from the last run, 2 missing (see the errors above); "
                          "1 category failed";
    EXPECT_TRUE(logLines(form).contains("  " + count));
    EXPECT_TRUE(logLines(form).contains("    K7UC")) << "a QSO taken from the last run is listed as one read";
    EXPECT_TRUE(form.ProgressBar1->isTextVisible());
    EXPECT_EQ(form.ProgressBar1->format(), count);
}

// A wait before a page is tried again ends at once on Abort (with a wait of ten minutes, a run that
// waited on would outlast the test's time limit).
TEST(StoppedRun, AbortDuringTheWaitBeforeATryAgainEndsItAtOnce) {
    std::string scenario = FullScenario;
    scenario.insert(scenario.rfind('}'),
                    R"(, "faults": [{"path": "/lotwuser/qsodetail?qso=1", "kind": "status", "status": 503}])");
    WindowRun run(scenario);
    run.retryPolicy.waits = {std::chrono::minutes(10)};
    TMainForm& form = open(run, {.account = 12});
    const std::string url = run.url("/lotwuser/qsodetail?qso=1");
    whenLogShows(form, QString::fromStdString("  Retrying in 600 s (HTTP 503): " + url),
                 [&form] { form.BitBtn4->click(); });

    run.download();

    const QStringList log = logLines(form);
    EXPECT_EQ(
        log.mid(log.indexOf("Downloading QSO data...")),
        QStringList({"Downloading QSO data...", "", QString::fromStdString("  Retrying in 600 s (HTTP 503): " + url),
                     "Aborting operation...", QString::fromStdString("  Error:    Page download failed. URL: " + url),
                     "  7 credited QSOs: 0 read, 1 missing (see the errors above), 6 not read (aborted); "
                     "1 category failed",
                     "", "Saving records...", "Done"}));
    EXPECT_TRUE(isIdle(form));
}

// ---- Runs that end without saving ----

TEST(RunWithoutSave, WrongPasswordLogsTwoLinesAndLeavesTheRecordsFile) {
    WindowRun run(R"json({"login": {"user": "Q1ABC", "password": "secret"}})json");
    TMainForm& form = open(run, {.user = "Q1ABC", .password = "wrong"});
    writeBytes(run.recordsPath(), OldRecords);
    const ino_t inode = inodeOf(run.recordsPath());

    run.download();

    EXPECT_EQ(logLines(form), QStringList({"Logging in to LotW...", "  Login failed: Username/password incorrect"}));
    EXPECT_EQ(readBytes(run.recordsPath()), OldRecords);
    EXPECT_EQ(inodeOf(run.recordsPath()), inode);
    EXPECT_TRUE(isIdle(form));
    EXPECT_EQ(targetsOf(run.mock->requests()), (std::vector<std::string>{"POST /lotwuser/default"}));
    EXPECT_TRUE(run.pauses.empty());
    EXPECT_TRUE(run.errors.empty());
}

TEST(RunWithoutSave, NoCreditFoundEndsAfterTheCountLine) {
    WindowRun run(R"json({"accounts": {"1": {"DXCC-CW": {"plain_links": [1]}}}, "qsos": {"1": {"call": "Q1A"}}})json");
    TMainForm& form = open(run, {.user = "TEST", .password = "test"});
    writeBytes(run.recordsPath(), OldRecords);
    const ino_t inode = inodeOf(run.recordsPath());

    run.download();

    QStringList log = QStringList({"Logging in to LotW...", "Logged in.", "", "Downloading credit lists"});
    log += categoryLines(17);
    log += QStringList({"", "0 credits found.", "", ""});
    EXPECT_EQ(logLines(form), log);
    EXPECT_EQ(readBytes(run.recordsPath()), OldRecords);
    EXPECT_EQ(inodeOf(run.recordsPath()), inode);
    EXPECT_EQ(targetsOf(run.mock->requests()), expectedTargets(1, 17, {}));
    EXPECT_TRUE(isIdle(form));
    EXPECT_EQ(form.ProgressBar1->value(), 0);
}

TEST(RunWithoutSave, AbortDuringTheCategoryPhaseStopsBeforeTheNextCategory) {
    WindowRun run(FullScenario);
    TMainForm& form = open(run, {.account = 12});
    writeBytes(run.recordsPath(), OldRecords);
    const ino_t inode = inodeOf(run.recordsPath());
    // Category 8 (DXCC-20) completes: its three addresses count, categories 9 to 16 are never asked for.
    whenLogShows(form, "  DXCC-20", [&form] { form.BitBtn4->click(); });

    run.download();

    QStringList log = QStringList({"Logging in to LotW...", "Logged in.", "", "Downloading credit lists"});
    log += categoryLines(3);
    log += "  Error:     Page download failed";
    log += categoryLines(9).mid(3);
    log += QStringList({"Aborting operation...", "", "5 credits found.", "", ""});
    EXPECT_EQ(logLines(form), log);
    EXPECT_EQ(targetsOf(run.mock->requests()), expectedTargets(12, 9, {}));
    EXPECT_EQ(run.pauses.size(), 9u);
    EXPECT_EQ(readBytes(run.recordsPath()), OldRecords);
    EXPECT_EQ(inodeOf(run.recordsPath()), inode);
    EXPECT_TRUE(isIdle(form));
}

// ---- Runs stopped in the QSO phase: what was read is saved ----

TEST(StoppedRun, AbortDuringTheLastCategoryReadsOneQsoAndSavesIt) {
    WindowRun run(FullScenario);
    TMainForm& form = open(run, {.account = 12});
    writeBytes(run.recordsPath(), OldRecords);
    whenLogShows(form, "  DXCC-SAT", [&form] { form.BitBtn4->click(); });

    run.download();

    EXPECT_EQ(readBytes(run.recordsPath()), "W1AW|291|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n");
    EXPECT_EQ(targetsOf(run.mock->requests()), expectedTargets(12, 17, {FullDetailPaths[0]}));
    const QStringList log = logLines(form);
    EXPECT_EQ(
        log.mid(log.indexOf("  DXCC-SAT")),
        QStringList({"  DXCC-SAT", "Aborting operation...", "", "7 credits found.", "", "", "Downloading QSO data...",
                     "", "    W1AW", "  7 credited QSOs: 1 read, 6 not read (aborted); 1 category failed", "",
                     "Saving records...", "Done"}));
}

TEST(StoppedRun, AbortDuringTheQsoPhaseCompletesTheQsoInProgressAndSaves) {
    WindowRun run(FullScenario);
    TMainForm& form = open(run, {.account = 12});
    writeBytes(run.recordsPath(), OldRecords);
    int progressWhenAborted = -1;
    whenLogShows(form, "    W1AW", [&] {
        progressWhenAborted = form.ProgressBar1->value();
        form.BitBtn4->click();
    });

    run.download();

    EXPECT_EQ(readBytes(run.recordsPath()), "DL2BB|230|2011/01/02|03:04:05|CW|40M|QSL|\r\n"
                                            "W1AW|291|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n");
    EXPECT_EQ(targetsOf(run.mock->requests()), expectedTargets(12, 17, {FullDetailPaths[0], FullDetailPaths[1]}));
    const QStringList log = logLines(form);
    EXPECT_EQ(log.mid(log.indexOf("Downloading QSO data...")),
              QStringList({"Downloading QSO data...", "", "    W1AW", "Aborting operation...", "    DL2BB",
                           "  7 credited QSOs: 2 read, 5 not read (aborted); 1 category failed", "",
                           "Saving records...", "Done"}));
    EXPECT_EQ(progressWhenAborted, 1);
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_TRUE(isIdle(form));
    EXPECT_TRUE(run.errors.empty());
}

// The window stays until the run has saved, then goes without being asked again.
TEST(StoppedRun, ClosingTheWindowDuringTheQsoPhaseSavesThenClosesAndWritesTheSettings) {
    WindowRun run(FullScenario);
    TMainForm& form = open(run, {.account = 12});
    // The user changes fields during the run; the settings written at the end carry them.
    form.Edit1->setText("Q1ABC");
    std::vector<bool> closedAtOnce;
    whenLogShows(form, "    JA4DD", [&] {
        form.SpinEdit1->setValue(3);
        form.CheckBox1->setChecked(false);
        closedAtOnce.push_back(form.close());
        closedAtOnce.push_back(form.close()); // a second request is handled like the first
    });
    bool visibleWhenDone = false;
    QObject::connect(form.RichEdit1, &QPlainTextEdit::textChanged, &form,
                     [&] { visibleWhenDone = logLines(form).back() == "Done" && form.isVisible(); });

    run.download();

    EXPECT_EQ(closedAtOnce, (std::vector<bool>{false, false}));
    EXPECT_TRUE(visibleWhenDone);
    EXPECT_FALSE(form.isVisible());
    // G6FF was in progress when the window closed; its option was already off.
    EXPECT_EQ(readBytes(run.recordsPath()), "DL2BB|230|2011/01/02|03:04:05|CW|40M|QSL|\r\n"
                                            "G6FF|223|2012/02/03|04:05:06|PHONE|80M|LoTW|\r\n"
                                            "JA4DD|339|2015/06/07|08:09:10|DATA|6M|LoTW|\r\n"
                                            "W1AW|291|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n");
    const QStringList log = logLines(form);
    EXPECT_EQ(log.mid(log.indexOf("    JA4DD")),
              QStringList({"    JA4DD", "Aborting operation...", "Aborting operation...", "    G6FF",
                           "  7 credited QSOs: 4 read, 1 missing (see the errors above), 2 not read (aborted); "
                           "1 category failed",
                           "", "Saving records...", "Done"}));
    EXPECT_FALSE(form.runInProgress());

    run.form.reset();
    const std::string settings = readBytes(run.settingsPath());
    EXPECT_NE(settings.find("[Settings]\nCall=Q1ABC\nPassword=secret\nTextFile=" + run.recordsPath().toStdString() +
                            "\nAccount=3\nSSB=0\nOnlyNew=0\n"),
              std::string::npos)
        << settings;
    EXPECT_NE(settings.find("[Service]\nEndpoint=" + run.mock->endpoint() + "\n"), std::string::npos) << settings;
}

// ---- A save that fails ----

TEST(FailedSave, ShowsTheErrorAndLeavesTheProgressBar) {
    WindowRun run(FullScenario);
    TMainForm& form = open(run, {.account = 12});
    const QString missing = run.folder + "/missing/credits.txt";
    form.Edit3->setText(missing);

    run.download();

    ASSERT_EQ(run.errors.size(), 1u);
    EXPECT_EQ(run.errors[0].text, "Cannot create file \"" + missing + "\". No such file or directory.");
    EXPECT_TRUE(isIdle(form));
    EXPECT_EQ(form.ProgressBar1->value(), 7) << "left at its last position";
    EXPECT_EQ(logLines(form).back(), "Saving records...");
    EXPECT_FALSE(logLines(form).contains("Done"));
    EXPECT_FALSE(QFileInfo::exists(run.folder + "/missing"));
}

TEST(FailedSave, ACreditsFileThatCannotBeSavedIsReportedLikeTheRecordsFile) {
    WindowRun run(FullScenario);
    TMainForm& form = open(run, {.account = 12});
    const QString credits = run.folder + "/awardsync-credits.adi";
    ASSERT_TRUE(QDir(run.folder).mkdir("awardsync-credits.adi"));

    run.download();

    ASSERT_EQ(run.errors.size(), 1u);
    EXPECT_EQ(run.errors[0].text, "Cannot create file \"" + credits + "\". Is a directory.");
    EXPECT_EQ(readBytes(run.recordsPath()), FullRunRecords) << "the records file is saved whole before it";
    EXPECT_TRUE(isIdle(form));
    EXPECT_EQ(logLines(form).back(), "Saving records...");
}

} // namespace

int main(int argc, char** argv) {
    return awardsync::testing::runWindowTests(argc, argv);
}
