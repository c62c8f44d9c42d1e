#include "platform/picture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/filesystem.h"
#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

// Owns a descriptor until it is handed on.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

RuntimeError tooLarge(const QString& why) {
    return RuntimeError(ErrInvalidPicture, QStringLiteral("Picture too large: ") + why);
}

// libjpeg fills a truncated scan with grey and calls it a success; a JPEG is
// only whole when an end-of-image marker follows its last start-of-scan.
bool jpegIsComplete(int fd) {
    char chunk[64 * 1024];
    bool sawScan = false;
    bool endAfterScan = false;
    char previous = 0;
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, chunk, sizeof chunk, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got; ++i) {
            if (previous == '\xFF' && chunk[i] == '\xDA') {
                sawScan = true;
                endAfterScan = false;
                previous = 0;  // the marker's second byte starts no marker
                continue;
            }
            if (previous == '\xFF' && chunk[i] == '\xD9' && sawScan)
                endAfterScan = true;
            previous = chunk[i];
        }
        at += got;
    }
    return sawScan && endAfterScan;
}

quint32 littleEndian(const unsigned char* p, int bytes) {
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

// Qt's bitmap reader paints the rows that a short file lacks black and calls
// it a success; a bitmap is only whole when the file holds all the pixel data
// that its headers declare.
bool bitmapIsComplete(int fd, qint64 fileSize) {
    unsigned char h[38];  // the file header and the fields of the info header used here
    if (::pread(fd, h, 18, 0) != 18)
        return false;
    const qint64 pixelsAt = littleEndian(h + 10, 4);
    const quint32 infoSize = littleEndian(h + 14, 4);
    qint64 width = 0;
    qint64 height = 0;
    quint32 bitsPerPixel = 0;
    quint32 compression = 0;
    qint64 compressedSize = 0;
    if (infoSize == 12) {  // the OS/2 core header: 16-bit sizes
        if (::pread(fd, h + 18, 8, 18) != 8)
            return false;
        width = littleEndian(h + 18, 2);
        height = littleEndian(h + 20, 2);
        bitsPerPixel = littleEndian(h + 24, 2);
    } else if (infoSize >= 40) {
        if (::pread(fd, h + 18, 20, 18) != 20)
            return false;
        width = qint32(littleEndian(h + 18, 4));
        height = qint32(littleEndian(h + 22, 4));
        bitsPerPixel = littleEndian(h + 28, 2);
        compression = littleEndian(h + 30, 4);
        compressedSize = littleEndian(h + 34, 4);
    } else {
        return true;  // a header the decoder refuses on its own
    }
    height = std::abs(height);  // a negative height stores the rows top down
    // Sizes this large are refused before decoding; nothing to measure.
    if (width <= 0 || width > (1 << 20) || height > (1 << 20) || bitsPerPixel > 64)
        return true;
    qint64 pixelBytes = 0;
    switch (compression) {
        case 0:  // uncompressed
        case 3:  // bit fields
        case 6:  // bit fields with alpha
            pixelBytes = (width * bitsPerPixel + 31) / 32 * 4 * height;
            break;
        case 1:  // run-length encoded, 8 and 4 bits a pixel
        case 2:
            pixelBytes = compressedSize;
            break;
        default:
            return true;
    }
    return pixelsAt + pixelBytes <= fileSize;
}

void checkDeclaredSize(QImageReader& reader, const PictureLimits& limits) {
    const QSize size = reader.size();
    if (!size.isValid())
        return;  // the allocation limit still bounds the decoder
    const QString dimensions =
        QStringLiteral("%1 × %2 pixels").arg(size.width()).arg(size.height());
    if (size.width() > limits.side || size.height() > limits.side)
        throw tooLarge(dimensions +
                       QStringLiteral(", a side longer than %1 pixels").arg(limits.side));
    const QImage::Format format = reader.imageFormat();
    const int bits = format == QImage::Format_Invalid
                         ? 32
                         : std::max(32, int(QImage::toPixelFormat(format).bitsPerPixel()));
    const qint64 bytes = qint64(size.width()) * size.height() * (bits / 8);
    if (bytes > qint64(limits.decodeMegabytes) << 20)
        throw tooLarge(dimensions +
                       QStringLiteral(", more than %1 MB to hold").arg(limits.decodeMegabytes));
}

}  // namespace

QImage LoadPicture(const QString& path, const PictureLimits& limits) {
    // No file system can name a path holding a NUL.
    if (path.contains(QChar(0)))
        throw RuntimeError(ErrBadFileName);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        if (!path.isEmpty() && !info.absoluteDir().exists())
            throw RuntimeError(ErrPathNotFound);
        throw RuntimeError(ErrFileNotFound);
    }

    // Opening without blocking lets a pipe or device be refused at once
    // instead of waiting for a writer or reading for ever.
    Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        throw RuntimeError(error == ENOENT ? ErrFileNotFound : errorNumberForErrno(error));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw RuntimeError(errorNumberForErrno(errno));
    if (S_ISDIR(st.st_mode))
        throw RuntimeError(ErrPathNotFound);
    if (!S_ISREG(st.st_mode))
        throw RuntimeError(ErrInvalidPicture, QStringLiteral("Invalid picture: not a file"));
    if (st.st_size > limits.fileBytes)
        throw tooLarge(QStringLiteral("the file holds %1 MB, more than %2 MB")
                           .arg((st.st_size + (1 << 20) - 1) >> 20)
                           .arg(limits.fileBytes >> 20));

    const qint64 fileSize = st.st_size;
    const int descriptor = fd.get();
    QFile file;
    if (!file.open(fd.release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw RuntimeError(ErrPermissionDenied);

    // The limit is the library's own, for the whole program; set here so that
    // it holds whoever read a picture before.
    QImageReader::setAllocationLimit(limits.decodeMegabytes);
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        throw RuntimeError(ErrInvalidPicture);
    checkDeclaredSize(reader, limits);
    if (format == "jpeg" && !jpegIsComplete(descriptor))
        throw RuntimeError(ErrInvalidPicture);
    if (format == "bmp" && !bitmapIsComplete(descriptor, fileSize))
        throw RuntimeError(ErrInvalidPicture);
    QImage image = reader.read();
    if (image.isNull())
        throw RuntimeError(ErrInvalidPicture);
    return image;
}

}  // namespace vantelo
