#include <algorithm>

#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "platform/numeric.h"
#include "platform/settingsstore.h"

namespace vantelo {
namespace {

enum DragAction { Press = 0, Move = 1, Release = 2 };
constexpr int kLeftButton = 1;
constexpr int kSizeAllPointer = 15;
constexpr int kDefaultPointer = 0;

// The screen's twips per pixel as a whole number.
std::int32_t wholeTwipsPerPixelX() {
    return toInt32(twipsPerPixelX());
}

std::int32_t wholeTwipsPerPixelY() {
    return toInt32(twipsPerPixelY());
}

// Whole pixels in a twips value: both rounded half to even, then divided with
// truncation toward zero.
std::int32_t wholePixels(float twips, std::int32_t twipsPerPixel) {
    if (twipsPerPixel == 0)
        throw RuntimeError(ErrDivisionByZero);
    return toInt32(twips) / twipsPerPixel;
}

QString trapLocation(const char* handler) {
    return errorLocation(QStringLiteral("Form1"), QLatin1String(handler));
}

}  // namespace

void Canvas::DragControl(CanvasObject& target, int action, int button, float x, float y) {
    if (action == Press) {
        if (button != kLeftButton)
            return;
        dragOffsetX_ = checkedInt16(wholePixels(x, wholeTwipsPerPixelX()));
        dragOffsetY_ = checkedInt16(wholePixels(y, wholeTwipsPerPixelY()));
        dragObject_ = &target;
        dragObject_->setMousePointer(kSizeAllPointer);
        // The object clicked is the one the arrow keys move next.
        select(&target);
        Picture2->setFocus(Qt::MouseFocusReason);
    } else if (action == Move) {
        if (button != kLeftButton || dragObject_ == nullptr)
            return;
        // x and y are measured from the object's current corner, so the pointer's
        // distance from the grab point is exactly how far the object lags behind
        // it; moving it by that many pixels puts the grab point under the pointer.
        TwipsPlacement& place = dragObject_->place();
        const std::int32_t tx = wholeTwipsPerPixelX();
        const std::int32_t ty = wholeTwipsPerPixelY();
        const double dx = static_cast<double>(wholePixels(x, tx)) - dragOffsetX_;
        const double dy = static_cast<double>(wholePixels(y, ty)) - dragOffsetY_;
        place.setLeft(static_cast<float>(place.Left() + dx * tx));
        place.setTop(static_cast<float>(place.Top() + dy * ty));
        keepWithinCanvas(*dragObject_);
        // Moving the object repaints where it was and where it is, and the
        // frame and guides repaint their own edges: nothing else changed.
        snap(*dragObject_, true);
    } else if (action == Release) {
        // Any release restores the pointer of the object grabbed last, whatever
        // button was let go and wherever.
        if (dragObject_ == nullptr)
            return;
        dragObject_->setMousePointer(kDefaultPointer);
        overlay_->setGuides(-1, -1);
    }
}

bool Canvas::bringInside(CanvasObject& object) {
    TwipsPlacement& place = object.place();
    // What the user sees of it is what must come back: a turned line's
    // place is its level box.
    const QRectF shown = object.shownBox();
    const double width = pArea->ScaleWidth();
    const double height = pArea->ScaleHeight();
    // Inside again means at the near edge, or with the far edge on the
    // canvas's far edge when the object lay beyond it; an object larger than
    // the canvas starts at the near edge.
    const auto inside = [](double at, double size, double room) {
        return std::max(0.0, std::min(at, room - size));
    };
    bool moved = false;
    if (shown.left() + shown.width() <= 0 || shown.left() >= width) {
        const double past = double(place.Left()) - shown.left();
        place.setLeft(static_cast<float>(inside(shown.left(), shown.width(), width) + past));
        moved = true;
    }
    if (shown.top() + shown.height() <= 0 || shown.top() >= height) {
        const double past = double(place.Top()) - shown.top();
        place.setTop(static_cast<float>(inside(shown.top(), shown.height(), height) + past));
        moved = true;
    }
    return moved;
}

void Canvas::imgLogo_MouseDown(int button, float x, float y) {
    ErrorTrap trap(messages_, trapLocation("imgLogo_MouseDown"));
    trap.run(100, [&] { DragControl(*imgLogo, Press, button, x, y); });
}

void Canvas::imgLogo_MouseMove(int button, float x, float y) {
    ErrorTrap trap(messages_, trapLocation("imgLogo_MouseMove"));
    trap.run(100, [&] { DragControl(*imgLogo, Move, button, x, y); });
}

void Canvas::imgLogo_MouseUp(int button, float x, float y) {
    ErrorTrap trap(messages_, trapLocation("imgLogo_MouseUp"));
    trap.run(100, [&] { DragControl(*imgLogo, Release, button, x, y); });
    trap.run(102, [this] {
        settings_.SaveSetting(keys::kImageLeft, singleToText(imgLogo->place().Left()));
    });
    trap.run(104, [this] {
        settings_.SaveSetting(keys::kImageTop, singleToText(imgLogo->place().Top()));
    });
    emit objectMoved(false);
}

void Canvas::lblA_MouseDown(int index, int button, float x, float y) {
    ErrorTrap trap(messages_, trapLocation("lblA_MouseDown"));
    trap.run(100, [&] { DragControl(*lblA[index], Press, button, x, y); });
}

void Canvas::lblA_MouseMove(int index, int button, float x, float y) {
    ErrorTrap trap(messages_, trapLocation("lblA_MouseMove"));
    trap.run(100, [&] { DragControl(*lblA[index], Move, button, x, y); });
}

void Canvas::lblA_MouseUp(int index, int button, float x, float y) {
    ErrorTrap trap(messages_, trapLocation("lblA_MouseUp"));
    trap.run(100, [&] { DragControl(*lblA[index], Release, button, x, y); });
    trap.run(102, [&] {
        settings_.SaveSetting(keys::left(index), singleToText(lblA[index]->place().Left()));
    });
    trap.run(104, [&] {
        settings_.SaveSetting(keys::top(index), singleToText(lblA[index]->place().Top()));
    });
    emit objectMoved(false);
}

}  // namespace vantelo
