// SPDX-License-Identifier: GPL-3.0-or-later
// The download run without a window, against the stand-in service with the faults of an overloaded
// service: 503s, dropped connections, stalls and sessions that end. Each run is judged by what a
// user keeps: the records file, the credits file and the line that counts the QSOs.
#include "harvest/credits_collector.h"
#include "harvest/download_run.h"
#include "records/credits_file.h"
#include "service/page_loader.h"
#include "tests/support/files.h"
#include "tests/support/mock_service.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <algorithm>
#include <gtest/gtest.h>
#include <regex>

namespace {

using namespace awardsync;
using namespace std::chrono_literals;
using awardsync::testing::MockService;
using awardsync::testing::readBytes;
namespace support = awardsync::testing;

class FakeHost : public RunHost {
public:
    std::string user() const override { return "Q1ABC"; }
    std::string password() const override { return "secret"; }
    int account() const override { return 1; }
    bool phoneToSsb() const override { return true; }
    bool onlyNew() const override { return onlyNewQsos; }
    std::string recordsPath() const override { return records; }
    void log(const std::string& text) override {
        lines.push_back(text);
        if (cancelOn && text.starts_with(*cancelOn)) {
            cancel = true;
        }
    }
    bool cancelled() const override { return cancel; }
    void pause(std::chrono::milliseconds) override {}
    void waitBeforeRetry(std::chrono::milliseconds) override {}
    void startProgress(int pages) override { progressPages = pages; }
    void stepProgress() override {}
    void resetProgress() override {}
    void showShortfall(const std::string& text) override { shortfall = text; }

    std::string records;
    bool onlyNewQsos = false;
    std::optional<std::string> cancelOn; // a log line that stands for a click on Abort
    bool cancel = false;
    std::vector<std::string> lines;
    int progressPages = -1;
    std::string shortfall;
};

RetryPolicy quickPolicy() {
    RetryPolicy policy;
    policy.waits = {1ms, 2ms};
    policy.longestRetryAfter = 5ms;
    return policy;
}

// One harvest against its own stand-in service; runs in a row share the records folder.
struct Harvest {
    explicit Harvest(std::string_view scenario) : mock(scenario) {
        support::trustMockCertificate(mock);
        loader.setIdleTimeout(500ms);
        host.records = dir.path().toStdString() + "/awardsync.txt";
        run.setEndpoint(mock.endpoint());
    }

    std::vector<std::string> download(bool onlyNew = false) {
        host.lines.clear();
        host.onlyNewQsos = onlyNew;
        run.run();
        return host.lines;
    }
    std::string records() const { return readBytes(QString::fromStdString(host.records)); }
    // The credits file with what differs between services and runs (the time, the port) made equal.
    std::string credits() const {
        const std::string bytes = readBytes(QString::fromStdString(creditsFilePath(host.records)));
        const std::string plain = std::regex_replace(bytes, std::regex("<CREATED_TIMESTAMP:15>[0-9 ]+"), "");
        return std::regex_replace(plain, std::regex(mock.endpoint()), "https://service");
    }
    std::size_t requestsFor(const std::string& target) const {
        const auto requests = mock.requests();
        return std::count_if(requests.begin(), requests.end(), [&](const auto& r) { return r.target == target; });
    }

    MockService mock;
    QTemporaryDir dir;
    PageLoader loader{support::pumpForTests};
    SortedStringList creditUrls;
    NameValueList fields;
    SortedStringList recordList;
    CreditsCollector collector;
    FakeHost host;
    DownloadRun run{loader, host, {creditUrls, fields, recordList, collector}, quickPolicy()};
};

bool holds(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::size_t countStarting(const std::vector<std::string>& lines, std::string_view prefix) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(prefix); });
}

std::string detail(int id) {
    return "/lotwuser/qsodetail?qso=" + std::to_string(id);
}

std::string fault(const std::string& path, const std::string& rest) {
    return R"({"path": ")" + path + R"(", )" + rest + "}";
}

