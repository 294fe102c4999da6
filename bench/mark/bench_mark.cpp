// SPDX-License-Identifier: GPL-3.0-or-later
// Times awardsync-mark on a log of 300,000 QSOs (about 100 MB) with 20,000 credits, and in the same
// run the floor: a process that reads the same log and writes it out again through a temporary file
// and a rename, without parsing it. Both run as child processes, alternating, RUNS times each
// (default 5); the medians, their ratio and the peak memory of awardsync-mark are printed. Four
// cases: the credits as a records file, as a credits file, a log whose QSOs all share one call, and the
// same log all CW with every credit SSB (each credit unmatched and explained); four cases of one credit
// with a long CREDIT_GRANTED for one QSO added to the same log: 100,000 items, an item of 150,000 media,
// and both again of names and media outside the ADIF standard (refused now; the lists that took minutes
// when each item searched all before it); then one run on each of four logs of many small QSOs of one
// credited call, for their peak memory: tiny QSOs, the smallest QSOs, QSOs each on a band of its own, and
// equal QSOs with as many credits of nearby times; last, credit sources of 2 million lines, for their peak
// memory against the source: of the log's calls with the bench's log, and of calls it lacks with a short log.
//
//   bench_mark [RUNS]        (bench_mark --floor IN OUT is the floor's child process)
//   bench_mark --files DIR   only writes the cases' files into DIR, for a profiler
#include "bench/bench_stats.h"
#include "mark_bench_log.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace awardsync::bench;

struct Child {
    double seconds;
    double cpuSeconds; // user and system: less swayed than the wall time by other work on the machine
    long peakKiB;
    int status;
};

