#include "file_access.h"

#include <sys/stat.h>
#include <unistd.h>

namespace awardsync {

bool writeAllowed(const QString& path) {
    const QByteArray native = path.toLocal8Bit();
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) {
        return false;
    }
    if (::geteuid() == 0) {
        return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    }
    return ::access(native.constData(), W_OK) == 0;
}

} // namespace awardsync