std::string scenario(const std::string& faults, const std::string& login = "") {
    return R"({"login": {"user": "Q1ABC", "password": "secret")" + login +
           R"(}, "generate": {"account": 1, "count": 220, "seed": 3}, "faults": [)" + faults + "]}";
}

const char* const CwList = "/lotwuser/accountcredits?awg_id=DXCC&ac_acct=1&ac_view=allc&aw_id=DXCC-CW&ac_order=1";

// The files of the same account read without any fault.
const std::pair<std::string, std::string>& cleanFiles() {
    static const std::pair<std::string, std::string> files = [] {
        Harvest clean(scenario(""));
        const auto log = clean.download();
        EXPECT_TRUE(holds(log, "  220 credited QSOs: all read"));
        EXPECT_EQ(countStarting(log, "  Retrying"), 0u);
        return std::pair(clean.records(), clean.credits());
    }();
    return files;
}

TEST(DownloadRun, FaultsThatClearOnATryAgainLoseNothing) {
    std::string everyTwentieth;
    for (int id = 10; id <= 220; id += 20) {
        everyTwentieth += (everyTwentieth.empty() ? "" : ", ") +
                          fault(detail(id), id % 40 == 10 ? R"("kind": "status", "status": 503, "count": 1)"
                                                          : R"("kind": "status", "status": 500, "count": 1)");
    }
    struct Case {
        const char* what;
        std::string scenario;
        std::size_t retries;
    };
    const Case cases[] = {
        {"5% of the detail pages answer 503 or 500 once", scenario(everyTwentieth), 11},
        {"the session ends after 80 detail pages", scenario("", R"(, "session_pages": 80)"), 0},
        {"a detail page stalls once", scenario(fault(detail(7), R"("kind": "stall", "ms": 30000, "count": 1)")), 1},
        {"a connection drops mid-page once", scenario(fault(detail(8), R"("kind": "close_mid_body", "count": 1)")), 1},
        {"the DXCC-CW list answers 503 twice, asking for a wait",
         scenario(fault(CwList, R"("kind": "status", "status": 503, "retry_after": "1", "count": 2)")), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harvest harvest(c.scenario);
        const auto log = harvest.download();
        EXPECT_TRUE(holds(log, "  220 credited QSOs: all read"));
        EXPECT_EQ(countStarting(log, "  Retrying in "), c.retries);
        EXPECT_EQ(countStarting(log, "  Error:"), 0u);
        EXPECT_EQ(harvest.records(), cleanFiles().first);
        EXPECT_EQ(harvest.credits(), cleanFiles().second);
        EXPECT_TRUE(harvest.host.shortfall.empty());
    }
    // The retry line names the wait, the reason and the page; a Retry-After is waited for, up to its limit.
    Harvest asked(scenario(fault(CwList, R"("kind": "status", "status": 503, "retry_after": "1", "count": 1)")));
    const std::string url = asked.mock.endpoint() + CwList;
    EXPECT_TRUE(holds(asked.download(), "  Retrying in 5 ms (HTTP 503): " + url));
    Harvest relogin(scenario("", R"(, "session_pages": 80)"));
    EXPECT_EQ(countStarting(relogin.download(), "  Session ended; signing in again"), 2u);
}

TEST(DownloadRun, FaultsThatNeverClearAreReportedAsBeforeAndCounted) {
    Harvest harvest(scenario(fault(detail(5), R"("kind": "status", "status": 503)") + ", " +
                             fault(detail(6), R"("kind": "stall", "ms": 30000)") + ", " +
                             fault(detail(9), R"("kind": "status", "status": 404)") + ", " +
                             fault(CwList, R"("kind": "status", "status": 503)")));
    const auto log = harvest.download();
    const std::string endpoint = harvest.mock.endpoint();
    EXPECT_TRUE(holds(log, "  Error:    Page download failed. URL: " + endpoint + detail(5)));
    EXPECT_TRUE(holds(log, "  Error:    Page download failed. URL: " + endpoint + detail(9)));
    EXPECT_EQ(countStarting(log, "  Error: Timed out loading " + endpoint + detail(6)), 1u);
    EXPECT_TRUE(holds(log, "  Error:     Page download failed"));
    EXPECT_EQ(harvest.requestsFor(detail(5)), 3u);
    EXPECT_EQ(harvest.requestsFor(detail(6)), 2u); // a page that never answers costs two time-outs
    EXPECT_EQ(harvest.requestsFor(detail(9)), 1u); // a 404 is no passing fault
    EXPECT_EQ(harvest.requestsFor(CwList), 3u);
    const auto count = std::find_if(log.begin(), log.end(),
                                    [](const auto& l) { return l.find("credited QSOs") != std::string::npos; });
    ASSERT_NE(count, log.end());
    EXPECT_TRUE(std::regex_match(*count, std::regex("  \\d+ credited QSOs: \\d+ read, 3 missing \\(see the errors "
                                                    "above\\); 1 category failed")))
        << *count;
    EXPECT_EQ(harvest.host.shortfall, std::string(count->substr(2)));
}

TEST(DownloadRun, ASecondRunKeepsWhatEitherRunRead) {
    // 404s are not tried again. Pages 3, 50, 120 fail in the first run, 4, 60, 130 in the second
    // (a fault that merely delays uses up the first request).
    std::string faults;
    for (int id : {3, 50, 120}) {
        faults += fault(detail(id), R"("kind": "status", "status": 404, "count": 1)") + ", ";
    }
    for (int id : {4, 60, 130}) {
        faults += fault(detail(id), R"("kind": "delay", "ms": 0, "count": 1)") + ", " +
                  fault(detail(id), R"("kind": "status", "status": 404, "count": 1)") + ", ";
    }
    faults.resize(faults.size() - 2);
    Harvest harvest(scenario(faults));
    EXPECT_TRUE(holds(harvest.download(), "  220 credited QSOs: 217 read, 3 missing (see the errors above)"));
    const auto second = harvest.download();
    EXPECT_TRUE(holds(second, "  220 credited QSOs: 217 read, 3 kept from the last run"));
    EXPECT_TRUE(holds(second, "  Error:    Page download failed. URL: " + harvest.mock.endpoint() + detail(60) +
                                  " (kept from the last run)"));
    EXPECT_TRUE(harvest.host.shortfall.empty());
    EXPECT_EQ(harvest.records(), cleanFiles().first);
    EXPECT_EQ(harvest.credits(), cleanFiles().second);

    // A list page that fails for good: what the last run's file lists under it still counts.
    Harvest lists(scenario(fault(CwList, R"("kind": "delay", "ms": 0, "count": 1)") + ", " +
                           fault(CwList, R"("kind": "status", "status": 404)")));
    lists.download();
    EXPECT_TRUE(holds(lists.download(), "  220 credited QSOs: all read; 1 category failed"));
    EXPECT_EQ(lists.credits(), cleanFiles().second);
}

TEST(DownloadRun, OnlyNewQsosLoadsOnlyThePagesTheLastRunLacks) {
    std::string faults;
    for (int id : {2, 40, 77, 150, 219}) {
        faults += (faults.empty() ? "" : ", ") + fault(detail(id), R"("kind": "status", "status": 404, "count": 1)");
    }
    Harvest harvest(scenario(faults));
    harvest.download();
    const std::size_t before = harvest.mock.requests().size();
    const auto log = harvest.download(true);
    const auto requests = harvest.mock.requests();
    const auto details = std::count_if(requests.begin() + static_cast<std::ptrdiff_t>(before), requests.end(),
                                       [](const auto& r) { return r.target.starts_with("/lotwuser/qsodetail"); });
    EXPECT_EQ(details, 5);
    EXPECT_EQ(harvest.host.progressPages, 5);
    EXPECT_TRUE(holds(log, "  220 credited QSOs: 5 read, 215 kept from the last run"));
    EXPECT_EQ(countStarting(log, "    "), 220u); // every QSO's call, as a full run logs them
    EXPECT_EQ(harvest.records(), cleanFiles().first);
    EXPECT_EQ(harvest.credits(), cleanFiles().second);
}

TEST(DownloadRun, ASessionThatKeepsEndingEndsTheQsoPagesInOneLine) {
    Harvest harvest(scenario("", R"(, "session_pages": 3)"));
    const auto log = harvest.download();
    EXPECT_EQ(countStarting(log, "  Session ended; signing in again"), 1u);
    EXPECT_TRUE(holds(log, "  The session ended again after 3 pages; the QSO pages left are not read"));
    EXPECT_TRUE(holds(log, "  220 credited QSOs: 6 read, 214 missing (see the errors above)"));
    EXPECT_EQ(log.back(), "Done");
    EXPECT_EQ(harvest.requestsFor("/lotwuser/default"), 2u);
    const auto requests = harvest.mock.requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const auto& r) { return r.target.starts_with("/lotwuser/qsodetail"); }),
              8); // twice three pages, each time followed by the sign-in form
}

