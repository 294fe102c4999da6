// Times awardsync-mark on a log of 300,000 QSOs (about 100 MB) with 20,000 credits, and in the same
// run the floor: a process that reads the same log and writes it out again through a temporary file
// and a rename, without parsing it. Both run as child processes, alternating, RUNS times each
// (default 5); the medians, their ratio and the peak memory of awardsync-mark are printed.
//
//   bench_mark [RUNS]        (bench_mark --floor IN OUT is the floor's child process)
//   bench_mark --files DIR   only writes DIR/log.adi and DIR/credits.txt, for a profiler
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

constexpr int QsoCount = 300000;
constexpr int CreditCount = 20000;
constexpr int StationCount = 60000; // worked stations: many calls appear in several QSOs
const char* const Bands[] = {"160M", "80M", "40M", "30M", "20M", "17M", "15M", "12M", "10M", "6M"};
const char* const Modes[] = {"CW", "SSB", "FT8", "RTTY", "FM"};

struct Qso {
    std::string call;
    int band, mode, dxcc;
    long long start; // seconds since 2000-01-01
};

std::string callOf(int station) {
    std::string call = {static_cast<char>('A' + station % 23), static_cast<char>('A' + station / 23 % 26),
                        static_cast<char>('0' + station / 598 % 10)};
    for (int rest = station / 5980 + 1; rest > 0; rest /= 26) {
        call += static_cast<char>('A' + rest % 26);
    }
    return call;
}

void civil(long long days, int& year, int& month, int& day) {
    days += 10957 + 719468; // from 2000-01-01, then the civil-from-days algorithm
    const long long era = days / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::string field(const char* name, const std::string& value) {
    return "<" + std::string(name) + ":" + std::to_string(value.size()) + ">" + value + " ";
}

// A log like a desktop logger's export: about 330 bytes per QSO, CR LF.
void writeFiles(const QString& logPath, const QString& recordsPath) {
    std::mt19937 random(20260101);
    std::vector<Qso> qsos;
    qsos.reserve(QsoCount);
    long long start = 0;
    for (int i = 0; i < QsoCount; ++i) {
        start += 60 + static_cast<long long>(random() % 1500);
        const int station = static_cast<int>(random() % StationCount);
        qsos.push_back({callOf(station), static_cast<int>(random() % 10), static_cast<int>(random() % 5),
                        1 + station % 340, start});
    }
    std::string log = "Generated for the awardsync-mark bench\r\n<ADIF_VER:5>3.1.4 <PROGRAMID:5>BENCH <EOH>\r\n";
    log.reserve(110u << 20);
    for (const Qso& q : qsos) {
        int year, month, day;
        civil(q.start / 86400, year, month, day);
        char date[16], time[16];
        std::snprintf(date, sizeof date, "%04d%02d%02d", year, month, day);
        std::snprintf(time, sizeof time, "%02lld%02lld%02lld", q.start % 86400 / 3600, q.start % 3600 / 60,
                      q.start % 60);
        log += field("CALL", q.call) + field("QSO_DATE", date) + field("TIME_ON", time) + field("QSO_DATE_OFF", date) +
               field("TIME_OFF", time) + field("BAND", Bands[q.band]) + field("FREQ", "14.074000") +
               field("MODE", Modes[q.mode]) + field("RST_SENT", "599") + field("RST_RCVD", "579") +
               field("DXCC", std::to_string(q.dxcc)) + field("CQZ", "14") + field("ITUZ", "28") +
               field("GRIDSQUARE", "JO40ab") + field("NAME", "Operator Name") + field("QSL_SENT", "N") +
               field("QSL_RCVD", "N") + field("STATION_CALLSIGN", "Q1BENCH") + field("MY_GRIDSQUARE", "FN31pr") +
               field("TX_PWR", "100") + field("COMMENT", "tnx fer QSO 73") + "<EOR>\r\n";
    }
    std::string records;
    const char* const recordModes[] = {"CW", "SSB", "DATA", "DATA", "SSB"};
    for (int i = 0; i < CreditCount; ++i) {
        const Qso& q = qsos[random() % QsoCount];
        int year, month, day;
        civil(q.start / 86400, year, month, day);
        char line[160];
        std::snprintf(line, sizeof line, "%s|%03d|%04d/%02d/%02d|%02lld:%02lld:%02lld|%s|%s|%s|\r\n", q.call.c_str(),
                      q.dxcc, year, month, day, q.start % 86400 / 3600, q.start % 3600 / 60, q.start % 60,
                      recordModes[q.mode], Bands[(q.band + (i % 50 == 0 ? 1 : 0)) % 10], i % 7 ? "LoTW" : "QSL");
        records += line;
    }
    for (const auto& [path, bytes] : {std::pair{logPath, &log}, std::pair{recordsPath, &records}}) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(bytes->data(), static_cast<qint64>(bytes->size())) != static_cast<qint64>(bytes->size())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
    }
}

struct Child {
    double seconds;
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
    return {static_cast<double>(timer.nsecsElapsed()) / 1e9, usage.ru_maxrss,
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

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

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--floor") {
        return floorCopy(argv[2], argv[3]);
    }
    if (argc == 3 && std::string(argv[1]) == "--files") {
        const QString folder = QString::fromLocal8Bit(argv[2]);
        writeFiles(folder + "/log.adi", folder + "/credits.txt");
        return 0;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const QString log = dir.filePath("log.adi");
    const QString records = dir.filePath("credits.txt");
    writeFiles(log, records);
    const double logBytes = static_cast<double>(QFile(log).size());

    std::vector<double> markTimes, floorTimes;
    long peakKiB = 0;
    int status = 0;
    for (int run = 0; run < runs; ++run) {
        const Child mark = runChild({AWARDSYNC_MARK_PATH, records.toStdString(), log.toStdString()});
        const Child copy =
            runChild({"/proc/self/exe", "--floor", log.toStdString(), dir.filePath("copy.adi").toStdString()});
        if (mark.status > 1 || copy.status != 0) {
            std::fprintf(stderr, "a run failed: awardsync-mark %d, floor %d\n", mark.status, copy.status);
            return 1;
        }
        status = mark.status;
        markTimes.push_back(mark.seconds);
        floorTimes.push_back(copy.seconds);
        peakKiB = std::max(peakKiB, mark.peakKiB);
    }
    const double markMedian = median(markTimes);
    const double floorMedian = median(floorTimes);
    std::printf("log:            %d QSOs, %.1f MB; %d credits (exit status %d)\n", QsoCount, logBytes / 1e6,
                CreditCount, status);
    std::printf("awardsync-mark: %.3f s median of %d runs\n", markMedian, runs);
    std::printf("floor (copy):   %.3f s median\n", floorMedian);
    std::printf("ratio:          %.2f\n", markMedian / floorMedian);
    std::printf("peak memory:    %.1f MB, %.2f times the log\n", static_cast<double>(peakKiB) * 1024 / 1e6,
                static_cast<double>(peakKiB) * 1024 / logBytes);
    return 0;
}
