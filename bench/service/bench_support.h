// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared bits of the service bench programs: where the mock service is, CPU time; medians and runs.
#include "bench/bench_stats.h"
#include "tests/support/mock_service.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace bench {

inline awardsync::testing::MockOptions mockOptions() {
    awardsync::testing::MockOptions options;
    const char* fromEnvironment = std::getenv("AWARDSYNC_MOCK");
    options.binary = fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : AWARDSYNC_MOCK_PATH;
    return options;
}

// User plus system time of the whole process, all threads included.
inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace bench
