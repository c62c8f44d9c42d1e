#include "platform/twips.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/numeric.h"
#include "platform/runtimeerror.h"

#include <cmath>

namespace vantelo {
namespace {

double logicalDpi(bool horizontal) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return 96.0;
    const double dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return dpi > 0 ? dpi : 96.0;
}

}  // namespace

double twipsPerPixelX() {
    return 1440.0 / logicalDpi(true);
}

double twipsPerPixelY() {
    return 1440.0 / logicalDpi(false);
}

int twipsToPixelsX(double twips) {
    return static_cast<int>(roundHalfEven(twips / twipsPerPixelX()));
}

int twipsToPixelsY(double twips) {
    return static_cast<int>(roundHalfEven(twips / twipsPerPixelY()));
}

double pixelsToTwipsX(int pixels) {
    return pixels * twipsPerPixelX();
}

double pixelsToTwipsY(int pixels) {
    return pixels * twipsPerPixelY();
}

// A position or size must fit in a 32-bit count of twips; anything beyond (a
// stored setting of 1e30, say) is an overflow rather than a widget placed
// where no pixel count can say.
void TwipsPlacement::checkRange(float value) {
    if (!(std::fabs(value) <= 2147483647.0f))
        throw RuntimeError(ErrOverflow);
}

TwipsPlacement::TwipsPlacement(QWidget* widget, float left, float top, float width, float height)
    : widget_(widget), left_(left), top_(top), width_(width), height_(height) {
    apply();
}

void TwipsPlacement::setLeft(float value) {
    checkRange(value);
    left_ = value;
    apply();
}

void TwipsPlacement::setTop(float value) {
    checkRange(value);
    top_ = value;
    apply();
}

void TwipsPlacement::setWidth(float value) {
    checkRange(value);
    width_ = value;
    apply();
}

void TwipsPlacement::setHeight(float value) {
    checkRange(value);
    height_ = value;
    apply();
}

void TwipsPlacement::setAll(float left, float top, float width, float height) {
    for (const float value : {left, top, width, height})
        checkRange(value);
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    apply();
}

QRect TwipsPlacement::pixelRect() const {
    return QRect(twipsToPixelsX(left_), twipsToPixelsY(top_), twipsToPixelsX(width_),
                 twipsToPixelsY(height_));
}

void TwipsPlacement::setOutset(const QMargins& outset) {
    outset_ = outset;
    apply();
}

void TwipsPlacement::apply() {
    // Setting a shown widget's geometry, even to what it is, schedules a
    // repaint of it and of what lies beneath it.
    const QRect geometry = pixelRect().marginsAdded(outset_);
    if (widget_ != nullptr && widget_->geometry() != geometry)
        widget_->setGeometry(geometry);
}

}  // namespace vantelo
