#include <algorithm>

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

}  // namespace

void ImageControl::setPicture(const QImage& picture) {
    showsBuiltIn_ = false;
    original_ = picture;
    clearBackground();
    showAtScale();
}

void ImageControl::clearBackground() const {
    cleared_ = removeBackground(original_, tolerance_);
}

void ImageControl::setBackgroundTolerance(int tolerance) {
    tolerance = std::clamp(tolerance, kMinimumBackgroundTolerance, kMaximumBackgroundTolerance);
    if (tolerance == tolerance_)
        return;
    tolerance_ = tolerance;
    // Before the built-in picture is first drawn there is nothing to redo.
    if (original_.isNull())
        return;
    clearBackground();
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
    shownSize_ = scaledPictureSize(cleared_.size(), scale_);
    if (scale_ == 100 || cleared_.isNull()) {
        smooth_ = cleared_;
    } else if (resampledWhole(cleared_.size(), shownSize_)) {
        const qint64 work = qint64(cleared_.width()) * cleared_.height() +
                            qint64(shownSize_.width()) * shownSize_.height();
        if (work <= kImmediatePixels)
            smooth_ = pictureAtScale(cleared_, scale_);
        else
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
    const QImage source = cleared_;
    const int percent = scale_;
    const quint64 generation = generation_;
    // The pool is destroyed, and waits for this task, before the control
    // itself goes, so the queued call never reaches a deleted control.
    worker_->start([this, source, percent, generation] {
        const QImage copy = pictureAtScale(source, percent);
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
    if (!smooth_.isNull() || cleared_.isNull() || !resampledWhole(cleared_.size(), shownSize_))
        return;
    smooth_ = pictureAtScale(cleared_, scale_);
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
    if (cleared_.isNull())
        return QImage();
    if (resampledWhole(cleared_.size(), shownSize_))
        return pictureAtScale(cleared_, scale_);
    return resampledPart(cleared_, shownSize_, QRect(QPoint(0, 0), shownSize_));
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
        found = tiles_.emplace(key, Tile{resampledPart(cleared_, shownSize_, area), 0}).first;
    }
    found->second.used = paintCount_;
    return found->second.pixels;
}

void ImageControl::paintEvent(QPaintEvent* event) {
    if (showsBuiltIn_ && original_.isNull())
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
