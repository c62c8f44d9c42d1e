#include "platform/exiforientation.h"

#include <QTransform>

#include "platform/bytereader.h"

namespace vantelo {
namespace {

constexpr int kOrientationTag = 0x0112;
constexpr int kShortType = 3;
constexpr int kLongType = 4;
constexpr int kEntryBytes = 12;

// A TIFF block's numbers, each read only where it lies wholly inside the block.
class TiffNumbers {
public:
    explicit TiffNumbers(const QByteArray& block)
        : data_(reinterpret_cast<const unsigned char*>(block.constData())), size_(block.size()) {}
    bool readByteOrder() {
        if (size_ < 2 || data_[0] != data_[1] || (data_[0] != 'M' && data_[0] != 'I'))
            return false;
        bigEndian_ = data_[0] == 'M';
        return true;
    }
    bool holds(qint64 at, qint64 bytes) const { return at >= 0 && at + bytes <= size_; }
    // The number of `bytes` bytes at `at`; -1 where the block ends first.
    qint64 at(qint64 offset, int bytes) const {
        if (!holds(offset, bytes))
            return -1;
        quint32 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | data_[offset + (bigEndian_ ? i : bytes - 1 - i)];
        return value;
    }

private:
    const unsigned char* data_;
    qint64 size_;
    bool bigEndian_ = false;
};

}  // namespace

int exifOrientation(const QByteArray& block) {
    TiffNumbers tiff(block);
    if (!tiff.readByteOrder() || tiff.at(2, 2) != 42)
        return 1;
    // Only the first directory is read: the orientation belongs there, and no
    // chain of directories, which a hostile file could close into a loop, is
    // followed.
    const qint64 directory = tiff.at(4, 4);
    const qint64 entries = tiff.at(directory, 2);
    for (qint64 i = 0; i < entries; ++i) {
        const qint64 entry = directory + 2 + i * kEntryBytes;
        if (!tiff.holds(entry, kEntryBytes))
            return 1;
        if (tiff.at(entry, 2) != kOrientationTag)
            continue;
        const qint64 type = tiff.at(entry + 2, 2);
        const qint64 count = tiff.at(entry + 4, 4);
        const int bytes = type == kShortType ? 2 : type == kLongType ? 4 : 0;
        if (bytes == 0 || count < 1)
            return 1;
        // Values that fit in the entry's last four bytes are held there, from
        // their first byte on; longer ones lie where those bytes point.
        const qint64 valueAt = count * bytes <= 4 ? entry + 8 : tiff.at(entry + 8, 4);
        const qint64 value = tiff.at(valueAt, bytes);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

int jpegOrientation(int fd) {
    static const QByteArray exifHeader("Exif\0\0", 6);
    ByteReader in(fd);
    if (in.next() != 0xFF || in.next() != 0xD8)
        return 1;
    for (;;) {
        int marker = in.next();
        while (marker >= 0 && marker != 0xFF)  // stray bytes, which the decoder passes over too
            marker = in.next();
        while (marker == 0xFF)
            marker = in.next();
        // Metadata after the first scan does not describe the picture.
        if (marker < 0 || marker == 0xDA || marker == 0xD9)
            return 1;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue;  // markers without a segment
        const int high = in.next();
        const int low = in.next();
        if (high < 0 || low < 0)
            return 1;
        const int length = ((high << 8) | low) - 2;
        if (length < 0)
            return 1;
        if (marker != 0xE1) {
            in.skip(length);
            continue;
        }
        QByteArray segment(length, Qt::Uninitialized);
        for (char& byte : segment) {
            const int c = in.next();
            if (c < 0)
                return 1;
            byte = static_cast<char>(c);
        }
        // Other data, such as XMP, comes in the same kind of segment.
        if (segment.startsWith(exifHeader))
            return exifOrientation(segment.mid(exifHeader.size()));
    }
}

QImage turnedUpright(const QImage& image, int orientation) {
    const QTransform quarterTurn = QTransform().rotate(90);
    switch (orientation) {
        case 2:
            return image.mirrored(true, false);
        case 3:
            return image.mirrored(true, true);
        case 4:
            return image.mirrored(false, true);
        case 5:
            return image.mirrored(false, true).transformed(quarterTurn);
        case 6:
            return image.transformed(quarterTurn);
        case 7:
            return image.mirrored(true, false).transformed(quarterTurn);
        case 8:
            return image.transformed(QTransform().rotate(270));
        default:
            return image;
    }
}

}  // namespace vantelo
