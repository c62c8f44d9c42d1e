#include "export/logokit.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <algorithm>
#include <cerrno>
#include <cmath>

#include <sys/stat.h>

#include "export/imagewriters.h"
#include "export/saveasjpg.h"

namespace vantelo {
namespace {

const QList<int> kSquareSides = {64, 128, 256, 512, 1024};
const QList<int> kIconSides = {16, 32, 48};
constexpr double kWideScale = 2.0;
// The most pixels any render may have: a tiny design on a big canvas would
// otherwise ask for gigabytes. Past this the largest squares are scaled up
// and the wide logos are smaller than twice the canvas.
constexpr double kMaxRenderPixels = 4096.0 * 4096.0;

SaveFailure makeFolder(const QString& folder) {
    if (folder.isEmpty() || folder.contains(QChar(0)))
        return SaveFailure::BadName;
    if (::mkdir(QFile::encodeName(folder).constData(), 0777) == 0 || errno == EEXIST)
        return SaveFailure::None;
    switch (errno) {
        case EACCES:
        case EPERM:
        case EROFS:
            return SaveFailure::AccessDenied;
        case ENOENT:
        case ENOTDIR:
            return SaveFailure::FolderNotFound;
        case ENAMETOOLONG:
            return SaveFailure::NameTooLong;
        case ENOSPC:
        case EDQUOT:
            return SaveFailure::DiskFull;
        default:
            return SaveFailure::WriteFailed;
    }
}

// Writes one file after another until one fails.
class KitWriter {
public:
    KitWriter(const QString& folder, FileSystem& fileSystem)
        : folder_(QDir(folder).absolutePath() + QLatin1Char('/')), fileSystem_(fileSystem) {}

    bool png(const QString& name, const QImage& picture) {
        return record(name, savePng(picture, folder_ + name, fileSystem_));
    }
    bool ico(const QString& name, const QList<QImage>& sizes) {
        return record(name, saveIco(sizes, folder_ + name, fileSystem_));
    }
    bool jpeg(const QString& name, const QImage& picture, int quality) {
        QByteArray bytes;
        return record(name, writeFileAtomically(
                                folder_ + name,
                                [&]() -> const QByteArray* {
                                    return EncodeJPGToBytes(picture, quality, bytes) == JpegOk
                                               ? &bytes
                                               : nullptr;
                                },
                                fileSystem_));
    }
    bool fail(const QString& name, SaveFailure failure) { return record(name, failure); }
    const KitResult& result() const { return result_; }

private:
    bool record(const QString& name, SaveFailure failure) {
        const QString path = name.isEmpty() ? folder_.chopped(1) : folder_ + name;
        if (failure != SaveFailure::None) {
            result_.failure = failure;
            result_.failedFile = path;
            return false;
        }
        result_.written << path;
        return true;
    }

    QString folder_;
    FileSystem& fileSystem_;
    KitResult result_;
};

}  // namespace

QStringList logoKitFileNames(bool withDark) {
    QStringList names{QStringLiteral("favicon.ico")};
    for (const int side : kSquareSides)
        names << QStringLiteral("logo-%1.png").arg(side);
    names << QStringLiteral("logo-wide.png");
    if (withDark)
        names << QStringLiteral("logo-dark.png");
    names << QStringLiteral("logo.jpg");
    return names;
}

QImage fitToSquare(const QImage& rendered, const QRectF& content, int side) {
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    const QImage cut = rendered.copy(content.toAlignedRect());
    if (cut.isNull())
        return square;
    const QSize fit = cut.size().scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    // Premultiplied, so that smoothing blends no colour of a transparent pixel.
    const QImage scaled = cut.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                              .scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&square);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage((side - fit.width()) / 2, (side - fit.height()) / 2, scaled);
    return square;
}

QImage flattenOnto(const QImage& picture, const QColor& background) {
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.setDotsPerMeterX(picture.dotsPerMeterX());
    flat.setDotsPerMeterY(picture.dotsPerMeterY());
    flat.fill(background.rgb());
    QPainter painter(&flat);
    painter.drawImage(0, 0, picture);
    return flat;
}

KitResult writeLogoKit(const QString& folder, const KitRenderer& renderer, FileSystem& fileSystem,
                       const KitOptions& options) {
    KitWriter kit(folder, fileSystem);
    if (const SaveFailure failure = makeFolder(folder); failure != SaveFailure::None) {
        kit.fail(QString(), failure);
        return kit.result();
    }
    const auto render = [&renderer](double scale, bool transparent) {
        return renderer.render ? renderer.render(scale, transparent) : QImage();
    };

    // The canvas at its own size tells the size of the canvas.
    const QImage canvas = render(1.0, false);
    if (canvas.isNull()) {
        kit.fail(logoKitFileNames(false).constFirst(), SaveFailure::EncodeFailed);
        return kit.result();
    }
    QRect content = renderer.contentBounds ? renderer.contentBounds() : QRect();
    content = content.isEmpty() ? canvas.rect() : content.intersected(canvas.rect());
    if (content.isEmpty())
        content = canvas.rect();

    // The squares are cut from one render at the scale of the largest, so
    // that every size is smoothed down from more pixels than it has.
    const double largestScale =
        std::sqrt(kMaxRenderPixels / (double(canvas.width()) * canvas.height()));
    const double scale =
        std::min(double(kSquareSides.constLast()) / std::max(content.width(), content.height()),
                 largestScale);
    const QImage large = render(scale, true);
    if (large.isNull()) {
        kit.fail(QStringLiteral("favicon.ico"), SaveFailure::EncodeFailed);
        return kit.result();
    }
    const double sx = large.width() / double(canvas.width());
    const double sy = large.height() / double(canvas.height());
    const QRectF largeContent(content.x() * sx, content.y() * sy, content.width() * sx,
                              content.height() * sy);

    QList<QImage> icons;
    for (const int side : kIconSides)
        icons << fitToSquare(large, largeContent, side);
    if (!kit.ico(QStringLiteral("favicon.ico"), icons))
        return kit.result();
    for (const int side : kSquareSides) {
        if (!kit.png(QStringLiteral("logo-%1.png").arg(side),
                     fitToSquare(large, largeContent, side)))
            return kit.result();
    }
    const double wideScale = std::min(kWideScale, largestScale);
    if (!kit.png(QStringLiteral("logo-wide.png"), render(wideScale, true)))
        return kit.result();
    if (renderer.renderDark &&
        !kit.png(QStringLiteral("logo-dark.png"), renderer.renderDark(wideScale)))
        return kit.result();
    kit.jpeg(QStringLiteral("logo.jpg"), flattenOnto(canvas, options.jpegBackground),
             options.jpegQuality);
    return kit.result();
}

}  // namespace vantelo
