// SPDX-License-Identifier: GPL-3.0-or-later
// Times one run's worth of record lines: 20,000 distinct lines inserted in random order into the
// sorted record list, then saved as the records file. Prints the two times and the file's size.
#include "core/string_list.h"
#include "records/records_file.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int lineCount = 20000;
const char* const modes[] = {"SSB", "CW", "FT8", "RTTY", "PHONE"};
const char* const bands[] = {"160M", "80M", "40M", "30M", "20M", "17M", "15M", "12M", "10M", "6M"};

// A line shaped like a real record; the call sign alone makes every line distinct.
std::string recordLine(int index) {
    char line[128];
    std::snprintf(line, sizeof line, "%c%d%c%c%c|%03d|20%02d/%02d/%02d|%02d:%02d:%02d|%s|%s|%s|", 'A' + index % 26,
                  index / 26 % 10, 'A' + index / 260 % 26, 'A' + index / 6760 % 26, 'A' + index % 7, 1 + index % 340,
                  index % 25, 1 + index % 12, 1 + index % 28, index % 24, index % 60, index * 7 % 60, modes[index % 5],
                  bands[index % 10], index % 3 ? "LoTW" : "QSL");
    return line;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    std::vector<std::string> lines;
    lines.reserve(lineCount);
    for (int i = 0; i < lineCount; ++i) {
        lines.push_back(recordLine(i));
    }
    std::shuffle(lines.begin(), lines.end(), std::mt19937(20090714));

    awardsync::SortedStringList records;
    auto start = std::chrono::steady_clock::now();
    for (const std::string& line : lines) {
        records.add(line);
    }
    const double insertSeconds = secondsSince(start);
    if (records.count() != lineCount) {
        std::fprintf(stderr, "expected %d distinct lines, the list holds %zu\n", lineCount, records.count());
        return 1;
    }

    QTemporaryDir dir;
    const std::string path = dir.filePath("records.txt").toStdString();
    start = std::chrono::steady_clock::now();
    awardsync::saveLinesToFile(records.lines(), path);
    const double saveSeconds = secondsSince(start);

    std::printf("inserts: %d lines in %.3f s\n", lineCount, insertSeconds);
    std::printf("save:    %.3f s\n", saveSeconds);
    std::printf("size:    %lld bytes\n", static_cast<long long>(QFileInfo(QString::fromStdString(path)).size()));
    return 0;
}
