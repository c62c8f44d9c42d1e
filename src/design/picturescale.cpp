#include "design/picturescale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vantelo {

namespace {

// A scaled copy up to this many pixels is always made whole: the sample logos
// at every size, and photos up to their own size.
constexpr qint64 kWholeCopyPixels = 16 * 1024 * 1024;

// One output column or row: the two source pixels it lies between and the
// weight of the second, in 256ths.
struct Tap {
    int first;
    int second;
    std::uint32_t weight;
};

std::vector<Tap> tapsFor(int from, int count, int scaled, int source) {
    std::vector<Tap> taps(std::size_t(std::max(0, count)));
    const double ratio = double(source) / double(scaled);
    for (int k = 0; k < count; ++k) {
        // Pixel centres line up: the centre of output pixel i lies at
        // (i + 0.5) * ratio in the source.
        const double at = std::clamp((from + k + 0.5) * ratio - 0.5, 0.0, double(source - 1));
        const int first = static_cast<int>(at);
        const int second = std::min(first + 1, source - 1);
        const auto weight = static_cast<std::uint32_t>(std::lround((at - first) * 256.0));
        taps[std::size_t(k)] = {first, second, weight};
    }
    return taps;
}

// Mixes two pixels channel by channel; weight of b in 256ths.
inline QRgb mix(QRgb a, QRgb b, std::uint32_t weight) {
    const std::uint32_t keep = 256 - weight;
    const std::uint32_t redBlue =
        (((a & 0x00ff00ffu) * keep + (b & 0x00ff00ffu) * weight) >> 8) & 0x00ff00ffu;
    const std::uint32_t alphaGreen =
        ((((a >> 8) & 0x00ff00ffu) * keep + ((b >> 8) & 0x00ff00ffu) * weight)) & 0xff00ff00u;
    return redBlue | alphaGreen;
}

}  // namespace

QSize scaledPictureSize(const QSize& original, int percent) {
    if (percent == 100 || original.isEmpty())
        return original;
    const auto side = [percent](int pixels) {
        return std::max(1, static_cast<int>(std::lround(pixels * (percent / 100.0))));
    };
    return QSize(side(original.width()), side(original.height()));
}

bool resampledWhole(const QSize& original, const QSize& scaled) {
    const qint64 pixels = qint64(scaled.width()) * scaled.height();
    return pixels <= std::max(kWholeCopyPixels, qint64(original.width()) * original.height());
}

QImage resampledPart(const QImage& original, const QSize& scaled, const QRect& part) {
    const QRect area = part & QRect(QPoint(0, 0), scaled);
    if (original.isNull() || area.isEmpty())
        return QImage();
    const QImage::Format format =
        original.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage out(area.size(), format);
    if (out.isNull())
        return QImage();
    const std::vector<Tap> columns =
        tapsFor(area.x(), area.width(), scaled.width(), original.width());
    const std::vector<Tap> rows =
        tapsFor(area.y(), area.height(), scaled.height(), original.height());

    // Rows are read straight from a 32-bit picture; any other format has only
    // the columns the part needs converted, a row at a time, so a part never
    // costs a converted copy of the whole picture.
    const bool direct = original.format() == format;
    const int firstColumn = columns.front().first;
    const int columnCount = columns.back().second - firstColumn + 1;
    struct Converted {
        int row = -1;
        QImage pixels;
    };
    Converted cache[2];
    // The row `keep` is in use and must not be replaced.
    const auto sourceRow = [&](int y, int keep) -> const QRgb* {
        if (direct)
            return reinterpret_cast<const QRgb*>(original.constScanLine(y)) + firstColumn;
        for (const Converted& c : cache) {
            if (c.row == y)
                return reinterpret_cast<const QRgb*>(c.pixels.constScanLine(0));
        }
        Converted& slot = cache[0].row == keep ? cache[1] : cache[0];
        slot.row = y;
        slot.pixels = original.copy(firstColumn, y, columnCount, 1).convertToFormat(format);
        return reinterpret_cast<const QRgb*>(slot.pixels.constScanLine(0));
    };

    for (int k = 0; k < area.height(); ++k) {
        const Tap& row = rows[std::size_t(k)];
        const QRgb* upper = sourceRow(row.first, -1);
        const QRgb* lower = sourceRow(row.second, row.first);
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(k));
        for (int x = 0; x < area.width(); ++x) {
            const Tap& column = columns[std::size_t(x)];
            const int a = column.first - firstColumn;
            const int b = column.second - firstColumn;
            line[x] = mix(mix(upper[a], upper[b], column.weight),
                          mix(lower[a], lower[b], column.weight), row.weight);
        }
    }
    return out;
}

}  // namespace vantelo
