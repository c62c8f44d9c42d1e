// Writing the logo kit: the whole kit of a 512x229 logo against one SaveJPG of
// the same canvas, and savePng of the 2x render against Qt's PNG writer into
// memory followed by a temporary file that is flushed and renamed, the least
// an atomic PNG save can do. The renders are timed apart, since a real design
// draws at its own pace. Each figure is the median of many runs, interleaved so
// that the load of a shared machine falls on every contender alike.
//
//   bench_kit [runs]      (default 21)

#include <fcntl.h>
#include <unistd.h>
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "export/imagewriters.h"
#include "export/logokit.h"
#include "export/saveasjpg.h"

using namespace vantelo;

namespace {

using Clock = std::chrono::steady_clock;

// A logo like the canvas draws: a photo-like picture and two lines of text,
// on white or on nothing, at any scale of its 512x229 canvas.
QImage renderLogo(double scale, bool transparent, const QColor& ink = QColor(30, 60, 160)) {
    static const QImage photo = [] {
        QImage p(220, 180, QImage::Format_RGB32);
        for (int y = 0; y < p.height(); ++y) {
            for (int x = 0; x < p.width(); ++x) {
                const int noise = ((x * 1103515245 + y * 12345) >> 7) & 31;
                p.setPixel(x, y, qRgb((x + noise) & 255, (y * 2 + noise) & 255, (x ^ y) & 255));
            }
        }
        return p;
    }();
    QImage logo(qRound(512 * scale), qRound(229 * scale), QImage::Format_ARGB32_Premultiplied);
    logo.fill(transparent ? Qt::transparent : Qt::white);
    QPainter painter(&logo);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    painter.drawImage(12, 8, photo);
    QLinearGradient band(0, 0, 512, 0);
    band.setColorAt(0, ink);
    band.setColorAt(1, QColor(200, 40, 40));
    painter.setPen(QPen(QBrush(band), 1));
    painter.setFont(QFont(QStringLiteral("Arial"), 26, QFont::Bold));
    painter.drawText(245, 80, QStringLiteral("Your text here"));
    painter.setFont(QFont(QStringLiteral("Arial"), 14, QFont::Normal, true));
    painter.drawText(245, 130, QStringLiteral("Second line of the logo"));
    return logo;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisecondsOf(const std::function<void()>& work) {
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The anchor of the PNG save: Qt's writer into memory, then a temporary file
// written, flushed and renamed over the target.
bool qtPngSave(const QImage& image, const QByteArray& path, const QByteArray& temp) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(image))
        return false;
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() &&
              ::fdatasync(fd) == 0;
    ok = fd >= 0 && ::close(fd) == 0 && ok && ::rename(temp.constData(), path.constData()) == 0;
    return ok;
}

void line(const char* label, double ms, const char* how) {
    std::printf("    %-30s %9.3f ms   %s\n", label, ms, how);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 21;
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    const QString kitFolder = folder.filePath(QStringLiteral("kit"));
    const QString jpg = folder.filePath(QStringLiteral("one.jpg"));
    const QString png = folder.filePath(QStringLiteral("ours.png"));
    const QByteArray anchorPng = QFile::encodeName(folder.filePath(QStringLiteral("anchor.png")));
    const QByteArray anchorTemp = QFile::encodeName(folder.filePath(QStringLiteral(".anchor")));

    double renderMs = 0;
    KitRenderer renderer;
    renderer.render = [&renderMs](double scale, bool transparent) {
        QImage image;
        renderMs += millisecondsOf([&] { image = renderLogo(scale, transparent); });
        return image;
    };
    renderer.renderDark = [&renderMs](double scale) {
        QImage image;
        renderMs += millisecondsOf([&] { image = renderLogo(scale, true, QColor(250, 230, 120)); });
        return image;
    };
    const QImage canvas = renderLogo(1.0, false).convertToFormat(QImage::Format_RGB32);
    const QImage wide = renderLogo(2.0, true);

    std::vector<double> kit, kitRenders, oneJpg, ourPng, qtPng;
    bool ok = true;
    for (int run = 0; run < runs; ++run) {
        renderMs = 0;
        kit.push_back(millisecondsOf(
            [&] { ok = writeLogoKit(kitFolder, renderer).failure == SaveFailure::None && ok; }));
        kitRenders.push_back(renderMs);
        oneJpg.push_back(millisecondsOf([&] { SaveJPG(canvas, jpg, 85); }));
        ourPng.push_back(
            millisecondsOf([&] { ok = savePng(wide, png) == SaveFailure::None && ok; }));
        qtPng.push_back(millisecondsOf([&] { ok = qtPngSave(wide, anchorPng, anchorTemp) && ok; }));
    }
    if (!ok) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    qint64 kitBytes = 0;
    for (const QString& name : logoKitFileNames(true))
        kitBytes += QFileInfo(kitFolder + QLatin1Char('/') + name).size();

    std::printf("Logo kit of a 512x229 logo, median of %d runs (%lld bytes in %lld files)\n", runs,
                static_cast<long long>(kitBytes),
                static_cast<long long>(logoKitFileNames(true).size()));
    line("writeLogoKit", median(kit), "renders, scaling, 9 encodes, 9 atomic writes");
    line("  of which the renders", median(kitRenders), "the design drawn 4 times");
    line("SaveJPG of the 1x canvas", median(oneJpg), "the anchor: one atomic JPEG save");
    std::printf("    ratio kit / one JPEG save              %6.2f\n", median(kit) / median(oneJpg));
    std::printf("    ratio kit without renders / JPEG save  %6.2f\n",
                (median(kit) - median(kitRenders)) / median(oneJpg));
    std::printf("  PNG of the 2x render (1024x458, transparent)\n");
    line("savePng", median(ourPng), "encode, temp file, fdatasync, rename");
    line("Qt writer + temp/fdatasync/rename", median(qtPng), "the anchor");
    std::printf("    ratio savePng / anchor                 %6.2f\n",
                median(ourPng) / median(qtPng));
    return 0;
}
