#include "platform/picture.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

// libjpeg fills a truncated scan with grey and calls it a success; a JPEG is
// only whole when an end-of-image marker follows its last start-of-scan.
bool jpegIsComplete(const QByteArray& data) {
    const int sos = data.lastIndexOf(QByteArray("\xFF\xDA", 2));
    if (sos < 0)
        return false;
    return data.indexOf(QByteArray("\xFF\xD9", 2), sos + 2) >= 0;
}

}  // namespace

QImage LoadPicture(const QString& path) {
    // No file system can name a path holding a NUL.
    if (path.contains(QChar(0)))
        throw RuntimeError(ErrBadFileName);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        if (!path.isEmpty() && !info.absoluteDir().exists())
            throw RuntimeError(ErrPathNotFound);
        throw RuntimeError(ErrFileNotFound);
    }
    if (info.isDir())
        throw RuntimeError(ErrPathNotFound);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(ErrPermissionDenied);
    QByteArray data = file.readAll();
    file.close();

    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        throw RuntimeError(ErrInvalidPicture);
    if (format == "jpeg" && !jpegIsComplete(data))
        throw RuntimeError(ErrInvalidPicture);
    QImage image = reader.read();
    if (image.isNull())
        throw RuntimeError(ErrInvalidPicture);
    return image;
}

}  // namespace vantelo
