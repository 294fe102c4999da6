// SPDX-License-Identifier: GPL-3.0-or-later
// awardsync-mark as a user runs it: the real program in a temporary folder, judged by its exit
// status, its two output files and what it prints.
#include "mark/marking.h"
#include "tests/support/files.h"
#include "tests/support/mark_fixtures.h"
#include "tests/support/program_run.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace {

using awardsync::testing::readBytes;
using awardsync::testing::writeBytes;

const std::string& Log = awardsync::testing::FixtureLog;
const std::string Matching = "Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n";
const std::string Unmatched = "Q2ABC|001|2009/07/15|09:00:00|CW|80M|QSL|";

using Outcome = awardsync::testing::ProgramRun;

class MarkCli : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    Outcome run(const QStringList& arguments, const QString& standardInput = {}, const QString& standardOutput = {},
                const QString& shell = {}) {
        awardsync::testing::ProgramSetup setup;
        setup.workingDirectory = dir.path();
        setup.standardInputFile = standardInput;
        setup.standardOutputFile = standardOutput;
        if (!shell.isEmpty()) { // a command line of bytes that are not UTF-8, which only a shell can spell
            return awardsync::testing::runProgram("/bin/sh", {"-c", shell, AWARDSYNC_MARK_PROGRAM}, setup);
        }
        return awardsync::testing::runProgram(QStringLiteral(AWARDSYNC_MARK_PROGRAM), arguments, setup);
    }
    std::string entries() const {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden)
            .join(' ')
            .toStdString();
    }
    mode_t modeOf(const char* name) const {
        struct stat status {};
        EXPECT_EQ(::stat(path(name).toLocal8Bit().constData(), &status), 0) << name;
        return status.st_mode & 07777;
    }
    QTemporaryDir dir;
};

