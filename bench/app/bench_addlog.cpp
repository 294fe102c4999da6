// SPDX-License-Identifier: GPL-3.0-or-later
// Appends 40,000 lines to the log pane, offscreen, and prints the cost per line of the first
// thousand, of the thousand that fills the pane to its 20,000-line limit, and of the last thousand
// (when the oldest lines are being dropped), so that one sees whether logging slows down.
#include "app/main_form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int Lines = 40000;
    constexpr int Capacity = 20000;
    constexpr int Slice = 1000;
    constexpr int Runs = 5;
    std::vector<double> first, full, last;
    for (int run = 0; run < Runs; ++run) {
        QTemporaryDir dir;
        TMainForm::Seams seams;
        seams.executablePath = dir.filePath("awardsync");
        seams.showError = [](const QString&, const QString&) {};
        TMainForm form(seams);
        form.show();
        QElapsedTimer timer;
        double firstSlice = 0;
        double fullSlice = 0;
        double lastSlice = 0;
        for (int i = 0; i < Lines; ++i) {
            if (i % Slice == 0) {
                timer.start();
            }
            form.AddLog("    Q" + std::to_string(i) + "ABC");
            if (i % Slice == Slice - 1) {
                const double perLine = static_cast<double>(timer.nsecsElapsed()) / 1000.0 / Slice;
                if (i < Slice) {
                    firstSlice = perLine;
                }
                if (i == Capacity - 1) {
                    fullSlice = perLine;
                }
                lastSlice = perLine;
            }
        }
        std::printf("run %d: lines 1-1000 %.1f us/line, 19001-20000 %.1f us/line, 39001-40000 %.1f us/line\n", run + 1,
                    firstSlice, fullSlice, lastSlice);
        first.push_back(firstSlice);
        full.push_back(fullSlice);
        last.push_back(lastSlice);
    }
    std::printf("median of %d runs: lines 1-1000 %.1f us/line, 19001-20000 %.1f us/line, 39001-40000 %.1f us/line; "
                "last/first %.2f\n",
                Runs, median(first), median(full), median(last), median(last) / median(first));
    return 0;
}
