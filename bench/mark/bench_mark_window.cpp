// SPDX-License-Identifier: GPL-3.0-or-later
// How responsive the window of awardsync-mark stays while it marks the bench's log of 300,000 QSOs:
// the longest gap between two events processed on the user-interface thread, from pressing Mark
// to the filled table. A timer ticks every 5 ms throughout, as a stream of input would, so that a
// gap means a blocked thread and not an idle one. RUNS times (default 3); the worst of each run
// and their median are printed.
//
//   bench_mark_window [RUNS]      (QT_QPA_PLATFORM=offscreen unless set)
#include "bench/bench_stats.h"
#include "mark-window/mark_window.h"
#include "mark_bench_log.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

// Notes the time of every event the application delivers, and the longest gap between two.
class GapMeter : public QObject {
public:
    bool eventFilter(QObject*, QEvent*) override {
        const qint64 now = clock_.nsecsElapsed();
        if (measuring_) {
            longest_ = std::max(longest_, now - last_);
        }
        last_ = now;
        return false;
    }
    void start() {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        measuring_ = true;
    }
    double stopMs() {
        measuring_ = false;
        return static_cast<double>(longest_) / 1e6;
    }

private:
    QElapsedTimer clock_;
    qint64 last_ = 0, longest_ = 0;
    bool measuring_ = false;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    QApplication app(argc, argv);
    const int runs = bench::runsFromArguments(argc, argv, 3);
    const QString log = dir.filePath(QStringLiteral("log.adi"));
    const QString records = dir.filePath(QStringLiteral("credits.txt"));
    awardsync::bench::writeFiles(log, records);

    awardsync::markwindow::MarkWindow window(dir.path());
    window.show();
    window.recordsEdit()->setText(records);
    window.logEdit()->setText(log);
    GapMeter meter;
    app.installEventFilter(&meter);
    QTimer tick;
    tick.start(5);

    std::vector<double> gaps;
    for (int run = 0; run < runs; ++run) {
        QSignalSpy finished(&window, &awardsync::markwindow::MarkWindow::markingFinished);
        QElapsedTimer total;
        total.start();
        meter.start();
        window.markButton()->click();
        if (!finished.wait(600000)) {
            std::fprintf(stderr, "the run did not end\n");
            return 1;
        }
        QApplication::processEvents(); // the table's first paint belongs to the run
        gaps.push_back(meter.stopMs());
        std::printf("run %d: %.2f s, longest gap %.1f ms, %d table rows\n", run + 1,
                    static_cast<double>(total.nsecsElapsed()) / 1e9, gaps.back(), window.table()->rowCount());
    }
    std::sort(gaps.begin(), gaps.end());
    std::printf("log: %d QSOs, %d credits; %s\n", awardsync::bench::QsoCount, awardsync::bench::CreditCount,
                qPrintable(window.messageLabel()->text().section(QLatin1Char('\n'), 0, 2).replace('\n', "; ")));
    std::printf("longest gap between two UI events: median %.1f ms, worst %.1f ms over %d runs\n",
                gaps[gaps.size() / 2], gaps.back(), runs);
    return 0;
}