TEST_F(MarkCli, EveryCreditMatched) {
    writeBytes(path("credits.txt"), Matching);
    writeBytes(path("my.log.adi"), Log);
    writeBytes(path("credits_bad.txt"), "stale\r\n");
    const Outcome result = run({"credits.txt", "my.log.adi"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Credits read: 1\nMatched: 1 (LoTW 1, card 0)\nUnmatched: 0 (ambiguous 0)\nQSOs marked: 1\n"
              "Marked: DXCC 1\nQSOs already holding the credit: 0\nCredited entities: Mixed 1, CW 0, Phone 0, "
              "Digital 0, Challenge 0 (+0 confirmed, not credited)\nWritten: my.log-granted.adi and credits_bad.txt\n");
    std::string expected = Log;
    expected.insert(expected.find("<EOR>"), "<CREDIT_GRANTED:9>DXCC:LOTW");
    EXPECT_EQ(readBytes(path("my.log-granted.adi")), expected);
    EXPECT_EQ(readBytes(path("credits_bad.txt")), "");
}

TEST_F(MarkCli, UnmatchedCreditsOutputOptionsAndOnlyMarked) {
    writeBytes(path("credits"), Matching + Unmatched + "\r\n");
    writeBytes(path("log.adi"), Log);
    const Outcome result = run({"--only-marked", "--output", "out.adi", "credits", "log.adi"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out.substr(0, result.out.find('\n')),
              "line 2 " + Unmatched +
                  ": Q2ABC is in the log, but not on 80M; nearest: Q2ABC 2009-07-15 09:00 40M CW (log line 3)");
    EXPECT_NE(result.out.find("\nUnmatched: 1 (ambiguous 0)\n"), std::string::npos);
    EXPECT_EQ(readBytes(path("credits_bad.txt")), Unmatched + "\r\n");
    EXPECT_EQ(readBytes(path("out.adi")),
              "<ADIF_VER:5>3.1.4<EOH>\r\n<CALL:5>Q1ABC<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20090714<TIME_ON:4>1805"
              "<CREDIT_GRANTED:9>DXCC:LOTW<EOR>\r\n");
    EXPECT_EQ(readBytes(path("log.adi")), Log);
}

TEST_F(MarkCli, ErrorsWriteNothingAndKeepEarlierOutputs) {
    writeBytes(path("credits.txt"), Matching);
    writeBytes(path("log.adi"), Log + "<CALL:50>Q3<EOR>");
    writeBytes(path("log-granted.adi"), "earlier");
    writeBytes(path("credits_bad.txt"), "earlier bad");
    const Outcome bad = run({"credits.txt", "log.adi"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err, "awardsync-mark: log.adi: byte " + std::to_string(Log.size()) +
                           " (QSO record 3): the length 50 of <CALL> runs past the end of the file\n");
    EXPECT_EQ(readBytes(path("log-granted.adi")), "earlier");
    EXPECT_EQ(readBytes(path("credits_bad.txt")), "earlier bad");

    writeBytes(path("log.adi"), Log);
    for (const QStringList& arguments :
         {QStringList{"credits.txt"}, QStringList{"--bogus", "credits.txt", "log.adi"},
          QStringList{"credits.txt", "missing.adi"}, QStringList{"-o", "log.adi", "credits.txt", "log.adi"},
          QStringList{"log.adi", "credits.txt"}}) {
        const Outcome refused = run(arguments);
        EXPECT_EQ(refused.status, 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(refused.out, "") << arguments.join(' ').toStdString();
        EXPECT_EQ(refused.err.rfind("awardsync-mark: ", 0), 0u) << refused.err;
    }
    EXPECT_EQ(readBytes(path("log-granted.adi")), "earlier");
    EXPECT_EQ(readBytes(path("log.adi")), Log);

    // The second file refused: the first one, already written, does not replace its predecessor.
    ASSERT_TRUE(QFile::remove(path("credits_bad.txt")));
    ASSERT_EQ(::mkfifo(path("credits_bad.txt").toLocal8Bit().constData(), 0600), 0);
    const Outcome pipe = run({"credits.txt", "log.adi"});
    EXPECT_EQ(pipe.status, 2);
    EXPECT_EQ(pipe.err, "awardsync-mark: the file of unmatched credits \"credits_bad.txt\" is not a regular file\n");
    EXPECT_EQ(readBytes(path("log-granted.adi")), "earlier");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden).size(),
              4); // no temporary file left
}

TEST_F(MarkCli, CancelledFromTheProgressHookWritesNothing) {
    writeBytes(path("credits.txt"), "\xEF\xBB\xBF" + Matching);
    writeBytes(path("log.adi"), Log);
    awardsync::mark::MarkOptions options{path("credits.txt").toStdString(), path("log.adi").toStdString(), "", false};
    std::vector<awardsync::mark::MarkPhase> phases;
    const auto cancelWhileWriting = [&](awardsync::mark::MarkPhase phase, std::int64_t, std::int64_t) {
        phases.push_back(phase);
        return phase != awardsync::mark::MarkPhase::Writing;
    };
    EXPECT_THROW(awardsync::mark::markFiles(options, cancelWhileWriting), awardsync::mark::MarkCancelled);
    EXPECT_EQ(phases, std::vector<awardsync::mark::MarkPhase>{awardsync::mark::MarkPhase::Writing});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // the two inputs, no temporary file left

    const awardsync::mark::MarkResult result = awardsync::mark::markFiles(options, {});
    EXPECT_EQ(result.summary.matchedLotw, 1u); // the byte-order mark is no part of the call
    EXPECT_EQ(result.outputPath, path("log-granted.adi").toStdString());
}

TEST_F(MarkCli, AnAdiSourceByItsContentAndWhatIsNone) {
    const std::string matched =
        "\r\n<CALL:5>Q1ABC <QSO_DATE:8>20090714 <TIME_ON:4>1805 <BAND:3>20M <CREDIT_GRANTED:14>DXCC_BAND:LOTW <EOR>";
    const std::string unmatched = "\r\n<CALL:5>Q9ZZZ <QSO_DATE:8>20090714 <BAND:3>20M <CREDIT_GRANTED:4>DXCC <EOR>";
    writeBytes(path("my.credits"), "credits\r\n<EOH>" + matched + unmatched + "\r\n");
    writeBytes(path("log.adi"), Log);
    const Outcome result = run({"my.credits", "log.adi"});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find('\n')),
              "record 2 Q9ZZZ 2009-07-14 20M (no mode): no QSO with Q9ZZZ in the log");
    EXPECT_NE(result.out.find("\nMarked: DXCC_BAND 1\n"), std::string::npos) << result.out;
    EXPECT_EQ(readBytes(path("my_bad.adi")), "credits\r\n<EOH>" + unmatched + "\r\n");

    writeBytes(path("notes.txt"), "just notes\n");
    const Outcome refused = run({"notes.txt", "log.adi"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("notes.txt holds no credits: credits are read from a records file"), std::string::npos)
        << refused.err;
}

// A record whose length runs into its <EOR> is named before the report, and its credit counts as unmatched.
TEST_F(MarkCli, ARecordOfUntrustedLengthsIsAWarning) {
    std::string log = Log;
    log.insert(log.find("<EOR>"), "<COMMENT:3>ab");
    writeBytes(path("credits.txt"), Matching);
    writeBytes(path("log.adi"), log);
    const Outcome result = run({"credits.txt", "log.adi"});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find("\n\n")),
              "Warning: log.adi: record 1: a field's length runs into the next tag; the QSO is not marked "
              "(<COMMENT:3> at byte 94)\n"
              "line 1 Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|: no QSO with Q1ABC in the log");
    EXPECT_EQ(readBytes(path("log-granted.adi")), log);
}

