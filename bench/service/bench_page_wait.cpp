// SPDX-License-Identifier: GPL-3.0-or-later
// CPU time of the process while it waits for a page that takes 3 s to come (the mock service
// delays it): the page wait blocks in the event loop between passes instead of polling. For
// comparison, the same wait with a pump that does not block (a busy poll).
// Usage: bench_page_wait [runs]
#include "bench_support.h"
#include "service/page_loader.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

struct Sample {
    double cpu;
    double wall;
};

Sample timeWait(const awardsync::testing::MockService& mock, std::function<void()> pump) {
    awardsync::PageLoader loader(std::move(pump));
    // A first page sets up the connection and TLS, which are not part of the wait being measured.
    loader.Navigate(mock.endpoint() + "/lotwuser/default");
    loader.WaitForPage();

    const double cpuStart = bench::cpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    loader.Navigate(mock.endpoint() + "/lotwuser/slow");
    loader.WaitForPage();
    return {bench::cpuSeconds() - cpuStart,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count()};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = bench::runsFromArguments(argc, argv, 5);
    awardsync::testing::MockService mock(R"({"faults": [{"path": "/lotwuser/slow", "kind": "delay", "ms": 3000}]})",
                                         bench::mockOptions());
    awardsync::testing::trustMockCertificate(mock);

    std::vector<double> blockingCpu;
    std::vector<double> blockingWall;
    for (int run = 0; run < runs; ++run) {
        const Sample sample = timeWait(
            mock, [] { QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents); });
        std::printf("run %d: blocking wait  %.4f s CPU during %.3f s wall\n", run + 1, sample.cpu, sample.wall);
        blockingCpu.push_back(sample.cpu);
        blockingWall.push_back(sample.wall);
    }
    const Sample busy = timeWait(mock, [] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
    std::printf("busy poll (once, for comparison): %.4f s CPU during %.3f s wall\n", busy.cpu, busy.wall);
    std::printf("median of %d runs: blocking wait %.4f s CPU during %.3f s wall\n", runs, bench::median(blockingCpu),
                bench::median(blockingWall));
    return 0;
}
