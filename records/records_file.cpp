#include "records_file.h"

#include "core/error.h"
#include "core/text.h"

#include <QDir>
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

[[noreturn]] void cannotCreate(const std::string& fullPath, const std::string& reason) {
    throw Error("Cannot create file \"" + fullPath + "\". " + reason);
}

// Where the save will really land: like QSaveFile, a symbolic link is followed to its target.
QString finalPathOf(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth) {
        info.setFile(info.symLinkTarget());
    }
    return info.absoluteFilePath();
}

// Why this process may not change `path`, or 0. Root passes the kernel's own permission checks, but
// a file or folder without any write permission bit is treated as read-only for every user: the
// final rename would otherwise silently replace a read-only file.
int writeRefusal(const std::string& path, const struct stat& status, int accessMode) {
    if (::access(path.c_str(), accessMode) != 0) {
        return errno;
    }
    if (::geteuid() == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return EACCES;
    }
    return 0;
}

// The system error code that forbids saving to the file, or 0.
int refusalOf(const QString& finalPath) {
    const std::string file = fromQt(finalPath);
    struct stat status {};
    if (::stat(file.c_str(), &status) == 0) {
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
    const std::string folder = fromQt(QFileInfo(finalPath).absolutePath());
    if (::stat(folder.c_str(), &status) != 0) {
        return errno;
    }
    if (!S_ISDIR(status.st_mode)) {
        return ENOTDIR;
    }
    return writeRefusal(folder, status, W_OK | X_OK);
}

QByteArray contentOf(const std::vector<std::string>& lines) {
    qsizetype size = 0;
    for (const std::string& line : lines) {
        size += static_cast<qsizetype>(line.size()) + 2;
    }
    QByteArray content;
    content.reserve(size);
    for (const std::string& line : lines) {
        content.append(line.data(), static_cast<qsizetype>(line.size()));
        content.append("\r\n", 2);
    }
    return content;
}

} // namespace

void saveLinesToFile(const std::vector<std::string>& lines, const std::string& path) {
    saveLinesToFile(lines, path, [](QIODevice& file, const QByteArray& content) { return file.write(content); });
}

void saveLinesToFile(const std::vector<std::string>& lines, const std::string& path,
                     const ContentWriter& writeContent) {
    if (path.empty()) {
        cannotCreate(path, systemReason(ENOENT));
    }
    const QString qtPath = toQt(path);
    const std::string fullPath = fromQt(QDir::cleanPath(QFileInfo(qtPath).absoluteFilePath()));
    if (const int refusal = refusalOf(finalPathOf(qtPath)); refusal != 0) {
        cannotCreate(fullPath, systemReason(refusal));
    }

    const QByteArray content = contentOf(lines);
    // Unbuffered, so that a short write shows in the write itself rather than at the final flush.
    QSaveFile file(qtPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        cannotCreate(fullPath, fromQt(file.errorString()));
    }
    if (!content.isEmpty() && writeContent(file, content) != content.size()) {
        throw Error("Stream write error"); // the uncommitted temporary file goes with `file`
    }
    if (!file.commit()) {
        if (file.error() == QFileDevice::WriteError) {
            throw Error("Stream write error");
        }
        cannotCreate(fullPath, fromQt(file.errorString()));
    }
}

} // namespace awardsync