// A credit source with nothing in it is refused like one without credits: marking it would write a copy
// of the log as if every credit had matched.
TEST_F(MarkCli, AnEmptyCreditSourceIsRefusedAndWritesNothing) {
    writeBytes(path("log.adi"), Log);
    for (const char* name : {"credits.txt", "credits.adi"}) {
        for (const std::string& bytes :
             {std::string(), std::string(" \r\n\t\n"), std::string("\xEF\xBB\xBF"), std::string("\x01\x1F\r\n\x0B")}) {
            writeBytes(path(name), bytes);
            const Outcome refused = run({name, "log.adi"});
            EXPECT_EQ(refused.status, 2) << name << " " << refused.out;
            EXPECT_EQ(refused.out, "");
            EXPECT_EQ(refused.err.rfind("awardsync-mark: " + std::string(name) +
                                            " holds no credits: credits are read from a records file",
                                        0),
                      0u)
                << refused.err;
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).join(' '),
                      QString::fromUtf8(name) + " log.adi");
            ASSERT_TRUE(QFile::remove(path(name)));
        }
    }
}

// A tag of 20 MB in the log or in the credit source: the message quotes a short cut excerpt of it.
TEST_F(MarkCli, AHugeTagIsQuotedCut) {
    const std::string letters(20'000'000, 'A');
    const std::string credit = "<CALL:5>Q1ABC<QSO_DATE:8>20090714<BAND:3>20M<CREDIT_GRANTED:4>DXCC<EOR>\r\n";
    for (const std::string& tag : {"<" + letters, "<" + letters + ":5>x", "<" + letters + ":5:D",
                                   "<CALL:" + std::string(20'000'000, '7') + ">x"}) {
        for (const bool inLog : {true, false}) {
            writeBytes(path("credits.adi"), inLog ? credit : credit + tag);
            writeBytes(path("log.adi"), inLog ? Log + tag : Log);
            const Outcome refused = run({"credits.adi", "log.adi"});
            EXPECT_EQ(refused.status, 2);
            EXPECT_LT(refused.err.size(), 400u) << refused.err.substr(0, 400);
            EXPECT_NE(refused.err.find("..."), std::string::npos) << refused.err.substr(0, 400);
            EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1);
        }
    }
}

