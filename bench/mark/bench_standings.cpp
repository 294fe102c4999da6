// SPDX-License-Identifier: GPL-3.0-or-later
// Times the standings of the mark bench's log (300,000 QSOs, 20,000 credits) against the marking of the
// same bytes, in one process and alternating, RUNS times each (default 5); prints the medians:
// the marking (markContent), the floor (reading the log's records keeping the standings' fields), the
// standings from the bytes (reading the log and the credits, building the model), the marking with the
// log totalled for the standings in its reading of it and the model built after it (as awardsync-mark
// runs), and the model alone (buildStandings from the tally).
//
//   bench_standings [RUNS]
#include "bench/bench_stats.h"
#include "mark/adi_reader.h"
#include "mark/credit_source.h"
#include "mark/marking.h"
#include "mark/standings.h"
#include "mark_bench_log.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

using namespace awardsync;

std::string readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(1);
    }
    return file.readAll().toStdString();
}

template <typename Work> double seconds(const Work& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

using ::bench::median;

} // namespace

int main(int argc, char** argv) {
    const int runs = ::bench::runsFromArguments(argc, argv, 5);
    QTemporaryDir dir;
    awardsync::bench::writeFiles(dir.filePath("log.adi"), dir.filePath("credits.txt"));
    const std::string log = readAll(dir.filePath("log.adi"));
    const std::string credits = readAll(dir.filePath("credits.txt"));

    std::vector<double> marking, standings, along, model, reading;
    std::size_t rows = 0;
    std::string summary;
    for (int run = 0; run < runs; ++run) {
        reading.push_back(seconds([&] {
            mark::AdiLayout layout;
            mark::readAdi(
                log, [](const mark::AdiRecord&) { return true; }, layout, mark::StandingsTally::Fields);
        }));
        marking.push_back(seconds([&] { mark::markContent(credits, log, false, "credits.txt", "log.adi"); }));
        mark::StandingsTally tally;
        mark::CreditSource source;
        const auto build = [&] {
            source = mark::readCreditSource(credits, "credits.txt");
            mark::Standings built = mark::buildStandings(mark::standingsCredits(source.credits), tally);
            mark::numberShownLines(built, log);
            summary = mark::standingsSummaryLine(built);
        };
        standings.push_back(seconds([&] {
            tally = mark::tallyLog(log);
            build();
        }));
        // As awardsync-mark runs: the log totalled in the marking's reading of it.
        along.push_back(seconds([&] {
            tally = {};
            mark::markContent(credits, log, false, "credits.txt", "log.adi", {},
                              {mark::StandingsTally::Fields,
                               [&](const mark::AdiRecord& r, mark::AdiLengthUnit unit) { tally.add(r, unit); }});
            build();
        }));
        const std::vector<mark::StandingsCredit> items = mark::standingsCredits(source.credits);
        model.push_back(seconds([&] { rows = mark::buildStandings(items, tally).rows.size(); }));
    }
    std::printf("log: %d QSOs, %.1f MB; %d credits; %zu entities\n%s\n", awardsync::bench::QsoCount,
                static_cast<double>(log.size()) / 1e6, awardsync::bench::CreditCount, rows, summary.c_str());
    std::printf("marking (markContent):            %.3f s (median of %d)\n", median(marking), runs);
    std::printf("the floor, reading the records:   %.3f s, %.2f of the marking\n", median(reading),
                median(reading) / median(marking));
    std::printf("standings from the bytes:         %.3f s, %.2f of the marking\n", median(standings),
                median(standings) / median(marking));
    std::printf("marking with the standings along: %.3f s, %.2f of the marking\n", median(along),
                median(along) / median(marking));
    std::printf("model from the tally:            %.3f s, %.2f of the marking\n", median(model),
                median(model) / median(marking));
    return 0;
}
