#include <algorithm>
#include <functional>
#include <utility>

#include <QPaintEvent>
#include <QPainter>
#include <QPointer>

#include "canvas/canvas.h"
#include "design/backgroundremoval.h"
#include "design/logodesign.h"
#include "design/picturescale.h"

namespace vantelo {

namespace {

// The side of a tile of the shown picture, in pixels.
constexpr int kTileSide = 256;
// Tiles kept: enough for the viewport several times over (16 MB).
constexpr std::size_t kTilesKept = 64;
// A smooth copy that takes about this many pixels to read and write is made
// at once; a larger one on the worker thread, with tiles shown meanwhile.
constexpr qint64 kImmediatePixels = 2'000'000;

QImage resampledTo(const QImage& source, const QSize& size) {
    if (source.size() == size || source.isNull())
        return source;
    return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

void ImageControl::setPicture(const QImage& picture) {
    setPicture(ShownPicture(picture));
}

void ImageControl::setPicture(const ShownPicture& picture) {
    showsBuiltIn_ = false;
    picture_ = picture;
    ++pictureNumber_;
    cleared_ = QImage();
    showAtScale();
    completeReducedCopy();
}

void ImageControl::completeReducedCopy() {
    const std::function<QImage()> decode = picture_.wholeReducedCopy();
    if (!decode)
        return;
    const ShownPicture shown = picture_;
    const quint64 number = pictureNumber_;
    worker_->start([this, decode, shown, number] {
        // Passing through the gallery, only the picture still shown is decoded.
        if (number != pictureNumber_)
            return;
        const QImage whole = decode();
        QMetaObject::invokeMethod(
            this, [this, shown, whole] { reducedCopyCompleted(shown, whole); },
            Qt::QueuedConnection);
    });
}

void ImageControl::reducedCopyCompleted(const ShownPicture& shown, const QImage& whole) {
    if (!shown.sharesDecodingWith(picture_) || !picture_.completeWith(whole) || !fromReduced_)
        return;
    // The smooth copy and tiles made from the top rows alone are made again.
    showAtScale();
    emit settled();
}

void ImageControl::clearBackground() const {
    cleared_ = removeBackground(picture_.full(), tolerance_);
}

const QImage& ImageControl::logoPicture() const {
    drawBuiltInIfShown();
    if (cleared_.isNull())
        clearBackground();
    return cleared_;
}

bool ImageControl::reducedWillDo() const {
    const QImage& reduced = picture_.reducedCopy();
    return tolerance_ <= kMinimumBackgroundTolerance && !reduced.isNull() &&
           reduced.width() >= shownSize_.width() && reduced.height() >= shownSize_.height();
}

const QImage& ImageControl::shownFrom() const {
    return reducedWillDo() ? picture_.reducedCopy() : logoPicture();
}

void ImageControl::setBackgroundTolerance(int tolerance) {
    tolerance = std::clamp(tolerance, kMinimumBackgroundTolerance, kMaximumBackgroundTolerance);
    if (tolerance == tolerance_)
        return;
    tolerance_ = tolerance;
    // Before the built-in picture is first drawn there is nothing to redo.
    if (picture_.isNull())
        return;
    cleared_ = QImage();
    showAtScale();
}

void ImageControl::setScale(int percent) {
    if (percent == scale_)
        return;
    scale_ = percent;
    showAtScale();
}

void ImageControl::showAtScale() {
    drawBuiltInIfShown();
    ++generation_;
    tiles_.clear();
    smooth_ = QImage();
    smoothWanted_ = false;
    shownSize_ = scaledPictureSize(picture_.size(), scale_);
    fromReduced_ = reducedWillDo();
    const QImage& source = shownFrom();
    if (source.size() == shownSize_ || source.isNull()) {
        smooth_ = source;
    } else if (resampledWhole(source.size(), shownSize_)) {
        const qint64 work = qint64(source.width()) * source.height() +
                            qint64(shownSize_.width()) * shownSize_.height();
        if (work <= kImmediatePixels)
            smooth_ = resampledTo(source, shownSize_);
        // Of a copy whose top rows alone are decoded yet, tiles are shown
        // until the rest is decoded: a smooth copy now would be made twice.
        else if (!(fromReduced_ && picture_.partial()))
            startSmoothCopy();
    }
    place_.setWidth(static_cast<float>(pixelsToTwipsX(shownSize_.width())));
    place_.setHeight(static_cast<float>(pixelsToTwipsY(shownSize_.height())));
    update();
}

void ImageControl::startSmoothCopy() {
    smoothWanted_ = true;
    // One copy at a time: turning the wheel through ten sizes makes the copy
    // for the size it stops at, not for every size it passed.
    if (smoothBusy_)
        return;
    smoothBusy_ = true;
    smoothWanted_ = false;
    const QImage source = shownFrom();
    const QSize size = shownSize_;
    const quint64 generation = generation_;
    // The pool is destroyed, and waits for this task, before the control
    // itself goes, so the queued call never reaches a deleted control.
    worker_->start([this, source, size, generation] {
        const QImage copy = resampledTo(source, size);
        QMetaObject::invokeMethod(
            this, [this, generation, copy] { smoothCopyMade(generation, copy); },
            Qt::QueuedConnection);
    });
}

void ImageControl::smoothCopyMade(quint64 generation, const QImage& copy) {
    smoothBusy_ = false;
    if (generation == generation_ && smooth_.isNull()) {
        smooth_ = copy;
        tiles_.clear();
        update();
        emit settled();
        return;
    }
    if (smoothWanted_)
        startSmoothCopy();
}

void ImageControl::settle() {
    drawBuiltInIfShown();
    // Decoded in full below, the picture is shown from the full pixels from now on.
    if (std::exchange(fromReduced_, false)) {
        smooth_ = QImage();
        ++generation_;
        tiles_.clear();
        update();
    }
    const QImage& source = logoPicture();
    if (!smooth_.isNull() || source.isNull() || !resampledWhole(source.size(), shownSize_))
        return;
    smooth_ = resampledTo(source, shownSize_);
    // The copy still being made for this size is dropped when it arrives.
    ++generation_;
    smoothWanted_ = false;
    tiles_.clear();
    update();
}

QImage ImageControl::Picture() const {
    drawBuiltInIfShown();
    if (!smooth_.isNull())
        return smooth_;
    const QImage& source = shownFrom();
    if (source.isNull())
        return QImage();
    if (resampledWhole(source.size(), shownSize_))
        return resampledTo(source, shownSize_);
    return resampledPart(source, shownSize_, QRect(QPoint(0, 0), shownSize_));
}

QImage ImageControl::tile(int column, int row) {
    const auto key = std::make_pair(column, row);
    auto found = tiles_.find(key);
    if (found == tiles_.end()) {
        if (tiles_.size() >= kTilesKept) {
            auto oldest = std::min_element(
                tiles_.begin(), tiles_.end(),
                [](const auto& a, const auto& b) { return a.second.used < b.second.used; });
            tiles_.erase(oldest);
        }
        const QRect area(column * kTileSide, row * kTileSide, kTileSide, kTileSide);
        found = tiles_.emplace(key, Tile{resampledPart(shownFrom(), shownSize_, area), 0}).first;
    }
    found->second.used = paintCount_;
    return found->second.pixels;
}

void ImageControl::paintEvent(QPaintEvent* event) {
    if (showsBuiltIn_ && picture_.isNull())
        showAtScale();
    ++paintCount_;
    QPainter painter(this);
    if (!smooth_.isNull()) {
        for (const QRect& r : event->region())
            painter.drawImage(r.topLeft(), smooth_, r);
        return;
    }
    // Until the smooth copy is made, or when the picture is too large to keep
    // whole, only the tiles under the exposed part are made and painted.
    const QRect exposed = event->region().boundingRect() & QRect(QPoint(0, 0), shownSize_);
    if (exposed.isEmpty())
        return;
    painter.setClipRegion(event->region());
    for (int row = exposed.top() / kTileSide; row <= exposed.bottom() / kTileSide; ++row) {
        for (int column = exposed.left() / kTileSide; column <= exposed.right() / kTileSide;
             ++column)
            painter.drawImage(column * kTileSide, row * kTileSide, tile(column, row));
    }
}

}  // namespace vantelo
