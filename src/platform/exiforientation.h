#pragma once

#include <QByteArray>
#include <QImage>

namespace vantelo {

// The orientation that an EXIF block gives its picture, numbered 1 to 8 as
// EXIF numbers them (1: stored upright, 6: turn a quarter clockwise to view).
// `block` is the TIFF data of the block, from its byte-order mark on, in
// either byte order; the orientation is read from the first directory, held
// as a 16-bit or a 32-bit number. Gives 1 when the block holds no orientation
// or no valid one; nothing in the block is trusted to lie within it.
int exifOrientation(const QByteArray& block);

// The orientation of a JPEG file, from the first EXIF segment among those
// ahead of its first scan, wherever it stands among them; 1 when there is none.
int jpegOrientation(int fd);

// The picture as it is meant to be seen, for one stored in `orientation`.
QImage turnedUpright(const QImage& image, int orientation);

}  // namespace vantelo
