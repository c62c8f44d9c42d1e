#include "platform/gifreader.h"

#include <algorithm>
#include <cstring>

namespace vantelo {
namespace {

constexpr int kMaxCodes = 1 << 12;  // codes are at most 12 bits wide
// Larger pictures go to the general reader, which has allocation rules of
// its own for them.
constexpr qint64 kMaxPixels = qint64(64) << 20;
// The general reader fills the rows of an interlaced picture shorter than
// this in an order of its own.
constexpr int kMinInterlacedHeight = 5;

// The side of the screen that both readers make: the declared one, or where
// it is declared zero, the extent of the first picture.
int screenSide(int declared, int start, int extent) {
    return declared == 0 ? start + extent : declared;
}

// The rows of a picture in the order its pixel data stores them.
class RowOrder {
public:
    RowOrder(int height, bool interlaced) : height_(height), interlaced_(interlaced) {}
    int row() const { return row_; }
    void advance() {
        static constexpr int kStart[] = {0, 4, 2, 1};
        static constexpr int kStep[] = {8, 8, 4, 2};
        if (!interlaced_) {
            ++row_;
            return;
        }
        row_ += kStep[pass_];
        while (row_ >= height_ && pass_ < 3)
            row_ = kStart[++pass_];
    }

private:
    int height_;
    bool interlaced_;
    int pass_ = 0;
    int row_ = 0;
};

}  // namespace

PlainGifReader::PlainGifReader(int fd) : in_(fd) {}

bool PlainGifReader::readColourTable(int entries) {
    for (int i = 0; i < entries; ++i) {
        const int r = in_.next();
        const int g = in_.next();
        const int b = in_.next();
        if (b < 0)
            return false;
        colours_[i] = qRgb(r, g, b);
    }
    colourCount_ = entries;
    return true;
}

bool PlainGifReader::skipSubBlocks() {
    for (;;) {
        const int length = in_.next();
        if (length <= 0)
            return length == 0;
        in_.skip(length);
    }
}

QSize PlainGifReader::readHeader() {
    const auto read = [this](unsigned char* to, int count) {
        for (int i = 0; i < count; ++i) {
            const int c = in_.next();
            if (c < 0)
                return false;
            to[i] = static_cast<unsigned char>(c);
        }
        return true;
    };
    unsigned char head[13];
    if (!read(head, 13) ||
        (std::memcmp(head, "GIF87a", 6) != 0 && std::memcmp(head, "GIF89a", 6) != 0))
        return QSize();
    const int screenWidth = head[6] | (head[7] << 8);
    const int screenHeight = head[8] | (head[9] << 8);
    if ((head[10] & 0x80) != 0 && !readColourTable(2 << (head[10] & 7)))
        return QSize();

    for (;;) {
        const int introducer = in_.next();
        if (introducer == 0x21) {
            const int label = in_.next();
            if (label == 0xF9) {  // graphic control: only its transparent index matters here
                unsigned char control[5];
                if (!read(control, 5) || control[0] != 4)
                    return QSize();
                transparent_ = (control[1] & 1) != 0 ? control[4] : -1;
            } else if (label == 0xFF) {
                // Readers differ on an application block of no length.
                const int length = in_.next();
                if (length <= 0)
                    return QSize();
                in_.skip(length);
            } else if (label < 0) {
                return QSize();
            }
            if (!skipSubBlocks())
                return QSize();
            continue;
        }
        // The end of the file, a trailer before any picture, or junk.
        if (introducer != 0x2C)
            return QSize();
        unsigned char descriptor[9];
        if (!read(descriptor, 9))
            return QSize();
        const int left = descriptor[0] | (descriptor[1] << 8);
        const int top = descriptor[2] | (descriptor[3] << 8);
        const int frameWidth = descriptor[4] | (descriptor[5] << 8);
        const int frameHeight = descriptor[6] | (descriptor[7] << 8);
        if (frameWidth == 0 || frameHeight == 0)
            return QSize();
        const int width = screenSide(screenWidth, left, frameWidth);
        const int height = screenSide(screenHeight, top, frameHeight);
        if (qint64(width) * height > kMaxPixels)
            return QSize();
        if ((descriptor[8] & 0x80) != 0 && !readColourTable(2 << (descriptor[8] & 7)))
            return QSize();
        interlaced_ = (descriptor[8] & 0x40) != 0;
        // The general reader restarts the passes of an interlaced picture
        // at the screen's bottom edge rather than the picture's.
        if (colourCount_ == 0 ||
            (interlaced_ && (frameHeight < kMinInterlacedHeight || top + frameHeight > height)))
            return QSize();
        size_ = QSize(width, height);
        frame_ = QRect(left, top, frameWidth, frameHeight);
        return size_;
    }
}

QImage PlainGifReader::decode() {
    whole_ = false;
    if (!size_.isValid())
        return QImage();
    const int minimumCodeSize = in_.next();
    if (minimumCodeSize < 1 || minimumCodeSize > 8)
        return QImage();
    const bool coversScreen = frame_ == QRect(QPoint(0, 0), size_);
    QImage image(size_,
                 transparent_ >= 0 || !coversScreen ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    if (!coversScreen)
        image.fill(Qt::transparent);
    QRgb palette[256];
    std::memcpy(palette, colours_, sizeof palette);
    if (transparent_ >= 0 && transparent_ < colourCount_)
        palette[transparent_] &= 0x00ffffff;

    // Pixels of the picture beyond the screen are dropped.
    const int visibleWidth = std::min(frame_.width(), size_.width() - frame_.left());
    const auto lineOf = [&](int row) -> QRgb* {
        const int y = frame_.top() + row;
        if (visibleWidth <= 0 || y >= size_.height())
            return nullptr;
        return reinterpret_cast<QRgb*>(image.scanLine(y)) + frame_.left();
    };
    const int width = frame_.width();
    const qint64 pixelCount = qint64(width) * frame_.height();
    qint64 written = 0;
    int x = 0;
    int rowsBegun = 1;
    RowOrder rows(frame_.height(), interlaced_);
    QRgb* line = lineOf(0);

    const int clearCode = 1 << minimumCodeSize;
    const int endCode = clearCode + 1;
    int codeSize = minimumCodeSize + 1;
    int nextCode = clearCode + 2;
    int growAt = clearCode * 2;
    quint16 prefix[kMaxCodes];
    quint8 suffix[kMaxCodes];
    quint8 stack[kMaxCodes];
    for (int i = 0; i < clearCode; ++i)
        suffix[i] = static_cast<quint8>(i);
    bool needFirst = true;
    bool ended = false;
    int oldCode = 0;
    int firstByte = 0;
    quint32 bits = 0;
    int bitCount = 0;

    // A file cut short ends the data as its end code does; one without any
    // data is left to the general reader, which refuses it.
    int blockLength = in_.next();
    if (blockLength < 0)
        return QImage();
    for (; blockLength > 0; blockLength = in_.next()) {
        for (int b = 0; b < blockLength; ++b) {
            const int byte = in_.next();
            if (byte < 0)
                ended = true;
            if (ended)
                continue;  // what follows the end code is passed over
            bits |= quint32(byte) << bitCount;
            bitCount += 8;
            while (bitCount >= codeSize && !ended) {
                int code = int(bits & ((1u << codeSize) - 1));
                bits >>= codeSize;
                bitCount -= codeSize;
                if (code == clearCode) {
                    codeSize = minimumCodeSize + 1;
                    nextCode = clearCode + 2;
                    growAt = clearCode * 2;
                    needFirst = true;
                    continue;
                }
                if (code == endCode) {
                    ended = true;
                    break;
                }
                int depth = 0;
                if (needFirst) {
                    if (code >= clearCode)
                        return QImage();
                    oldCode = firstByte = code;
                    stack[depth++] = static_cast<quint8>(code);
                    needFirst = false;
                } else {
                    if (code > nextCode)
                        return QImage();
                    const int inCode = code;
                    if (code == nextCode) {
                        stack[depth++] = static_cast<quint8>(firstByte);
                        code = oldCode;
                    }
                    while (code >= clearCode + 2) {
                        stack[depth++] = suffix[code];
                        code = prefix[code];
                    }
                    firstByte = code;
                    stack[depth++] = static_cast<quint8>(code);
                    if (nextCode < kMaxCodes) {
                        prefix[nextCode] = static_cast<quint16>(oldCode);
                        suffix[nextCode] = static_cast<quint8>(firstByte);
                        if (++nextCode >= growAt && growAt < kMaxCodes) {
                            growAt *= 2;
                            ++codeSize;
                        }
                    }
                    oldCode = inCode;
                }
                while (depth > 0) {
                    const int index = stack[--depth];
                    if (index >= colourCount_)
                        return QImage();
                    if (written == pixelCount)
                        continue;  // pixels past the picture are dropped
                    if (line != nullptr && x < visibleWidth)
                        line[x] = palette[index];
                    ++written;
                    if (++x == width && written < pixelCount) {
                        x = 0;
                        rows.advance();
                        ++rowsBegun;
                        line = lineOf(rows.row());
                    }
                }
            }
        }
    }
    if (written == pixelCount) {
        whole_ = coversScreen;
        return image;
    }
    // The pixels the data never reached are left unpainted, as the screen
    // around the picture is.
    if (image.format() == QImage::Format_RGB32)
        image.reinterpretAsFormat(QImage::Format_ARGB32);
    for (;;) {
        for (int i = x; line != nullptr && i < visibleWidth; ++i)
            line[i] = 0;
        if (rowsBegun++ == frame_.height())
            break;
        x = 0;
        rows.advance();
        line = lineOf(rows.row());
    }
    return image;
}

}  // namespace vantelo
