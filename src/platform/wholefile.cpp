#include "platform/wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/descriptor.h"
#include "platform/filesystem.h"
#include "platform/runtimeerror.h"

namespace vantelo {

QByteArray readWholeFile(const QString& path, qint64 maxBytes) {
    if (path.contains(QChar(0)))
        throw RuntimeError(ErrBadFileName);
    if (path.isEmpty())
        throw RuntimeError(ErrFileNotFound);
    const Descriptor fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == ENOENT && QFileInfo(path).absoluteDir().exists())
            throw RuntimeError(ErrFileNotFound);
        throw RuntimeError(errorNumberForErrno(error));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw RuntimeError(errorNumberForErrno(errno));
    if (S_ISDIR(st.st_mode))
        throw RuntimeError(ErrPathNotFound);
    if (!S_ISREG(st.st_mode))
        throw RuntimeError(ErrInvalidPicture, QStringLiteral("Invalid picture: not a file"));
    if (st.st_size > maxBytes)
        throw RuntimeError(7, QStringLiteral("Out of memory"));
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(st.st_size));
    qsizetype filled = 0;
    // A file that grows while it is read is still cut at the limit.
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() >= maxBytes)
                break;
            bytes.resize(std::min<qint64>(maxBytes, qint64(bytes.size()) + 65536));
        }
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, size_t(bytes.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw RuntimeError(errorNumberForErrno(errno));
        }
        if (got == 0)
            break;
        filled += got;
    }
    char extra = 0;
    if (filled == maxBytes && ::read(fd.get(), &extra, 1) > 0)
        throw RuntimeError(7, QStringLiteral("Out of memory"));
    bytes.truncate(filled);
    return bytes;
}

qint64 regularFileSize(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

}  // namespace vantelo
