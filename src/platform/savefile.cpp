#include "platform/savefile.h"

#include <QFileInfo>
#include <QtEndian>
#include <cerrno>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/runtimeerror.h"
#include "platform/savefile_impl.h"

namespace vantelo {

namespace saving {

SaveFailure failureFromErrno(int error) {
    switch (error) {
        case ENOSPC:
        case EFBIG:
#ifdef EDQUOT
        case EDQUOT:
#endif
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

}  // namespace saving

namespace {

using saving::failureFromErrno;

SaveFailure checkName(const QString& fileName) {
    // A NUL would cut the name short on its way to the system, and the file
    // would be written under the shorter name.
    if (QFileInfo(fileName).fileName().isEmpty() || fileName.contains(QChar(0)))
        return SaveFailure::BadName;
    return saving::checkSystemName(QFileInfo(fileName).absoluteFilePath());
}

// What a write may do with the target the file system described: a failure,
// or whether the old file must be rewritten in place.
SaveFailure judge(const SaveTarget& target, bool& inPlace) {
    inPlace = false;
    if (target.lookupError != 0)
        return failureFromErrno(target.lookupError);
    if (target.kind == SaveTarget::Folder || target.kind == SaveTarget::Other)
        return SaveFailure::NotAFile;
    if (target.kind == SaveTarget::File) {
        // A rename needs only the folder to be writable: a file this user may
        // not write must be refused here, before anything is written.
        if (target.fileError != 0)
            return failureFromErrno(target.fileError);
        inPlace = target.folderError != 0;
        return SaveFailure::None;
    }
    if (target.folderError != 0)
        return failureFromErrno(target.folderError);
    return SaveFailure::None;
}

// Blue, green and red of each pixel, three bytes a pixel, as a bitmap row
// stores them.
void packBgrRowPlain(const QRgb* in, uchar* out, qsizetype width) {
    for (qsizetype x = 0; x < width; ++x) {
        const QRgb p = in[x];
        out[0] = uchar(qBlue(p));
        out[1] = uchar(qGreen(p));
        out[2] = uchar(qRed(p));
        out += 3;
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Four pixels a step with one byte shuffle: the bulk of a row in a quarter of
// the plain loop's time. Each step stores 16 bytes of which 12 count, so the
// loop stops while at least two pixels remain and never writes past the row's
// own bytes; the plain loop does the rest.
__attribute__((target("ssse3"))) void packBgrRowShuffled(const QRgb* in, uchar* out,
                                                         qsizetype width) {
    const __m128i dropAlpha = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    qsizetype x = 0;
    for (; x + 6 <= width; x += 4, out += 12) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(four, dropAlpha));
    }
    packBgrRowPlain(in + x, out, width - x);
}

void packBgrRow(const QRgb* in, uchar* out, qsizetype width) {
    static const bool shuffles = __builtin_cpu_supports("ssse3");
    if (shuffles)
        packBgrRowShuffled(in, out, width);
    else
        packBgrRowPlain(in, out, width);
}
#else
void packBgrRow(const QRgb* in, uchar* out, qsizetype width) {
    packBgrRowPlain(in, out, width);
}
#endif

}  // namespace

SaveFailure checkSaveName(const QString& fileName, FileSystem& fileSystem) {
    if (const SaveFailure problem = checkName(fileName); problem != SaveFailure::None)
        return problem;
    bool inPlace = false;
    return judge(fileSystem.saveTarget(fileName), inPlace);
}

SaveFailure writeFileAtomically(const QString& fileName, const FileEncoder& encode,
                                FileSystem& fileSystem) {
    if (const SaveFailure problem = checkName(fileName); problem != SaveFailure::None)
        return problem;
    const SaveTarget target = fileSystem.saveTarget(fileName);
    bool inPlace = false;
    if (const SaveFailure problem = judge(target, inPlace); problem != SaveFailure::None)
        return problem;

    // Encoding first, into memory, keeps the encoder's failures apart from the
    // disk's and leaves one write whose error the system names exactly.
    const QByteArray* bytes = encode();
    if (bytes == nullptr)
        return SaveFailure::EncodeFailed;

    return saving::writeBytes(target, *bytes, inPlace);
}

SaveFailure makeFolderForFiles(const QString& folder) {
    if (folder.isEmpty() || folder.contains(QChar(0)))
        return SaveFailure::BadName;
    return saving::makeOneFolder(folder);
}

void encodeBitmap(const QImage& picture, QByteArray& file) {
    const QImage pixels =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32);
    const qsizetype width = pixels.width();
    const qsizetype height = pixels.height();
    const qsizetype rowBytes = (width * 3 + 3) & ~qsizetype(3);
    constexpr qsizetype kHeaders = 14 + 40;
    // Resizing keeps the capacity, so a buffer kept for the next save is
    // written over without the system having to find fresh memory for it.
    file.resize(kHeaders + rowBytes * height);
    auto* out = reinterpret_cast<uchar*>(file.data());
    const auto put16 = [&out](int at, quint32 value) { qToLittleEndian(quint16(value), out + at); };
    const auto put32 = [&out](int at, quint32 value) { qToLittleEndian(value, out + at); };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, quint32(file.size()));
    put32(6, 0);
    put32(10, kHeaders);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));
    put16(26, 1);   // planes
    put16(28, 24);  // bits a pixel
    put32(30, 0);   // no compression
    put32(34, quint32(rowBytes * height));
    put32(38, quint32(pixels.dotsPerMeterX()));
    put32(42, quint32(pixels.dotsPerMeterY()));
    put32(46, 0);
    put32(50, 0);
    for (qsizetype y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(pixels.constScanLine(int(height - 1 - y)));
        uchar* row = out + kHeaders + y * rowBytes;
        // Rows are read bottom up, against the direction the processor
        // fetches ahead by itself: ask for the next row while this one is packed.
        if (y + 1 < height) {
            const auto* next =
                reinterpret_cast<const char*>(pixels.constScanLine(int(height - 2 - y)));
            for (qsizetype at = 0; at < width * 4; at += 64)
                __builtin_prefetch(next + at);
        }
        packBgrRow(in, row, width);
        for (qsizetype pad = width * 3; pad < rowBytes; ++pad)
            row[pad] = 0;
    }
}

QByteArray encodeBitmap(const QImage& picture) {
    QByteArray file;
    encodeBitmap(picture, file);
    return file;
}

void raiseSaveFailure(SaveFailure failure) {
    switch (failure) {
        case SaveFailure::None:
            return;
        case SaveFailure::BadName:
        case SaveFailure::NameTooLong:
            throw RuntimeError(ErrBadFileName);
        case SaveFailure::FolderNotFound:
        case SaveFailure::NotAFolder:
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

void SavePicture(const QImage& picture, const QString& fileName, FileSystem& fileSystem) {
    if (picture.isNull())
        throw RuntimeError(ErrInvalidPicture);
    // Kept from call to call, as the JPEG writer keeps its own: a save then
    // writes into memory the process already has. It holds three bytes for
    // each of the four the canvas itself takes.
    thread_local QByteArray bytes;
    const SaveFailure failure = writeFileAtomically(
        fileName,
        [&]() -> const QByteArray* {
            encodeBitmap(picture, bytes);
            return &bytes;
        },
        fileSystem);
    raiseSaveFailure(failure);
}

}  // namespace vantelo
