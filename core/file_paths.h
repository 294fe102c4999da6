// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <cstdint>
#include <string>
#include <string_view>

namespace awardsync {

// Paths here are bytes as the system takes them: names that are not UTF-8 are kept as they are.

// The path made absolute against the working folder, with ".", ".." and doubled slashes resolved
// by name (links are not followed). An empty path stays empty.
std::string absolutePath(const std::string& path);

// Where a save to `path` really lands: made absolute, and a symbolic link followed to its target, a
// dangling one too (the save creates the target). Folders on the way are left as named.
std::string landingPath(const std::string& path);

// The same file for two paths: links followed (dangling ones to where a save would land), and for a
// file that does not exist yet its folder.
std::string samePathKey(const std::string& path);

// Why `path` may not be read or written as a file of ours, or empty when it may: only regular files
// (or links to them) qualify, never a device, a pipe or a standard stream (/dev/stdin, /proc/self/fd/0),
// which would block, never end or put files into /dev. A missing file is refused when `mustExist`.
// The reason names the file as `what` "path": `the log "/dev/zero" is not a regular file`.
std::string fileRefusal(const std::string& path, const std::string& what, bool mustExist);

// The bytes of the regular file at `path`; raises Error naming it as `what` when it is refused (see
// fileRefusal) or cannot be read.
QByteArray readRegularFile(const std::string& path, const std::string& what);

// The system's words for an errno value: "No such file or directory".
std::string systemReason(int code);

// The folder a path names its file in, by the last slash: "." for a bare name, "/" for one in the root.
std::string folderOf(const std::string& path);

// The working folder, or empty when the system cannot tell it.
std::string workingFolder();

// A file's size as messages give it, in whole megabytes rounded up: "1009 MB".
std::string megabytesText(std::uint64_t bytes);
// What a user can do about a file that does not fit into memory.
inline constexpr std::string_view MemoryAdvice = "close other programs or give a smaller file";

// "Cannot create file "<absolute path>". <reason>", as both programs report a file they could not save.
std::string cannotCreateFileMessage(const std::string& path, const std::string& reason);

} // namespace awardsync