// The application list by medium: each file holds the QSOs of its own medium, and a path that another
// output takes is refused before anything is written.
TEST_F(MarkCli, ApplicationListPerMedium) {
    const std::string lotw =
        "\r\n<CALL:4>DL1A<DXCC:3>230<BAND:3>20M<MODE:2>CW<QSO_DATE:8>20200101<LOTW_QSL_RCVD:1>Y<EOR>";
    const std::string card = "\r\n<CALL:4>JA1A<DXCC:3>339<BAND:3>20M<MODE:2>CW<QSO_DATE:8>20200102<LOTW_QSL_RCVD:1>N"
                             "<QSL_RCVD:1>Y<EOR>";
    writeBytes(path("credits.txt"), Matching);
    writeBytes(path("log.adi"), "<EOH>" + card + lotw + "\r\n");
    const Outcome written = run({"--standings-only", "--apply-cards", "c.adi", "--apply-lotw", "l.adi", "--apply",
                                 "a.adi", "credits.txt", "log.adi"});
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_NE(written.out.find("Written: a.adi, l.adi and c.adi\n"), std::string::npos) << written.out;
    const auto records = [&](const char* name) {
        const std::string adi = readBytes(path(name));
        return adi.substr(adi.find("<EOH>") + 5);
    };
    EXPECT_EQ(records("l.adi"), lotw + "\r\n");
    EXPECT_EQ(records("c.adi"), card + "\r\n");
    EXPECT_EQ(records("a.adi"), card + lotw + "\r\n");

    const Outcome refused = run({"--apply-lotw", "x.adi", "--apply-cards", "x.adi", "credits.txt", "log.adi"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "awardsync-mark: the standings output \"x.adi\" would replace an input or another output; "
                           "choose another name\n");
    EXPECT_FALSE(QFile::exists(path("x.adi")));
    EXPECT_FALSE(QFile::exists(path("log-granted.adi")));
}

// An output lands where its links lead, dangling ones too, and every output is complete before the first
// replaces its predecessor: a run refused for either leaves every file as it was.
TEST_F(MarkCli, AnOutputThatIsAnotherFileOrCannotBeSavedLeavesEveryFileAsItWas) {
    const std::string output = "would replace an input or the other output; choose another name with --output";
    const std::string stem(242, 'x'); // and 8 letters more: a name that ".XXXXXX" makes too long
    const QString page = QString::fromStdString(stem + "abc.html"), list = QString::fromStdString(stem + "abcd.adi");
    const QStringList inputs = {"credits.txt", "log.adi"};
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    const std::tuple<std::string, std::string, QStringList, std::string> cases[] = {
        // link, target, arguments
        {"credits_bad.txt", "credits.txt", inputs,
         "the unmatched credits would go to \"credits_bad.txt\", which is the credits file; rename the credits file"},
        {"credits_bad.txt", "log-granted.adi", inputs, "the output \"log-granted.adi\" " + output},
        {"sub/out.adi", "../credits_bad.txt", QStringList{"-o", "sub/out.adi"} + inputs,
         "the output \"sub/out.adi\" " + output},
        {"p.html", "log-granted.adi", QStringList{"--standings", "p.html"} + inputs,
         "the standings output \"p.html\" would replace an input or another output; choose another name"},
        {"", "", QStringList{"--standings", page} + inputs,
         "cannot write \"" + page.toStdString() + "\": File name too long"},
        {"", "", QStringList{"--standings-only", "--standings", "p.html", "--apply", list} + inputs,
         "cannot write \"" + list.toStdString() + "\": File name too long"},
        {"",
         "",
         {QString::fromStdString(stem + ".txt"), "log.adi"},
         "Cannot create file \"" + path((stem + "_bad.txt").c_str()).toStdString() + "\". File name too long"},
    };
    for (const auto& [link, target, arguments, err] : cases) {
        SCOPED_TRACE(err);
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::System)) {
            ASSERT_TRUE(QFile::remove(dir.filePath(name))); // what an earlier case left
        }
        const QString credits = dir.filePath(arguments[arguments.size() - 2]);
        writeBytes(credits, Matching);
        writeBytes(path("log.adi"), Log);
        ASSERT_TRUE(link.empty() || ::symlink(target.c_str(), path(link.c_str()).toLocal8Bit().constData()) == 0);
        const std::string before = entries();
        const Outcome refused = run(arguments);
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.err, "awardsync-mark: " + err + "\n");
        EXPECT_EQ(entries(), before);
        EXPECT_EQ(readBytes(credits) + readBytes(path("log.adi")), Matching + Log);
        QFile::remove(path("sub/out.adi"));
    }
}

