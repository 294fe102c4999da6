// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/error.h"
#include "core/settings_file.h"
#include "tests/support/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using awardsync::parseSettingsInteger;
using awardsync::SettingsFile;
using awardsync::testing::readBytes;
using awardsync::testing::writeBytes;

namespace {

TEST(SettingsInteger, ReadsDecimalHexSignsAndRefusesTheRest) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {"0", 0},
        {"21", 21},
        {"0x0A", 10},
        {"0X0a", 10},
        {"$0A", 10},
        {"  7", 7},
        {"+5", 5},
        {"-3", -3},
        {"-$A", -10},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"7 ", std::nullopt},
        {"2147483648", std::nullopt},
        {"$100000000", std::nullopt},
        {"1e3", std::nullopt},
        {"no", std::nullopt},
        {"\t7", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseSettingsInteger(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(SettingsFileRead, FollowsTheProfileRules) {
    const std::string content = "; a comment=1\r\n"
                                "[other]\r\n"
                                "Call=wrong section\r\n"
                                "[ settings ]\r\n"
                                "  CALL  =  Q1ABC  \r\n"
                                "Password=\"  spaced  \"\r\n"
                                "Quoted='x'\r\n"
                                "Empty=\r\n"
                                "Call=second entry is ignored\r\n"
                                "Account=0x0A\r\n"
                                "SSB=no\r\n";
    const SettingsFile file("unused.ini", content);
    struct Case {
        const char* key;
        const char* fallback;
        std::string expected;
    };
    const Case cases[] = {
        {"call", "", "Q1ABC"},    {"Password", "", "  spaced  "},    {"Quoted", "", "x"},
        {"Empty", "default", ""}, {"Missing", "default", "default"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file.readString("Settings", c.key, c.fallback), c.expected) << c.key;
    }
    EXPECT_EQ(file.readString("Missing", "Call", "none"), "none");
    EXPECT_EQ(file.readInteger("Settings", "Account", 1), 10);
    EXPECT_TRUE(file.readBool("Settings", "SSB", true));
    EXPECT_FALSE(file.readBool("Settings", "SSB", false));
    EXPECT_FALSE(file.readBool("Settings", "Empty", false));
}

TEST(SettingsFileRead, CutsLongValuesTo2047Characters) {
    const std::string longName(3000, 'K');
    const SettingsFile ascii("unused.ini", "[Settings]\nCall=" + longName + "\n");
    EXPECT_EQ(ascii.readString("Settings", "Call", ""), longName.substr(0, 2047));

    std::string accented;
    for (int i = 0; i < 2100; ++i) {
        accented += "\xC3\xA9"; // one character, two bytes: never cut in the middle
    }
    const SettingsFile wide("unused.ini", "[Settings]\nCall=" + accented + "\n");
    EXPECT_EQ(wide.readString("Settings", "Call", ""), accented.substr(0, 2 * 2047));

    const SettingsFile windows("unused.ini", "[Settings]\nCall=" + std::string(3000, '\xE9') + "\n");
    EXPECT_EQ(windows.readString("Settings", "Call", "").size(), 2 * 2047); // counted after reading
}

TEST(SettingsFileRead, AValueThatIsNotUtf8IsReadAsWindows1252) {
    const SettingsFile file("unused.ini", "[Settings]\r\n"
                                          "Call=Q1\xC3\xA9\r\n"
                                          "Password=s\xE9\x80r\x81t\r\n"
                                          "TextFile=\xC3\xA9\xE9\r\n");
    struct Case {
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"Call", "Q1\u00E9"},                  // valid UTF-8 as it is
        {"Password", "s\u00E9\u20ACr\u0081t"}, // the undefined 0x81 kept as U+0081
        {"TextFile", "\u00C3\u00A9\u00E9"},    // decided for the whole value
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file.readString("Settings", c.key, ""), c.expected) << c.key;
    }
}

