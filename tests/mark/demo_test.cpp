// SPDX-License-Identifier: GPL-3.0-or-later
// The demo's whole workflow, headless: the window downloads the demo account from the stand-in
// service (the pauses after each credit list skipped), the demo logbook is written, and
// awardsync-mark marks it with the credits file. The report must hold exactly the four QSOs the demo
// logbook gets wrong, and the standings page must pass tidy and show confirmed and worked cells besides
// the credited ones.
#include "app/main_form.h"
#include "tests/support/files.h"
#include "tests/support/mock_service.h"
#include "tests/support/program_run.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using awardsync::testing::MockService;
using awardsync::testing::ProgramRun;
using awardsync::testing::readBytes;
using awardsync::testing::runProgram;
using awardsync::testing::writeBytes;

TEST(Demo, DownloadThenMarkTheDemoLogbook) {
    const QString scenarioPath = QStringLiteral(AWARDSYNC_SOURCE_DIR "/tools/demo/demo-scenario.json");
    MockService mock(readBytes(scenarioPath));
    QTemporaryDir dir;
    const QString records = dir.filePath("awardsync.txt");
    const QString log = dir.filePath("demo-log.adi");
    writeBytes(dir.filePath("awardsync.ini"),
               "[Settings]\nCall=Q1DEMO\nPassword=demo\nTextFile=" + records.toStdString() +
                   "\nAccount=1\nSSB=1\n[Service]\nEndpoint=" + mock.endpoint() + "\nCAFile=" + mock.certFile() + "\n");
    TMainForm::Seams seams;
    seams.executablePath = dir.filePath("awardsync");
    seams.showError = [](const QString&, const QString& text) { ADD_FAILURE() << text.toStdString(); };
    seams.pause = [](std::chrono::milliseconds) {};
    {
        TMainForm form(seams);
        form.show();
        form.PumpMessages();
        form.BitBtn1->click();
        form.PumpMessages();
    }
    ASSERT_TRUE(QFile::exists(records));

    ASSERT_EQ(runProgram(QStringLiteral(AWARDSYNC_DEMO_LOG_PROGRAM), {scenarioPath, log}).status, 0);
    const QString page = dir.filePath("standings.html");
    const QString credits = dir.filePath("awardsync-credits.adi");
    const ProgramRun marked =
        runProgram(QStringLiteral(AWARDSYNC_MARK_PROGRAM), {QStringLiteral("--standings"), page, credits, log});
    EXPECT_EQ(marked.status, 1) << marked.out;
    std::vector<std::string> lines;
    for (std::size_t begin = 0, end; (end = marked.out.find('\n', begin)) != std::string::npos; begin = end + 1) {
        lines.push_back(marked.out.substr(begin, end - begin));
    }
    ASSERT_GE(lines.size(), 5u) << marked.out;
    const char* const reasons[] = {"is in the log, but not on", "the nearest QSO is 120 minutes later", "no QSO with",
                                   "ambiguous, 2 QSOs equally near"};
    for (const char* reason : reasons) {
        EXPECT_EQ(std::count_if(lines.begin(), lines.begin() + 4,
                                [&](const std::string& line) { return line.find(reason) != std::string::npos; }),
                  1)
            << reason << "\n"
            << marked.out;
    }
    EXPECT_EQ(lines[4], "") << marked.out;
    EXPECT_EQ(lines[7], "Unmatched: 4 (ambiguous 1)") << marked.out;
    // The log's confirmed QSOs beyond the credits are what the next application claims.
    EXPECT_NE(lines[11].find(" confirmed, not credited)"), std::string::npos) << marked.out;
    EXPECT_EQ(lines[11].find("(+0 "), std::string::npos) << marked.out;
    const std::string bad = readBytes(dir.filePath("awardsync-credits_bad.adi"));
    std::size_t unmatched = 0;
    for (std::size_t at = 0; (at = bad.find("<EOR>", at)) != std::string::npos; ++at) {
        ++unmatched;
    }
    EXPECT_EQ(unmatched, 4u) << bad;
    // The demo's standings page, as clean HTML as tidy knows it.
    const std::string html = readBytes(page);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("<td class=\"c\""), std::string::npos);
    EXPECT_NE(html.find("<td class=\"w\""), std::string::npos);
    EXPECT_EQ(runProgram(QStringLiteral("tidy"), {QStringLiteral("-q"), QStringLiteral("-e"), page}).status, 0);
    std::printf("%s", marked.out.c_str()); // the README quotes this
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
