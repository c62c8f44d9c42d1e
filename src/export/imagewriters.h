#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

#include "platform/savefile.h"

namespace vantelo {

// A PNG file of the picture with its transparency kept: 32-bit RGBA, not
// premultiplied. Empty for an empty picture or when the encoder fails.
QByteArray encodePng(const QImage& picture);

// Writes the picture as a PNG file through writeFileAtomically: the old file,
// if any, stays whole on failure. An empty picture is EncodeFailed.
SaveFailure savePng(const QImage& picture, const QString& fileName,
                    FileSystem& fileSystem = systemFileSystem());

// A Windows icon file holding each picture as a PNG-compressed entry, in the
// order given. Empty when there is no picture, one is empty or larger than
// 256 pixels a side (the largest size an icon entry can name).
QByteArray encodeIco(const QList<QImage>& sizes);

// Writes encodeIco(sizes) through writeFileAtomically.
SaveFailure saveIco(const QList<QImage>& sizes, const QString& fileName,
                    FileSystem& fileSystem = systemFileSystem());

}  // namespace vantelo
