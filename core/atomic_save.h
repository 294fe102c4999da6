#pragma once

#include "core/error.h"

#include <QByteArray>
#include <QFileDevice>
#include <QSaveFile>
#include <QString>
#include <functional>
#include <optional>

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

struct SaveOptions {
    // For a file that does not exist yet; an existing file keeps its own permissions.
    std::optional<QFileDevice::Permissions> newFilePermissions;
    ContentWriter writeContent; // empty: QIODevice::write
};

// A file saved whole or not at all, written in pieces: opened with the refusals below, it becomes
// the file at its path only through commit(); dropped uncommitted, it leaves the old file as it was.
// Several can be written and then committed one after the other, so that none replaces its
// predecessor before all are complete.
class AtomicFile {
public:
    explicit AtomicFile(const QString& path, std::optional<QFileDevice::Permissions> newFilePermissions = {});
    QIODevice& device() { return file_; }
    void write(const char* data, qint64 size); // SaveError, stage Write, when not every byte is written
    void commit();

private:
    QSaveFile file_;
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
