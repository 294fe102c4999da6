#include "file_access.h"

#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace awardsync {

namespace {

int writeRefusal(const QByteArray& path, const struct stat& status, int accessMode) {
    if (::access(path.constData(), accessMode) != 0) {
        return errno;
    }
    if (::geteuid() == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return EACCES;
    }
    return 0;
}

} // namespace

int saveRefusal(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    struct stat status {};
    if (::stat(file.constData(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            return EISDIR;
        }
        if (const int refusal = writeRefusal(file, status, W_OK); refusal != 0) {
            return refusal;
        }
    } else if (errno != ENOENT) {
        return errno;
    }
    // The temporary file is made in the same folder, so the folder must take a new file.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::stat(folder.constData(), &status) != 0) {
        return errno;
    }
    if (!S_ISDIR(status.st_mode)) {
        return ENOTDIR;
    }
    return writeRefusal(folder, status, W_OK | X_OK);
}

} // namespace awardsync
