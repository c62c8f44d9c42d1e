#include "export/saveasjpg.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QImageWriter>
#include <QSysInfo>
#include <algorithm>
#include <csetjmp>

#include <jpeglib.h>

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
        case SaveFailure::NotAFolder:
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

// How libjpeg takes a format's rows as they are in memory, or JCS_UNKNOWN for
// formats Qt's own writer converts in ways worth no copy here.
J_COLOR_SPACE rowLayout(QImage::Format format, int& components) {
    components = 4;
    switch (format) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            // 0xAARRGGBB words: B, G, R, A in memory on a little-endian machine.
            return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
        case QImage::Format_RGBX8888:
        case QImage::Format_RGBA8888:
            return JCS_EXT_RGBX;
        case QImage::Format_RGB888:
            components = 3;
            return JCS_RGB;
        case QImage::Format_Grayscale8:
            components = 1;
            return JCS_GRAYSCALE;
        default:
            return JCS_UNKNOWN;
    }
}

// Qt's writer records nothing but pixels and resolution for a plain picture;
// text keys and a colour space become markers of their own, which only Qt's
// writer produces.
bool plainPicture(const QImage& picture) {
    return picture.textKeys().isEmpty() && !picture.colorSpace().isValid();
}

struct ErrorExit : jpeg_error_mgr {
    std::jmp_buf jump;
};

// A libjpeg destination that fills a growing byte array.
struct ArrayDestination : jpeg_destination_mgr {
    QByteArray* bytes = nullptr;
};

void initDestination(j_compress_ptr cinfo) {
    auto* dest = static_cast<ArrayDestination*>(cinfo->dest);
    dest->bytes->resize(std::max<qsizetype>(dest->bytes->capacity(), 16384));
    dest->next_output_byte = reinterpret_cast<JOCTET*>(dest->bytes->data());
    dest->free_in_buffer = static_cast<size_t>(dest->bytes->size());
}

boolean emptyOutput(j_compress_ptr cinfo) {
    auto* dest = static_cast<ArrayDestination*>(cinfo->dest);
    const qsizetype used = dest->bytes->size();
    dest->bytes->resize(used * 2);
    dest->next_output_byte = reinterpret_cast<JOCTET*>(dest->bytes->data()) + used;
    dest->free_in_buffer = static_cast<size_t>(dest->bytes->size() - used);
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    auto* dest = static_cast<ArrayDestination*>(cinfo->dest);
    dest->bytes->resize(dest->bytes->size() - static_cast<qsizetype>(dest->free_in_buffer));
}