Child runChild(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    std::fflush(stdout); // else the child's stdout would write the parent's pending lines again
    const pid_t pid = fork();
    if (pid == 0) {
        if (freopen("/dev/null", "w", stdout) == nullptr) {
            _exit(127);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {static_cast<double>(timer.nsecsElapsed()) / 1e9, cpu, usage.ru_maxrss,
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

using ::bench::median;

// The floor: the whole log in memory and out again, the way awardsync-mark reads and writes it.
int floorCopy(const char* in, const char* out) {
    QFile input(QString::fromLocal8Bit(in));
    if (!input.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return 2;
    }
    const QByteArray bytes = input.readAll();
    QSaveFile output(QString::fromLocal8Bit(out));
    if (!output.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || output.write(bytes) != bytes.size() ||
        !output.commit()) {
        return 2;
    }
    return 0;
}

// One case: awardsync-mark on `source` and `log`, and the floor of copying the log, alternating.
void runCase(const char* name, const std::string& source, const QString& log, const QString& copy, int runs,
             const char* credits = nullptr) {
    std::vector<double> markTimes, floorTimes, markCpu, floorCpu;
    long peakKiB = 0;
    int status = 0;
    for (int run = 0; run < runs; ++run) {
        const Child mark = runChild({AWARDSYNC_MARK_PATH, source, log.toStdString()});
        const Child floor = runChild({"/proc/self/exe", "--floor", log.toStdString(), copy.toStdString()});
        if (mark.status > 1 || floor.status != 0) {
            std::fprintf(stderr, "%s: a run failed: awardsync-mark %d, floor %d\n", name, mark.status, floor.status);
            std::exit(1);
        }
        status = mark.status;
        markTimes.push_back(mark.seconds);
        floorTimes.push_back(floor.seconds);
        markCpu.push_back(mark.cpuSeconds);
        floorCpu.push_back(floor.cpuSeconds);
        peakKiB = std::max(peakKiB, mark.peakKiB);
    }
    const double logBytes = static_cast<double>(QFile(log).size());
    const double markMedian = median(markTimes);
    const double floorMedian = median(floorTimes);
    std::printf("%s\n", name);
    if (credits == nullptr) {
        std::printf("  log:            %d QSOs, %.1f MB; %d credits (exit status %d)\n", QsoCount, logBytes / 1e6,
                    CreditCount, status);
    } else {
        std::printf("  log:            %d QSOs, %.1f MB; %s (exit status %d)\n", QsoCount + 1, logBytes / 1e6, credits,
                    status);
    }
    std::printf("  awardsync-mark: %.3f s median of %d runs (CPU %.3f s)\n", markMedian, runs, median(markCpu));
    std::printf("  floor (copy):   %.3f s median (CPU %.3f s)\n", floorMedian, median(floorCpu));
    std::printf("  ratio:          %.2f (CPU %.2f)\n", markMedian / floorMedian, median(markCpu) / median(floorCpu));
    std::printf("  peak memory:    %.1f MB, %.2f times the log\n", static_cast<double>(peakKiB) * 1024 / 1e6,
                static_cast<double>(peakKiB) * 1024 / logBytes);
}

// Logs of many small QSOs, all of a credited call: what a kept QSO costs shows in the peak memory against
// the log's size. One run each.
void runShapeCase(const QTemporaryDir& dir, const char* name, int records, const auto& recordOf,
                  const QByteArray& creditLines) {
    const QString log = dir.filePath("shape.adi");
    const QString credits = dir.filePath("shape.txt");
    QByteArray bytes = "<EOH>";
    bytes.reserve(bytes.size() + recordOf(records).size() * records);
    for (int n = 0; n < records; ++n) {
        bytes += recordOf(n);
    }
    writeOrExit(log, bytes.data(), bytes.size());
    writeOrExit(credits, creditLines.data(), creditLines.size());
    const Child mark = runChild({AWARDSYNC_MARK_PATH, "-o", dir.filePath("shape-out.adi").toStdString(),
                                 credits.toStdString(), log.toStdString()});
    if (mark.status > 1) {
        std::fprintf(stderr, "%s: awardsync-mark failed (exit status %d)\n", name, mark.status);
        std::exit(1);
    }
    const double logBytes = static_cast<double>(bytes.size());
    std::printf("%s (one run)\n", name);
    std::printf("  log:            %d records, %.1f MB; %lld credits (exit status %d)\n", records, logBytes / 1e6,
                static_cast<long long>(creditLines.count('\n')), mark.status);
    std::printf("  awardsync-mark: %.3f s (CPU %.3f s)\n", mark.seconds, mark.cpuSeconds);
    std::printf("  peak memory:    %.1f MB, %.2f times the log\n", static_cast<double>(mark.peakKiB) * 1024 / 1e6,
                static_cast<double>(mark.peakKiB) * 1024 / logBytes);
}

void runShapeCases(const QTemporaryDir& dir) {
    runShapeCase(
        dir, "tiny QSOs", 3'500'000, [](int) { return QByteArray("<CALL:5>Q1ABC<BAND:3>20M<EOR>"); },
        "Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n");
    runShapeCase(
        dir, "the smallest QSOs", 7'000'000, [](int) { return QByteArray("<CALL:1>Q<EOR>"); },
        "Q|001|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n");
    runShapeCase(
        dir, "a band of its own in every QSO", 4'000'000,
        [](int n) {
            const QByteArray band = QByteArray::number(n);
            return "<CALL:1>Q<BAND:" + QByteArray::number(band.size()) + ">" + band + "<EOR>";
        },
        "Q|001|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n");
    // Equal QSOs, and as many credits at the 1,800 seconds from the QSOs' time on (each about 11 times):
    // every credit is ambiguous among all the QSOs.
    constexpr int Equal = 20'000;
    QByteArray creditLines;
    for (int n = 0; n < Equal; ++n) {
        const int second = n % 1800;
        creditLines += QByteArray("Q1ABC|001|2009/07/14|18:") +
                       QByteArray::number(5 + second / 60).rightJustified(2, '0') + ":" +
                       QByteArray::number(second % 60).rightJustified(2, '0') + "|SSB|20M|LoTW|\r\n";
    }
    runShapeCase(
        dir, "equal QSOs, credits of nearby times", Equal,
        [](int) { return QByteArray("<CALL:5>Q1ABC<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20090714<TIME_ON:4>1805<EOR>"); },
        creditLines);
}

// Credit sources of millions of lines, for their peak memory against the source's size, one run each: the
// bench's credit lines a hundred times over with the bench's log, beside the run of the lines once (the log's
// own share); and as many lines of calls that the log does not hold, with a log of its first 1,000 QSOs, so
// that every credit is reported and written to the unmatched file.
void runSourceCases(const QTemporaryDir& dir) {
    const auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const auto write = [](const QString& path, const QByteArray& bytes) {
        writeOrExit(path, bytes.data(), bytes.size());
    };
    // The files are written and their bytes let go before a child runs: a forked child's peak counts what the
    // parent holds.
    qsizetype manyBytes = 0, othersBytes = 0, smallBytes = 0, logBytes = 0;
    {
        const QByteArray lines = read(dir.filePath("credits.txt"));
        const QByteArray log = read(dir.filePath("log.adi"));
        QByteArray others;
        others.reserve(lines.size() * 100 + CreditCount * 100);
        for (int copy = 0; copy < 100; ++copy) {
            for (qsizetype at = 0; at < lines.size();) {
                const qsizetype end = lines.indexOf('\n', at) + 1;
                others += 'Z' + lines.mid(at, end - at); // no call of the log begins with Z
                at = end;
            }
        }
        qsizetype smallEnd = 0;
        for (int n = 0; n < 1000; ++n) {
            smallEnd = log.indexOf("<EOR>", smallEnd) + 5;
        }
        write(dir.filePath("many.txt"), lines.repeated(100));
        write(dir.filePath("others.txt"), others);
        write(dir.filePath("small.adi"), log.left(smallEnd));
        manyBytes = lines.size() * 100;
        othersBytes = others.size();
        smallBytes = smallEnd;
        logBytes = log.size();
    }
    const auto run = [&](const char* file, const char* logFile) {
        const Child mark = runChild({AWARDSYNC_MARK_PATH, "-o", dir.filePath("source-out.adi").toStdString(),
                                     dir.filePath(file).toStdString(), dir.filePath(logFile).toStdString()});
        if (mark.status > 1) {
            std::fprintf(stderr, "%s: awardsync-mark failed (exit status %d)\n", file, mark.status);
            std::exit(1);
        }
        return mark;
    };
    const auto megabytes = [](double bytes) { return bytes / 1e6; };
    const Child once = run("credits.txt", "log.adi");
    const Child many = run("many.txt", "log.adi");
    const double share = static_cast<double>(many.peakKiB - once.peakKiB) * 1024;
    std::printf("2 million credits of the log's calls (one run)\n");
    std::printf("  credits:        %.1f MB; the log %.1f MB (exit status %d)\n",
                megabytes(static_cast<double>(manyBytes)), megabytes(static_cast<double>(logBytes)), many.status);
    std::printf("  awardsync-mark: %.3f s (CPU %.3f s)\n", many.seconds, many.cpuSeconds);
    std::printf("  peak memory:    %.1f MB; %.1f MB with the credits once: the credits' share %.2f times their file\n",
                megabytes(static_cast<double>(many.peakKiB) * 1024),
                megabytes(static_cast<double>(once.peakKiB) * 1024), share / manyBytes);
    const Child unmatched = run("others.txt", "small.adi");
    std::printf("2 million credits that match nothing (one run)\n");
    std::printf("  credits:        %.1f MB; the log %.1f MB (exit status %d)\n",
                megabytes(static_cast<double>(othersBytes)), megabytes(static_cast<double>(smallBytes)),
                unmatched.status);
    std::printf("  awardsync-mark: %.3f s (CPU %.3f s)\n", unmatched.seconds, unmatched.cpuSeconds);
    std::printf("  peak memory:    %.1f MB, %.2f times the credits\n",
                megabytes(static_cast<double>(unmatched.peakKiB) * 1024),
                static_cast<double>(unmatched.peakKiB) * 1024 / static_cast<double>(othersBytes));
}

// The cases of long credit lists: the bench's log with one QSO more, and for each case a credits file of
// one record for that QSO, whose CREDIT_GRANTED is the case's list.
struct ListCase {
    const char* name;
    const char* credits;
    QString path;
};

std::vector<ListCase> writeListCases(const QString& folder, const QString& log, const QString& listLog) {
    static constexpr const char* Credits[] = {"DXCC", "DXCC_BAND", "DXCC_MODE", "DXCC_SATELLITE", "WAS",
                                              "IOTA", "WAC",       "WAS_BAND",  "CQWAZ_MODE",     "VUCC_BAND",
                                              "EDX",  "WAE",       "WITUZ",     "CQWPX",          "RDA"};
    static constexpr const char* Media[] = {"LOTW", "CARD", "EQSL"};
    std::string items, media, foreignItems, foreignMedia;
    for (int n = 0; n < 100'000; ++n) {
        items += std::string(n ? "," : "") + Credits[n % 15] + ":" + Media[n / 15 % 3];
        foreignItems += (n ? ",A" : "A") + std::to_string(n) + ":LOTW";
    }
    for (int n = 0; n < 150'000; ++n) {
        media += std::string(n ? "&" : "DXCC:") + Media[n % 3];
        foreignMedia += (n ? "&M" : "DXCC:M") + std::to_string(n);
    }
    QFile in(log), out(listLog);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) || out.write(in.readAll()) < 0 ||
        out.write("<CALL:6>Q1LIST <QSO_DATE:8>20010101 <TIME_ON:4>1200 <BAND:3>20M <MODE:2>CW <EOR>\r\n") < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(listLog));
        std::exit(1);
    }
    std::vector<ListCase> cases = {
        {"one CREDIT_GRANTED of 100,000 items", "one credit of 100,000 items", folder + "/items.adi"},
        {"one item of 150,000 media", "one credit of an item of 150,000 media", folder + "/media.adi"},
        {"100,000 items outside the standard", "one credit of 100,000 items A0 to A99999, refused",
         folder + "/foreign-items.adi"},
        {"150,000 media outside the standard", "one credit of an item of media M0 to M149999, refused",
         folder + "/foreign-media.adi"},
    };
    const std::string* lists[] = {&items, &media, &foreignItems, &foreignMedia};
    for (std::size_t n = 0; n < cases.size(); ++n) {
        const std::string record = "<EOH>\r\n" + field("CALL", "Q1LIST") + field("QSO_DATE", "20010101") +
                                   field("TIME_ON", "1200") + field("BAND", "20M") + field("MODE", "CW") +
                                   field("CREDIT_GRANTED", *lists[n]) + "<EOR>\r\n";
        writeOrExit(cases[n].path, record.data(), static_cast<qint64>(record.size()));
    }
    return cases;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--floor") {
        return floorCopy(argv[2], argv[3]);
    }
    if (argc == 3 && std::string(argv[1]) == "--files") {
        const QString folder = QString::fromLocal8Bit(argv[2]);
        writeFiles(folder + "/log.adi", folder + "/credits.txt", folder + "/credits.adi");
        writeFiles(folder + "/one-call.adi", folder + "/one-call.txt", {}, true);
        writeFiles(folder + "/other-mode.adi", folder + "/other-mode.txt", {}, true, true);
        writeListCases(folder, folder + "/log.adi", folder + "/lists.adi");
        return 0;
    }
    const int runs = ::bench::runsFromArguments(argc, argv, 5);
    QTemporaryDir dir;
    const QString log = dir.filePath("log.adi");
    writeFiles(log, dir.filePath("credits.txt"), dir.filePath("credits.adi"));
    writeFiles(dir.filePath("one-call.adi"), dir.filePath("one-call.txt"), {}, true);
    writeFiles(dir.filePath("other-mode.adi"), dir.filePath("other-mode.txt"), {}, true, true);
    const QString copy = dir.filePath("copy.adi");
    runCase("records file", dir.filePath("credits.txt").toStdString(), log, copy, runs);
    runCase("credits file", dir.filePath("credits.adi").toStdString(), log, copy, runs);
    runCase("one call (records file)", dir.filePath("one-call.txt").toStdString(), dir.filePath("one-call.adi"), copy,
            runs);
    runCase("one call, CW QSOs, SSB credits (records file)", dir.filePath("other-mode.txt").toStdString(),
            dir.filePath("other-mode.adi"), copy, runs);
    for (const ListCase& list : writeListCases(dir.path(), log, dir.filePath("lists.adi"))) {
        runCase(list.name, list.path.toStdString(), dir.filePath("lists.adi"), copy, runs, list.credits);
    }
    runShapeCases(dir);
    runSourceCases(dir);
    return 0;
}
