#include "export/imagewriters.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

namespace vantelo {
namespace {

constexpr int kIconDirBytes = 6;
constexpr int kIconEntryBytes = 16;
constexpr int kLargestIcon = 256;

SaveFailure saveBytes(const QString& fileName, const std::function<QByteArray()>& encode,
                      FileSystem& fileSystem) {
    QByteArray bytes;
    return writeFileAtomically(
        fileName,
        [&]() -> const QByteArray* {
            bytes = encode();
            return bytes.isEmpty() ? nullptr : &bytes;
        },
        fileSystem);
}

}  // namespace

QByteArray encodePng(const QImage& picture) {
    if (picture.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // Without an alpha channel in the picture's format Qt's writer would store
    // RGB and drop the transparency.
    if (!writer.write(picture.convertToFormat(QImage::Format_ARGB32)))
        return {};
    return bytes;
}

SaveFailure savePng(const QImage& picture, const QString& fileName, FileSystem& fileSystem) {
    return saveBytes(
        fileName, [&] { return encodePng(picture); }, fileSystem);
}

QByteArray encodeIco(const QList<QImage>& sizes) {
    if (sizes.isEmpty() || sizes.size() > 0xFFFF)
        return {};
    QList<QByteArray> pngs;
    for (const QImage& picture : sizes) {
        if (picture.width() > kLargestIcon || picture.height() > kLargestIcon)
            return {};
        pngs.push_back(encodePng(picture));
        if (pngs.back().isEmpty())
            return {};
    }
    QByteArray file(kIconDirBytes + kIconEntryBytes * sizes.size(), '\0');
    auto* out = reinterpret_cast<uchar*>(file.data());
    qToLittleEndian(quint16(0), out);      // reserved
    qToLittleEndian(quint16(1), out + 2);  // an icon, not a cursor
    qToLittleEndian(quint16(sizes.size()), out + 4);
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        uchar* entry = out + kIconDirBytes + kIconEntryBytes * i;
        // A side of 256 does not fit the byte and is written as 0.
        entry[0] = uchar(sizes.at(i).width() & 0xFF);
        entry[1] = uchar(sizes.at(i).height() & 0xFF);
        entry[2] = 0;  // no palette
        entry[3] = 0;
        qToLittleEndian(quint16(1), entry + 4);   // colour planes
        qToLittleEndian(quint16(32), entry + 6);  // bits a pixel
        qToLittleEndian(quint32(pngs.at(i).size()), entry + 8);
        qToLittleEndian(quint32(file.size()), entry + 12);
        file += pngs.at(i);
        out = reinterpret_cast<uchar*>(file.data());
    }
    return file;
}

SaveFailure saveIco(const QList<QImage>& sizes, const QString& fileName, FileSystem& fileSystem) {
    return saveBytes(
        fileName, [&] { return encodeIco(sizes); }, fileSystem);
}

}  // namespace vantelo
