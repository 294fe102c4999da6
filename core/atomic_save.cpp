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

void saveAtomically(const QString& path, const QByteArray& content, const SaveOptions& options) {
    if (path.isEmpty()) {
        refuse(systemReason(ENOENT));
    }
    const bool exists = checkSavable(finalPathOf(path));

    // Unbuffered, so that a short write shows in the write itself rather than at the commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        refuse(fromQt(file.errorString()));
    }
    if (!exists && options.newFilePermissions) {
        file.setPermissions(*options.newFilePermissions);
    }
    if (!content.isEmpty()) {
        const qint64 written = options.writeContent ? options.writeContent(file, content) : file.write(content);
        if (written != content.size()) {
            // The uncommitted temporary file goes with `file`.
            throw SaveError(SaveError::Stage::Write, fromQt(file.errorString()));
        }
    }
    // The commit flushes the temporary file to disk before it renames it.
    if (!file.commit()) {
        throw SaveError(file.error() == QFileDevice::WriteError ? SaveError::Stage::Write : SaveError::Stage::Create,
                        fromQt(file.errorString()));
    }
}

} // namespace awardsync
