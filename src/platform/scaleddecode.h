#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

#include "platform/picture.h"

namespace vantelo {

// The largest of a JPEG decoder's own reductions (a half, a quarter, an
// eighth) that still leaves at least as many pixels as the picture shows at
// `percent` of its own size, for a picture of `own` pixels whose sides it
// divides exactly (an inexact one would put the reduced pixels off the full
// picture's grid); 1 when none does.
int decoderReduction(const QSize& own, int percent);

// A picture as the canvas holds it: its full pixels, or, for a JPEG shown
// well below its own size, the copy its decoder made at a reduced scale
// (which skips most of the decoding) together with the file's bytes, from
// which the full pixels are decoded when first asked for. A large JPEG shown
// at its own size may also come as such a copy, at divisor 1, while only its
// top rows are decoded. Copies share one decoding.
class ShownPicture {
public:
    ShownPicture() = default;
    explicit ShownPicture(const QImage& full);
    // A JPEG decoded at a reduced scale: `reduced` upright, `size` the full
    // picture's, upright; `orientation` as EXIF numbers it.
    // `partial`: only the rows at the top are decoded yet (the rest white).
    ShownPicture(const QImage& reduced, const QSize& size, const QByteArray& bytes, int orientation,
                 int decodeMegabytes, int divisor = 1, bool partial = false);

    bool isNull() const { return !state_; }
    // The picture's own size, upright, known without its full pixels.
    QSize size() const { return state_ ? state_->size : QSize(); }
    // The decoder's reduced copy while the full pixels are not decoded;
    // null otherwise.
    const QImage& reducedCopy() const;
    // The full pixels, decoded on the first call.
    const QImage& full() const;
    // The full pixels when they are decoded already; null otherwise.
    QImage decoded() const { return state_ ? state_->full : QImage(); }

    // True while the reduced copy holds only its top rows.
    bool partial() const;
    // While partial: what decodes the whole reduced copy, upright, safe to
    // run on another thread. Empty otherwise.
    std::function<QImage()> wholeReducedCopy() const;
    // Puts in the whole reduced copy that made; false when it is not needed
    // (the full pixels are decoded meanwhile) or did not come out.
    bool completeWith(const QImage& whole);
    // Whether both are the same picture, decoded once.
    bool sharesDecodingWith(const ShownPicture& other) const { return state_ == other.state_; }

private:
    struct State {
        QImage full;
        QImage reduced;
        QSize size;
        QByteArray bytes;
        int orientation = 1;
        int decodeMegabytes = 0;
        int divisor = 1;
        bool partial = false;
    };
    std::shared_ptr<State> state_;
};

// A JPEG's pixels at 1/`divisor` (1, 2, 4 or 8) of its sides, as stored (not
// turned upright), decoded by libjpeg straight into Format_RGB32 rows: the
// same pixels, resolution and colour profile as Qt's reader gives. Null for
// data that fails, that would take more than `decodeMegabytes`, and for what
// only Qt's reader handles as Qt does (grey or CMYK pictures, comments).
// Given `rows` of 0 or more, only that many rows at the top are decoded and
// the rest are white.
QImage decodeJpeg(const QByteArray& bytes, int divisor, int decodeMegabytes, int rows = -1);

// LoadPicture for a picture shown at `percent` of its own size, with the same
// checks and the same errors: a JPEG whose decoder can reduce it to no less
// than that size is decoded reduced, its full pixels only when they are asked for.
// Given `rowsShown`, the rows of the picture at that size that the window
// shows from its top, a JPEG decoded reduced, or a large one shown at up to
// its own size, is at first decoded only down to them (see
// ShownPicture::partial).
ShownPicture LoadPictureToShow(const QString& path, int percent,
                               const PictureLimits& limits = PictureLimits(), int rowsShown = -1);

}  // namespace vantelo