// One compressor per thread, created on first use and kept: setting libjpeg up
// costs more than encoding a small logo.
class Compressor {
public:
    Compressor() {
        cinfo_.err = jpeg_std_error(&error_);
        error_.error_exit = [](j_common_ptr cinfo) {
            std::longjmp(static_cast<ErrorExit*>(cinfo->err)->jump, 1);
        };
        error_.output_message = [](j_common_ptr) {};
        jpeg_create_compress(&cinfo_);
        destination_.init_destination = initDestination;
        destination_.empty_output_buffer = emptyOutput;
        destination_.term_destination = termDestination;
        cinfo_.dest = &destination_;
    }
    ~Compressor() { jpeg_destroy_compress(&cinfo_); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    // The settings are those of Qt's own writer (quality limited to baseline
    // tables, neither optimised nor progressive, its choice of resolution
    // unit), so a file is byte for byte what that writer makes of the same
    // pixels.
    bool encode(const QImage& picture, int quality, J_COLOR_SPACE layout, int components,
                QByteArray& out) {
        destination_.bytes = &out;
        if (setjmp(error_.jump) != 0) {
            // Leaves the compressor ready for the next picture.
            jpeg_abort_compress(&cinfo_);
            return false;
        }
        cinfo_.image_width = static_cast<JDIMENSION>(picture.width());
        cinfo_.image_height = static_cast<JDIMENSION>(picture.height());
        cinfo_.input_components = components;
        cinfo_.in_color_space = layout;
        jpeg_set_defaults(&cinfo_);
        setDensity(picture);
        jpeg_set_quality(&cinfo_, quality, TRUE);
        jpeg_start_compress(&cinfo_, TRUE);
        JSAMPROW rows[32];
        while (cinfo_.next_scanline < cinfo_.image_height) {
            const JDIMENSION first = cinfo_.next_scanline;
            const JDIMENSION count = std::min<JDIMENSION>(32, cinfo_.image_height - first);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = const_cast<JSAMPROW>(picture.constScanLine(static_cast<int>(first + i)));
            jpeg_write_scanlines(&cinfo_, rows, count);
        }
        jpeg_finish_compress(&cinfo_);
        return true;
    }

private:
    // Dots per inch when the resolution is nearer a whole number of those,
    // else dots per centimetre.
    void setDensity(const QImage& picture) {
        const int x = picture.dotsPerMeterX();
        const int y = picture.dotsPerMeterY();
        const qreal diffInch = qAbs(x * 2.54 / 100. - qRound(x * 2.54 / 100.)) +
                               qAbs(y * 2.54 / 100. - qRound(y * 2.54 / 100.));
        const qreal diffCm =
            (qAbs(x / 100. - qRound(x / 100.)) + qAbs(y / 100. - qRound(y / 100.))) * 2.54;
        if (diffInch < diffCm) {
            cinfo_.density_unit = 1;
            cinfo_.X_density = static_cast<UINT16>(qRound(x * 2.54 / 100.));
            cinfo_.Y_density = static_cast<UINT16>(qRound(y * 2.54 / 100.));
        } else {
            cinfo_.density_unit = 2;
            cinfo_.X_density = static_cast<UINT16>((x + 50) / 100);
            cinfo_.Y_density = static_cast<UINT16>((y + 50) / 100);
        }
    }

    jpeg_compress_struct cinfo_{};
    ErrorExit error_{};
    ArrayDestination destination_{};
};

int encodeWithQt(const QImage& picture, int quality, QByteArray& out) {
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(false);
    writer.setOptimizedWrite(false);
    if (writer.write(picture))
        return JpegOk;
    return writer.error() == QImageWriter::DeviceError ? JpegCannotWrite : JpegEncoderFailed;
}

}  // namespace

int EncodeJPGToBytes(const QImage& picture, int quality, QByteArray& out) {
    out.resize(0);  // keeps the capacity for the next picture
    if (!validInput(picture, quality))
        return JpegInvalidParameter;
    int components = 0;
    const J_COLOR_SPACE layout = rowLayout(picture.format(), components);
    if (layout == JCS_UNKNOWN || !plainPicture(picture))
        return encodeWithQt(picture, quality, out);
    thread_local Compressor compressor;
    if (compressor.encode(picture, quality, layout, components, out))
        return JpegOk;
    out.resize(0);
    return JpegEncoderFailed;
}

int EncodeJPG(const QImage& picture, QIODevice& device, int quality) {
    QByteArray bytes;
    const int status = EncodeJPGToBytes(picture, quality, bytes);
    if (status != JpegOk)
        return status;
    return device.write(bytes) == bytes.size() ? JpegOk : JpegCannotWrite;
}

void SaveJPG(const QImage& picture, const QString& fileName, int quality, FileSystem& fileSystem) {
    int status = JpegInvalidParameter;
    if (validInput(picture, quality)) {
        int encoderStatus = JpegOk;
        // Reused from call to call, so a save allocates nothing once the
        // buffer has reached the size of the logo's file.
        thread_local QByteArray bytes;
        const SaveFailure failure = writeFileAtomically(
            fileName,
            [&]() -> const QByteArray* {
                encoderStatus = EncodeJPGToBytes(picture, quality, bytes);
                return encoderStatus == JpegOk ? &bytes : nullptr;
            },
            fileSystem);
        status = failure == SaveFailure::EncodeFailed ? encoderStatus : statusOf(failure);
    }
    if (status != JpegOk)
        throw RuntimeError(ErrInvalidCall, QCoreApplication::translate("SaveJPG", kSaveJpgError) +
                                               QString::number(status));
}

}  // namespace vantelo
