// Removing a picture's background: removeBackground on a 6000x4000 photo of a
// subject on a plain, slightly noisy background, against one pass of QImage
// over the same pixels (a conversion to ARGB32, which reads and writes each
// pixel once). Each figure is the median of interleaved runs.
//
//   bench_background [runs]      (default 7)

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "benchtiming.h"
#include "design/backgroundremoval.h"

using namespace vantelo;
using vantelo::bench::median;
using vantelo::bench::millisecondsOf;

namespace {

// A camera-sized photo: an off-white backdrop with sensor noise and a shaded
// subject in the middle, with a light window in it.
QImage photo() {
    QImage image(6000, 4000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = ((x * 1103515245 + y * 12345) >> 9) & 7;
            row[x] = qRgb(245 + noise, 244 + noise, 240 + noise);
        }
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(150, 40, 30));
    painter.drawEllipse(QPointF(3000, 2000), 1700, 1500);
    painter.setBrush(QColor(250, 250, 248));
    painter.drawEllipse(QPointF(3300, 1700), 300, 260);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const QImage picture = photo();
    std::vector<double> removal;
    std::vector<double> pass;
    for (int run = 0; run < runs; ++run) {
        QImage out;
        removal.push_back(millisecondsOf([&] { out = removeBackground(picture, 12); }));
        if (out.isNull() || qAlpha(out.pixel(0, 0)) != 0) {
            std::fprintf(stderr, "the background was not removed\n");
            return 1;
        }
        pass.push_back(millisecondsOf(
            [&] { out = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied); }));
    }
    std::printf("Background removal of a 6000x4000 photo, median of %d runs\n", runs);
    std::printf("    removeBackground (tolerance 12)  %9.1f ms   target: under 250 ms\n",
                median(removal));
    std::printf("    one QImage pass (convert)        %9.1f ms   the anchor\n", median(pass));
    std::printf("    ratio removal / one pass          %8.2f\n", median(removal) / median(pass));
    return 0;
}
