// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace awardsync::mark {

// The four files of a run, as given on the command line (bytes) or derived from it.
struct RunFiles {
    std::string records, log, output, bad;
};

// Refuses, before anything is read, a run whose files would hang, never end, land outside the
// inputs' folders or overwrite one another: every path must be a regular file or a link to one (an
// output may not exist yet), and no output may be an input or the other output, where each really
// lands (links followed, dangling ones too). Raises Error.
void checkRunFiles(const RunFiles& files);

// "Written: A and B" (or "A, B and C"), the line of a run's summary that names the files written.
std::string writtenLine(const std::vector<std::string>& paths);

} // namespace awardsync::mark
