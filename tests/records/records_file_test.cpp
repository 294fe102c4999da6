// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/error.h"
#include "records/records_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using awardsync::Error;
using awardsync::saveLinesToFile;

namespace {

class RecordsFile : public testing::Test {
protected:
    std::string pathOf(const QString& name) const { return dir_.filePath(name).toStdString(); }

    static QByteArray bytesOf(const std::string& path) {
        QFile file(QString::fromStdString(path));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
        return file.readAll();
    }

    static void writeBytes(const std::string& path, const QByteArray& bytes) {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    // Everything in the folder, so that a temporary file left behind shows up.
    QStringList entries(const QString& subfolder = ".") const {
        return QDir(dir_.filePath(subfolder)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // Runs the save and returns its error message, or "" when it succeeded.
    static std::string messageOf(const std::function<void()>& save) {
        try {
            save();
        } catch (const Error& error) {
            return error.what();
        }
        return {};
    }

    QTemporaryDir dir_;
};

TEST_F(RecordsFile, WritesEveryLineWithCrLfAndNothingElse) {
    const std::string path = pathOf("records.txt");
    writeBytes(path, "a much longer previous content that must not survive\r\n");
    saveLinesToFile({"Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|", "\xC3\x84|\xC2\xA0|", ""}, path);
    EXPECT_EQ(bytesOf(path), QByteArray("Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|\r\n"
                                        "\xC3\x84|\xC2\xA0|\r\n"
                                        "\r\n"));
    EXPECT_EQ(entries(), QStringList{"records.txt"});
}

TEST_F(RecordsFile, NoLinesGiveAZeroByteFile) {
    const std::string fresh = pathOf("fresh.txt");
    saveLinesToFile({}, fresh);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(fresh)));
    EXPECT_EQ(bytesOf(fresh), QByteArray());

    const std::string existing = pathOf("existing.txt");
    writeBytes(existing, "old\r\n");
    saveLinesToFile({}, existing);
    EXPECT_EQ(bytesOf(existing), QByteArray());
}

TEST_F(RecordsFile, ReplacingKeepsThePermissionsOfTheOldFile) {
    const std::string path = pathOf("records.txt");
    writeBytes(path, "old\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    saveLinesToFile({"new"}, path);
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(RecordsFile, SaveThroughALinkReplacesTheTargetAndKeepsTheLink) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("target"));
    const std::string target = pathOf("target/records.txt");
    writeBytes(target, "old\r\n");
    const std::string link = pathOf("link.txt");
    ASSERT_TRUE(QFile::link(QString::fromStdString(target), QString::fromStdString(link)));
    saveLinesToFile({"new"}, link);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(link)).isSymLink());
    EXPECT_EQ(bytesOf(target), QByteArray("new\r\n"));

    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    EXPECT_EQ(messageOf([&] { saveLinesToFile({"newer"}, link); }),
              "Cannot create file \"" + link + "\". Permission denied");
    EXPECT_EQ(bytesOf(target), QByteArray("new\r\n"));
}

TEST_F(RecordsFile, APipeOrALinkToOneIsRefusedAndStaysAPipe) {
    const std::string pipe = pathOf("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
    const std::string link = pathOf("link");
    ASSERT_TRUE(QFile::link(QString::fromStdString(pipe), QString::fromStdString(link)));
    for (const std::string& path : {pipe, link}) {
        EXPECT_EQ(messageOf([&] { saveLinesToFile({"new"}, path); }),
                  "Cannot create file \"" + path + "\". Not a regular file");
        struct stat status {};
        ASSERT_EQ(::stat(pipe.c_str(), &status), 0);
        EXPECT_TRUE(S_ISFIFO(status.st_mode)) << path;
    }
    EXPECT_TRUE(QFileInfo(QString::fromStdString(link)).isSymLink());
}

TEST_F(RecordsFile, FailuresLeaveTheOldFileAsItWas) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("sub"));
    const QByteArray oldBytes = "Q1OLD|001|2001/01/01|00:00:00|CW|40M|QSL|\r\n";
    const std::string oldFile = pathOf("records.txt");
    writeBytes(oldFile, oldBytes);
    const std::string readOnly = pathOf("sub/readonly.txt");
    writeBytes(readOnly, oldBytes);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    // A writable file in a folder that takes no new file: the save cannot put its temporary file there.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("locked"));
    const std::string inLocked = pathOf("locked/records.txt");
    writeBytes(inLocked, oldBytes);
    ASSERT_EQ(::chmod(inLocked.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(pathOf("locked").c_str(), 0555), 0);

    const auto writeHalf = [](QIODevice& file, const QByteArray& content) {
        return file.write(content.left(content.size() / 2));
    };
    const auto writeNothing = [](QIODevice&, const QByteArray&) -> qint64 { return -1; };
    const std::string missingFolder = pathOf("no-such-folder/records.txt");
    const std::string relativeMissing = "no-such-folder-for-records-test/records.txt";
    struct Case {
        const char* what;
        std::function<void()> save;
        std::string expected;
    };
    const std::vector<std::string> lines = {"Q1ABC|001|2009/07/14|18:05:00|SSB|20M|LoTW|", "Q1ABD|002||||QSL|"};
    const Case cases[] = {
        {"read-only file", [&] { saveLinesToFile(lines, readOnly); },
         "Cannot create file \"" + readOnly + "\". Permission denied"},
        {"folder without write access", [&] { saveLinesToFile(lines, inLocked); },
         "Cannot create file \"" + inLocked + "\". Permission denied"},
        {"missing folder", [&] { saveLinesToFile(lines, missingFolder); },
         "Cannot create file \"" + missingFolder + "\". No such file or directory"},
        {"relative path is reported in full", [&] { saveLinesToFile(lines, relativeMissing); },
         "Cannot create file \"" + QDir::current().filePath(QString::fromStdString(relativeMissing)).toStdString() +
             "\". No such file or directory"},
        {"folder in place of a file", [&] { saveLinesToFile(lines, pathOf("sub")); },
         "Cannot create file \"" + pathOf("sub") + "\". Is a directory"},
        {"file in place of a folder", [&] { saveLinesToFile(lines, oldFile + "/records.txt"); },
         "Cannot create file \"" + oldFile + "/records.txt\". Not a directory"},
        {"empty path", [&] { saveLinesToFile(lines, ""); }, "Cannot create file \"\". No such file or directory"},
        {"short write", [&] { saveLinesToFile(lines, oldFile, writeHalf); }, "Stream write error"},
        {"failed write", [&] { saveLinesToFile(lines, oldFile, writeNothing); }, "Stream write error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(messageOf(c.save), c.expected) << c.what;
        EXPECT_EQ(bytesOf(oldFile), oldBytes) << c.what;
        EXPECT_EQ(bytesOf(readOnly), oldBytes) << c.what;
        EXPECT_EQ(bytesOf(inLocked), oldBytes) << c.what;
        EXPECT_EQ(entries(), (QStringList{"locked", "records.txt", "sub"})) << c.what;
        EXPECT_EQ(entries("sub"), QStringList{"readonly.txt"}) << c.what;
        EXPECT_EQ(entries("locked"), QStringList{"records.txt"}) << c.what;
    }
    ASSERT_EQ(::chmod(pathOf("locked").c_str(), 0755), 0); // lets the temporary folder be removed
}

} // namespace
