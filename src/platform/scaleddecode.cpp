#include "platform/scaleddecode.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QSysInfo>
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>

#include <jpeglib.h>

#include "platform/exiforientation.h"

namespace vantelo {
namespace {

struct DecoderErrors : jpeg_error_mgr {
    std::jmp_buf jump;
};

// libjpeg reading a JPEG held in memory straight into the 32-bit rows the
// canvas paints from. Qt's reader decodes into 24-bit rows and widens each
// one, which costs a camera photo a tenth more; the pixels are the same, as
// both run the decoder with its default settings. Only pictures whose pixels
// and metadata come out exactly as Qt's reader gives them are taken: three
// colour channels and no comment.
class DirectJpeg {
public:
    explicit DirectJpeg(const QByteArray& bytes) : bytes_(bytes) {
        info_.err = jpeg_std_error(&errors_);
        errors_.error_exit = [](j_common_ptr info) {
            std::longjmp(static_cast<DecoderErrors*>(info->err)->jump, 1);
        };
        // Warnings (data ending early, extra bytes) leave the rows as Qt's reader leaves them.
        errors_.output_message = [](j_common_ptr) {};
    }
    // Destroying a decoder that was never created does nothing.
    ~DirectJpeg() { jpeg_destroy_decompress(&info_); }
    DirectJpeg(const DirectJpeg&) = delete;
    DirectJpeg& operator=(const DirectJpeg&) = delete;

    // Reads the header and sets the output to 1/`divisor` of the picture's
    // sides; false for data this reader leaves to Qt's.
    bool start(int divisor) {
        // Every libjpeg call is made after the jump is set: even creating the
        // decoder or handing it no bytes at all raises an error.
        if (setjmp(errors_.jump) != 0)
            return false;
        jpeg_create_decompress(&info_);
        jpeg_mem_src(&info_, reinterpret_cast<const unsigned char*>(bytes_.constData()),
                     static_cast<unsigned long>(bytes_.size()));
        jpeg_save_markers(&info_, JPEG_COM, 0xFFFF);
        jpeg_save_markers(&info_, JPEG_APP0 + 2, 0xFFFF);
        if (jpeg_read_header(&info_, TRUE) != JPEG_HEADER_OK)
            return false;
        if (info_.num_components != 3 ||
            (info_.jpeg_color_space != JCS_YCbCr && info_.jpeg_color_space != JCS_RGB))
            return false;
        for (jpeg_saved_marker_ptr marker = info_.marker_list; marker; marker = marker->next) {
            if (marker->marker == JPEG_COM)
                return false;
        }
        info_.out_color_space =
            QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
        info_.scale_num = 1;
        info_.scale_denom = static_cast<unsigned int>(divisor);
        jpeg_calc_output_dimensions(&info_);
        // The saved markers go with the decoder's memory when it finishes.
        for (jpeg_saved_marker_ptr marker = info_.marker_list; marker; marker = marker->next) {
            if (marker->marker == JPEG_APP0 + 2 && marker->data_length > 128 + 4 + 14 &&
                std::strcmp(reinterpret_cast<const char*>(marker->data), "ICC_PROFILE") == 0)
                profile_.append(reinterpret_cast<const char*>(marker->data) + 14,
                                qsizetype(marker->data_length) - 14);
        }
        return true;
    }

    QSize size() const { return QSize(int(info_.output_width), int(info_.output_height)); }

    // Decodes the first `rows` rows into `image`, of size(); false when the
    // data fails. The decoder stops there, without reading the rest.
    bool decode(QImage& image, int rows) {
        uchar* const bits = image.bits();
        const qsizetype stride = image.bytesPerLine();
        if (setjmp(errors_.jump) != 0)
            return false;
        jpeg_start_decompress(&info_);
        const auto last = static_cast<JDIMENSION>(rows);
        while (info_.output_scanline < last) {
            JSAMPROW row = bits + stride * qsizetype(info_.output_scanline);
            if (jpeg_read_scanlines(&info_, &row, 1) != 1)
                return false;
        }
        if (last < info_.output_height)
            jpeg_abort_decompress(&info_);
        else
            jpeg_finish_decompress(&info_);
        return true;
    }

