// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared bits of the service bench programs: where the mock service is, medians, CPU time.
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

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline int runsFromArguments(int argc, char** argv, int fallback) {
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : fallback;
}

} // namespace bench
