#include "platform/savefile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

// The longest name one folder entry may have, and the longest whole path.
constexpr qsizetype kMaxNameBytes = 255;
constexpr qsizetype kMaxPathBytes = 4095;

bool hasForbiddenCharacter(const QString& name) {
    if (name.contains(QChar(0)))
        return true;
#ifdef Q_OS_WIN
    for (const QChar c : name) {
        if (c.unicode() < 32 || QStringLiteral("<>:\"|?*").contains(c))
            return true;
    }
#endif
    return false;
}

SaveFailure checkName(const QString& fileName) {
    const QFileInfo info(fileName);
    // A NUL would cut the name short on its way to the system, and the file
    // would be written under the shorter name.
    if (info.fileName().isEmpty() || hasForbiddenCharacter(fileName))
        return SaveFailure::BadName;
    const QByteArray path = QFile::encodeName(info.absoluteFilePath());
    if (path.size() > kMaxPathBytes)
        return SaveFailure::NameTooLong;
    for (const QByteArray& part : path.split('/')) {
        if (part.size() > kMaxNameBytes)
            return SaveFailure::NameTooLong;
    }
    return SaveFailure::None;
}

SaveFailure failureFromErrno(int error) {
    switch (error) {
        case ENOSPC:
        case EFBIG:
        case EDQUOT:
            return SaveFailure::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return SaveFailure::AccessDenied;
        case ENOENT:
        case ENOTDIR:
            return SaveFailure::FolderNotFound;
        case ENAMETOOLONG:
            return SaveFailure::NameTooLong;
        case EISDIR:
            return SaveFailure::NotAFile;
        case EINVAL:
        case EILSEQ:
            return SaveFailure::BadName;
        default:
            return SaveFailure::WriteFailed;
    }
}

// What a write may do with the target the file system described: a failure,
// or whether the old file must be rewritten in place.
SaveFailure judge(const SaveTarget& target, bool& inPlace) {
    inPlace = false;
    if (target.lookupError != 0)
        return failureFromErrno(target.lookupError);
    if (target.kind == SaveTarget::Folder || target.kind == SaveTarget::Other)
        return SaveFailure::NotAFile;
    if (target.kind == SaveTarget::File) {
        // A rename needs only the folder to be writable: a file this user may
        // not write must be refused here, before anything is written.
        if (target.fileError != 0)
            return failureFromErrno(target.fileError);
        inPlace = target.folderError != 0;
        return SaveFailure::None;
    }
    if (target.folderError != 0)
        return failureFromErrno(target.folderError);
    return SaveFailure::None;
}

