#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "design/logodesign.h"
#include "export/designrenderer.h"
#include "platform/picture.h"

namespace vantelo {

// A design kept in a file of its own: the picture, the two text lines, the
// export choices and the picture's own bytes, so that the file still opens
// whole when the picture it was made from is gone.
struct DesignFile {
    LogoDesign design;
    // Scale, width, transparency, trimming and background.
    RenderOptions exportOptions;
    // The picture file's own name, without a folder, and its bytes.
    QString pictureName;
    QByteArray pictureBytes;
};

// The version this program writes, and the newest it reads.
inline constexpr int kDesignFileVersion = 1;
// The extension of a design file, without the dot.
inline const QString kDesignFileSuffix = QStringLiteral("vantelo");

// Why a file is no design this program can open, in words for the user.
struct DesignFileError {
    QString why;
};

// The file's bytes: UTF-8 JSON, the picture base64-encoded inside it.
QByteArray encodeDesignFile(const DesignFile& file);

// Reads a design from a file's bytes, checking every field; raises
// DesignFileError. The picture's bytes are not decoded here.
DesignFile decodeDesignFile(const QByteArray& bytes, const PictureLimits& limits = PictureLimits());

// The largest design file read: a picture of the largest size allowed,
// base64-encoded, and room for the rest.
qint64 maximumDesignFileBytes(const PictureLimits& limits = PictureLimits());

// Reads and checks a design file; raises DesignFileError, whose reason says
// what is wrong (a missing file, one too large, cut short, not a design,
// a field of the wrong kind, a newer version).
DesignFile readDesignFile(const QString& path, const PictureLimits& limits = PictureLimits());

// Decodes the picture inside a design with the checks and limits of any
// picture the program opens; raises DesignFileError.
QImage decodeDesignPicture(const DesignFile& file, const PictureLimits& limits = PictureLimits());

// Whether a file name ends in ".vantelo", in any case.
bool isDesignFileName(const QString& fileName);

}  // namespace vantelo

namespace vantelo {

// The one message a design that cannot be opened gets: the file and why.
QString cannotOpenDesignMessage(const QString& path, const QString& why);

}  // namespace vantelo
