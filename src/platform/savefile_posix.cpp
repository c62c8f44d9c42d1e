#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/savefile_impl.h"

namespace vantelo::saving {
namespace {

// The longest name one folder entry may have, and the longest whole path.
constexpr qsizetype kMaxNameBytes = 255;
constexpr qsizetype kMaxPathBytes = 4095;

// Closes the descriptor, and removes the temporary file unless it was kept.
class TemporaryFile {
public:
    // Created with the permission bits it is to have (the umask applies), so
    // that most saves need no separate change of mode.
    TemporaryFile(const QByteArray& target, mode_t mode) {
        const qsizetype slash = target.lastIndexOf('/');
        // A short name, so that the longest target name still leaves room for
        // it, and hidden, so that no folder listing shows it.
        static constexpr char kLetters[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            name_ = target.left(slash + 1) + ".vantelo-save-";
            quint64 random = QRandomGenerator::global()->generate64();
            for (int i = 0; i < 6; ++i, random /= 62)
                name_ += kLetters[random % 62];
            fd_ =
                ::open(name_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
            if (fd_ >= 0 || errno != EEXIST)
                break;
        }
    }
    ~TemporaryFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!kept_)
            ::unlink(name_.constData());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }
    const QByteArray& name() const { return name_; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    void keep() { kept_ = true; }

private:
    QByteArray name_;
    int fd_ = -1;
    bool kept_ = false;
};

bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Closes a descriptor on a thread of its own, for a close that frees a file.
void closeInBackground(int fd) {
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (const std::system_error&) {
        ::close(fd);
    }
}

// The permission bits a new file gets.
mode_t newFileMode() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return 0666 & ~mask;
}

// The last resort where the old file may be written but not replaced: the
// bytes are complete in memory, so only a crash during this one write can
// damage the file.
SaveFailure writeInPlace(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return failureFromErrno(errno);
    bool ok = writeAll(fd, bytes) && ::ftruncate(fd, bytes.size()) == 0 && ::fdatasync(fd) == 0;
    const int error = errno;
    ok = ::close(fd) == 0 && ok;
    return ok ? SaveFailure::None : failureFromErrno(error);
}

}  // namespace

SaveFailure checkSystemName(const QString& absolutePath) {
    const QByteArray path = QFile::encodeName(absolutePath);
    if (path.size() > kMaxPathBytes)
        return SaveFailure::NameTooLong;
    for (const QByteArray& part : path.split('/')) {
        if (part.size() > kMaxNameBytes)
            return SaveFailure::NameTooLong;
    }
    return SaveFailure::None;
}

SaveFailure writeBytes(const SaveTarget& target, const QByteArray& bytes, bool inPlace) {
    const QByteArray path = QFile::encodeName(target.path);
    if (inPlace)
        return writeInPlace(path, bytes);
    // A replaced file keeps its permissions; a new one gets the usual ones.
    const mode_t mode = target.kind == SaveTarget::File ? target.mode : 0666;
    TemporaryFile temporary(path, mode);
    if (temporary.fd() < 0)
        return failureFromErrno(errno);
    if (!writeAll(temporary.fd(), bytes))
        return failureFromErrno(errno);
    // Bits the umask took away from a replaced file's, and the special ones,
    // are given back here.
    if (target.kind == SaveTarget::File && (mode & ~newFileMode() & 07777) != 0)
        ::fchmod(temporary.fd(), mode);
    if (::fdatasync(temporary.fd()) != 0 || !temporary.close())
        return failureFromErrno(errno);
    // Replacing a file makes the system free the old one's blocks, which for
    // a large file takes longer than writing the new one. Holding the old
    // file open moves that work to the moment it is closed, off this thread.
    const int old = target.kind == SaveTarget::File
                        ? ::open(path.constData(), O_PATH | O_CLOEXEC | O_NOFOLLOW)
                        : -1;
    if (::rename(temporary.name().constData(), path.constData()) != 0) {
        const int error = errno;
        if (old >= 0)
            ::close(old);
        // A sticky folder lets only the owner replace a file that others may
        // still write.
        if (target.kind == SaveTarget::File && (error == EPERM || error == EACCES))
            return writeInPlace(path, bytes);
        return failureFromErrno(error);
    }
    temporary.keep();
    if (old >= 0)
        closeInBackground(old);
    return SaveFailure::None;
}

SaveFailure makeOneFolder(const QString& folder) {
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0777) == 0)
        return SaveFailure::None;
    if (errno == EEXIST) {
        // Followed through a link, as the files are written through it.
        struct stat found {};
        return ::stat(name.constData(), &found) == 0 && S_ISDIR(found.st_mode)
                   ? SaveFailure::None
                   : SaveFailure::NotAFolder;
    }
    switch (errno) {
        case EACCES:
        case EPERM:
        case EROFS:
            return SaveFailure::AccessDenied;
        case ENOENT:
        case ENOTDIR:
            return SaveFailure::FolderNotFound;
        case ENAMETOOLONG:
            return SaveFailure::NameTooLong;
        case ENOSPC:
        case EDQUOT:
            return SaveFailure::DiskFull;
        default:
            return SaveFailure::WriteFailed;
    }
}

}  // namespace vantelo::saving
