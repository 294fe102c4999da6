// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/atomic_save.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using awardsync::AtomicFile;
using awardsync::saveAtomically;
using awardsync::SaveError;

namespace {

QByteArray nameOf(const QString& path) {
    return QFile::encodeName(path);
}

// A socket node at `path`, as a running server leaves it.
void makeSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, nameOf(path).constData(), sizeof address.sun_path - 1);
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(fd);
    ASSERT_EQ(bound, 0) << path.toStdString();
}

struct stat statusOf(const QString& path, bool followLink) {
    struct stat status {};
    EXPECT_EQ(followLink ? ::stat(nameOf(path).constData(), &status) : ::lstat(nameOf(path).constData(), &status), 0);
    return status;
}

// The node's kind and, through a link, its target's.
std::pair<mode_t, mode_t> kindOf(const QString& path) {
    return {statusOf(path, false).st_mode & S_IFMT, statusOf(path, true).st_mode & S_IFMT};
}

TEST(AtomicSave, OnlyARegularFileOrALinkToOneIsReplaced) {
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(nameOf(dir.filePath("pipe")).constData(), 0666), 0);
    makeSocket(dir.filePath("socket"));
    QFile regular(dir.filePath("regular"));
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
    regular.close();
    for (const char* target : {"pipe", "socket", "regular"}) {
        ASSERT_TRUE(QFile::link(dir.filePath(target), dir.filePath(QString("link-to-") + target)));
    }

    struct Case {
        const char* name;
        bool saved;
    };
    const Case cases[] = {
        {"pipe", false},           {"socket", false}, {"link-to-pipe", false},
        {"link-to-socket", false}, {"regular", true}, {"link-to-regular", true},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(c.name);
        const auto kind = kindOf(path);
        const ino_t node = statusOf(path, true).st_ino;
        std::string refusal;
        try {
            saveAtomically(path, "new\n");
        } catch (const SaveError& error) {
            EXPECT_EQ(error.stage(), SaveError::Stage::Create) << c.name;
            refusal = error.what();
        }
        EXPECT_EQ(refusal, c.saved ? "" : "Not a regular file") << c.name;
        // A refused node is the very same node; a link stays a link.
        EXPECT_EQ(kindOf(path), kind) << c.name;
        if (!c.saved) {
            EXPECT_EQ(statusOf(path, true).st_ino, node) << c.name;
        }
    }
    QFile saved(dir.filePath("regular"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "new\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              6); // no temporary file left behind
}

QStringList entriesOf(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(AtomicSave, AFullDiskIsReportedInTheSystemsWordsAndReplacesNothing) {
    QTemporaryDir dir;
    const std::string path = nameOf(dir.filePath("log.adi")).toStdString();
    saveAtomically(dir.filePath("log.adi"), "old");
    for (const auto kind : {awardsync::TemporaryKind::Unnamed, awardsync::TemporaryKind::Named}) {
        AtomicFile file(path, {}, kind);
        int calls = 0;
        // The first write takes part of the bytes, as a disk that fills up does; the next one fails.
        file.setRawWriter([&](int fd, const char* data, std::size_t) -> long {
            if (++calls == 1) {
                return ::write(fd, data, 2);
            }
            errno = ENOSPC;
            return -1;
        });
        try {
            file.write("abcdef", 6);
            ADD_FAILURE() << "a full disk went unnoticed";
        } catch (const SaveError& error) {
            EXPECT_EQ(error.stage(), SaveError::Stage::Write);
            EXPECT_STREQ(error.what(), "No space left on device");
        }
    }
    QFile old(dir.filePath("log.adi"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
    EXPECT_EQ(entriesOf(dir), QStringList{"log.adi"});
}

TEST(AtomicSave, ANameThatIsNotUtf8IsWrittenByItsBytes) {
    QTemporaryDir dir;
    const std::string path = nameOf(dir.path()).toStdString() + "/l\xf6g.adi";
    AtomicFile file(path);
    file.write("abc", 3);
    file.commit();
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_size, 3);
}

// A named temporary file (the kind a file system without unnamed ones gets) is removed when the
// program is interrupted while writing it; the program still ends by the signal.
TEST(AtomicSaveDeathTest, AnInterruptRemovesThePendingTemporaryFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const int signal : {SIGINT, SIGTERM}) {
        QTemporaryDir dir;
        const std::string path = nameOf(dir.filePath("log.adi")).toStdString();
        EXPECT_EXIT(
            {
                AtomicFile file(path, {}, awardsync::TemporaryKind::Named);
                file.write("abc", 3);
                std::fprintf(stderr, "entries %d\n", static_cast<int>(entriesOf(dir).size()));
                std::raise(signal);
            },
            ::testing::KilledBySignal(signal), "entries 1");
        EXPECT_EQ(entriesOf(dir), QStringList{});
    }
}

} // namespace
