#include "platform/bitmapheader.h"

#include <QByteArray>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace vantelo {
namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoSizeAt = 14;
constexpr int kCompressionAt = 30;
constexpr quint32 kBitFields = 3;
constexpr quint32 kAlphaBitFields = 6;
constexpr qint64 kWideInfoBytes = 108;

quint32 readLittleEndian(const QByteArray& bytes, int at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

void writeLittleEndian(QByteArray& bytes, int at, quint32 value) {
    qToLittleEndian(value, bytes.data() + at);
}

// The file with its headers replaced by `head`: the bytes from `restAt` on
// follow them unchanged.
class WidenedBitmap final : public QIODevice {
public:
    WidenedBitmap(QIODevice& file, QByteArray head, qint64 restAt)
        : file_(file), head_(std::move(head)), restAt_(restAt) {}
    bool isSequential() const override { return false; }
    qint64 size() const override {
        return head_.size() + std::max<qint64>(0, file_.size() - restAt_);
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        qint64 at = pos();
        qint64 done = 0;
        if (at < head_.size()) {
            done = std::min(maxSize, head_.size() - at);
            std::memcpy(data, head_.constData() + at, size_t(done));
            at += done;
        }
        if (done == maxSize)
            return done;
        if (!file_.seek(at - head_.size() + restAt_))
            return done > 0 ? done : -1;
        const qint64 got = file_.read(data + done, maxSize - done);
        if (got < 0)
            return done > 0 ? done : -1;
        return done + got;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& file_;
    const QByteArray head_;
    const qint64 restAt_;
};

}  // namespace

std::unique_ptr<QIODevice> widenedBitmap(QIODevice& file) {
    const QByteArray start = file.peek(kFileHeaderBytes + 40);
    if (start.size() < kFileHeaderBytes + 40 || !start.startsWith("BM"))
        return nullptr;
    const quint32 infoSize = readLittleEndian(start, kInfoSizeAt);
    const quint32 compression = readLittleEndian(start, kCompressionAt);
    const bool alphaFields = compression == kAlphaBitFields;
    // The header's bytes together with the masks that follow a 40-byte one.
    qint64 extent = 0;
    if (infoSize == 52 || infoSize == 56)
        extent = infoSize;
    else if (infoSize == 40 && alphaFields)
        extent = 56;
    else if ((infoSize == 108 || infoSize == 124) && alphaFields)
        extent = infoSize;
    else
        return nullptr;
    const qint64 wide = std::max(extent, kWideInfoBytes);
    QByteArray head = file.peek(kFileHeaderBytes + extent);
    if (head.size() != kFileHeaderBytes + extent)
        return nullptr;
    // The colour space fields after the masks stay zero, as in a file that
    // states none; a 52-byte header has no alpha mask, which zero says too.
    head.append(QByteArray(wide - extent, '\0'));
    writeLittleEndian(head, kInfoSizeAt, quint32(wide));
    if (alphaFields)
        writeLittleEndian(head, kCompressionAt, kBitFields);
    const quint32 grownBy = quint32(wide - extent);
    writeLittleEndian(head, 2, readLittleEndian(head, 2) + grownBy);    // the file's size
    writeLittleEndian(head, 10, readLittleEndian(head, 10) + grownBy);  // where the pixels start
    auto device = std::make_unique<WidenedBitmap>(file, std::move(head), kFileHeaderBytes + extent);
    if (!device->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return nullptr;
    return device;
}

}  // namespace vantelo
