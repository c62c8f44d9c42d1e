#include "export/contrast.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace vantelo {
namespace {

double linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// The linear value of every 8-bit channel, worked out once.
const std::array<double, 256>& linearTable() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[size_t(i)] = linear(i);
        return t;
    }();
    return table;
}

double luminanceOf(QRgb rgb) {
    const std::array<double, 256>& t = linearTable();
    return 0.2126 * t[size_t(qRed(rgb))] + 0.7152 * t[size_t(qGreen(rgb))] +
           0.0722 * t[size_t(qBlue(rgb))];
}

double ratio(double a, double b) {
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// A pixel laid on an opaque backdrop.
QRgb over(QRgb pixel, QRgb backdrop) {
    const int a = qAlpha(pixel);
    const auto mix = [a](int top, int bottom) {
        return (top * a + bottom * (255 - a) + 127) / 255;
    };
    return qRgb(mix(qRed(pixel), qRed(backdrop)), mix(qGreen(pixel), qGreen(backdrop)),
                mix(qBlue(pixel), qBlue(backdrop)));
}

// Walks the pixels of `area` for which `counts(x, y)` holds.
template <typename Counts>
double contrastOver(const QImage& rendered, const QRect& area, const QColor& text, double share,
                    const QColor& backdrop, Counts counts) {
    const QImage pixels = rendered.convertToFormat(QImage::Format_ARGB32);
    const QRect inside = area.intersected(pixels.rect());
    const double textLuminance = relativeLuminance(text);
    const QRgb base = backdrop.rgb();
    std::vector<double> ratios;
    ratios.reserve(size_t(std::max(0, inside.width())) * size_t(std::max(0, inside.height())));
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (counts(x, y))
                ratios.push_back(ratio(textLuminance, luminanceOf(over(row[x], base))));
        }
    }
    if (ratios.empty())
        return 21.0;
    const auto at = static_cast<size_t>(std::clamp(share, 0.0, 1.0) * double(ratios.size() - 1));
    std::nth_element(ratios.begin(), ratios.begin() + std::ptrdiff_t(at), ratios.end());
    return ratios[at];
}

}  // namespace

double relativeLuminance(const QColor& color) {
    return luminanceOf(color.rgb());
}

double contrastRatio(const QColor& a, const QColor& b) {
    return ratio(relativeLuminance(a), relativeLuminance(b));
}

double contrastOverPixels(const QImage& rendered, const QImage& mask, const QColor& text,
                          double share, const QColor& backdrop) {
    const QImage alpha = mask.convertToFormat(QImage::Format_Alpha8);
    return contrastOver(rendered, alpha.rect(), text, share, backdrop,
                        [&alpha](int x, int y) { return alpha.constScanLine(y)[x] >= 128; });
}

double contrastOverPixels(const QImage& rendered, const QRect& area, const QColor& text,
                          double share, const QColor& backdrop) {
    return contrastOver(rendered, area, text, share, backdrop, [](int, int) { return true; });
}

QColor readableTextColor(const QColor& text, const QColor& background, double minimum) {
    if (contrastRatio(text, background) >= minimum)
        return text;
    // The end of the lightness scale that stands out more from the background;
    // the better of white and black reaches at least 4.58 against any colour.
    const bool lighten =
        contrastRatio(Qt::white, background) >= contrastRatio(Qt::black, background);
    const QColor hsl = text.toHsl();
    // Measured in the 8-bit colour that is stored and drawn, so that rounding
    // cannot take the chosen colour below the minimum.
    const auto shade = [&hsl](double lightness) {
        return QColor::fromRgba(
            QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), float(lightness), hsl.alphaF())
                .rgba());
    };
    // The lightness nearest the text's own that still reaches the minimum.
    double from = hsl.lightnessF();
    double to = lighten ? 1.0 : 0.0;
    if (contrastRatio(shade(to), background) < minimum)
        return shade(to);
    for (int step = 0; step < 24; ++step) {
        const double middle = (from + to) / 2;
        (contrastRatio(shade(middle), background) >= minimum ? to : from) = middle;
    }
    return shade(to);
}

}  // namespace vantelo
