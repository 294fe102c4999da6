#include "atomic_save.h"

#include "core/text.h"

#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace awardsync {

namespace {

std::string systemReason(int code) {
    return std::generic_category().message(code);
}

[[noreturn]] void refuse(const std::string& reason) {
    throw SaveError(SaveError::Stage::Create, reason);
}

// Where the save really lands: like QSaveFile, a symbolic link is followed to its target.
QString finalPathOf(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth) {
        info.setFile(info.symLinkTarget());
    }
    return info.absoluteFilePath();
}

int writeRefusal(const QByteArray& path, const struct stat& status, int accessMode) {
    if (::access(path.constData(), accessMode) != 0) {
        return errno;
    }
    if (::geteuid() == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return EACCES;
    }
    return 0;
}

// Refuses what the rename would damage or cannot do. Returns whether a file is there already.
bool checkSavable(const QString& finalPath) {
    const QByteArray file = QFile::encodeName(finalPath);
    struct stat status {};
    bool exists = false;
    if (::stat(file.constData(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            refuse(systemReason(EISDIR));
        }
        if (!S_ISREG(status.st_mode)) {
            refuse("Not a regular file");
        }
        if (const int refusal = writeRefusal(file, status, W_OK); refusal != 0) {
            refuse(systemReason(refusal));
        }
        exists = true;
    } else if (errno != ENOENT) {
        refuse(systemReason(errno));
    }
    // The temporary file is made in the same folder, so the folder must take a new file.
    const QByteArray folder = QFile::encodeName(QFileInfo(finalPath).absolutePath());
    if (::stat(folder.constData(), &status) != 0) {
        refuse(systemReason(errno));
    }
    if (!S_ISDIR(status.st_mode)) {
        refuse(systemReason(ENOTDIR));
    }
    if (const int refusal = writeRefusal(folder, status, W_OK | X_OK); refusal != 0) {
        refuse(systemReason(refusal));
    }
    return exists;
}

} // namespace

AtomicFile::AtomicFile(const QString& path, std::optional<QFileDevice::Permissions> newFilePermissions) : file_(path) {
    if (path.isEmpty()) {
        refuse(systemReason(ENOENT));
    }
    const bool exists = checkSavable(finalPathOf(path));
    // Unbuffered, so that a short write shows in the write itself rather than at the commit.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        refuse(fromQt(file_.errorString()));
    }
    if (!exists && newFilePermissions) {
        file_.setPermissions(*newFilePermissions);
    }
}

void AtomicFile::write(const char* data, qint64 size) {
    if (file_.write(data, size) != size) {
        throw SaveError(SaveError::Stage::Write, fromQt(file_.errorString()));
    }
}

void AtomicFile::commit() {
    // The commit flushes the temporary file to disk before it renames it.
    if (!file_.commit()) {
        throw SaveError(file_.error() == QFileDevice::WriteError ? SaveError::Stage::Write : SaveError::Stage::Create,
                        fromQt(file_.errorString()));
    }
}

void saveAtomically(const QString& path, const QByteArray& content, const SaveOptions& options) {
    AtomicFile file(path, options.newFilePermissions);
    if (!content.isEmpty()) {
        if (options.writeContent) {
            if (options.writeContent(file.device(), content) != content.size()) {
                // The uncommitted temporary file goes with `file`.
                throw SaveError(SaveError::Stage::Write, fromQt(file.device().errorString()));
            }
        } else {
            file.write(content.constData(), content.size());
        }
    }
    file.commit();
}

} // namespace awardsync
