#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>

#include "platform/filesystem.h"

class QIODevice;

namespace vantelo {

// Why a file was not written.
enum class SaveFailure {
    None,
    BadName,         // empty, or holds a character no file name may hold
    NameTooLong,     // the name or the whole path is longer than the system allows
    FolderNotFound,  // the folder of the name does not exist
    AccessDenied,    // the file, or the folder it would be created in, is read-only
    NotAFile,        // the name is that of a folder
    NotAFolder,      // a folder was wanted where a file or device has the name
    DiskFull,        // no room left on the disk, or the file grew beyond the user's limit
    EncodeFailed,    // the encoder gave up before a byte reached the disk
    WriteFailed,     // any other refusal of the file system
};

// Encodes the whole file into memory; null when it fails. The bytes must stay
// valid until the write is over.
using FileEncoder = std::function<const QByteArray*()>;

// Checks a name before anything is encoded: whether a file of that name may be
// written by this user. Asks the file system once (SaveTarget).
SaveFailure checkSaveName(const QString& fileName, FileSystem& fileSystem = systemFileSystem());

// Writes a file all at once or not at all. The name is checked first, then the
// encoder fills its buffer, and only then is the file written: into a
// temporary file beside it that replaces the old one when everything went
// well. On any failure the old file, if there was one, stays as it was, and
// nothing else is left behind. The new file's data reach the disk before it
// replaces the old one, so even a crash leaves one of the two whole. A
// symbolic link stays a link: the file it leads to is replaced. Where the old
// file may be written but not replaced (its folder is closed to this user, or
// sticky and the file another's), it is rewritten in place instead.
SaveFailure writeFileAtomically(const QString& fileName, const FileEncoder& encode,
                                FileSystem& fileSystem = systemFileSystem());

// Creates a folder for files to be written into; its parent must exist. A
// folder already there (or a link to one) is fine; a file or device in its
// place is NotAFolder.
SaveFailure makeFolderForFiles(const QString& folder);

// Raises the error a failed write is reported with: 52 for a bad or too long
// name, 76 for a missing folder, 70 when refused, 61 for a full disk, 481
// when the encoder failed, 75 otherwise. Returns for SaveFailure::None.
void raiseSaveFailure(SaveFailure failure);

// A Windows bitmap file of the picture: 24 bits a pixel, rows bottom up. The
// second form writes it into `file`, which keeps its capacity.
QByteArray encodeBitmap(const QImage& picture);
void encodeBitmap(const QImage& picture, QByteArray& file);

// Saves a picture as a Windows bitmap file, creating or replacing it. Raises
// 481 "Invalid picture" for an empty picture, 52 "Bad file name or number" for
// a name no file can have, 76 "Path not found" when its folder is missing, 70
// "Permission denied" for a read-only file or folder, 61 "Disk full" and 75
// "Path/File access error" for a folder in the way or any other refusal.
void SavePicture(const QImage& picture, const QString& fileName,
                 FileSystem& fileSystem = systemFileSystem());

}  // namespace vantelo
