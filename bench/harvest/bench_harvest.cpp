// SPDX-License-Identifier: GPL-3.0-or-later
// A whole harvest of 5,000 credited QSOs through the real window, offscreen, against the mock service
// on loopback, with the program's own 1000 ms pause after each of the 17 credit lists. Reports the
// wall time, the milliseconds per QSO once the 17 s of pauses are taken off, the CPU seconds and the
// peak memory of the process. In the same process it then fetches the same detail pages with a plain
// page-loader loop (Navigate, WaitForPage, Document) for the per-page figure to compare with.
// One harvest per process, so that the peak memory is the harvest's own: run it several times.
// With "only-new RUNS" it instead compares, RUNS times alternating, a run with "Only new QSOs" against
// a full run of the same account, both after a last run that lacked 100 of its credits: the page
// loads each makes and its wall time, with the real pauses.
// Usage: bench_harvest [only-new RUNS]
#include "app/main_form.h"
#include "bench/service/bench_support.h"
#include "core/error.h"
#include "service/login.h"
#include "service/page_loader.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int QsoCount = 5000;
constexpr double PauseSeconds = 17.0;

long peakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Harvest {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    long peakKiB = 0;
    std::size_t detailPages = 0;
    std::size_t detailRequests = 0; // the detail pages the service was asked for
    std::size_t records = 0;
    double qsoPhaseMsPerPage = 0;     // from the service's request log: first to last detail request
    double listPhaseExtraSeconds = 0; // first credit list to first detail page, less the 17 pauses
    std::vector<std::string> detailUrls;
};

Harvest runHarvest(const awardsync::testing::MockService& mock, const QString& folder, bool onlyNew = false) {
    const QString executable = folder + "/awardsync";
    const std::string settings = "[Settings]\nCall=TEST\nPassword=test\nTextFile=" + folder.toStdString() +
                                 "/credits.txt\nAccount=1\nSSB=1\nOnlyNew=" + (onlyNew ? "1" : "0") +
                                 "\n[Service]\nEndpoint=" + mock.endpoint() + "\nCAFile=" + mock.certFile() + "\n";
    QFile file(executable + ".ini");
    if (!file.open(QIODevice::WriteOnly) || file.write(settings.data(), static_cast<qint64>(settings.size())) < 0) {
        throw awardsync::Error("cannot write the settings file");
    }
    file.close();

    std::vector<QString> errors;
    TMainForm::Seams seams;
    seams.executablePath = executable;
    seams.showError = [&errors](const QString&, const QString& text) { errors.push_back(text); };
    TMainForm form(seams); // the program's own pause
    form.show();
    form.PumpMessages();

    const std::size_t firstRequest = mock.requests().size();
    const double cpuBefore = bench::cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    form.BitBtn1->click();
    Harvest result;
    result.wallSeconds = secondsSince(start);
    result.cpuSeconds = bench::cpuSeconds() - cpuBefore;
    result.peakKiB = peakMemoryKiB();

    if (!errors.empty()) {
        throw awardsync::Error("the run reported: " + errors.front().toStdString());
    }
    if (!form.RichEdit1->toPlainText().endsWith(QStringLiteral("\nDone"))) {
        throw awardsync::Error("the run did not finish");
    }
    result.detailPages = form.CreditUrls->count();
    result.records = form.Records->count();
    for (std::size_t i = 0; i < form.CreditUrls->count(); ++i) {
        result.detailUrls.push_back((*form.CreditUrls)[i]);
    }

    const auto requests = mock.requests();
    std::vector<double> detailTimes;
    double firstListTime = -1;
    for (std::size_t i = firstRequest; i < requests.size(); ++i) {
        if (requests[i].target.rfind("/lotwuser/qsodetail?", 0) == 0) {
            detailTimes.push_back(requests[i].timeMs);
        } else if (firstListTime < 0 && requests[i].target.rfind("/lotwuser/accountcredits?", 0) == 0) {
            firstListTime = requests[i].timeMs;
        }
    }
    result.detailRequests = detailTimes.size();
    if (!onlyNew && detailTimes.size() != result.detailPages) {
        throw awardsync::Error("the service saw " + std::to_string(detailTimes.size()) + " detail requests for " +
                               std::to_string(result.detailPages) + " addresses");
    }
    if (!detailTimes.empty() && firstListTime >= 0) {
        result.listPhaseExtraSeconds = (detailTimes.front() - firstListTime) / 1000.0 - PauseSeconds;
    }
    if (detailTimes.size() > 1) {
        result.qsoPhaseMsPerPage =
            (detailTimes.back() - detailTimes.front()) / static_cast<double>(detailTimes.size() - 1);
    }
    return result;
}

// The same detail pages through a bare page loader: what a page costs without the run around it.
double fetchLoopMsPerPage(const awardsync::testing::MockService& mock, const std::vector<std::string>& urls) {
    awardsync::PageLoader loader(
        [] { QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents); });
    awardsync::loginToService(loader, mock.endpoint(), "TEST", "test");
    std::size_t bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& url : urls) {
        loader.Navigate(url);
        loader.WaitForPage();
        bytes += loader.Document().body().innerHTML().size();
    }
    const double seconds = secondsSince(start);
    if (bytes == 0) {
        throw awardsync::Error("the detail pages were empty");
    }
    return seconds * 1000.0 / static_cast<double>(urls.size());
}

