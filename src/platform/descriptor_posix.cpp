#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/descriptor.h"
#include "platform/filesystem.h"
#include "platform/runtimeerror.h"

namespace vantelo {

void closeDescriptor(int fd) {
    ::close(fd);
}

qint64 readAt(int fd, char* buffer, qint64 bytes, qint64 offset) {
    ssize_t got;
    do
        got = ::pread(fd, buffer, size_t(bytes), off_t(offset));
    while (got < 0 && errno == EINTR);
    return got;
}

RegularFile openRegularFile(const QString& path) {
    // No file system can name a path holding a NUL.
    if (path.contains(QChar(0)))
        throw RuntimeError(ErrBadFileName);
    if (path.isEmpty())
        throw RuntimeError(ErrFileNotFound);
    // Opening without blocking lets a pipe or device be refused at once
    // instead of waiting for a writer or reading for ever.
    Descriptor fd(
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
        throw RuntimeError(ErrInvalidPicture, QLatin1String(QT_TRANSLATE_NOOP(
                                                  "RuntimeError", "Invalid picture: not a file")));
    return {std::move(fd), qint64(st.st_size)};
}

}  // namespace vantelo
