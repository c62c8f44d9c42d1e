#include <QPainter>
#include <QProcess>
#include <QSpinBox>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QtTest>

#include "canvas/canvas.h"
#include "editing/designdocument.h"
#include "export/logoexport.h"
#include "export/vectorlogo.h"
#include "platform/runtimeerror.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

QImage gradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x % 256, (y * 3) % 256, 128));
    return image;
}

// The share of pixels of `a` with no pixel of nearly the same colour at most
// one pixel away in `b`: anti-aliasing and hinting move an edge by less, a
// glyph drawn elsewhere or a picture in the wrong place by far more.
double differingShare(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return 1.0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    const auto distance = [](QRgb p, QRgb q) {
        return std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                         std::abs(qBlue(p) - qBlue(q))});
    };
    qint64 differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            int nearest = 255;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (y.valid(column + dx, row + dy))
                        nearest = std::min(nearest, distance(x.pixel(column, row),
                                                             y.pixel(column + dx, row + dy)));
            if (nearest > 64) {
                ++differing;
            }
        }
    }
    return double(differing) / (qint64(x.width()) * x.height());
}

// The image laid on white, as a viewer shows a transparent file.
QImage onWhite(const QImage& image) {
    QImage white(image.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    QPainter(&white).drawImage(0, 0, image);
    return white;
}

QImage drawnBack(const QString& tool, const QStringList& arguments, const QString& output) {
    if (QStandardPaths::findExecutable(tool).isEmpty())
        return QImage();
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QImage();
    return QImage(output);
}

}  // namespace