// The yearly update of a big account: "Only new QSOs" against a full run, after a last run whose
// credits file lacks 100 QSOs (their pages failed in it once), each run starting from that file.
void compareOnlyNew(int runs) {
    constexpr int NewCredits = 100;
    std::string faults;
    for (int id = QsoCount / NewCredits; id <= QsoCount; id += QsoCount / NewCredits) {
        faults += std::string(faults.empty() ? "" : ", ") + R"({"path": "/lotwuser/qsodetail?qso=)" +
                  std::to_string(id) + R"(", "kind": "status", "status": 404, "count": 1})";
    }
    QTemporaryDir folder;
    awardsync::testing::MockService mock(R"({"generate": {"count": )" + std::to_string(QsoCount) +
                                             R"(, "seed": 1}, "faults": [)" + faults + "]}",
                                         bench::mockOptions());
    runHarvest(mock, folder.path());
    const QString creditsFile = folder.filePath("credits-credits.adi");
    const QString lastRun = folder.filePath("last-run.adi");
    if (!QFile::copy(creditsFile, lastRun)) {
        throw awardsync::Error("cannot keep the last run's credits file");
    }
    auto fromLastRun = [&](bool onlyNew) {
        QFile::remove(creditsFile);
        if (!QFile::copy(lastRun, creditsFile)) {
            throw awardsync::Error("cannot put the last run's credits file back");
        }
        return runHarvest(mock, folder.path(), onlyNew);
    };
    std::vector<double> onlyNewWall, fullWall;
    std::size_t onlyNewPages = 0, fullPages = 0, records = 0;
    for (int run = 0; run < runs; ++run) {
        const Harvest onlyNew = fromLastRun(true);
        const Harvest full = fromLastRun(false);
        if (onlyNew.records != full.records) {
            throw awardsync::Error("the runs wrote " + std::to_string(onlyNew.records) + " and " +
                                   std::to_string(full.records) + " records");
        }
        onlyNewWall.push_back(onlyNew.wallSeconds);
        fullWall.push_back(full.wallSeconds);
        onlyNewPages = onlyNew.detailRequests;
        fullPages = full.detailRequests;
        records = full.records;
        std::printf("run %d: only new %.2f s, %zu detail pages; full %.2f s, %zu detail pages\n", run + 1,
                    onlyNew.wallSeconds, onlyNew.detailRequests, full.wallSeconds, full.detailRequests);
    }
    const double onlyNewMedian = bench::median(onlyNewWall);
    const double fullMedian = bench::median(fullWall);
    std::printf("%d credited QSOs, %d of them new, %zu records: page loads %zu against %zu (17 credit lists, the "
                "sign-in and its page each time)\n",
                QsoCount, NewCredits, records, onlyNewPages + 19, fullPages + 19);
    std::printf("summary: runs=%d only_new_s=%.2f full_s=%.2f ratio=%.3f only_new_detail_pages=%zu "
                "full_detail_pages=%zu\n",
                runs, onlyNewMedian, fullMedian, onlyNewMedian / fullMedian, onlyNewPages, fullPages);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "only-new") {
        try {
            compareOnlyNew(argc > 2 ? std::max(1, std::atoi(argv[2])) : 3);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "bench_harvest: %s\n", error.what());
            return 1;
        }
        return 0;
    }
    try {
        QTemporaryDir folder;
        awardsync::testing::MockService mock(
            R"({"generate": {"count": )" + std::to_string(QsoCount) + R"(, "seed": 1}})", bench::mockOptions());

        const Harvest harvest = runHarvest(mock, folder.path());
        const double msPerQso =
            (harvest.wallSeconds - PauseSeconds) * 1000.0 / static_cast<double>(harvest.detailPages);
        const double fetchMs = fetchLoopMsPerPage(mock, harvest.detailUrls);

        std::printf("harvest of %d credited QSOs: %zu detail pages, %zu records\n", QsoCount, harvest.detailPages,
                    harvest.records);
        std::printf("wall %.2f s; (wall - %.0f s of pauses) / detail pages = %.3f ms per QSO\n", harvest.wallSeconds,
                    PauseSeconds, msPerQso);
        std::printf("from the service's request log: credit lists %.2f s beyond the pauses; QSO phase %.3f ms per "
                    "page\n",
                    harvest.listPhaseExtraSeconds, harvest.qsoPhaseMsPerPage);
        std::printf("CPU %.2f s; peak memory %.1f MiB\n", harvest.cpuSeconds,
                    static_cast<double>(harvest.peakKiB) / 1024.0);
        std::printf("plain fetch loop over the same pages: %.3f ms per page; per-QSO / per-page %.2f\n", fetchMs,
                    msPerQso / fetchMs);
        std::printf("summary: wall_s=%.2f ms_per_qso=%.3f list_extra_s=%.2f qso_phase_ms_per_page=%.3f cpu_s=%.2f "
                    "peak_mib=%.1f fetch_ms_per_page=%.3f\n",
                    harvest.wallSeconds, msPerQso, harvest.listPhaseExtraSeconds, harvest.qsoPhaseMsPerPage,
                    harvest.cpuSeconds, static_cast<double>(harvest.peakKiB) / 1024.0, fetchMs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_harvest: %s\n", error.what());
        return 1;
    }
    return 0;
}