// Each output is never wider than what it is made of (a log holds names and addresses): the log's bits for the
// marked log and the list, the credits file's for the unmatched ones, those of both for the page; an existing
// output is narrowed too. The owner keeps reading and writing it; execute bits go.
TEST_F(MarkCli, OutputsAreNeverWiderThanTheirSources) {
    const char* const outputs[] = {"log-granted.adi", "list.adi", "credits_bad.txt", "p.html"};
    // log, credits, the outputs' before the run (0: none), then the outputs'
    const std::array<mode_t, 7> cases[] = {{0640, 0604, 0, 0640, 0640, 0604, 0600},
                                           {0755, 0444, 0, 0644, 0644, 0644, 0644},
                                           {0640, 0604, 0666, 0640, 0640, 0604, 0600},
                                           {0644, 0644, 0600, 0600, 0600, 0600, 0600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::oct << c[0] << " " << c[1] << " " << c[2]);
        const std::pair<const char*, mode_t> files[] = {{"log.adi", c[0]},  {"credits.txt", c[1]}, {outputs[0], c[2]},
                                                        {outputs[1], c[2]}, {outputs[2], c[2]},    {outputs[3], c[2]}};
        for (const auto& [name, mode] : files) {
            QFile::remove(path(name));
            if (mode != 0) {
                writeBytes(path(name), name == files[0].first ? Log : Matching);
                ASSERT_EQ(::chmod(path(name).toLocal8Bit().constData(), mode), 0);
            }
        }
        ASSERT_EQ(run({"--standings", "p.html", "--apply", "list.adi", "credits.txt", "log.adi"}).status, 0);
        for (std::size_t i = 0; i < std::size(outputs); ++i) {
            EXPECT_EQ(modeOf(outputs[i]), c[3 + i]) << outputs[i] << " " << std::oct << modeOf(outputs[i]);
        }
    }
}

TEST_F(MarkCli, HelpAndVersion) {
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: awardsync-mark [--output FILE] [--only-marked] CREDITS LOG\n", 0), 0u);
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("awardsync-mark ", 0), 0u);
}

// Inputs that are not regular files would hang, never end or put files into /dev: each is refused
// before anything is read, and nothing is written anywhere.
TEST_F(MarkCli, OnlyRegularFilesAreReadOrWritten) {
    writeBytes(path("credits.txt"), Matching);
    writeBytes(path("log.adi"), Log);
    ASSERT_EQ(::mkfifo(path("pipe.adi").toLocal8Bit().constData(), 0600), 0);
    struct Case {
        QStringList arguments;
        QString standardInput;
        std::string err;
    };
    const Case cases[] = {
        {{"/dev/zero", "log.adi"}, {}, "the credits file \"/dev/zero\" is not a regular file"},
        {{"credits.txt", "/dev/urandom"}, {}, "the log \"/dev/urandom\" is not a regular file"},
        {{"credits.txt", "pipe.adi"}, {}, "the log \"pipe.adi\" is not a regular file"},
        {{"credits.txt", "/dev/stdin"}, path("log.adi"), "the log \"/dev/stdin\" is not a regular file"},
        {{"credits.txt", "/proc/self/fd/0"}, path("log.adi"), "the log \"/proc/self/fd/0\" is not a regular file"},
        {{"-o", "/dev/null", "credits.txt", "log.adi"}, {}, "the output \"/dev/null\" is not a regular file"},
        {{"-o", "", "credits.txt", "log.adi"}, {}, "an empty output name"},
        {{"--output=", "credits.txt", "log.adi"}, {}, "an empty output name"},
    };
    for (const Case& c : cases) {
        const Outcome refused = run(c.arguments, c.standardInput);
        EXPECT_EQ(refused.status, 2) << c.err;
        EXPECT_EQ(refused.err.substr(0, refused.err.find('\n')), "awardsync-mark: " + c.err);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 3);
    EXPECT_FALSE(QFile::exists("/dev/stdin-granted"));
}

