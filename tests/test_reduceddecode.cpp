#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QDirIterator>
#include <QImageReader>
#include <QImageWriter>
#include <QSpinBox>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "design/picturescale.h"
#include "editing/designdocument.h"
#include "editing/imagesource.h"
#include "export/designrenderer.h"
#include "platform/exiforientation.h"
#include "platform/runtimeerror.h"
#include "platform/scaleddecode.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

// A camera photo: a different colour in each quarter, so a wrong turn shows,
// and soft waves and edges, as a photo has.
QByteArray photoJpeg(int width = 6000, int height = 4000) {
    QImage image(width, height, QImage::Format_RGB32);
    std::vector<int> across(static_cast<size_t>(width)), down(static_cast<size_t>(height));
    for (int x = 0; x < width; ++x)
        across[size_t(x)] = int(40 * std::sin(x / 23.0));
    for (int y = 0; y < height; ++y)
        down[size_t(y)] = int(30 * std::cos(y / 17.0));
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int wave = across[size_t(x)] + down[size_t(y)];
            row[x] = qRgb(std::clamp((x < width / 2 ? 40 : 190) + wave, 0, 255),
                          std::clamp((y < height / 2 ? 50 : 180) + wave, 0, 255),
                          std::clamp(120 + y * 60 / height - wave, 0, 255));
        }
    }
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return out;
}

const QByteArray& cameraPhoto() {
    static const QByteArray bytes = photoJpeg();
    return bytes;
}

// The photo with an EXIF block that gives its orientation.
QByteArray turned(const QByteArray& jpeg, int orientation) {
    QByteArray exif(
        "\xFF\xE1\x00\x22"
        "Exif\0\0II*\0\x08\0\0\0"
        "\x01\0\x12\x01\x03\0\x01\0\0\0\x01\0\0\0\0\0\0\0",
        36);
    exif[28] = char(orientation);
    return QByteArray(jpeg).insert(2, exif);
}

// The largest and the mean difference of a channel between two pictures.
std::pair<int, double> difference(const QImage& a, const QImage& b) {
    int largest = 0;
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                largest = std::max(largest, std::abs(d));
                sum += std::abs(d);
            }
        }
    }
    return {largest, double(sum) / (3.0 * a.width() * a.height())};
}

}  // namespace

class ReducedDecodeTest final : public QObject {
    Q_OBJECT

private slots:
    // The decoder reduces by a half, a quarter or an eighth, the most that
    // still leaves the pixels shown, upright; what the canvas makes from it
    // cannot be told from what it makes from the full pixels.
    void photoIsDecodedAtTheSizeShown_data() {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("divisor");
        QTest::newRow("100 %") << cameraPhoto() << 100 << 1;
        QTest::newRow("51 %") << cameraPhoto() << 51 << 1;
        QTest::newRow("50 %") << cameraPhoto() << 50 << 2;
        QTest::newRow("26 %") << cameraPhoto() << 26 << 2;
        QTest::newRow("25 %") << cameraPhoto() << 25 << 4;
        QTest::newRow("13 %") << cameraPhoto() << 13 << 4;
        QTest::newRow("12 %") << cameraPhoto() << 12 << 8;
        QTest::newRow("upside down, 5 %") << turned(cameraPhoto(), 3) << 5 << 8;
        QTest::newRow("turned a quarter, 10 %") << turned(cameraPhoto(), 6) << 10 << 8;
        QTest::newRow("turned and mirrored, 30 %") << turned(cameraPhoto(), 5) << 30 << 2;
        QTest::newRow("turned back, 25 %") << turned(cameraPhoto(), 8) << 25 << 4;
        QTest::newRow("a height that halves once, 10 %") << photoJpeg(1200, 802) << 10 << 2;
        QTest::newRow("odd sides, 10 %") << photoJpeg(1201, 801) << 10 << 1;
    }
    void photoIsDecodedAtTheSizeShown() {
        QFETCH(QByteArray, jpeg);
        QFETCH(int, percent);
        QFETCH(int, divisor);
        Sandbox sandbox;
        const QString path = sandbox.writeFile(QStringLiteral("photo.jpg"), jpeg);
        const QImage full = LoadPicture(path);
        const ShownPicture picture = LoadPictureToShow(path, percent);
        QCOMPARE(picture.size(), full.size());
        const QImage reduced = picture.reducedCopy();
        QCOMPARE(reduced.size(), divisor == 1 ? QSize(0, 0) : full.size() / divisor);
        QCOMPARE(picture.decoded().isNull(), divisor > 1);
        if (divisor > 1) {
            const QSize shown = scaledPictureSize(full.size(), percent);
            const auto smooth = [&shown](const QImage& from) {
                return from.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            };
            const auto [largest, mean] = difference(smooth(reduced), smooth(full));
            QVERIFY2(largest <= 24 && mean <= 1.0,
                     qPrintable(QStringLiteral("%1 %2").arg(largest).arg(mean)));
        }
        // A copy shares the decoding, which gives the pixels LoadPicture gives.
        const ShownPicture copy = picture;
        QCOMPARE(copy.full(), full);
        QVERIFY(picture.reducedCopy().isNull());
        QCOMPARE(picture.decoded(), full);
    }

