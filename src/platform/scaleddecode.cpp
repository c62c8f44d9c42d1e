#include "platform/scaleddecode.h"

#include <QBuffer>
#include <QImageReader>
#include <utility>

#include "platform/exiforientation.h"

namespace vantelo {

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
                           int orientation, int decodeMegabytes)
    : state_(std::make_shared<State>()) {
    state_->reduced = reduced;
    state_->size = size;
    state_->bytes = bytes;
    state_->orientation = orientation;
    state_->decodeMegabytes = decodeMegabytes;
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
        QBuffer buffer;
        buffer.setData(s.bytes);
        buffer.open(QIODevice::ReadOnly);
        // As LoadPicture reads a JPEG, so that the pixels are the same.
        QImageReader::setAllocationLimit(s.decodeMegabytes);
        QImageReader reader(&buffer, "jpeg");
        reader.setAutoTransform(false);
        const QImage stored = reader.read();
        const QImage upright = stored.isNull() ? stored : turnedUpright(stored, s.orientation);
        // These bytes passed every check and decoded once already; should they
        // fail now, the reduced copy stands in at the picture's size.
        s.full = upright.size() == s.size
                     ? upright
                     : s.reduced.scaled(s.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        s.reduced = QImage();
        s.bytes = QByteArray();
    }
    return s.full;
}

namespace {

// What a JPEG read at a reduced scale keeps for its full decoding.
struct Reduction {
    int divisor = 1;
    QByteArray bytes;
    int orientation = 1;
    QSize size;  // the full picture's, upright
};

QImage readReduced(QImageReader& reader, int orientation, int percent, Reduction& out) {
    const QSize stored = reader.size();
    const int divisor = decoderReduction(stored, percent);
    if (divisor == 1)
        return reader.read();
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
    reader.setScaledSize(stored / divisor);
    QImage image = reader.read();
    if (image.isNull())
        return image;
    // Orientations 5 to 8 turn the picture a quarter.
    out = {divisor, std::move(bytes), orientation, orientation >= 5 ? stored.transposed() : stored};
    return image;
}

}  // namespace

ShownPicture LoadPictureToShow(const QString& path, int percent, const PictureLimits& limits) {
    Reduction reduction;
    PictureLimits reading = limits;
    reading.readJpeg = [percent, &reduction](QImageReader& reader, int orientation) {
        return readReduced(reader, orientation, percent, reduction);
    };
    const QImage image = LoadPicture(path, reading);
    if (reduction.divisor == 1)
        return ShownPicture(image);
    return ShownPicture(image, reduction.size, reduction.bytes, reduction.orientation,
                        limits.decodeMegabytes);
}

}  // namespace vantelo
