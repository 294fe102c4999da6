// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_file.h"

#include "core/file_paths.h"
#include "core/text.h"

namespace awardsync {

namespace {

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
    saveLinesToFile(lines, path, ContentWriter());
}

void saveLinesToFile(const std::vector<std::string>& lines, const std::string& path,
                     const ContentWriter& writeContent) {
    saveBesideRecords(contentOf(lines), path, writeContent);
}

void saveBesideRecords(const QByteArray& content, const std::string& path, const ContentWriter& writeContent) {
    try {
        saveAtomically(toQt(path), content,
                       {.newFilePermissions = std::nullopt, .writeContent = writeContent, .sourcePermissions = {}});
    } catch (const SaveError& error) {
        if (error.stage() == SaveError::Stage::Write) {
            throw Error("Stream write error");
        }
        // The path as given, in full: a link is named, not its target.
        throw Error(cannotCreateFileMessage(path, error.what()));
    }
}

} // namespace awardsync
