#include "export/logokit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

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

QString hashOf(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// The hash of a regular file's bytes; empty when it cannot be read.
QString hashOfFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

// The record's lines, "<SHA-256 in hex>  <name>" as sha256sum writes them:
// name to hash. A line of any other form is passed over.
QHash<QString, QString> readKitRecord(const QString& folder) {
    QHash<QString, QString> record;
    QFile file(folder + QLatin1Char('/') + kKitRecordName);
    // A record is a few hundred bytes; anything much larger is not one.
    if (!QFileInfo(file).isFile() || file.size() > 64 * 1024 || !file.open(QIODevice::ReadOnly))
        return record;
    static const QRegularExpression line(QStringLiteral("^([0-9a-f]{64})  (\\S+)$"));
    for (const QByteArray& text : file.readAll().split('\n')) {
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(text));
        if (match.hasMatch())
            record.insert(match.captured(2), match.captured(1));
    }
    return record;
}

// Whether the file of that name in the folder is what the record says the
// last kit wrote there.
bool fromEarlierKit(const QString& folder, const QString& name,
                    const QHash<QString, QString>& record) {
    const QString recorded = record.value(name);
    return !recorded.isEmpty() && hashOfFile(folder + QLatin1Char('/') + name) == recorded;
}

// Writes one file after another until one fails, and then the record.
class KitWriter {
public:
    KitWriter(const QString& folder, FileSystem& fileSystem)
        : folder_(QDir(folder).absolutePath() + QLatin1Char('/')), fileSystem_(fileSystem) {}

    bool png(const QString& name, const QImage& picture) { return write(name, encodePng(picture)); }
    bool ico(const QString& name, const QList<QImage>& sizes) {
        return write(name, encodeIco(sizes));
    }
    bool jpeg(const QString& name, const QImage& picture, int quality) {
        QByteArray bytes;
        if (EncodeJPGToBytes(picture, quality, bytes) != JpegOk)
            bytes.clear();
        return write(name, bytes);
    }
    bool bytes(const QString& name, const QByteArray& file) { return write(name, file); }
    bool fail(const QString& name, SaveFailure failure) { return record(name, failure); }
    const KitResult& result() const { return result_; }

    // The files this kit wrote, and those an earlier kit wrote that are still
    // as it left them. A record that cannot be written costs only a question
    // the next time.
    void writeRecord() {
        if (hashes_.isEmpty())
            return;
        const QString folder = folder_.chopped(1);
        const QHash<QString, QString> earlier = readKitRecord(folder);
        QByteArray text;
        for (const QString& name : logoKitFileNames(true)) {
            QString hash = hashes_.value(name);
            if (hash.isEmpty() && fromEarlierKit(folder, name, earlier))
                hash = earlier.value(name);
            if (!hash.isEmpty())
                text += hash.toLatin1() + "  " + name.toUtf8() + '\n';
        }
        writeFileAtomically(
            folder_ + kKitRecordName, [&text]() -> const QByteArray* { return &text; },
            fileSystem_);
    }

private:
    bool write(const QString& name, const QByteArray& bytes) {
        const SaveFailure failure = writeFileAtomically(
            folder_ + name,
            [&bytes]() -> const QByteArray* { return bytes.isEmpty() ? nullptr : &bytes; },
            fileSystem_);
        if (failure == SaveFailure::None)
            hashes_.insert(name, hashOf(bytes));
        return record(name, failure);
    }

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
    QHash<QString, QString> hashes_;
};

}  // namespace

QStringList logoKitFileNames(bool withDark) {
    QStringList names{QStringLiteral("favicon.ico")};
    for (const int side : kSquareSides)
        names << QStringLiteral("logo-%1.png").arg(side);
    names << QStringLiteral("logo-wide.png");
    if (withDark)
        names << QStringLiteral("logo-dark.png");
    names << QStringLiteral("logo.jpg") << QStringLiteral("logo.svg") << QStringLiteral("logo.pdf");
    return names;
}

QStringList kitFilesToReplace(const QString& folder, bool withDark) {
    const QHash<QString, QString> record = readKitRecord(folder);
    QStringList foreign;
    for (const QString& name : logoKitFileNames(withDark)) {
        const QFileInfo file(folder + QLatin1Char('/') + name);
        if ((file.exists() || file.isSymLink()) && !fromEarlierKit(folder, name, record))
            foreign << name;
    }
    return foreign;
}

int squareMargin(int side) {
    return int(std::lround(side / 10.0));
}

QImage fitToSquare(const QImage& rendered, const QRectF& content, int side, int margin) {
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    const QImage cut = rendered.copy(content.toAlignedRect());
    if (cut.isNull())
        return square;
    const int room = std::max(1, side - 2 * margin);
    const QSize fit = cut.size().scaled(room, room, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
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
    if (const SaveFailure failure = makeFolderForFiles(folder); failure != SaveFailure::None) {
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
    const auto written = [&kit](bool ok) {
        if (!ok)
            kit.writeRecord();
        return ok;
    };
    if (!written(kit.ico(QStringLiteral("favicon.ico"), icons)))
        return kit.result();
    for (const int side : kSquareSides) {
        if (!written(kit.png(QStringLiteral("logo-%1.png").arg(side),
                             fitToSquare(large, largeContent, side, squareMargin(side)))))
            return kit.result();
    }
    const auto logo = [&](double at, bool opaque) {
        return renderer.renderLogo ? renderer.renderLogo(at, opaque) : render(at, !opaque);
    };
    const double wideScale = std::min(kWideScale, largestScale);
    if (!written(kit.png(QStringLiteral("logo-wide.png"), logo(wideScale, false))))
        return kit.result();
    if (renderer.renderDark &&
        !written(kit.png(QStringLiteral("logo-dark.png"), renderer.renderDark(wideScale))))
        return kit.result();
    if (!written(kit.jpeg(QStringLiteral("logo.jpg"),
                          flattenOnto(logo(1.0, true), options.jpegBackground),
                          options.jpegQuality)))
        return kit.result();
    if (renderer.renderVector) {
        if (!written(kit.bytes(QStringLiteral("logo.svg"), renderer.renderVector(false))))
            return kit.result();
        if (!written(kit.bytes(QStringLiteral("logo.pdf"), renderer.renderVector(true))))
            return kit.result();
    }
    kit.writeRecord();
    return kit.result();
}

}  // namespace vantelo