TEST_F(MarkCli, MessagesAreOneLineWithControlCharactersAndForeignBytesEscaped) {
    writeBytes(path("credits.txt"), Matching);
    const struct {
        std::string log;
        std::string err;
    } cases[] = {
        {"<EOH><CALL:5\x1b[2J>Q1ABC<EOR>",
         "log.adi: byte 5 (QSO record 1): the length in \"<CALL:5\\x1b[2J>\" is not a number\n"},
        {"<EOH><CALL:5\n>Q1ABC<EOR>",
         "log.adi: byte 5 (QSO record 1): the length in \"<CALL:5\\n>\" is not a number\n"},
        {std::string("\xFF\xFE<\0E\0", 6), "log.adi: byte 0: UTF-16 text: save the file as UTF-8\n"},
    };
    for (const auto& c : cases) {
        writeBytes(path("log.adi"), c.log);
        const Outcome refused = run({"credits.txt", "log.adi"});
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.err, "awardsync-mark: " + c.err);
    }

    // A name that is not UTF-8 is opened by its bytes and shown escaped.
    writeBytes(path("log.adi"), Log);
    ASSERT_EQ(::rename(path("log.adi").toLocal8Bit().constData(), (path("l").toStdString() + "\xf6g.adi").c_str()), 0);
    const Outcome marked = run({}, {}, {}, "exec \"$0\" credits.txt \"$(printf 'l\\366g.adi')\"");
    EXPECT_EQ(marked.status, 0) << marked.err;
    EXPECT_NE(marked.out.find("Written: l\\xf6g-granted.adi and credits_bad.txt\n"), std::string::npos) << marked.out;
    struct stat status {};
    EXPECT_EQ(::stat((path("l").toStdString() + "\xf6g-granted.adi").c_str(), &status), 0);
}

TEST_F(MarkCli, AReportThatCannotBePrintedIsAnError) {
    writeBytes(path("credits.txt"), Matching + Unmatched + "\r\n");
    writeBytes(path("log.adi"), Log);
    const Outcome full = run({"credits.txt", "log.adi"}, {}, "/dev/full");
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err, "awardsync-mark: the report could not be printed (standard output is full or closed); "
                        "Written: log-granted.adi and credits_bad.txt\n");
    EXPECT_EQ(readBytes(path("credits_bad.txt")), Unmatched + "\r\n");
}

} // namespace

namespace {

// A run under a cap of `kib` KiB of address space (ulimit -v).
[[maybe_unused]] Outcome runCapped(const QString& folder, long kib, const QStringList& arguments) {
    awardsync::testing::ProgramSetup setup;
    setup.workingDirectory = folder;
    return awardsync::testing::runProgram(
        "/bin/sh",
        QStringList{"-c", "ulimit -v " + QString::number(kib) + " && exec \"$0\" \"$@\"", AWARDSYNC_MARK_PROGRAM} +
            arguments,
        setup);
}

} // namespace

// A credit source too large for the memory left is refused in words that name it, not as "std::bad_alloc".
TEST_F(MarkCli, RunningOutOfMemoryNamesTheFile) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any cap allows";
#else
    writeBytes(path("log.adi"), Log);
    writeBytes(path("one.txt"), Matching);
    std::string lines;
    for (int n = 0; n < 400'000; ++n) { // 18 MB
        lines += "Q" + std::to_string(n) + "|001|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n";
    }
    writeBytes(path("many.txt"), lines);
    // The least address space a run of one credit needs, to the next 8 MiB; then room for the file and 8 MiB.
    long low = 16 << 10, high = 4 << 20;
    ASSERT_EQ(runCapped(dir.path(), high, {"-o", "probe.adi", "one.txt", "log.adi"}).status, 0);
    while (high - low > 8 << 10) {
        const long middle = (low + high) / 2;
        (runCapped(dir.path(), middle, {"-o", "probe.adi", "one.txt", "log.adi"}).status == 0 ? high : low) = middle;
    }
    const Outcome result =
        runCapped(dir.path(), high + static_cast<long>(lines.size() >> 10) + (8 << 10), {"many.txt", "log.adi"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("not enough memory"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("many.txt"), std::string::npos) << result.err;
    EXPECT_FALSE(QFile::exists(path("log-granted.adi")));
#endif
}
