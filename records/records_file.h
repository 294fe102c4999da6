// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/atomic_save.h"

#include <string>
#include <vector>

namespace awardsync {

// Writes the records file: every line followed by CR LF, the last one too, bytes as they are, no
// byte-order mark; no lines give a file of zero bytes. The file is written beside its final place and
// then renamed over it, so a failed save leaves the previous file exactly as it was.
// Raises "Cannot create file "<full path>". <reason>" when the file cannot be created or replaced
// (a file or folder without any write permission counts as read-only, for root too; a path that
// names a device, a pipe or a socket, or a link to one, is refused and the node left alone) and
// "Stream write error" when not all bytes could be written.
void saveLinesToFile(const std::vector<std::string>& lines, const std::string& path);

// The same with a chosen way of writing the content (tests stand for a full disk with it).
void saveLinesToFile(const std::vector<std::string>& lines, const std::string& path, const ContentWriter& writeContent);

// Saves `content` at `path` the way the records file is saved, with the same errors: for the files
// written beside it.
void saveBesideRecords(const QByteArray& content, const std::string& path, const ContentWriter& writeContent = {});

} // namespace awardsync
