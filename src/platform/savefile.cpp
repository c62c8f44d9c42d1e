#include "platform/savefile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtEndian>
#include <cerrno>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// Blue, green and red of each pixel, three bytes a pixel, as a bitmap row
// stores them.
void packBgrRowPlain(const QRgb* in, uchar* out, qsizetype width) {
    for (qsizetype x = 0; x < width; ++x) {
        const QRgb p = in[x];
        out[0] = uchar(qBlue(p));
        out[1] = uchar(qGreen(p));
        out[2] = uchar(qRed(p));
        out += 3;
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Four pixels a step with one byte shuffle: the bulk of a row in a quarter of
// the plain loop's time. Each step stores 16 bytes of which 12 count, so the
// loop stops while at least two pixels remain and never writes past the row's
// own bytes; the plain loop does the rest.
__attribute__((target("ssse3"))) void packBgrRowShuffled(const QRgb* in, uchar* out,
                                                         qsizetype width) {
    const __m128i dropAlpha = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    qsizetype x = 0;
    for (; x + 6 <= width; x += 4, out += 12) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(four, dropAlpha));
    }
    packBgrRowPlain(in + x, out, width - x);
}

void packBgrRow(const QRgb* in, uchar* out, qsizetype width) {
    static const bool shuffles = __builtin_cpu_supports("ssse3");
    if (shuffles)
        packBgrRowShuffled(in, out, width);
    else
        packBgrRowPlain(in, out, width);
}
#else
void packBgrRow(const QRgb* in, uchar* out, qsizetype width) {
    packBgrRowPlain(in, out, width);
}
#endif

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
    // A replaced file keeps its permissions; a new one gets the usual ones.
    const mode_t mode = target.kind == SaveTarget::File ? target.mode : 0666;
    TemporaryFile temporary(path, mode);
    if (temporary.fd() < 0)
        return failureFromErrno(errno);
    if (!writeAll(temporary.fd(), *bytes))
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
            return writeInPlace(path, *bytes);
        return failureFromErrno(error);
    }
    temporary.keep();
    if (old >= 0)
        closeInBackground(old);
    return SaveFailure::None;
}

void encodeBitmap(const QImage& picture, QByteArray& file) {
    const QImage pixels =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32);
    const qsizetype width = pixels.width();
    const qsizetype height = pixels.height();
    const qsizetype rowBytes = (width * 3 + 3) & ~qsizetype(3);
    constexpr qsizetype kHeaders = 14 + 40;
    // Resizing keeps the capacity, so a buffer kept for the next save is
    // written over without the system having to find fresh memory for it.
    file.resize(kHeaders + rowBytes * height);
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
        // Rows are read bottom up, against the direction the processor
        // fetches ahead by itself: ask for the next row while this one is packed.
        if (y + 1 < height) {
            const auto* next =
                reinterpret_cast<const char*>(pixels.constScanLine(int(height - 2 - y)));
            for (qsizetype at = 0; at < width * 4; at += 64)
                __builtin_prefetch(next + at);
        }
        packBgrRow(in, row, width);
        for (qsizetype pad = width * 3; pad < rowBytes; ++pad)
            row[pad] = 0;
    }
}

QByteArray encodeBitmap(const QImage& picture) {
    QByteArray file;
    encodeBitmap(picture, file);
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
        case SaveFailure::NotAFolder:
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
    // Kept from call to call, as the JPEG writer keeps its own: a save then
    // writes into memory the process already has. It holds three bytes for
    // each of the four the canvas itself takes.
    thread_local QByteArray bytes;
    const SaveFailure failure = writeFileAtomically(
        fileName,
        [&]() -> const QByteArray* {
            encodeBitmap(picture, bytes);
            return &bytes;
        },
        fileSystem);
    raiseSaveFailure(failure);
}

}  // namespace vantelo
