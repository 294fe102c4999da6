// SPDX-License-Identifier: GPL-3.0-or-later
#include "program_run.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace awardsync::testing {

ProgramRun runProgram(const QString& program, const QStringList& arguments, const ProgramSetup& setup) {
    QProcess process;
    if (!setup.workingDirectory.isEmpty()) {
        process.setWorkingDirectory(setup.workingDirectory);
    }
    if (!setup.standardInputFile.isEmpty()) {
        process.setStandardInputFile(setup.standardInputFile);
    }
    if (!setup.standardOutputFile.isEmpty()) {
        process.setStandardOutputFile(setup.standardOutputFile);
    }
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString() << " did not end";
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

} // namespace awardsync::testing