TEST(DownloadRun, AbortDuringARetryWaitEndsTheRunAndKeepsTheLastRunsQsos) {
    Harvest harvest(scenario(fault(detail(100), R"("kind": "status", "status": 503)")));
    const auto first = harvest.download();
    EXPECT_TRUE(holds(first, "  220 credited QSOs: 219 read, 1 missing (see the errors above)"));
    const std::string records = harvest.records();
    harvest.host.cancelOn = "  Retrying in";
    const auto second = harvest.download();
    // Addresses sort as text: qso=1, qso=10, qso=100, ...
    EXPECT_TRUE(
        holds(second, "  220 credited QSOs: 2 read, 217 kept from the last run, 1 missing (see the errors above)"));
    EXPECT_EQ(harvest.requestsFor(detail(100)), 4u);
    EXPECT_EQ(harvest.records(), records);
}

TEST(RetryPolicy, WhatIsTriedAgainAndAfterWhichWait) {
    using Failure = PageLoader::Failure;
    struct Reason {
        Failure failure;
        int status;
        std::string reason;
    };
    for (const Reason& c : std::vector<Reason>{{Failure::None, 503, "HTTP 503"},
                                               {Failure::None, 429, "HTTP 429"},
                                               {Failure::None, 408, "HTTP 408"},
                                               {Failure::None, 404, ""},
                                               {Failure::None, 501, ""},
                                               {Failure::None, 200, ""},
                                               {Failure::TimedOut, 0, "timed out"},
                                               {Failure::ConnectionLost, 0, "connection closed"},
                                               {Failure::Other, 503, ""}}) {
        EXPECT_EQ(transientReason(c.failure, c.status), c.reason) << c.status;
    }
    const RetryPolicy policy;
    const QDateTime now(QDate(2026, 12, 9), QTime(16, 0, 0), QTimeZone::utc());
    struct Wait {
        int retry;
        std::string retryAfter;
        std::chrono::milliseconds wait;
    };
    for (const Wait& c : std::vector<Wait>{{1, "", 2s},
                                           {2, "", 8s},
                                           {3, "", 8s},
                                           {1, "5", 5s},
                                           {2, "5", 8s},
                                           {1, "600", 60s},
                                           {1, "99999999999", 60s},
                                           {1, "Wed, 09 Dec 2026 16:00:30 GMT", 30s},
                                           {1, "Wed, 09 Dec 2026 15:00:00 GMT", 2s},
                                           {1, "soon", 2s}}) {
        EXPECT_EQ(retryWait(policy, c.retry, c.retryAfter, now), c.wait) << c.retry << " " << c.retryAfter;
    }
    EXPECT_EQ(describeDuration(8s), "8 s");
    EXPECT_EQ(describeDuration(250ms), "250 ms");
}

} // namespace

int main(int argc, char** argv) {
    return awardsync::testing::runTestsWithCoreApplication(argc, argv);
}
