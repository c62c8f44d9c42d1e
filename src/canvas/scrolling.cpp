#include "canvas/canvas.h"

#include <QApplication>
#include <QFontMetrics>
#include <cmath>

#include "platform/numeric.h"

namespace vantelo {
namespace {

// The twips a scroll unit moves the canvas when the difference of the sizes
// is greater than 100: 10, unless the difference divided by 10 leaves the
// 16-bit range of the bar's Max; then the smallest step that brings it back,
// so that the whole canvas can still be reached.
std::int16_t coarseStep(float difference) {
    constexpr double kLargestMax = 32767.0;
    if (roundHalfEven(difference / 10.0) <= kLargestMax)
        return 10;
    // difference / step <= 32767, so its rounding stays inside too.
    return checkedInt16(static_cast<std::int64_t>(std::ceil(difference / kLargestMax)));
}

// One axis of the refit. `difference` is canvas size minus viewport size in
// twips; the steps run in the order Enabled, Max, step, Value, because a new
// Max or Value fires the change handler, which reads the step at that moment.
void fitAxis(QScrollBar* bar, std::int16_t& step, float canvasSize, float viewportSize) {
    if (canvasSize <= viewportSize) {
        bar->setEnabled(false);
        step = 0;
        return;
    }
    const float difference = canvasSize - viewportSize;
    bar->setEnabled(true);
    if (difference <= 100) {
        bar->setMaximum(toInt16(difference));
        step = 1;
    } else {
        const std::int16_t coarse = coarseStep(difference);
        bar->setMaximum(toInt16(difference / double(coarse)));
        step = coarse;
    }
    bar->setValue(0);
}

// The canvas offset for a scroll value: -(step) x value. Worked out in 32 bits:
// a tall canvas scrolled far down lies more than 32767 twips above the
// viewport, and the canvas must still go there.
float scrolledOffset(std::int16_t step, int value) {
    return static_cast<float>(-static_cast<std::int32_t>(step) * std::int32_t(value));
}

}  // namespace

void Canvas::wheel(const QPoint& angleDelta, Qt::KeyboardModifiers modifiers) {
    QPoint delta = angleDelta;
    if ((modifiers & Qt::ShiftModifier) && delta.x() == 0)
        delta = QPoint(delta.y(), 0);
    // One notch is 120; a line is the viewport font's line spacing.
    const double lineTwips =
        QFontMetrics(Picture2->font()).lineSpacing() * static_cast<double>(twipsPerPixelY());
    const double notchTwips = QApplication::wheelScrollLines() * lineTwips;
    const auto scroll = [notchTwips](QScrollBar* bar, std::int16_t step, int eighths,
                                     double& rest) {
        if (eighths == 0 || step == 0 || !bar->isEnabled())
            return;
        rest += -eighths / 120.0 * notchTwips / step;
        const int units = static_cast<int>(rest);
        rest -= units;
        if (units != 0)
            bar->setValue(bar->value() + units);
    };
    scroll(HScroll1, ScrollStepX, delta.x(), wheelRestX_);
    scroll(VScroll1, ScrollStepY, delta.y(), wheelRestY_);
}

void Canvas::SetScrollBars() {
    pArea->place().setTop(0);
    pArea->place().setLeft(0);
    fitAxis(HScroll1, ScrollStepX, pArea->place().Width(), Picture2->place().Width());
    fitAxis(VScroll1, ScrollStepY, pArea->place().Height(), Picture2->place().Height());
}

void Canvas::HScroll1_Change() {
    ErrorTrap trap(messages_,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("HScroll1_Change")));
    trap.run(100,
             [this] { pArea->place().setLeft(scrolledOffset(ScrollStepX, HScroll1->value())); });
}

void Canvas::VScroll1_Change() {
    ErrorTrap trap(messages_,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("VScroll1_Change")));
    trap.run(100,
             [this] { pArea->place().setTop(scrolledOffset(ScrollStepY, VScroll1->value())); });
}

}  // namespace vantelo
