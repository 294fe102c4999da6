// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/error.h"
#include "core/pending_removal.h"

#include <QByteArray>
#include <QFile>
#include <QFileDevice>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace awardsync {

// How the content reaches the open file; returns the number of bytes written or -1. Saves use
// QIODevice::write; tests pass one that stops early to stand for a full disk.
using ContentWriter = std::function<qint64(QIODevice& file, const QByteArray& content)>;

// A save that failed. Its message is the reason in the system's words; the stage tells the callers,
// which each have their own message, whether the file could not be created or replaced (nothing on
// disk changed) or not all bytes could be written.
class SaveError : public Error {
public:
    enum class Stage { Create, Write };
    SaveError(Stage stage, const std::string& reason) : Error(reason), stage_(stage) {}
    Stage stage() const { return stage_; }

private:
    Stage stage_;
};

// The permission bits of the files a saved file is made of, in common (their modes ANDed). The file
// takes their read and write bits, never wider: an existing file is narrowed to them too. The owner's
// read and write stay on, so that the next save can replace it; execute, set-ID and sticky bits go.
struct SourcePermissions {
    explicit SourcePermissions(unsigned sourceBits) : bits(sourceBits) {}
    unsigned bits;
    // A source that cannot be looked at counts as its owner's alone.
    static SourcePermissions of(const std::vector<std::string>& sources);
};

struct SaveOptions {
    // For a file that does not exist yet; an existing file keeps its own permissions.
    std::optional<QFileDevice::Permissions> newFilePermissions;
    ContentWriter writeContent; // empty: QIODevice::write
    // When given, in place of newFilePermissions and the existing file's own.
    std::optional<SourcePermissions> sourcePermissions;
};

// Where the bytes wait until the commit: a file without a name where the file system offers one
// (nothing is left behind whatever happens), otherwise a named one beside the final place, which an
// uncommitted AtomicFile, a SIGINT or a SIGTERM removes.
enum class TemporaryKind { Unnamed, Named };

// A file saved whole or not at all, written in pieces: opened with the refusals below, it becomes
// the file at its path only through commit(); dropped uncommitted, it leaves the old file as it was.
// Several can be written, prepared and then committed one after the other, so that none replaces its
// predecessor before all are complete. The path is taken as bytes, so names that are not UTF-8 work.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path, std::optional<QFileDevice::Permissions> newFilePermissions = {},
                        TemporaryKind kind = TemporaryKind::Unnamed);
    explicit AtomicFile(const QString& path, std::optional<QFileDevice::Permissions> newFilePermissions = {});
    AtomicFile(const std::string& path, SourcePermissions sources, TemporaryKind kind = TemporaryKind::Unnamed);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();
    QIODevice& device(); // the open temporary file, for a ContentWriter
    // SaveError, stage Write, in the system's words ("No space left on device") when not every byte
    // is written.
    void write(const char* data, qint64 size);
    // Flushes the bytes to disk and gives the temporary file its name beside the final place: all that
    // can fail but the rename. SaveError, stage Write when the flush fails, Create when the name cannot
    // be made ("File name too long"). Once is enough; commit() prepares a file not prepared yet.
    void prepare();
    void commit();

    // How write() reaches the file, like ::write(); tests stand for a full disk with it.
    using RawWriter = std::function<long(int fd, const char* data, std::size_t size)>;
    void setRawWriter(RawWriter writer) { rawWriter_ = std::move(writer); }

private:
    std::string finalPath_; // links followed
    std::string namedTemporary_;
    int fd_ = -1;
    PendingRemoval pending_;
    QFile device_;
    RawWriter rawWriter_;
    bool prepared_ = false;

    void open(const std::string& path, std::optional<QFileDevice::Permissions> newFilePermissions,
              std::optional<SourcePermissions> sources, TemporaryKind kind);
};

// Saves `content` at `path` whole or not at all: a temporary file beside the final place is written,
// flushed to disk and renamed over the old file, so a failed save leaves the old file as it was. A
// symbolic link is followed to its target and stays a link.
// Refused before anything is written (SaveError, stage Create): an empty path, a missing folder, a
// folder or anything else that is not a regular file (a device, a pipe, a socket: the rename would
// replace the node), and a file or folder without write access. A file or folder without any write
// permission bit counts as read-only for the superuser too, since the rename would otherwise
// silently replace it.
void saveAtomically(const QString& path, const QByteArray& content, const SaveOptions& options = {});

} // namespace awardsync
