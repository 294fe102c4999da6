// SPDX-License-Identifier: GPL-3.0-or-later
#include "atomic_save.h"

#include "core/file_paths.h"
#include "core/text.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace awardsync {

namespace {

[[noreturn]] void refuse(const std::string& reason) {
    throw SaveError(SaveError::Stage::Create, reason);
}

int writeRefusal(const std::string& path, const struct stat& status, int accessMode) {
    if (::access(path.c_str(), accessMode) != 0) {
        return errno;
    }
    if (::geteuid() == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return EACCES;
    }
    return 0;
}

// Refuses what the rename would damage or cannot do. Returns the mode of the file that is there
// already, if any.
std::optional<mode_t> checkSavable(const std::string& finalPath) {
    struct stat status {};
    std::optional<mode_t> existing;
    if (::stat(finalPath.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            refuse(systemReason(EISDIR));
        }
        if (!S_ISREG(status.st_mode)) {
            refuse("Not a regular file");
        }
        if (const int refusal = writeRefusal(finalPath, status, W_OK); refusal != 0) {
            refuse(systemReason(refusal));
        }
        existing = status.st_mode & 07777;
    } else if (errno != ENOENT) {
        refuse(systemReason(errno));
    }
    // The temporary file is made in the same folder, so the folder must take a new file.
    const std::string folder = folderOf(finalPath);
    if (::stat(folder.c_str(), &status) != 0) {
        refuse(systemReason(errno));
    }
    if (!S_ISDIR(status.st_mode)) {
        refuse(systemReason(ENOTDIR));
    }
    if (const int refusal = writeRefusal(folder, status, W_OK | X_OK); refusal != 0) {
        refuse(systemReason(refusal));
    }
    return existing;
}

mode_t modeOf(QFileDevice::Permissions permissions) {
    mode_t mode = 0;
    const std::pair<QFileDevice::Permission, mode_t> bits[] = {
        {QFileDevice::ReadOwner, S_IRUSR}, {QFileDevice::WriteOwner, S_IWUSR}, {QFileDevice::ExeOwner, S_IXUSR},
        {QFileDevice::ReadGroup, S_IRGRP}, {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
        {QFileDevice::ReadOther, S_IROTH}, {QFileDevice::WriteOther, S_IWOTH}, {QFileDevice::ExeOther, S_IXOTH}};
    for (const auto& [permission, bit] : bits) {
        mode |= permissions.testFlag(permission) ? bit : 0;
    }
    return mode;
}

// Makes a new name beside `finalPath` with `make` (which fails with EEXIST when the name is taken).
template <typename Make> std::string freshName(const std::string& finalPath, const Make& make) {
    static thread_local std::mt19937 random{std::random_device()()};
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = finalPath + ".";
        for (int i = 0; i < 6; ++i) {
            name += Letters[random() % (sizeof Letters - 1)];
        }
        if (make(name)) {
            return name;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    refuse(systemReason(errno));
}

} // namespace

SourcePermissions SourcePermissions::of(const std::vector<std::string>& sources) {
    unsigned bits = 07777;
    for (const std::string& source : sources) {
        struct stat status {};
        bits &= ::stat(source.c_str(), &status) == 0 ? status.st_mode & 07777 : 0600;
    }
    return SourcePermissions(bits);
}

AtomicFile::AtomicFile(const QString& path, std::optional<QFileDevice::Permissions> newFilePermissions)
    : AtomicFile(QFile::encodeName(path).toStdString(), newFilePermissions) {}

AtomicFile::AtomicFile(const std::string& path, std::optional<QFileDevice::Permissions> newFilePermissions,
                       TemporaryKind kind) {
    open(path, newFilePermissions, std::nullopt, kind);
}

AtomicFile::AtomicFile(const std::string& path, SourcePermissions sources, TemporaryKind kind) {
    open(path, std::nullopt, sources, kind);
}

void AtomicFile::open(const std::string& path, std::optional<QFileDevice::Permissions> newFilePermissions,
                      std::optional<SourcePermissions> sources, TemporaryKind kind) {
    if (path.empty()) {
        refuse(systemReason(ENOENT));
    }
    finalPath_ = landingPath(path);
    const std::optional<mode_t> existing = checkSavable(finalPath_);
    mode_t mode = existing ? *existing : newFilePermissions ? modeOf(*newFilePermissions) : 0666;
    if (sources) {
        // Never wider than what it is made of, nor than the file it replaces.
        mode = ((existing ? *existing & sources->bits : sources->bits) & 0666) | S_IRUSR | S_IWUSR;
    }
    if (kind == TemporaryKind::Unnamed) {
        fd_ = ::open(folderOf(finalPath_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    }
    if (fd_ < 0) {
        namedTemporary_ = freshName(finalPath_, [&](const std::string& name) {
            fd_ = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
            return fd_ >= 0;
        });
        pending_ = PendingRemoval(namedTemporary_.c_str());
    }
    // An existing file keeps its permissions (narrowed to its sources' when given), and a chosen mode
    // holds whatever the umask says.
    if (existing || newFilePermissions || sources) {
        ::fchmod(fd_, mode);
    }
}

AtomicFile::~AtomicFile() {
    device_.close();
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!namedTemporary_.empty()) {
        ::unlink(namedTemporary_.c_str());
    }
}

QIODevice& AtomicFile::device() {
    if (!device_.isOpen()) {
        device_.open(fd_, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    }
    return device_;
}

void AtomicFile::write(const char* data, qint64 size) {
    auto left = static_cast<std::size_t>(size);
    while (left > 0) {
        const long written = rawWriter_ ? rawWriter_(fd_, data, left) : ::write(fd_, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            // A short write is followed by another, which then says why the disk took no more.
            throw SaveError(SaveError::Stage::Write, systemReason(written == 0 ? ENOSPC : errno));
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

void AtomicFile::prepare() {
    if (prepared_) {
        return;
    }
    if (::fsync(fd_) != 0) {
        throw SaveError(SaveError::Stage::Write, systemReason(errno));
    }
    if (namedTemporary_.empty()) {
        // The unnamed file gets a name beside the final place only now, for the rename.
        const std::string fdPath = "/proc/self/fd/" + std::to_string(fd_);
        namedTemporary_ = freshName(finalPath_, [&](const std::string& name) {
            return ::linkat(AT_FDCWD, fdPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
        });
        pending_ = PendingRemoval(namedTemporary_.c_str());
    }
    prepared_ = true;
}

void AtomicFile::commit() {
    prepare();
    if (::rename(namedTemporary_.c_str(), finalPath_.c_str()) != 0) {
        refuse(systemReason(errno));
    }
    pending_.release();
    namedTemporary_.clear();
}

void saveAtomically(const QString& path, const QByteArray& content, const SaveOptions& options) {
    const std::string bytes = QFile::encodeName(path).toStdString();
    std::optional<AtomicFile> opened;
    if (options.sourcePermissions) {
        opened.emplace(bytes, *options.sourcePermissions);
    } else {
        opened.emplace(bytes, options.newFilePermissions);
    }
    AtomicFile& file = *opened;
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
