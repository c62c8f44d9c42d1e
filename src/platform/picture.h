#pragma once

#include <QImage>
#include <QString>
#include <QtGlobal>
#include <functional>

class QImageReader;

namespace vantelo {

// What one picture may cost. A file beyond `fileBytes` is refused before any
// of it is read; a picture is refused before decoding when a side is longer
// than `side` pixels, when holding it at the 32 bits a pixel the canvas shows
// it with (more for a deeper format) takes more than `decodeMegabytes`, or
// when it carries more than `metadataBytes` besides its pixels.
struct PictureLimits {
    qint64 fileBytes = qint64(256) << 20;
    int side = 32767;
    int decodeMegabytes = 1024;               // a 16384 × 16384 picture fits exactly
    qint64 metadataBytes = qint64(16) << 20;  // JPEG comments and profiles, PNG text
    // Reads a JPEG's pixels in place of a whole decode once every check has
    // passed (a decode at a reduced scale): given the reader and the file's
    // EXIF orientation, it gives the picture as stored, or null for data that
    // is no picture. LoadPicture turns the result upright.
    std::function<QImage(QImageReader& reader, int orientation)> readJpeg;
};

// Loads a picture by its content (JPEG, BMP/DIB, GIF, cursor), whatever its
// extension says, turned upright as a JPEG's EXIF orientation asks. Only a
// regular file is opened, without blocking, and it is streamed to the decoder.
// Raises 53 "File not found" for a missing file, 76 "Path not found" when its
// folder is missing or the path names a folder, 52 for a name no file can
// have, 70 for a file that cannot be read and 481 for anything else that is no
// picture: a pipe or device, data that is no complete picture (a truncated
// JPEG or BMP included), or a picture beyond the limits ("Picture too large").
QImage LoadPicture(const QString& path, const PictureLimits& limits = PictureLimits());

// The checks LoadPicture makes before it decodes anything, with the same
// errors, for a picture that is decoded later. Returns the format the file's
// first bytes name; empty when they name none, and only decoding can tell.
QByteArray CheckPicture(const QString& path, const PictureLimits& limits = PictureLimits());

}  // namespace vantelo