    // A photo chosen at a reduced size is decoded down to the rows the window
    // shows at once, then whole on the worker thread, and shown again.
    void reducedPhotoIsDecodedFromItsTopFirst_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("topFirst");
        QTest::newRow("25 %") << 1 << 25 << true;
        QTest::newRow("12 %") << 1 << 12 << true;
        QTest::newRow("upside down: whole at once") << 3 << 25 << false;
        QTest::newRow("at its own size") << 1 << 100 << true;
        QTest::newRow("a little below, smoothed on the worker") << 1 << 90 << true;
        QTest::newRow("above its own size: whole at once") << 1 << 110 << false;
    }
    void reducedPhotoIsDecodedFromItsTopFirst() {
        QFETCH(int, orientation);
        QFETCH(int, percent);
        QFETCH(bool, topFirst);
        Sandbox sandbox;
        const QByteArray plain = photoJpeg(2400, 4000);
        const QByteArray jpeg = orientation == 1 ? plain : turned(plain, orientation);
        const QString photo = sandbox.writeFile(QStringLiteral("photo.jpg"), jpeg);
        sandbox.setSetting(keys::kImageScale, QString::number(percent));
        FormFixture f(sandbox);
        ImageControl& picture = *f.form->canvas->imgLogo;
        QSignalSpy settled(&picture, &ImageControl::settled);
        f.form->imageSource().chooseFile(photo);
        const int divisor = decoderReduction(QSize(2400, 4000), percent);
        const QImage whole = turnedUpright(decodeJpeg(plain, divisor, 1024), orientation)
                                 .convertToFormat(QImage::Format_RGB32);
        const QImage first = picture.shownFrom().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(first.size(), whole.size());
        const int shownRows = f.form->canvas->Picture2->height() -
                              picture.mapTo(f.form->canvas->Picture2, QPoint(0, 0)).y();
        const int topRows = (shownRows * 100 + percent * divisor - 1) / (percent * divisor);
        QCOMPARE(first.copy(0, 0, first.width(), topRows),
                 whole.copy(0, 0, whole.width(), topRows));
        const QImage bottom = first.copy(0, first.height() - 1, first.width(), 1);
        QCOMPARE(bottom == whole.copy(0, whole.height() - 1, whole.width(), 1), !topFirst);
        if (!topFirst)
            return;
        QVERIFY(settled.wait(10000));
        QCOMPARE(picture.shownFrom().convertToFormat(QImage::Format_RGB32), whole);
        if (picture.smoothCopy().isNull())
            QVERIFY(settled.wait(10000));
        QCOMPARE(picture.smoothCopy().convertToFormat(QImage::Format_RGB32),
                 whole
                     .scaled(scaledPictureSize(whole.size() * divisor, percent),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32));
    }

    // A damaged photo is refused, or read, exactly as a whole decode does it.
    void damagedPhotoIsReportedAsBefore_data() {
        QTest::addColumn<QByteArray>("jpeg");
        const QByteArray photo = cameraPhoto();
        const qsizetype scan = photo.indexOf("\xFF\xDA") + 20;
        QTest::newRow("cut before its end") << photo.chopped(2);
        QTest::newRow("cut in its scan") << photo.left(photo.size() / 2);
        QTest::newRow("no width") << QByteArray(photo).replace(photo.indexOf("\xFF\xC0") + 7, 2,
                                                               QByteArray(2, '\0'));
        QTest::newRow("a bad Huffman table")
            << QByteArray(photo).replace(photo.indexOf("\xFF\xC4") + 5, 16, QByteArray(16, '\x7F'));
        QTest::newRow("garbage in its scan")
            << QByteArray(photo).replace(scan + photo.size() / 3, 4000, QByteArray(4000, '\x55'));
    }
    void damagedPhotoIsReportedAsBefore() {
        QFETCH(QByteArray, jpeg);
        Sandbox sandbox;
        const QString path = sandbox.writeFile(QStringLiteral("damaged.jpg"), jpeg);
        const auto outcome = [](const auto& load) {
            try {
                return std::make_pair(QString(), load());
            } catch (const RuntimeError& error) {
                return std::make_pair(QString::number(error.number()) + error.description(),
                                      QImage());
            }
        };
        const auto whole = outcome([&] { return LoadPicture(path); });
        // Whole, or first only down to the rows the window shows.
        for (int rowsShown : {-1, 0}) {
            for (int percent : {10, 100}) {
                const auto shown = outcome([&] {
                    return LoadPictureToShow(path, percent, PictureLimits(), rowsShown).full();
                });
                QCOMPARE(shown.first, whole.first);
                QCOMPARE(shown.second, whole.second);
            }
        }
    }

    // libjpeg's own decode into 32-bit rows gives what Qt's reader gives, and
    // leaves to it what it would give differently.
    void directDecodeMatchesQtReader_data() {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<bool>("taken");
        const auto encode = [](QImage image, bool progressive) {
            QByteArray out;
            QBuffer buffer(&out);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setQuality(85);
            writer.setProgressiveScanWrite(progressive);
            writer.write(image);
            return out;
        };
        const QImage photo = QImage::fromData(photoJpeg(808, 600));
        QImage profiled = photo;
        profiled.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
        profiled.setDotsPerMeterX(11811);
        profiled.setDotsPerMeterY(5905);
        QImage commented = photo;
        commented.setText(QStringLiteral("Description"), QStringLiteral("a harbour at dusk"));
        for (int divisor : {1, 2, 4, 8}) {
            const QByteArray at = QByteArray::number(divisor);
            QTest::newRow("baseline 1/" + at) << encode(photo, false) << divisor << true;
            QTest::newRow("progressive 1/" + at) << encode(photo, true) << divisor << true;
            QTest::newRow("profile and resolution 1/" + at)
                << encode(profiled, false) << divisor << true;
        }
        QTest::newRow("odd sides") << encode(photo.copy(0, 0, 801, 599), false) << 1 << true;
        QTest::newRow("grey") << encode(photo.convertToFormat(QImage::Format_Grayscale8), false)
                              << 1 << false;
        QTest::newRow("a comment") << encode(commented, false) << 2 << false;
        QTest::newRow("cut in its scan") << encode(photo, false).left(5000) << 1 << true;
        QTest::newRow("no bytes") << QByteArray() << 1 << false;
        QTest::newRow("no picture") << QByteArray("\xFF\xD8\xFF\xD9") << 1 << false;
    }
    void directDecodeMatchesQtReader() {
        QFETCH(QByteArray, jpeg);
        QFETCH(int, divisor);
        QFETCH(bool, taken);
        const QImage direct = decodeJpeg(jpeg, divisor, 1024);
        QCOMPARE(!direct.isNull(), taken);
        if (!taken)
            return;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "jpeg");
        reader.setAutoTransform(false);
        if (divisor != 1)
            reader.setScaledSize(reader.size() / divisor);
        const QImage qt = reader.read().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(direct.size(), qt.size());
        QCOMPARE(direct, qt);
        QCOMPARE(direct.colorSpace(), qt.colorSpace());
        QCOMPARE(direct.dotsPerMeterX(), qt.dotsPerMeterX());
        QCOMPARE(direct.dotsPerMeterY(), qt.dotsPerMeterY());
        // A picture larger than the limit is left to Qt's reader, which refuses it.
        const int megabytes = int((qint64(qt.sizeInBytes()) - 1) >> 20);
        if (megabytes > 0)
            QVERIFY(decodeJpeg(jpeg, divisor, megabytes).isNull());
    }

    // A start with the photo at 10 % shows the reduced copy; every file saved
    // from it is the file saved from the full pixels.
    void everyExportUsesTheFullPixels_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("tolerance");
        for (const char* name : {"logo.png", "logo.jpg", "logo.bmp", "logo.svg", "logo.pdf", "kit"})
            QTest::newRow(name) << QString::fromLatin1(name) << 0;
        QTest::newRow("logo.png, background removed") << QStringLiteral("logo.png") << 30;
    }
    void everyExportUsesTheFullPixels() {
        QFETCH(QString, saved);
        QFETCH(int, tolerance);
        Sandbox sandbox;
        const QString photo = sandbox.writeFile(QStringLiteral("photo.jpg"), cameraPhoto());
        sandbox.setSetting(keys::kImageScale, QStringLiteral("10"));
        sandbox.setSetting(keys::kImageBackgroundTolerance, QString::number(tolerance));
        const auto save = [&](FormFixture& f, const QString& folder) {
            QDir().mkpath(folder + QStringLiteral("/kit"));
            // Shown, so that the logo as built holds what the canvas paints.
            f.form->show();
            f.dialogs.files.push_back(folder + QLatin1Char('/') + saved);
            if (saved == QLatin1String("kit"))
                f.form->chooseKitFolder();
            else
                f.form->PushButton5->click();
            QMap<QString, QByteArray> files;
            QDirIterator all(folder, QDir::Files, QDirIterator::Subdirectories);
            while (all.hasNext()) {
                QFile file(all.next());
                file.open(QIODevice::ReadOnly);
                files.insert(all.filePath().mid(folder.size()), file.readAll());
            }
            return files;
        };
        // The same pixels decoded in full, kept losslessly.
        const QString decoded = sandbox.appFolder() + QStringLiteral("/photo.png");
        QVERIFY(LoadPicture(photo).save(decoded, "PNG", 100));
        sandbox.setSetting(keys::kImage, decoded);
        QMap<QString, QByteArray> expected;
        QImage logo;
        {
            FormFixture f(sandbox);
            logo = renderDesign(f.form->exportSource());
            expected = save(f, sandbox.appFolder() + QStringLiteral("/full"));
            QVERIFY(!expected.isEmpty());
            QCOMPARE(f.messages.reports().size(), std::size_t(0));
        }
        sandbox.setSetting(keys::kImage, photo);
        FormFixture f(sandbox);
        ImageControl& picture = *f.form->canvas->imgLogo;
        QCOMPARE(picture.decodedPicture().isNull(), tolerance == 0);
        QCOMPARE(picture.shownFromReduced(), tolerance == 0);
        // The canvas, and the checks made on the screen, show the logo as
        // closely as the eye can tell, without decoding more.
        QCOMPARE(picture.Picture().size(), QSize(600, 400));
        RenderOptions quick;
        quick.quick = true;
        const auto [largest, mean] = difference(
            renderDesign(shownSourceOf(*f.form->canvas, f.form->document().capture()), quick),
            logo);
        QVERIFY2(tolerance > 0 || (largest <= 24 && mean <= 1.0),
                 qPrintable(QStringLiteral("%1 %2").arg(largest).arg(mean)));
        QCOMPARE(picture.decodedPicture().isNull(), tolerance == 0);
        QCOMPARE(save(f, sandbox.appFolder() + QStringLiteral("/reduced")), expected);
        QVERIFY(!picture.decodedPicture().isNull());
        QCOMPARE(f.messages.reports().size(), std::size_t(0));
        QCOMPARE(sandbox.setting(keys::kImageScale), QStringLiteral("10"));
    }

    // Undo and redo across sizes and pictures: the logo drawn is always the
    // one drawn from the full pixels, and a photo brought back from its file
    // at a small size is decoded reduced again.
    void undoAcrossTheReducedSize_data() {
        QTest::addColumn<int>("start");
        // s: a size, p: another picture, g: the photo again, u: undo, r: redo
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("reduced");
        QTest::newRow("10 to 60, undone") << 10 << "s60 u" << false;
        QTest::newRow("10 to 60, undone, redone") << 10 << "s60 u r" << false;
        QTest::newRow("60 to 10, undone") << 60 << "s10 u" << false;
        QTest::newRow("another picture at 10, undone") << 10 << "p u" << true;
        QTest::newRow("another picture at 25, undone") << 25 << "p u" << true;
        QTest::newRow("the photo chosen again at 10") << 10 << "p g" << true;
        QTest::newRow("10 to 60, another picture, undone twice") << 10 << "s60 p u u" << false;
        QTest::newRow("60 to 10, another picture, undone") << 60 << "s10 p u" << true;
    }
    void undoAcrossTheReducedSize() {
        QFETCH(int, start);
        QFETCH(QString, steps);
        QFETCH(bool, reduced);
        Sandbox sandbox;
        const QString photo = sandbox.writeFile(QStringLiteral("photo.jpg"), cameraPhoto());
        const QString logo = sandbox.writeImage(QStringLiteral("logo.png"),
                                                solidImage(100, 60, Qt::darkGreen), "PNG");
        sandbox.setSetting(keys::kImage, photo);
        sandbox.setSetting(keys::kImageScale, QString::number(start));
        FormFixture f(sandbox);
        Form1& form = *f.form;
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (step.startsWith(QLatin1Char('s')))
                form.spnSize->setValue(step.mid(1).toInt());
            if (step == QLatin1String("p") || step == QLatin1String("g")) {
                form.imageSource().chooseFile(step == QLatin1String("p") ? logo : photo);
                form.document().record(DesignChange::Picture);
            }
            if (step == QLatin1String("u"))
                form.document().history().undo();
            if (step == QLatin1String("r"))
                form.document().history().redo();
        }
        ImageControl& picture = *form.canvas->imgLogo;
        QCOMPARE(picture.decodedPicture().isNull(), reduced);
        QCOMPARE(picture.pictureSize(), QSize(6000, 4000));
        const LogoDesign design = form.document().capture();
        const QImage expected =
            renderDesign({design, LoadPicture(photo), form.canvas->pArea->size()});
        QCOMPARE(renderDesign(form.exportSource()), expected);
        QCOMPARE(f.messages.reports().size(), std::size_t(0));
    }
};

QTEST_MAIN(ReducedDecodeTest)
#include "test_reduceddecode.moc"
