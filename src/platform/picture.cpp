#include "platform/picture.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>

#include "platform/bitmapheader.h"
#include "platform/bytereader.h"
#include "platform/descriptor.h"
#include "platform/exiforientation.h"
#include "platform/gifreader.h"
#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

RuntimeError tooLarge(const QString& why) {
    return RuntimeError(
        ErrInvalidPicture,
        QCoreApplication::translate("LoadPicture", "Picture too large: %1").arg(why));
}

struct JpegLayout {
    bool complete = false;
    qint64 metadataBytes = 0;  // comment and application segments
};

// Walks a JPEG's segments as the decoder will. libjpeg fills a truncated scan
// with grey and calls it a success, so a JPEG is only whole when its
// end-of-image marker follows a scan. Comment and application segments are
// counted because the decoder keeps every one of them in memory, several
// times over, however many a file holds.
JpegLayout jpegLayout(int fd) {
    JpegLayout out;
    ByteReader in(fd);
    if (in.next() != 0xFF || in.next() != 0xD8)
        return out;
    bool sawScan = false;
    int marker = -1;
    for (;;) {
        if (marker < 0) {
            int c = in.find(0xFF);  // past stray bytes, which the decoder passes over too
            while (c == 0xFF)
                c = in.next();
            if (c < 0)
                return out;
            marker = c;
        }
        const int m = std::exchange(marker, -1);
        if (m == 0xD9) {
            out.complete = sawScan;
            return out;
        }
        if (m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD8))
            continue;  // markers without a segment
        const int high = in.next();
        const int low = in.next();
        if (high < 0 || low < 0)
            return out;
        const int length = (high << 8) | low;
        if (length < 2)
            return out;
        in.skip(length - 2);
        if (m == 0xFE || (m >= 0xE0 && m <= 0xEF))
            out.metadataBytes += length;
        if (m != 0xDA)
            continue;
        sawScan = true;
        // The coded data of a scan runs to the next marker: a 0xFF followed
        // by anything but a stuffed zero or a restart marker.
        for (;;) {
            int c = in.find(0xFF);
            if (c < 0)
                return out;
            do
                c = in.next();
            while (c == 0xFF);
            if (c < 0)
                return out;
            if (c != 0 && (c < 0xD0 || c > 0xD7)) {
                marker = c;
                break;
            }
        }
    }
}