TEST(SettingsFileWrite, ChangesOnlyItsOwnLines) {
    struct Case {
        const char* what;
        std::string before;
        std::string after;
    };
    const Case cases[] = {
        {"new file", "", "[Settings]\nCall=Q1ABC\nSSB=1\n"},
        {"other sections and comments survive",
         "; keep me\r\n[Window]\r\nLeft=10\r\n\r\n[SETTINGS]\r\ncall=old\r\nExtra=keep \t \r\n\r\n[Tail]\r\nx=1",
         "; keep me\r\n[Window]\r\nLeft=10\r\n\r\n[SETTINGS]\r\nCall=Q1ABC\r\nExtra=keep \t "
         "\r\nSSB=1\r\n\r\n[Tail]\r\nx=1"},
        {"section appended after a last line without line end", "[Other]\na=b",
         "[Other]\na=b\n[Settings]\nCall=Q1ABC\nSSB=1\n"},
    };
    for (const Case& c : cases) {
        SettingsFile file("unused.ini", c.before);
        file.writeString("Settings", "Call", "Q1ABC");
        file.writeString("Settings", "SSB", "1");
        EXPECT_EQ(file.content(), c.after) << c.what;
    }
}

TEST(SettingsFile, AByteOrderMarkIsSkippedOnReadingAndKeptOnWriting) {
    SettingsFile file("unused.ini", "\xEF\xBB\xBF[Settings]\r\nCall=Q1ABC\r\n");
    EXPECT_EQ(file.readString("Settings", "Call", ""), "Q1ABC");
    file.writeString("Settings", "SSB", "1");
    EXPECT_EQ(file.content(), "\xEF\xBB\xBF[Settings]\r\nCall=Q1ABC\r\nSSB=1\r\n");
}

TEST(SettingsFileWrite, ValuesComeBackAsWritten) {
    for (const char* value :
         {"", "plain", "  lead", "trail ", "\"quoted\"", "'single'", "a=b;c", "\xC3\xA9t\xC3\xA9"}) {
        SettingsFile file("unused.ini", "");
        file.writeString("Settings", "Password", value);
        const SettingsFile reread("unused.ini", file.content());
        EXPECT_EQ(reread.readString("Settings", "Password", "absent"), value);
    }
}

TEST(SettingsFileDisk, NewFileIsPrivateAndExistingBytesSurvive) {
    QTemporaryDir dir;
    const QString path = dir.filePath("awardsync.ini");

    SettingsFile created(path);
    created.writeString("Settings", "Password", "secret");
    created.flush();
    struct stat info {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const std::string original = "# hand-written\r\n[Settings]\r\nPassword=secret\r\n[Mine]\r\nkeep=\xFF\xFE raw\r\n";
    writeBytes(path, original);
    SettingsFile unchanged(path);
    unchanged.writeString("Settings", "Password", "secret");
    unchanged.flush();
    EXPECT_EQ(readBytes(path), original);
}

TEST(SettingsFileDisk, RefusedWritesSayWhereAndKeepTheFile) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("readonly");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/awardsync.ini";
    writeBytes(path, "[Settings]\nCall=old\n");
    ASSERT_EQ(::chmod(folder.toLocal8Bit().constData(), 0555), 0);

    SettingsFile file(path);
    file.writeString("Settings", "Call", "new");
    try {
        file.flush();
        ADD_FAILURE() << "the write into a read-only folder was not refused";
    } catch (const awardsync::Error& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path.toStdString());
    }
    ::chmod(folder.toLocal8Bit().constData(), 0755);
    EXPECT_EQ(readBytes(path), "[Settings]\nCall=old\n");

    const QString blocked = dir.filePath("blocked.ini");
    ASSERT_TRUE(QDir().mkpath(blocked)); // a folder where the file should be
    SettingsFile onFolder(blocked);
    onFolder.writeString("Settings", "Call", "new");
    EXPECT_THROW(onFolder.flush(), awardsync::Error);
}

TEST(SettingsFileDisk, APipeIsNeitherReadNorReplaced) {
    QTemporaryDir dir;
    const QString path = dir.filePath("awardsync.ini");
    ASSERT_EQ(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);

    SettingsFile file(path); // would wait for a writer, were the pipe opened
    EXPECT_EQ(file.readString("Settings", "Call", "none"), "none");
    file.writeString("Settings", "Call", "new");
    try {
        file.flush();
        ADD_FAILURE() << "the pipe was replaced";
    } catch (const awardsync::Error& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path.toStdString());
    }
    struct stat info {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

} // namespace
