#include "design/logodesign.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "design/backgroundremoval.h"
#include "design/designkeys.h"
#include "platform/numeric.h"
#include "platform/settingsstore.h"

namespace vantelo {

bool operator==(const PictureDesign& a, const PictureDesign& b) {
    return std::tie(a.path, a.left, a.top, a.scale, a.backgroundTolerance) ==
           std::tie(b.path, b.left, b.top, b.scale, b.backgroundTolerance);
}

bool operator==(const TextLineDesign& a, const TextLineDesign& b) {
    const auto fields = [](const TextLineDesign& l) {
        return std::tie(l.text, l.shown, l.fontName, l.fontSize, l.bold, l.italic, l.strikeOut,
                        l.underline, l.color, l.left, l.top, l.outlineWidth, l.outlineColor,
                        l.shadow, l.angle);
    };
    return fields(a) == fields(b);
}

bool operator==(const LogoDesign& a, const LogoDesign& b) {
    return a.picture == b.picture && a.lines == b.lines && a.canvas == b.canvas;
}

QImage pictureAtScale(const QImage& original, int percent) {
    if (percent == 100 || original.isNull())
        return original;
    const auto side = [percent](int pixels) {
        return std::max(1, static_cast<int>(std::lround(pixels * (percent / 100.0))));
    };
    return original.scaled(side(original.width()), side(original.height()), Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
}

int scaleFromText(const QString& text) {
    const double value = numberPrefix(text);
    if (!std::isfinite(value) || value <= 0)
        return 100;
    return static_cast<int>(
        std::clamp(std::round(value), double(kMinimumScale), double(kMaximumScale)));
}

int angleFromText(const QString& text) {
    const double value = numberPrefix(text);
    if (!std::isfinite(value))
        return 0;
    return static_cast<int>(
        std::clamp(std::round(value), double(kMinimumAngle), double(kMaximumAngle)));
}

int toleranceFromText(const QString& text) {
    const double value = numberPrefix(text);
    if (!std::isfinite(value) || value <= 0)
        return kMinimumBackgroundTolerance;
    return static_cast<int>(std::clamp(std::round(value), double(kMinimumBackgroundTolerance),
                                       double(kMaximumBackgroundTolerance)));
}

void storeChanges(SettingsStore& settings, const LogoDesign& from, const LogoDesign& to) {
    const auto store = [&settings](bool differs, const QString& key, const QString& value) {
        if (differs)
            settings.SaveSetting(key, value);
    };
    const PictureDesign& a = from.picture;
    const PictureDesign& b = to.picture;
    store(a.path != b.path, keys::kImage, b.path);
    store(a.scale != b.scale, keys::kImageScale, QString::number(b.scale));
    store(a.backgroundTolerance != b.backgroundTolerance, keys::kImageBackgroundTolerance,
          QString::number(b.backgroundTolerance));
    for (std::size_t i = 0; i < to.lines.size(); ++i) {
        const TextLineDesign& was = from.lines[i];
        const TextLineDesign& is = to.lines[i];
        const int n = static_cast<int>(i);
        store(was.text != is.text, keys::text(n), is.text);
        store(was.shown != is.shown, keys::show(n), QString::number(is.shown));
        store(was.bold != is.bold, keys::bold(n), booleanToText(is.bold));
        store(was.italic != is.italic, keys::italic(n), booleanToText(is.italic));
        store(was.fontName != is.fontName, keys::name(n), is.fontName);
        store(was.fontSize != is.fontSize, keys::size(n), singleToText(is.fontSize));
        store(was.strikeOut != is.strikeOut, keys::strike(n), booleanToText(is.strikeOut));
        store(was.underline != is.underline, keys::underline(n), booleanToText(is.underline));
        store(was.color != is.color, keys::color(n), QString::number(is.color));
        store(was.outlineWidth != is.outlineWidth, keys::outlineWidth(n),
              QString::number(is.outlineWidth));
        store(was.outlineColor != is.outlineColor, keys::outlineColor(n),
              QString::number(is.outlineColor));
        store(was.shadow != is.shadow, keys::shadow(n), booleanToText(is.shadow));
        store(was.angle != is.angle, keys::angle(n), QString::number(is.angle));
        store(was.left != is.left, keys::left(n), singleToText(is.left));
        store(was.top != is.top, keys::top(n), singleToText(is.top));
    }
    store(a.left != b.left, keys::kImageLeft, singleToText(b.left));
    store(a.top != b.top, keys::kImageTop, singleToText(b.top));
    // The classic canvas is written as its size: it reads back as the classic one.
    const QSize canvas = to.canvas.isEmpty() ? QSize(512, 229) : to.canvas;
    store(from.canvas != to.canvas, keys::kCanvasWidth, QString::number(canvas.width()));
    store(from.canvas != to.canvas, keys::kCanvasHeight, QString::number(canvas.height()));
}

}  // namespace vantelo
