#pragma once

#include <QImage>
#include <QString>

#include "platform/savefile.h"

class QIODevice;

namespace vantelo {

// The statuses SaveJPG reports after "Cannot save the image. GDI+ Error:".
// The numbers up to 12 keep the meaning they have always had in that message;
// the ones from 30 on are ours, for causes that deserve a number of their own.
enum JpegStatus : int {
    JpegOk = 0,
    JpegEncoderFailed = 1,     // the JPEG encoder gave up (or is not installed)
    JpegInvalidParameter = 2,  // an empty picture, or a quality outside 0 to 100
    JpegCannotWrite = 7,       // the system refused the file for a reason not listed here
    JpegFolderNotFound = 10,   // the folder the file should go into does not exist
    JpegAccessDenied = 12,     // the file, or its folder, is read-only for this user
    JpegDiskFull = 30,         // the disk is full, or the file outgrew the user's size limit
    JpegBadFileName = 31,      // the name holds a character no file name may hold
    JpegNameTooLong = 32,      // the name, or the whole path, is too long
    JpegNotAFile = 33,         // the name is that of a folder
};

inline constexpr const char* kSaveJpgError =
    QT_TRANSLATE_NOOP("SaveJPG", "Cannot save the image. GDI+ Error:");

// Encodes the picture as a baseline (not progressive, not optimised) JPEG of
// the given quality, 0 to 100, into the device. Returns JpegOk or the status.
int EncodeJPG(const QImage& picture, QIODevice& device, int quality);
// The same into a byte array, which keeps its capacity for the next call.
// Plain 8-bit and 32-bit pictures go to libjpeg-turbo row by row as they are
// stored; anything else goes through Qt's JPEG writer, which gives the same
// bytes for the same pixels.
int EncodeJPGToBytes(const QImage& picture, int quality, QByteArray& out);

// Writes the picture as a JPEG file of the given quality, creating or replacing
// the file, or raises error 5 "Cannot save the image. GDI+ Error:<status>".
// On failure a file that was there before stays as it was.
void SaveJPG(const QImage& picture, const QString& fileName, int quality,
             FileSystem& fileSystem = systemFileSystem());

}  // namespace vantelo
