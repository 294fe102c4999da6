// SPDX-License-Identifier: GPL-3.0-or-later
#include "file_paths.h"

#include "core/error.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace awardsync {

namespace {

std::string quoted(const std::string& what, const std::string& path) {
    return what + " \"" + path + "\"";
}

std::string realPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

} // namespace

std::string systemReason(int code) {
    return std::generic_category().message(code);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string workingFolder() {
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string();
}

std::string absolutePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::string full = path;
    if (full.front() != '/') {
        full = workingFolder() + "/" + path;
    }
    std::vector<std::string> parts;
    for (std::size_t begin = 1; begin <= full.size();) {
        std::size_t end = full.find('/', begin);
        end = end == std::string::npos ? full.size() : end;
        const std::string part = full.substr(begin, end - begin);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        begin = end + 1;
    }
    std::string cleaned;
    for (const std::string& part : parts) {
        cleaned += "/" + part;
    }
    return cleaned.empty() ? "/" : cleaned;
}

namespace {

// landingPath, and whether a link was followed on the way.
std::pair<std::string, bool> landingOf(const std::string& path) {
    std::string landing = path;
    if (!landing.empty() && landing.front() != '/') {
        if (const std::string cwd = workingFolder(); !cwd.empty()) {
            landing = cwd + "/" + landing;
        }
    }
    bool followed = false;
    struct stat status {};
    for (int depth = 0; depth < 128 && ::lstat(landing.c_str(), &status) == 0 && S_ISLNK(status.st_mode); ++depth) {
        char target[PATH_MAX];
        const ssize_t size = ::readlink(landing.c_str(), target, sizeof target);
        if (size <= 0 || size == static_cast<ssize_t>(sizeof target)) {
            break;
        }
        const std::string next(target, static_cast<std::size_t>(size));
        landing = next.front() == '/' ? next : folderOf(landing) + "/" + next;
        followed = true;
    }
    return {landing, followed};
}

} // namespace

std::string landingPath(const std::string& path) {
    return landingOf(path).first;
}

std::string samePathKey(const std::string& path) {
    if (std::string real = realPath(path); !real.empty()) {
        return real;
    }
    // A dangling link stands for the file a save would create at its target, whose folder the kernel
    // resolves as it stands (a ".." after a linked folder included).
    const auto [landing, linked] = landingOf(path);
    const std::string full = linked ? landing : absolutePath(path);
    const std::size_t slash = full.find_last_of('/');
    // Only an empty path has no slash here; it has no folder either.
    const std::string folder = slash == std::string::npos ? std::string() : realPath(folderOf(full));
    return folder.empty() ? absolutePath(full) : folder + full.substr(slash);
}

std::string fileRefusal(const std::string& path, const std::string& what, bool mustExist) {
    const std::string full = absolutePath(path);
    const std::string real = realPath(path);
    const auto underSystemFolder = [](const std::string& p) {
        return (p.rfind("/dev/", 0) == 0 && p.rfind("/dev/shm/", 0) != 0) || p.rfind("/proc/", 0) == 0;
    };
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT && !mustExist && !underSystemFolder(full)) {
            return {};
        }
        return "cannot open " + quoted(what, path) + ": " + systemReason(errno);
    }
    if (!S_ISREG(status.st_mode) || underSystemFolder(full) || underSystemFolder(real)) {
        return quoted(what, path) + " is not a regular file";
    }
    return {};
}

namespace {

// Reads the open file to its end, `size` bytes or more should it have grown.
QByteArray readAll(int fd, qsizetype size, const std::string& what, const std::string& path) {
    QByteArray bytes(size, Qt::Uninitialized);
    qsizetype done = 0;
    while (true) {
        if (done == bytes.size()) {
            char probe;
            const ssize_t more = ::read(fd, &probe, 1); // the file may have grown meanwhile
            if (more == 0) {
                return bytes;
            }
            if (more > 0) {
                bytes.resize(bytes.size() + bytes.size() / 2 + 4096);
                bytes[done++] = probe;
                continue;
            }
        } else {
            const ssize_t got = ::read(fd, bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
            if (got == 0) {
                bytes.resize(done);
                return bytes;
            }
            if (got > 0) {
                done += got;
                continue;
            }
        }
        if (errno != EINTR) {
            throw Error("cannot read " + quoted(what, path) + ": " + systemReason(errno));
        }
    }
}

} // namespace

QByteArray readRegularFile(const std::string& path, const std::string& what) {
    if (const std::string refusal = fileRefusal(path, what, true); !refusal.empty()) {
        throw Error(refusal);
    }
    // Non-blocking: should the path have become a pipe since, the open cannot hang.
    const Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat status {};
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0) {
        throw Error("cannot read " + quoted(what, path) + ": " + systemReason(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        throw Error(quoted(what, path) + " is not a regular file");
    }
    try {
        return readAll(file.fd, static_cast<qsizetype>(status.st_size), what, path);
    } catch (const std::bad_alloc&) {
        throw Error("cannot read " + quoted(what, path) + ": not enough memory for its " +
                    megabytesText(static_cast<std::uint64_t>(status.st_size)) + " (" + std::string(MemoryAdvice) + ")");
    }
}

std::string megabytesText(std::uint64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

std::string cannotCreateFileMessage(const std::string& path, const std::string& reason) {
    return "Cannot create file \"" + absolutePath(path) + "\". " + reason;
}

} // namespace awardsync
