#include "records_file.h"

#include "core/error.h"
#include "core/file_access.h"
#include "core/text.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <system_error>

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
    if (const int refusal = saveRefusal(finalPathOf(qtPath)); refusal != 0) {
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
