// Appends 20,000 lines to the log pane, offscreen, and prints the cost per line of the first and
// of the last thousand, so that one sees whether logging slows down as the pane fills.
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
    constexpr int Lines = 20000;
    constexpr int Slice = 1000;
    constexpr int Runs = 5;
    std::vector<double> first, last;
    for (int run = 0; run < Runs; ++run) {
        QTemporaryDir dir;
        TMainForm::Seams seams;
        seams.executablePath = dir.filePath("awardsync");
        seams.showError = [](const QString&, const QString&) {};
        TMainForm form(seams);
        form.show();
        QElapsedTimer timer;
        double firstSlice = 0;
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
                lastSlice = perLine;
            }
        }
        std::printf("run %d: first %d lines %.1f us/line, last %d lines %.1f us/line\n", run + 1, Slice, firstSlice,
                    Slice, lastSlice);
        first.push_back(firstSlice);
        last.push_back(lastSlice);
    }
    std::printf("median of %d runs: first %.1f us/line, last %.1f us/line, ratio last/first %.2f\n", Runs,
                median(first), median(last), median(last) / median(first));
    return 0;
}
