#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace vantelo {

// Reads a whole regular file of at most `maxBytes` bytes. The file is opened
// without blocking, so a pipe or device is refused at once rather than waited
// on. Raises 53 for a missing file, 76 for a missing folder or a folder, 52
// for a name no file can have, 70 when it may not be read, 481 "Invalid
// picture: not a file" for anything but a regular file, and 7 "Out of memory"
// when it is larger than `maxBytes`.
QByteArray readWholeFile(const QString& path, qint64 maxBytes);

// The size of a regular file, or -1 when there is none at the path.
qint64 regularFileSize(const QString& path);

}  // namespace vantelo