    // The resolution and colour profile, as Qt's reader records them.
    void describe(QImage& image) {
        if (info_.density_unit == 1) {
            image.setDotsPerMeterX(int(100. * info_.X_density / 2.54));
            image.setDotsPerMeterY(int(100. * info_.Y_density / 2.54));
        } else if (info_.density_unit == 2) {
            image.setDotsPerMeterX(int(100. * info_.X_density));
            image.setDotsPerMeterY(int(100. * info_.Y_density));
        }
        if (!profile_.isEmpty())
            image.setColorSpace(QColorSpace::fromIccProfile(profile_));
    }

private:
    jpeg_decompress_struct info_{};
    DecoderErrors errors_{};
    const QByteArray& bytes_;
    QByteArray profile_;
};

}  // namespace

QImage decodeJpeg(const QByteArray& bytes, int divisor, int decodeMegabytes, int rows) {
    DirectJpeg jpeg(bytes);
    if (!jpeg.start(divisor))
        return QImage();
    const QSize size = jpeg.size();
    if (size.isEmpty() || qint64(size.width()) * size.height() * 4 > qint64(decodeMegabytes) << 20)
        return QImage();
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    rows = rows < 0 ? size.height() : std::clamp(rows, 1, size.height());
    if (rows < size.height())
        image.fill(Qt::white);
    if (!jpeg.decode(image, rows))
        return QImage();
    jpeg.describe(image);
    return image;
}

int decoderReduction(const QSize& own, int percent) {
    for (int divisor : {8, 4, 2}) {
        if (percent > 0 && percent * divisor <= 100 && own.width() % divisor == 0 &&
            own.height() % divisor == 0)
            return divisor;
    }
    return 1;
}

ShownPicture::ShownPicture(const QImage& full) {
    if (full.isNull())
        return;
    state_ = std::make_shared<State>();
    state_->full = full;
    state_->size = full.size();
}

ShownPicture::ShownPicture(const QImage& reduced, const QSize& size, const QByteArray& bytes,
                           int orientation, int decodeMegabytes, int divisor, bool partial)
    : state_(std::make_shared<State>()) {
    state_->reduced = reduced;
    state_->size = size;
    state_->bytes = bytes;
    state_->orientation = orientation;
    state_->decodeMegabytes = decodeMegabytes;
    state_->divisor = divisor;
    state_->partial = partial;
}

bool ShownPicture::partial() const {
    return state_ && state_->partial;
}

std::function<QImage()> ShownPicture::wholeReducedCopy() const {
    if (!partial())
        return {};
    // Copies of what the decoding needs, so that it may run on another thread
    // while this picture is used here. Only upright pictures are decoded in
    // part, so the rows come out as they are shown.
    const State& s = *state_;
    return [bytes = s.bytes, divisor = s.divisor, megabytes = s.decodeMegabytes] {
        return decodeJpeg(bytes, divisor, megabytes);
    };
}

bool ShownPicture::completeWith(const QImage& whole) {
    if (!partial() || whole.isNull())
        return false;
    State& s = *state_;
    s.partial = false;
    // Once the full pixels are decoded the reduced copy is not used again.
    if (s.reduced.isNull() || whole.size() != s.reduced.size())
        return false;
    s.reduced = whole;
    return true;
}

const QImage& ShownPicture::reducedCopy() const {
    static const QImage none;
    return state_ ? state_->reduced : none;
}

const QImage& ShownPicture::full() const {
    static const QImage none;
    if (!state_)
        return none;
    State& s = *state_;
    if (s.full.isNull() && !s.reduced.isNull()) {
        // Decoded whole at its own size, the copy is the full pixels.
        QImage stored =
            s.divisor == 1 && !s.partial ? s.reduced : decodeJpeg(s.bytes, 1, s.decodeMegabytes);
        if (stored.isNull()) {
            QBuffer buffer;
            buffer.setData(s.bytes);
            buffer.open(QIODevice::ReadOnly);
            // As LoadPicture reads a JPEG, so that the pixels are the same.
            QImageReader::setAllocationLimit(s.decodeMegabytes);
            QImageReader reader(&buffer, "jpeg");
            reader.setAutoTransform(false);
            stored = reader.read();
        }
        const QImage upright = stored.isNull() ? stored : turnedUpright(stored, s.orientation);
        // These bytes passed every check and decoded once already; should they
        // fail now, the reduced copy stands in at the picture's size.
        s.full = upright.size() == s.size
                     ? upright
                     : s.reduced.scaled(s.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        s.reduced = QImage();
        s.bytes = QByteArray();
        s.partial = false;
    }
    return s.full;
}

namespace {

// A picture of at least this many pixels is decoded first down to the rows
// shown even when the decoder cannot reduce it: below that, decoding the
// rest costs less than showing the picture twice.
constexpr qint64 kPartialPixels = 4'000'000;

// What a JPEG read at a reduced scale keeps for its full decoding.
struct Reduction {
    int divisor = 1;
    QByteArray bytes;
    int orientation = 1;
    QSize size;  // the full picture's, upright
    bool partial = false;
};

QImage readReduced(QImageReader& reader, int orientation, int percent, int decodeMegabytes,
                   int rowsShown, Reduction& out) {
    const QSize stored = reader.size();
    const int divisor = decoderReduction(stored, percent);
    // The file's bytes are taken from where the reader stands and it is put
    // back there: the decoder has read the header and goes on from its place.
    QIODevice* device = reader.device();
    const qint64 at = device->pos();
    QByteArray bytes;
    if (device->seek(0))
        bytes = device->readAll();
    if (!device->seek(at))
        return QImage();
    if (bytes.size() != device->size())
        return reader.read();
    // Of an upright picture decoded reduced, or a large one shown at up to its
    // own size, only the rows down to the last one shown are decoded now, with
    // a few to spare for the smoothing; the rest follow from the bytes kept.
    const bool large = qint64(stored.width()) * stored.height() >= kPartialPixels;
    int rows = -1;
    if (orientation == 1 && rowsShown >= 0 && percent > 0 &&
        (divisor != 1 || (large && percent <= 100)))
        rows = int(std::ceil(rowsShown * 100.0 / (percent * divisor))) + 8;
    const bool partial = rows >= 0 && rows < stored.height() / divisor;
    QImage image = decodeJpeg(bytes, divisor, decodeMegabytes, partial ? rows : -1);
    const bool direct = !image.isNull();
    if (!direct) {
        if (divisor != 1)
            reader.setScaledSize(stored / divisor);
        image = reader.read();
    }
    if (image.isNull() || (divisor == 1 && !(partial && direct)))
        return image;
    // Orientations 5 to 8 turn the picture a quarter.
    out = {divisor, std::move(bytes), orientation, orientation >= 5 ? stored.transposed() : stored,
           partial && direct};
    return image;
}

}  // namespace

ShownPicture LoadPictureToShow(const QString& path, int percent, const PictureLimits& limits,
                               int rowsShown) {
    Reduction reduction;
    PictureLimits reading = limits;
    reading.readJpeg = [percent, rowsShown, &reduction, &limits](QImageReader& reader,
                                                                 int orientation) {
        return readReduced(reader, orientation, percent, limits.decodeMegabytes, rowsShown,
                           reduction);
    };
    const QImage image = LoadPicture(path, reading);
    if (reduction.bytes.isNull() || image.isNull())
        return ShownPicture(image);
    return ShownPicture(image, reduction.size, reduction.bytes, reduction.orientation,
                        limits.decodeMegabytes, reduction.divisor, reduction.partial);
}

}  // namespace vantelo
