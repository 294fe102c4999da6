// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <string>

namespace awardsync::testing {

// What a program run gave: its exit status and everything it printed.
struct ProgramRun {
    int status = -1;
    std::string out, err;
};

// Where a program runs and what its standard streams are; empty: the test's own folder, a pipe.
struct ProgramSetup {
    QString workingDirectory;
    QString standardInputFile;
    QString standardOutputFile;
};

// Runs `program` to its end (a minute at most, else the test fails).
ProgramRun runProgram(const QString& program, const QStringList& arguments, const ProgramSetup& setup = {});

} // namespace awardsync::testing
