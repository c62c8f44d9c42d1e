#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/runtimeerror.h"
#include "platform/settingsstore.h"

namespace vantelo {

namespace {

RuntimeError errorFromErrno(int error) {
    switch (error) {
        case ENOSPC:
        case EFBIG:
        case EDQUOT:
            return RuntimeError(ErrDiskFull);
        case EACCES:
        case EPERM:
        case EROFS:
            return RuntimeError(ErrPermissionDenied);
        case ENOENT:
        case ENOTDIR:
            return RuntimeError(ErrPathNotFound);
        case ENAMETOOLONG:
        case EINVAL:
        case EILSEQ:
            return RuntimeError(ErrBadFileName);
        default:
            return RuntimeError(ErrPathFileAccess);
    }
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash > 0 ? path.left(slash) : slash == 0 ? QByteArray("/") : QByteArray(".");
}

// Creates the folder and those above it; the error number, or 0.
int makeFolders(const QByteArray& folder) {
    struct stat st {};
    if (::stat(folder.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    const qsizetype slash = folder.lastIndexOf('/');
    if (slash > 0) {
        if (const int error = makeFolders(folder.left(slash)))
            return error;
    }
    if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

// Writes all bytes; the error number, or 0.
int writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

// Where a file that is not writable by rename can still be written: its folder
// is read-only but the file itself is not. Not atomic, but better than losing
// the edit; the error number, or 0.
int writeInPlace(const QByteArray& target, const QByteArray& bytes) {
    const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    struct stat st {};
    int error = ::fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? EISDIR : 0;
    if (!error)
        error = writeAll(fd, bytes);
    if (!error && ::ftruncate(fd, bytes.size()) != 0)
        error = errno;
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    return error;
}

}  // namespace

// A temporary file beside the file, written and flushed, renamed over it,
// then the folder flushed. When the file is a symbolic link, the file it
// points to is replaced and the link stays.
void FileSettingsStore::replaceFile(const QString& filePath, const QByteArray& bytes) {
    QByteArray target = QFile::encodeName(QFileInfo(filePath).absoluteFilePath());
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(target.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        if (hops == 40)
            throw errorFromErrno(ELOOP);
        char link[PATH_MAX];
        const ssize_t length = ::readlink(target.constData(), link, sizeof link);
        if (length < 0 || length == static_cast<ssize_t>(sizeof link))
            throw errorFromErrno(length < 0 ? errno : ENAMETOOLONG);
        const QByteArray points(link, length);
        target = points.startsWith('/') ? points : folderOf(target) + '/' + points;
    }
    const QByteArray folder = folderOf(target);
    if (const int error = makeFolders(folder))
        throw errorFromErrno(error);

    const QByteArray base = target.mid(target.lastIndexOf('/') + 1);
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "/." + base + '.' +
               QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int error = errno;
        if ((error == EACCES || error == EPERM || error == EROFS) &&
            writeInPlace(target, bytes) == 0)
            return;
        throw errorFromErrno(error);
    }
    struct stat old {};
    if (::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);
    int error = writeAll(fd, bytes);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temp.constData(), target.constData()) != 0)
        error = errno;
    if (error) {
        ::unlink(temp.constData());
        throw errorFromErrno(error);
    }
    // The rename itself reaches the disk only with the folder.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void FileSettingsStore::load() {
    const QByteArray path = QFile::encodeName(filePath_);
    // Without blocking, so that a FIFO or a device in its place cannot hold
    // start-up; what it is is checked on the open file.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP)
            setAside(QCoreApplication::translate("FileSettingsStore",
                                                 "it is a symbolic link that loops"));
        else if (errno == ENXIO)
            setAside(QCoreApplication::translate("FileSettingsStore", "it is not a file"));
        return;  // missing or not ours to read: the defaults apply
    }
    struct stat st {};
    QString problem;
    QByteArray bytes;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = S_ISDIR(st.st_mode)
                      ? QCoreApplication::translate("FileSettingsStore", "it is a folder")
                      : QCoreApplication::translate("FileSettingsStore", "it is not a file");
    } else if (st.st_size > kMaxFileBytes) {
        problem = QCoreApplication::translate("FileSettingsStore",
                                              "it is larger than a settings file can be");
    } else {
        // The file may grow while it is read; never past the limit.
        bytes.resize(static_cast<qsizetype>(st.st_size) + 1);
        qsizetype got = 0;
        for (;;) {
            if (got == bytes.size()) {
                if (bytes.size() > kMaxFileBytes)
                    break;
                bytes.resize(std::min<qsizetype>(bytes.size() * 2, kMaxFileBytes + 1));
            }
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        bytes.truncate(got);
        if (got > kMaxFileBytes)
            problem = QCoreApplication::translate("FileSettingsStore",
                                                  "it is larger than a settings file can be");
        else if (!looksLikeText(bytes))
            problem = QCoreApplication::translate("FileSettingsStore", "it is not UTF-8 text");
    }
    ::close(fd);
    if (!problem.isEmpty())
        setAside(problem);
    else
        text_ = IniText(bytes);
}

void FileSettingsStore::setAside(const QString& why) {
    const QByteArray path = QFile::encodeName(filePath_);
    QString aside = filePath_ + QStringLiteral(".unreadable");
    struct stat st {};
    for (int n = 2; n < 1000 && ::lstat(QFile::encodeName(aside).constData(), &st) == 0; ++n)
        aside = filePath_ + QStringLiteral(".unreadable.") + QString::number(n);
    // rename moves the entry itself: a link is moved, never what it points to.
    if (::rename(path.constData(), QFile::encodeName(aside).constData()) == 0) {
        notice_ = QCoreApplication::translate(
                      "FileSettingsStore",
                      "The settings file %1 could not be read (%2). It was renamed to "
                      "%3, and Vantelo starts with its default settings.")
                      .arg(filePath_, why, aside);
    } else {
        const QString reason = QString::fromLocal8Bit(strerror(errno));
        notice_ = QCoreApplication::translate(
                      "FileSettingsStore",
                      "The settings file %1 could not be read (%2), and it could not "
                      "be renamed aside (%3). Vantelo starts with its default "
                      "settings.")
                      .arg(filePath_, why, reason);
    }
}

std::unique_ptr<SettingsStore> makeSystemSettingsStore() {
    return std::make_unique<FileSettingsStore>(FileSettingsStore::defaultFilePath());
}

}  // namespace vantelo