class VectorTest final : public QObject {
    Q_OBJECT

private slots:
    // An SVG and a PDF of a design look like its PNG when drawn back to pixels
    // by the libraries other programs use, and need no font to do so.
    void vectorFilesMatchTheRaster_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("as first started") << QString();
        QTest::newRow("outline and shadow") << QStringLiteral("look");
        QTest::newRow("picture and a line past the edges") << QStringLiteral("edge");
        QTest::newRow("transparent and trimmed") << QStringLiteral("trim");
        QTest::newRow("twice the size") << QStringLiteral("twice");
    }
    void vectorFilesMatchTheRaster() {
        QFETCH(QString, change);
        Sandbox sandbox;
        sandbox.setSetting(QStringLiteral("Image"),
                           sandbox.writeImage(QStringLiteral("p.png"), gradient(300, 140), "PNG"));
        FormFixture f(sandbox);
        Canvas& c = *f.form->canvas;
        RenderOptions options;
        if (change == QLatin1String("look"))
            c.lblA[0]->setLook({1, QColor(250, 240, 10), true});
        if (change == QLatin1String("edge")) {
            f.form->spnSize->setValue(37);
            c.imgLogo->place().setLeft(7000);
            c.lblA[1]->place().setLeft(7200);
        }
        if (change == QLatin1String("trim")) {
            options.transparent = true;
            options.trim = true;
        }
        if (change == QLatin1String("twice")) {
            c.lblA[1]->setLook({6, QColor(20, 200, 240), false});
            options.scale = 2;
        }
        const RenderSource source = renderSourceOf(c, f.form->document().capture());
        const QImage png = onWhite(renderDesign(source, options));
        const VectorLogo logo = recordDesign(source, options);
        QCOMPARE(logo.size, png.size());

        const QByteArray svg = encodeSvg(logo);
        QXmlStreamReader xml(svg);
        QStringList elements;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement) {
                elements << xml.name().toString();
                if (elements.size() == 1) {
                    QCOMPARE(xml.attributes().value("version"), QStringLiteral("1.1"));
                    QCOMPARE(xml.attributes().value("viewBox"),
                             QStringLiteral("0 0 %1 %2").arg(png.width()).arg(png.height()));
                }
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(elements.value(0), QStringLiteral("svg"));
        QVERIFY(!elements.contains(QStringLiteral("text")));
        QCOMPARE(elements.count(QStringLiteral("image")), 1);

        QTemporaryDir dir;
        const QString svgFile = dir.filePath(QStringLiteral("logo.svg"));
        const QString pdfFile = dir.filePath(QStringLiteral("logo.pdf"));
        {
            QFile out(svgFile);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(svg);
            QFile pdf(pdfFile);
            QVERIFY(pdf.open(QIODevice::WriteOnly));
            pdf.write(encodePdf(logo));
        }
        const QString svgPng = dir.filePath(QStringLiteral("svg.png"));
        const QImage fromSvg = drawnBack(
            QStringLiteral("rsvg-convert"),
            {QStringLiteral("-b"), QStringLiteral("white"), QStringLiteral("-o"), svgPng, svgFile},
            svgPng);
        const QImage fromPdf =
            drawnBack(QStringLiteral("pdftoppm"),
                      {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"),
                       QStringLiteral("-singlefile"), pdfFile, dir.filePath(QStringLiteral("pdf"))},
                      dir.filePath(QStringLiteral("pdf.png")));
        if (fromSvg.isNull() || fromPdf.isNull())
            QSKIP("rsvg-convert and pdftoppm are needed to draw the files back");
        // librsvg draws glyph outlines as Qt does; poppler's rasteriser
        // differs more on small text.
        QVERIFY2(differingShare(fromSvg, png) < 0.001,
                 qPrintable(QString::number(differingShare(fromSvg, png))));
        QVERIFY2(differingShare(fromPdf, png) < 0.01,
                 qPrintable(QString::number(differingShare(fromPdf, png))));

        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), {pdfFile});
        if (fonts.waitForFinished(30000))
            QCOMPARE(fonts.readAllStandardOutput().split('\n').size(), 3);  // the heading only
    }

    // Saving through the window: the file is written whole and "Done." follows;
    // a target that cannot be written is reported and the old file stays.
    void savedFromTheWindow_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<bool>("written");
        QTest::newRow("svg") << QStringLiteral("logos/a.svg") << QByteArray("<?xml") << true;
        QTest::newRow("pdf") << QStringLiteral("logos/a.pdf") << QByteArray("%PDF-") << true;
        QTest::newRow("missing folder") << QStringLiteral("none/a.svg") << QByteArray() << false;
        QTest::newRow("a folder in the way")
            << QStringLiteral("logos/dir.pdf") << QByteArray() << false;
    }
    void savedFromTheWindow() {
        QFETCH(QString, name);
        QFETCH(QByteArray, start);
        QFETCH(bool, written);
        Sandbox sandbox;
        QVERIFY(QDir().mkpath(sandbox.appFolder() + QStringLiteral("/logos/dir.pdf")));
        FormFixture f(sandbox);
        const QString path = sandbox.appFolder() + QLatin1Char('/') + name;
        f.dialogs.files.push_back(path);
        f.form->PushButton5->click();
        QFile file(path);
        if (written) {
            QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("Done.")});
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.readAll().startsWith(start));
        } else {
            QCOMPARE(f.messages.reports().size(), size_t(1));
            QVERIFY(!f.messages.texts().contains(QStringLiteral("Done.")));
        }
    }

    // A logo too large to draw leaves the file that was there as it was.
    void tooLargeKeepsTheOldFile() {
        Sandbox sandbox;
        FormFixture f(sandbox);
        const QString path = sandbox.writeFile(QStringLiteral("old.svg"), "old");
        RenderOptions huge;
        huge.width = kMaximumRenderSide + 1;
        const RenderSource source = renderSourceOf(*f.form->canvas, f.form->document().capture());
        for (const LogoFormat format : {LogoFormat::Svg, LogoFormat::Pdf}) {
            QVERIFY_THROWS_EXCEPTION(RuntimeError, exportLogo(source, huge, format, path));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("old"));
        }
    }
};

QTEST_MAIN(VectorTest)
#include "test_vector.moc"
