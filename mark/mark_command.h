// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace awardsync::mark {

// The command line: `awardsync-mark [--output FILE] [--only-marked] CREDITS LOG`, --help, --version.
// Prints the report and the summary to `out`, errors to `err`; returns the exit status: 0 when every
// credit matched, 1 when some did not, 2 on an error (nothing written).
int runMarkCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace awardsync::mark