// The bytes in a PNG's chunks other than its image data. The decoder reads
// each text chunk whole, whatever its length, and copies it several times.
qint64 pngMetadataBytes(int fd) {
    qint64 total = 0;
    unsigned char header[8];
    for (qint64 at = 8; readAt(fd, reinterpret_cast<char*>(header), 8, at) == 8;) {
        const quint32 length = (quint32(header[0]) << 24) | (quint32(header[1]) << 16) |
                               (quint32(header[2]) << 8) | header[3];
        if (std::memcmp(header + 4, "IEND", 4) == 0)
            break;
        if (std::memcmp(header + 4, "IDAT", 4) != 0)
            total += length;
        at += qint64(length) + 12;
    }
    return total;
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
    const auto read = [fd, &h](int at, int bytes) {
        return readAt(fd, reinterpret_cast<char*>(h + at), bytes, at) == bytes;
    };
    if (!read(0, 18))
        return false;
    const qint64 pixelsAt = littleEndian(h + 10, 4);
    const quint32 infoSize = littleEndian(h + 14, 4);
    qint64 width = 0;
    qint64 height = 0;
    quint32 bitsPerPixel = 0;
    quint32 compression = 0;
    qint64 compressedSize = 0;
    if (infoSize == 12) {  // the OS/2 core header: 16-bit sizes
        if (!read(18, 8))
            return false;
        width = littleEndian(h + 18, 2);
        height = littleEndian(h + 20, 2);
        bitsPerPixel = littleEndian(h + 24, 2);
    } else if (infoSize >= 40) {
        if (!read(18, 20))
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

// Refuses a picture of `size` held at `bits` a pixel beyond the limits.
void checkSize(QSize size, int bits, const PictureLimits& limits) {
    const QString dimensions = QCoreApplication::translate("LoadPicture", "%1 × %2 pixels")
                                   .arg(size.width())
                                   .arg(size.height());
    if (size.width() > limits.side || size.height() > limits.side)
        throw tooLarge(dimensions +
                       QCoreApplication::translate("LoadPicture", ", a side longer than %1 pixels")
                           .arg(limits.side));
    const qint64 bytes = qint64(size.width()) * size.height() * (bits / 8);
    if (bytes > qint64(limits.decodeMegabytes) << 20)
        throw tooLarge(dimensions +
                       QCoreApplication::translate("LoadPicture", ", more than %1 MB to hold")
                           .arg(limits.decodeMegabytes));
}

void checkDeclaredSize(QImageReader& reader, const PictureLimits& limits) {
    const QSize size = reader.size();
    if (!size.isValid())
        return;  // the allocation limit still bounds the decoder
    const QImage::Format format = reader.imageFormat();
    const int bits = format == QImage::Format_Invalid
                         ? 32
                         : std::max(32, int(QImage::toPixelFormat(format).bitsPerPixel()));
    checkSize(size, bits, limits);
}

// The format the file's first bytes declare, for the formats that declare
// one; empty for any other.
QByteArray formatFromSignature(int fd) {
    unsigned char head[8] = {};
    const qint64 got = readAt(fd, reinterpret_cast<char*>(head), sizeof head, 0);
    const auto startsWith = [&](std::initializer_list<unsigned char> bytes) {
        return got >= qint64(bytes.size()) && std::equal(bytes.begin(), bytes.end(), head);
    };
    if (startsWith({'G', 'I', 'F', '8'}))
        return QByteArrayLiteral("gif");
    if (startsWith({0xFF, 0xD8, 0xFF}))
        return QByteArrayLiteral("jpeg");
    if (startsWith({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        return QByteArrayLiteral("png");
    if (startsWith({'B', 'M'}))
        return QByteArrayLiteral("bmp");
    if (startsWith({0, 0, 1, 0}))
        return QByteArrayLiteral("ico");
    if (startsWith({0, 0, 2, 0}))
        return QByteArrayLiteral("cur");
    return QByteArray();
}

}  // namespace

namespace {

// Opens the file for reading after the checks every picture passes first,
// raising what a picture that fails them is reported with.
RegularFile openPicture(const QString& path, const PictureLimits& limits) {
    RegularFile file = openRegularFile(path);
    if (file.size > limits.fileBytes)
        throw tooLarge(
            QCoreApplication::translate("LoadPicture", "the file holds %1 MB, more than %2 MB")
                .arg((file.size + (1 << 20) - 1) >> 20)
                .arg(limits.fileBytes >> 20));
    return file;
}

}  // namespace

QByteArray CheckPicture(const QString& path, const PictureLimits& limits) {
    const RegularFile file = openPicture(path, limits);
    return formatFromSignature(file.descriptor.get());
}

QImage LoadPicture(const QString& path, const PictureLimits& limits) {
    RegularFile opened = openPicture(path, limits);
    Descriptor& fd = opened.descriptor;
    const qint64 fileSize = opened.size;
    const int descriptor = fd.get();
    const QByteArray known = formatFromSignature(descriptor);
    if (known == "gif") {
        PlainGifReader gif(descriptor);
        const QSize size = gif.readHeader();
        if (size.isValid()) {
            checkSize(size, 32, limits);
            QImage image = gif.decode();
            if (!image.isNull())
                return image;
        }
    }
    QFile file;
    if (!file.open(fd.release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw RuntimeError(ErrPermissionDenied);

    // The limit is the library's own, for the whole program; set here so that
    // it holds whoever read a picture before.
    QImageReader::setAllocationLimit(limits.decodeMegabytes);
    const std::unique_ptr<QIODevice> widened = known == "bmp" ? widenedBitmap(file) : nullptr;
    QImageReader reader(widened ? widened.get() : &file);
    // A picture whose first bytes name its format goes straight to that
    // decoder; only the rest has every decoder the library has asked in turn,
    // which loads them all.
    if (known.isEmpty())
        reader.setDecideFormatFromContent(true);
    else
        reader.setFormat(known);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        throw RuntimeError(ErrInvalidPicture);
    // The library finds a JPEG's orientation only in some of the places and
    // forms a valid file may keep it; the program reads it itself.
    reader.setAutoTransform(format != "jpeg");
    // Before the decoder reads a header: reading it keeps the metadata.
    qint64 metadata = 0;
    if (format == "jpeg") {
        const JpegLayout layout = jpegLayout(descriptor);
        if (!layout.complete)
            throw RuntimeError(ErrInvalidPicture);
        metadata = layout.metadataBytes;
    } else if (format == "png") {
        metadata = pngMetadataBytes(descriptor);
    }
    if (metadata > limits.metadataBytes)
        throw tooLarge(
            QCoreApplication::translate(
                "LoadPicture", "it carries %1 MB of comments and other data, more than %2 MB")
                .arg((metadata + (1 << 20) - 1) >> 20)
                .arg(limits.metadataBytes >> 20));
    checkDeclaredSize(reader, limits);
    if (format == "bmp" && !bitmapIsComplete(descriptor, fileSize))
        throw RuntimeError(ErrInvalidPicture);
    const int orientation = format == "jpeg" ? jpegOrientation(descriptor) : 1;
    QImage image =
        format == "jpeg" && limits.readJpeg ? limits.readJpeg(reader, orientation) : reader.read();
    if (image.isNull())
        throw RuntimeError(ErrInvalidPicture);
    if (format == "jpeg")
        return turnedUpright(image, orientation);
    return image;
}

}  // namespace vantelo