// Closes the descriptor, and removes the temporary file unless it was kept.
class TemporaryFile {
public:
    explicit TemporaryFile(const QByteArray& target) {
        const qsizetype slash = target.lastIndexOf('/');
        // A short fixed name, so that the longest target name still leaves
        // room for it, and hidden, so that no folder listing shows it.
        name_ = target.left(slash + 1) + ".vantelo-save-XXXXXX";
        fd_ = ::mkostemp(name_.data(), O_CLOEXEC);
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

SaveFailure checkSaveName(const QString& fileName, FileSystem& fileSystem) {
    if (const SaveFailure problem = checkName(fileName); problem != SaveFailure::None)
        return problem;
    bool inPlace = false;
    return judge(fileSystem.saveTarget(fileName), inPlace);
}

SaveFailure writeFileAtomically(const QString& fileName, const FileEncoder& encode,
                                FileSystem& fileSystem) {
    if (const SaveFailure problem = checkName(fileName); problem != SaveFailure::None)
        return problem;
    const SaveTarget target = fileSystem.saveTarget(fileName);
    bool inPlace = false;
    if (const SaveFailure problem = judge(target, inPlace); problem != SaveFailure::None)
        return problem;

    // Encoding first, into memory, keeps the encoder's failures apart from the
    // disk's and leaves one write whose error the system names exactly.
    const QByteArray* bytes = encode();
    if (bytes == nullptr)
        return SaveFailure::EncodeFailed;

    const QByteArray path = QFile::encodeName(target.path);
    if (inPlace)
        return writeInPlace(path, *bytes);
    TemporaryFile temporary(path);
    if (temporary.fd() < 0)
        return failureFromErrno(errno);
    if (!writeAll(temporary.fd(), *bytes))
        return failureFromErrno(errno);
    // A replaced file keeps its permissions; a new one gets the usual ones.
    ::fchmod(temporary.fd(), target.kind == SaveTarget::File ? target.mode : newFileMode());
    if (::fdatasync(temporary.fd()) != 0 || !temporary.close())
        return failureFromErrno(errno);
    if (::rename(temporary.name().constData(), path.constData()) != 0) {
        const int error = errno;
        // A sticky folder lets only the owner replace a file that others may
        // still write.
        if (target.kind == SaveTarget::File && (error == EPERM || error == EACCES))
            return writeInPlace(path, *bytes);
        return failureFromErrno(error);
    }
    temporary.keep();
    return SaveFailure::None;
}

QByteArray encodeBitmap(const QImage& picture) {
    const QImage pixels =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32);
    const qsizetype width = pixels.width();
    const qsizetype height = pixels.height();
    const qsizetype rowBytes = (width * 3 + 3) & ~qsizetype(3);
    constexpr qsizetype kHeaders = 14 + 40;
    QByteArray file(kHeaders + rowBytes * height, Qt::Uninitialized);
    auto* out = reinterpret_cast<uchar*>(file.data());
    const auto put16 = [&out](int at, quint32 value) { qToLittleEndian(quint16(value), out + at); };
    const auto put32 = [&out](int at, quint32 value) { qToLittleEndian(value, out + at); };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, quint32(file.size()));
    put32(6, 0);
    put32(10, kHeaders);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));
    put16(26, 1);   // planes
    put16(28, 24);  // bits a pixel
    put32(30, 0);   // no compression
    put32(34, quint32(rowBytes * height));
    put32(38, quint32(pixels.dotsPerMeterX()));
    put32(42, quint32(pixels.dotsPerMeterY()));
    put32(46, 0);
    put32(50, 0);
    for (qsizetype y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(pixels.constScanLine(int(height - 1 - y)));
        uchar* row = out + kHeaders + y * rowBytes;
        for (qsizetype x = 0; x < width; ++x) {
            const QRgb p = in[x];
            row[0] = uchar(qBlue(p));
            row[1] = uchar(qGreen(p));
            row[2] = uchar(qRed(p));
            row += 3;
        }
        for (qsizetype pad = width * 3; pad < rowBytes; ++pad)
            *row++ = 0;
    }
    return file;
}

void raiseSaveFailure(SaveFailure failure) {
    switch (failure) {
        case SaveFailure::None:
            return;
        case SaveFailure::BadName:
        case SaveFailure::NameTooLong:
            throw RuntimeError(ErrBadFileName);
        case SaveFailure::FolderNotFound:
            throw RuntimeError(ErrPathNotFound);
        case SaveFailure::AccessDenied:
            throw RuntimeError(ErrPermissionDenied);
        case SaveFailure::DiskFull:
            throw RuntimeError(ErrDiskFull);
        case SaveFailure::EncodeFailed:
            throw RuntimeError(ErrInvalidPicture);
        case SaveFailure::NotAFile:
        case SaveFailure::WriteFailed:
            break;
    }
    throw RuntimeError(ErrPathFileAccess);
}

void SavePicture(const QImage& picture, const QString& fileName, FileSystem& fileSystem) {
    if (picture.isNull())
        throw RuntimeError(ErrInvalidPicture);
    QByteArray bytes;
    const SaveFailure failure = writeFileAtomically(
        fileName,
        [&]() -> const QByteArray* {
            bytes = encodeBitmap(picture);
            return &bytes;
        },
        fileSystem);
    raiseSaveFailure(failure);
}

}  // namespace vantelo
