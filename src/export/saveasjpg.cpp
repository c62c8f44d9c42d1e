#include "export/saveasjpg.h"

#include <QImageWriter>

#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

bool validInput(const QImage& picture, int quality) {
    return !picture.isNull() && quality >= 0 && quality <= 100;
}

int statusOf(SaveFailure failure) {
    switch (failure) {
        case SaveFailure::None:
            return JpegOk;
        case SaveFailure::BadName:
            return JpegBadFileName;
        case SaveFailure::NameTooLong:
            return JpegNameTooLong;
        case SaveFailure::FolderNotFound:
            return JpegFolderNotFound;
        case SaveFailure::AccessDenied:
            return JpegAccessDenied;
        case SaveFailure::NotAFile:
            return JpegNotAFile;
        case SaveFailure::DiskFull:
            return JpegDiskFull;
        case SaveFailure::EncodeFailed:
            return JpegEncoderFailed;
        case SaveFailure::WriteFailed:
            break;
    }
    return JpegCannotWrite;
}

}  // namespace

int EncodeJPG(const QImage& picture, QIODevice& device, int quality) {
    if (!validInput(picture, quality))
        return JpegInvalidParameter;
    QImageWriter writer(&device, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(false);
    writer.setOptimizedWrite(false);
    if (writer.write(picture))
        return JpegOk;
    return writer.error() == QImageWriter::DeviceError ? JpegCannotWrite : JpegEncoderFailed;
}

void SaveJPG(const QImage& picture, const QString& fileName, int quality, FileSystem& fileSystem) {
    int status = JpegInvalidParameter;
    if (validInput(picture, quality)) {
        int encoderStatus = JpegOk;
        const SaveFailure failure = writeFileAtomically(
            fileName,
            [&](QIODevice& device) {
                encoderStatus = EncodeJPG(picture, device, quality);
                return encoderStatus == JpegOk;
            },
            fileSystem);
        status = failure == SaveFailure::EncodeFailed ? encoderStatus : statusOf(failure);
    }
    if (status != JpegOk)
        throw RuntimeError(ErrInvalidCall, QLatin1String(kSaveJpgError) + QString::number(status));
}

}  // namespace vantelo
