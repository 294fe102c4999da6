// SPDX-License-Identifier: GPL-3.0-or-later
// Peak memory of the process while the page loader refuses a 40 MiB page sent chunked (no
// Content-Length, so the size limit of 32 MiB is only met while reading). The peak is printed
// after a small page (the cost of Qt, TLS and the connection) and again after the large one.
// Usage: bench_oversized_page [MiB]   (the size of the large page, 40 by default)
#include "bench_support.h"
#include "core/error.h"
#include "service/page_loader.h"

#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <sys/resource.h>

namespace {

double peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int mib = bench::runsFromArguments(argc, argv, 40);
    const std::string scenario = R"({"faults": [{"path": "/big", "kind": "oversized", "chunked": true, "bytes": )" +
                                 std::to_string(static_cast<long long>(mib) * 1024 * 1024) + "}]}";
    awardsync::testing::MockService mock(scenario, bench::mockOptions());
    awardsync::testing::trustMockCertificate(mock);

    awardsync::PageLoader loader(awardsync::testing::pumpForTests);
    loader.Navigate(mock.endpoint() + "/lotwuser/default");
    loader.WaitForPage();
    std::printf("peak after a small page:      %.1f MiB\n", peakMiB());

    loader.Navigate(mock.endpoint() + "/big");
    try {
        loader.WaitForPage();
        std::printf("the %d MiB page loaded\n", mib);
    } catch (const awardsync::Error& error) {
        std::printf("%s\n", error.what());
    }
    std::printf("peak after the %d MiB page:   %.1f MiB\n", mib, peakMiB());
    return 0;
}
