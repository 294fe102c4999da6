// SPDX-License-Identifier: GPL-3.0-or-later
// The demo's whole workflow, headless: the window downloads the demo account from the stand-in
// service (the pauses after each credit list skipped), the demo logbook is written, and
// awardsync-mark marks it with the credits file. The report must hold exactly the four QSOs the demo
// logbook gets wrong, and the standings page must pass tidy and show confirmed and worked cells besides
// the credited ones. The demo logbook must look real to a ham: each QSO's mode fits its band, its FREQ
// lies where the band plans put that mode, and FT8 appears only from its release on.
#include "app/main_form.h"
#include "tests/support/files.h"
#include "tests/support/mock_service.h"
#include "tests/support/program_run.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <string>

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

// The demo's bands where the IARU Region 1 and Region 2 band plans agree (Region 2 with the US phone
// sub-bands), in kHz: the band, its CW segment, where phone may go (nowhere on 30 m), the FT8 dial
// frequency and the modes with room on it. Satellite QSOs go in the 2 m satellite sub-band.
struct BandRow {
    const char* band;
    int low, high, cwLow, cwHigh, phoneLow, phoneHigh, ft8;
    const char* modes;
};
constexpr BandRow BandPlans[] = {
    {"160M", 1810, 2000, 1810, 1838, 1843, 2000, 1840, " CW SSB FT8 "},
    {"80M", 3500, 3800, 3500, 3570, 3600, 3800, 3573, " CW SSB FT8 RTTY "},
    {"40M", 7000, 7200, 7000, 7040, 7125, 7200, 7074, " CW SSB FT8 RTTY "},
    {"30M", 10100, 10150, 10100, 10130, 0, 0, 10136, " CW FT8 RTTY "},
    {"20M", 14000, 14350, 14000, 14070, 14150, 14350, 14074, " CW SSB FT8 RTTY "},
    {"17M", 18068, 18168, 18068, 18095, 18110, 18168, 18100, " CW SSB FT8 RTTY "},
    {"15M", 21000, 21450, 21000, 21070, 21200, 21450, 21074, " CW SSB FT8 RTTY "},
    {"12M", 24890, 24990, 24890, 24915, 24930, 24990, 24915, " CW SSB FT8 RTTY "},
    {"10M", 28000, 29700, 28000, 28070, 28300, 29700, 28074, " CW SSB FM FT8 RTTY "},
    {"6M", 50000, 52000, 50000, 50100, 50100, 52000, 50313, " CW SSB FM FT8 "},
    {"2M", 144000, 146000, 144025, 144100, 144150, 146000, 144174, " CW SSB FT8 "},
};

// A field of one record of the demo log, which writes every field as <NAME:LENGTH>VALUE; "" if absent.
std::string valueOf(const std::string& record, const std::string& name) {
    const std::size_t tag = record.find("<" + name + ":");
    if (tag == std::string::npos) {
        return "";
    }
    const std::size_t close = record.find('>', tag);
    return record.substr(close + 1, std::stoul(record.substr(tag + name.size() + 2)));
}

TEST(Demo, LogbookFitsTheBandPlans) {
    QTemporaryDir dir;
    const QString log = dir.filePath("demo-log.adi");
    ASSERT_EQ(runProgram(QStringLiteral(AWARDSYNC_DEMO_LOG_PROGRAM),
                         {QStringLiteral(AWARDSYNC_SOURCE_DIR "/tools/demo/demo-scenario.json"), log})
                  .status,
              0);
    const std::string text = readBytes(log);
    std::size_t records = 0;
    for (std::size_t begin = text.find("<EOH>"), end; (end = text.find("<EOR>", begin)) != std::string::npos;
         begin = end + 5, ++records) {
        const std::string record = text.substr(begin, end - begin);
        SCOPED_TRACE(record);
        const std::string band = valueOf(record, "BAND");
        const std::string mode = valueOf(record, "MODE");
        const auto row = std::find_if(std::begin(BandPlans), std::end(BandPlans),
                                      [&](const BandRow& plan) { return band == plan.band; });
        ASSERT_NE(row, std::end(BandPlans));
        const long khz = std::lround(std::stod(valueOf(record, "FREQ")) * 1000);
        EXPECT_TRUE(khz >= row->low && khz <= row->high);
        if (valueOf(record, "PROP_MODE") == "SAT") {
            EXPECT_TRUE(band == "2M" && khz >= 145800 && (mode == "CW" || mode == "SSB" || mode == "FM"));
            continue;
        }
        EXPECT_NE(std::string(row->modes).find(" " + mode + " "), std::string::npos);
        if (mode == "CW") {
            EXPECT_TRUE(khz >= row->cwLow && khz <= row->cwHigh);
        } else if (mode == "SSB" || mode == "FM") {
            EXPECT_TRUE(khz >= row->phoneLow && khz <= row->phoneHigh);
        } else if (mode == "FT8") {
            EXPECT_EQ(khz, row->ft8);
            EXPECT_GE(valueOf(record, "QSO_DATE"), "20170701") << "FT8 came out in July 2017";
        }
    }
    EXPECT_GT(records, 300u);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
