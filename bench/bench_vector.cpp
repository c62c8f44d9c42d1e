// SVG and PDF export against the PNG export of the same design, in the same
// process: a sample-sized logo (a 220x180 picture and two lines of text, one
// outlined and shadowed) and the same design with a 6000x4000 photo shown at
// 10 %. Each figure covers drawing and encoding, not the disk; each is the
// median of interleaved runs.
//
//   bench_vector [runs]      (default 9)

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "benchtiming.h"
#include "export/designrenderer.h"
#include "export/imagewriters.h"
#include "export/vectorlogo.h"

using namespace vantelo;
using vantelo::bench::median;
using vantelo::bench::millisecondsOf;

namespace {

QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(((unsigned(x) * 1103515245u + unsigned(y) * 12345u) >> 7) & 31u);
            row[x] = qRgb((x + noise) & 255, (y * 2 + noise) & 255, (x ^ y) & 255);
        }
    }
    return image;
}

RenderSource design(const QImage& photo, int scale) {
    RenderSource source;
    source.picture = photo;
    source.canvas = QSize(512, 229);
    source.design.picture.left = 120;
    source.design.picture.top = 150;
    source.design.picture.scale = scale;
    const char* texts[] = {"Your text 1 here", "Your text 2 here"};
    for (int i = 0; i < 2; ++i) {
        TextLineDesign& line = source.design.lines[i];
        line.text = QString::fromLatin1(texts[i]);
        line.fontName = QStringLiteral("Arial");
        line.fontSize = 14;
        line.left = 4200;
        line.top = 600 + 1500 * i;
    }
    source.design.lines[0].outlineWidth = 2;
    source.design.lines[0].shadow = true;
    return source;
}

void compare(const char* title, const RenderSource& source, int runs) {
    std::vector<double> png;
    std::vector<double> svg;
    std::vector<double> pdf;
    qsizetype sizes[3] = {};
    for (int run = 0; run < runs; ++run) {
        png.push_back(millisecondsOf([&] { sizes[0] = encodePng(renderDesign(source)).size(); }));
        svg.push_back(
            millisecondsOf([&] { sizes[1] = encodeSvg(recordDesign(source, {})).size(); }));
        pdf.push_back(
            millisecondsOf([&] { sizes[2] = encodePdf(recordDesign(source, {})).size(); }));
    }
    std::printf("%s, median of %d runs\n", title, runs);
    std::printf("    PNG export (render + encode)  %8.2f ms  %9lld bytes   the anchor\n",
                median(png), static_cast<long long>(sizes[0]));
    std::printf("    SVG export                    %8.2f ms  %9lld bytes   ratio %5.2f\n",
                median(svg), static_cast<long long>(sizes[1]), median(svg) / median(png));
    std::printf("    PDF export                    %8.2f ms  %9lld bytes   ratio %5.2f\n",
                median(pdf), static_cast<long long>(sizes[2]), median(pdf) / median(png));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    compare("Sample design (220x180 picture)", design(picture(220, 180), 100), runs);
    compare("The same with a 6000x4000 photo at 10 %", design(picture(6000, 4000), 10),
            std::max(1, runs / 3));
    return 0;
}
