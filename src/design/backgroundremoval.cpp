#include "design/backgroundremoval.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vantelo {
namespace {

enum : std::uint8_t { Kept = 0, Removed = 1, Edge = 2 };

// How far a colour lies from the background's, in levels of the channel that
// differs most.
int distance(QRgb pixel, QRgb background) {
    return std::max({std::abs(qRed(pixel) - qRed(background)),
                     std::abs(qGreen(pixel) - qGreen(background)),
                     std::abs(qBlue(pixel) - qBlue(background))});
}

int channelMedian(std::vector<int>& values) {
    auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}  // namespace

QColor borderColour(const QImage& picture) {
    if (picture.isNull())
        return QColor();
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    std::array<std::vector<int>, 3> channels;
    const auto take = [&](int x, int y) {
        const QRgb pixel = image.pixel(x, y);
        channels[0].push_back(qRed(pixel));
        channels[1].push_back(qGreen(pixel));
        channels[2].push_back(qBlue(pixel));
    };
    for (int x = 0; x < w; ++x) {
        take(x, 0);
        take(x, h - 1);
    }
    for (int y = 1; y < h - 1; ++y) {
        take(0, y);
        take(w - 1, y);
    }
    return QColor(channelMedian(channels[0]), channelMedian(channels[1]),
                  channelMedian(channels[2]));
}

QImage removeBackground(const QImage& picture, int tolerance) {
    if (picture.isNull() || tolerance <= kMinimumBackgroundTolerance)
        return picture;
    tolerance = std::min(tolerance, kMaximumBackgroundTolerance);
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const QRgb background = borderColour(image).rgb();
    const int threshold = static_cast<int>(std::lround(tolerance * 255 / 100.0));
    const auto pixels = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / 4;
    const auto at = [&](int x, int y) -> QRgb& { return pixels[y * stride + x]; };
    const auto close = [&](int x, int y) {
        const QRgb pixel = at(x, y);
        return qAlpha(pixel) == 0 || distance(pixel, background) <= threshold;
    };

    // A span fill from every border pixel of the background's colour: only
    // what the border reaches is background, so enclosed regions stay.
    std::vector<std::uint8_t> state(std::size_t(w) * h, Kept);
    const auto stateAt = [&](int x, int y) -> std::uint8_t& {
        return state[std::size_t(y) * w + x];
    };
    std::vector<std::pair<int, int>> seeds;
    const auto seed = [&](int x, int y) {
        if (stateAt(x, y) == Kept && close(x, y))
            seeds.emplace_back(x, y);
    };
    for (int x = 0; x < w; ++x) {
        seed(x, 0);
        seed(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        seed(0, y);
        seed(w - 1, y);
    }
    while (!seeds.empty()) {
        const auto [x, y] = seeds.back();
        seeds.pop_back();
        if (stateAt(x, y) != Kept)
            continue;
        int left = x;
        while (left > 0 && stateAt(left - 1, y) == Kept && close(left - 1, y))
            --left;
        int right = x;
        while (right + 1 < w && stateAt(right + 1, y) == Kept && close(right + 1, y))
            ++right;
        for (int i = left; i <= right; ++i)
            stateAt(i, y) = Removed;
        for (const int row : {y - 1, y + 1}) {
            if (row < 0 || row >= h)
                continue;
            bool inRun = false;
            for (int i = left; i <= right; ++i) {
                const bool open = stateAt(i, row) == Kept && close(i, row);
                if (open && !inRun)
                    seeds.emplace_back(i, row);
                inRun = open;
            }
        }
    }

    // The subject's edge: kept pixels within two pixels of the background.
    // A row at a time, whether any of the three rows has background at a
    // column, then whether any of three columns does.
    std::vector<std::pair<int, int>> edge;
    std::vector<std::uint8_t> near(w);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            near[x] = (y > 0 && stateAt(x, y - 1) == Removed) || stateAt(x, y) == Removed ||
                      (y + 1 < h && stateAt(x, y + 1) == Removed);
        }
        for (int x = 0; x < w; ++x) {
            if (stateAt(x, y) == Kept &&
                (near[x] || (x > 0 && near[x - 1]) || (x + 1 < w && near[x + 1])))
                edge.emplace_back(x, y);
        }
    }
    const std::size_t innerEdge = edge.size();
    for (std::size_t i = 0; i < innerEdge; ++i)
        stateAt(edge[i].first, edge[i].second) = Edge;
    for (std::size_t i = 0; i < innerEdge; ++i) {
        const auto [x, y] = edge[i];
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx;
                const int ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < w && ny < h && stateAt(nx, ny) == Kept) {
                    stateAt(nx, ny) = Edge;
                    edge.emplace_back(nx, ny);
                }
            }
        }
    }

    // An edge pixel is a mix of the subject's colour and the background's: the
    // share of the subject is how far it lies from the background against
    // how far the subject nearby lies, and the background's share is taken out.
    std::vector<QRgb> unmixed(edge.size());
    for (std::size_t i = 0; i < edge.size(); ++i) {
        const auto [x, y] = edge[i];
        const QRgb pixel = at(x, y);
        const int own = distance(pixel, background);
        int subject = own;
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) {
                const int nx = x + dx;
                const int ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < w && ny < h && stateAt(nx, ny) == Kept)
                    subject = std::max(subject, distance(at(nx, ny), background));
            }
        }
        const double share = subject > 0 ? double(own) / subject : 1.0;
        const auto unmix = [&](int channel, int behind) {
            return std::clamp(static_cast<int>(std::lround(behind + (channel - behind) / share)), 0,
                              255);
        };
        unmixed[i] = share <= 0 ? qRgba(0, 0, 0, 0)
                                : qRgba(unmix(qRed(pixel), qRed(background)),
                                        unmix(qGreen(pixel), qGreen(background)),
                                        unmix(qBlue(pixel), qBlue(background)),
                                        static_cast<int>(std::lround(qAlpha(pixel) * share)));
    }
    for (std::size_t i = 0; i < edge.size(); ++i)
        at(edge[i].first, edge[i].second) = unmixed[i];

    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (stateAt(x, y) == Removed)
                at(x, y) = qRgba(0, 0, 0, 0);
        }
    }
    return image;
}

}  // namespace vantelo
