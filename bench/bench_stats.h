// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every bench program needs: the number of runs from its command line, and the median of them.
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace bench {

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline int runsFromArguments(int argc, char** argv, int fallback) {
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : fallback;
}

} // namespace bench
