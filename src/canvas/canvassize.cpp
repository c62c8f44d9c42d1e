#include "canvas/canvassize.h"

#include <algorithm>

#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "platform/numeric.h"
#include "platform/runtimeerror.h"
#include "platform/settingsstore.h"

namespace vantelo {

std::vector<CanvasPreset> canvasPresets() {
    const auto tr = [](const char* text) { return QCoreApplication::translate("Canvas", text); };
    return {{tr("Classic"), kClassicCanvas},
            {tr("Square"), QSize(1024, 1024)},
            {tr("Wide (link previews)"), QSize(1200, 630)},
            {tr("Banner"), QSize(1500, 500)}};
}

QSize normalizedCanvasSize(const QSize& pixels) {
    if (pixels.width() <= 0 || pixels.height() <= 0 || pixels == kClassicCanvas)
        return QSize();
    return QSize(std::clamp(pixels.width(), kSmallestCanvasSide, kLargestCanvasSide),
                 std::clamp(pixels.height(), kSmallestCanvasSide, kLargestCanvasSide));
}

QSize storedCanvasSize(const SettingsStore& settings) {
    const QString width = settings.GetSetting(keys::kCanvasWidth, QString());
    const QString height = settings.GetSetting(keys::kCanvasHeight, QString());
    if (width.isEmpty() || height.isEmpty())
        return QSize();
    try {
        return normalizedCanvasSize(QSize(textToInt32(width), textToInt32(height)));
    } catch (const RuntimeError&) {
        // A size that is no number leaves the classic canvas.
        return QSize();
    }
}

void Canvas::setChosenSize(const QSize& pixels) {
    chosenSize_ = normalizedCanvasSize(pixels);
    TwipsPlacement& canvas = pArea->place();
    if (chosenSize_.isEmpty()) {
        canvas.setWidth(7680);
        canvas.setHeight(3435);
        return;
    }
    canvas.setWidth(static_cast<float>(pixelsToTwipsX(chosenSize_.width())));
    canvas.setHeight(static_cast<float>(pixelsToTwipsY(chosenSize_.height())));
}

}  // namespace vantelo
