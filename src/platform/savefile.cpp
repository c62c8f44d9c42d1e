#include "platform/savefile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <cerrno>

#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

// The longest name one folder entry may have, and the longest whole path.
constexpr qsizetype kMaxNameBytes = 255;
constexpr qsizetype kMaxPathBytes = 4095;

bool hasForbiddenCharacter(const QString& name) {
    if (name.contains(QChar(0)))
        return true;
#ifdef Q_OS_WIN
    for (const QChar c : name) {
        if (c.unicode() < 32 || QStringLiteral("<>:\"|?*").contains(c))
            return true;
    }
#endif
    return false;
}

// The attribute value of a path, or -1 when nothing there can be read.
int attributesOf(FileSystem& fileSystem, const QString& path) {
    try {
        return fileSystem.attributes(path);
    } catch (const RuntimeError&) {
        return -1;
    }
}

bool isFolder(FileSystem& fileSystem, const QString& path) {
    const int attributes = attributesOf(fileSystem, path);
    return attributes >= 0 && (attributes & AttrDirectory) != 0;
}

// Whether this user may write the file, or create files in the folder.
bool isWritable(FileSystem& fileSystem, const QString& path) {
    const int attributes = attributesOf(fileSystem, path);
    return attributes >= 0 && (attributes & AttrReadOnly) == 0;
}

SaveFailure checkTarget(const QString& fileName, FileSystem& fileSystem) {
    const QFileInfo info(fileName);
    // A NUL would cut the name short on its way to the system, and the file
    // would be written under the shorter name.
    if (info.fileName().isEmpty() || hasForbiddenCharacter(fileName))
        return SaveFailure::BadName;
    if (QFile::encodeName(info.fileName()).size() > kMaxNameBytes ||
        QFile::encodeName(info.absoluteFilePath()).size() > kMaxPathBytes)
        return SaveFailure::NameTooLong;
    const QString folder = info.absolutePath();
    if (!isFolder(fileSystem, folder))
        return SaveFailure::FolderNotFound;
    if (fileSystem.exists(fileName)) {
        if (isFolder(fileSystem, fileName))
            return SaveFailure::NotAFile;
        // The new file is written beside the old one and renamed over it, and
        // a rename needs only the folder to be writable: a read-only file must
        // be refused here, by name, before anything is written.
        if (!isWritable(fileSystem, fileName))
            return SaveFailure::AccessDenied;
    }
    if (!isWritable(fileSystem, folder))
        return SaveFailure::AccessDenied;
    return SaveFailure::None;
}

SaveFailure failureFromErrno(int error) {
    switch (error) {
        case ENOSPC:
        case EFBIG:
        case EDQUOT:
            return SaveFailure::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return SaveFailure::AccessDenied;
        case ENOENT:
        case ENOTDIR:
            return SaveFailure::FolderNotFound;
        case ENAMETOOLONG:
            return SaveFailure::NameTooLong;
        case EISDIR:
            return SaveFailure::NotAFile;
        case EINVAL:
        case EILSEQ:
            return SaveFailure::BadName;
        default:
            return SaveFailure::WriteFailed;
    }
}

}  // namespace

SaveFailure writeFileAtomically(const QString& fileName, const FileEncoder& encode,
                                FileSystem& fileSystem, qsizetype sizeHint) {
    if (const SaveFailure problem = checkTarget(fileName, fileSystem); problem != SaveFailure::None)
        return problem;

    // Encoding first, into memory, keeps the encoder's failures apart from the
    // disk's and leaves one write whose error the system names exactly.
    QByteArray bytes;
    bytes.reserve(sizeHint);
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!encode(buffer))
            return SaveFailure::EncodeFailed;
    }

    QSaveFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failureFromErrno(errno);
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        const int error = errno;
        // Every failure after the open must cancel the write, so that nothing
        // can commit a half-written file over the user's old one.
        file.cancelWriting();
        return failureFromErrno(error);
    }
    errno = 0;
    if (!file.commit())
        return failureFromErrno(errno);
    return SaveFailure::None;
}

void SavePicture(const QImage& picture, const QString& fileName, FileSystem& fileSystem) {
    if (picture.isNull())
        throw RuntimeError(ErrInvalidPicture);
    // A bitmap is never larger than the picture's own pixels plus its header
    // and palette.
    const SaveFailure failure = writeFileAtomically(
        fileName,
        [&picture](QIODevice& device) {
            QImageWriter writer(&device, "bmp");
            return writer.write(picture);
        },
        fileSystem, picture.sizeInBytes() + 1024);
    switch (failure) {
        case SaveFailure::None:
            return;
        case SaveFailure::BadName:
        case SaveFailure::NameTooLong:
            throw RuntimeError(ErrBadFileName);
        case SaveFailure::FolderNotFound:
            throw RuntimeError(ErrPathNotFound);
        case SaveFailure::AccessDenied:
            throw RuntimeError(ErrPermissionDenied);
        case SaveFailure::DiskFull:
            throw RuntimeError(ErrDiskFull);
        case SaveFailure::EncodeFailed:
            throw RuntimeError(ErrInvalidPicture);
        case SaveFailure::NotAFile:
        case SaveFailure::WriteFailed:
            break;
    }
    throw RuntimeError(ErrPathFileAccess);
}

}  // namespace vantelo
