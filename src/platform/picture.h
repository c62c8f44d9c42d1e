#pragma once

#include <QImage>
#include <QString>

namespace vantelo {

// Loads a picture by its content (JPEG, BMP/DIB, GIF, cursor), whatever its
// extension says. Raises 53 "File not found" for a missing file, 76 "Path not
// found" when its folder is missing, 52 for a name no file can have, 70 for a file that cannot be
// read and 481 "Invalid picture" for data that is no complete picture (a truncated JPEG included).
QImage LoadPicture(const QString& path);

}  // namespace vantelo
