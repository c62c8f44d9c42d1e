#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include "canvas/canvas.h"
#include "design/logodesign.h"
#include "design/picturescale.h"
#include "editing/designdocument.h"
#include "export/designrenderer.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

// A camera-sized photo: colours that change in every direction, so a pixel
// taken from the wrong place shows.
QImage photo(int width, int height, QImage::Format format = QImage::Format_RGB32) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = qRgb((x * 7) & 255, (y * 5) & 255, ((x + y) * 3) & 255);
    }
    return format == QImage::Format_RGB32 ? image : image.convertToFormat(format);
}

QImage painted(QWidget* widget, const QRect& part) {
    QImage image(part.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    widget->render(&image, QPoint(), QRegion(part));
    return image;
}

}  // namespace

class BigPictureTest final : public QObject {
    Q_OBJECT

private slots:
    void bilinearValues_data() {
        QTest::addColumn<QImage>("original");
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<QRgb>>("expected");
        QImage two(2, 1, QImage::Format_RGB32);
        two.setPixel(0, 0, qRgb(0, 0, 0));
        two.setPixel(1, 0, qRgb(255, 0, 255));
        QImage four(4, 1, QImage::Format_RGB32);
        for (int x = 0; x < 4; ++x)
            four.setPixel(x, 0, x < 2 ? qRgb(0, 255, 0) : qRgb(0, 0, 255));
        QTest::newRow("doubled: centres a quarter in")
            << two << 4
            << QList<QRgb>{qRgb(0, 0, 0), qRgb(63, 0, 63), qRgb(191, 0, 191), qRgb(255, 0, 255)};
        QTest::newRow("halved: centres between pairs")
            << four << 2 << QList<QRgb>{qRgb(0, 255, 0), qRgb(0, 0, 255)};
        QImage grey(2, 1, QImage::Format_Grayscale8);
        grey.scanLine(0)[0] = 0;
        grey.scanLine(0)[1] = 200;
        QTest::newRow("grey picture") << grey << 4
                                      << QList<QRgb>{qRgb(0, 0, 0), qRgb(50, 50, 50),
                                                     qRgb(150, 150, 150), qRgb(200, 200, 200)};
    }
    void bilinearValues() {
        QFETCH(QImage, original);
        QFETCH(int, width);
        QFETCH(QList<QRgb>, expected);
        const QImage out = resampledPart(original, QSize(width, 1), QRect(0, 0, width, 1));
        QList<QRgb> got;
        for (int x = 0; x < out.width(); ++x)
            got << (out.pixel(x, 0) | 0xff000000u);
        QCOMPARE(got, expected);
    }

    // Parts made apart are the same pixels as the whole, whatever the format.
    void partsJoinWithoutSeams_data() {
        QTest::addColumn<QImage>("original");
        QTest::addColumn<QSize>("scaled");
        QTest::addColumn<QRect>("part");
        QTest::newRow("enlarged, inside")
            << photo(90, 60) << QSize(371, 247) << QRect(100, 50, 64, 80);
        QTest::newRow("enlarged, over the edge")
            << photo(90, 60) << QSize(371, 247) << QRect(300, 200, 256, 256);
        QTest::newRow("reduced") << photo(90, 60) << QSize(31, 20) << QRect(5, 3, 9, 11);
        QTest::newRow("with alpha")
            << photo(40, 30, QImage::Format_ARGB32) << QSize(130, 97) << QRect(17, 9, 50, 40);
        QTest::newRow("indexed") << photo(40, 30).convertToFormat(QImage::Format_Indexed8)
                                 << QSize(99, 70) << QRect(33, 1, 40, 60);
    }
    void partsJoinWithoutSeams() {
        QFETCH(QImage, original);
        QFETCH(QSize, scaled);
        QFETCH(QRect, part);
        const QImage whole = resampledPart(original, scaled, QRect(QPoint(0, 0), scaled));
        QCOMPARE(whole.size(), scaled);
        const QRect inside = part & whole.rect();
        QCOMPARE(resampledPart(original, scaled, part), whole.copy(inside));
    }

    // Pictures that fit keep exactly the pixels a whole smooth copy gives.
    void samplePictureShowsItsSmoothCopy_data() {
        QTest::addColumn<int>("percent");
        for (int percent : {5, 37, 100, 110, 250, 400})
            QTest::addRow("%d %%", percent) << percent;
    }
    void samplePictureShowsItsSmoothCopy() {
        QFETCH(int, percent);
        Sandbox sandbox;
        FormFixture f(sandbox);
        ImageControl& logo = *f.form->canvas->imgLogo;
        const QImage original = photo(196, 135);
        logo.setPicture(original);
        logo.setScale(percent);
        const QImage smooth = pictureAtScale(original, percent);
        QCOMPARE(logo.smoothCopy(), smooth);
        QCOMPARE(painted(&logo, smooth.rect()), smooth.convertToFormat(QImage::Format_RGB32));
    }

    // A 6000 by 4000 photo enlarged is never copied whole: what is painted is
    // made from its own pixels, and the logo is what the canvas shows.
    void photoEnlargedIsPaintedInParts_data() {
        QTest::addColumn<int>("percent");
        QTest::newRow("110 %") << 110;
        QTest::newRow("400 %") << 400;
    }
    void photoEnlargedIsPaintedInParts() {
        QFETCH(int, percent);
        Sandbox sandbox;
        FormFixture f(sandbox);
        Canvas& c = *f.form->canvas;
        const QImage original = photo(6000, 4000);
        c.imgLogo->setPicture(original);
        f.form->spnSize->setValue(percent);
        QVERIFY(c.imgLogo->smoothCopy().isNull());
        const QSize size = scaledPictureSize(original.size(), percent);
        QCOMPARE(c.imgLogo->size(), size);
        const QRect part(size.width() - 300, 1000, 300, 300);
        QCOMPARE(painted(c.imgLogo, part), resampledPart(original, size, part));
        c.BuildLogo();
        const QImage rendered = renderDesign(renderSourceOf(c, f.form->document().capture()));
        QCOMPARE(rendered.convertToFormat(QImage::Format_RGB32),
                 c.picSave->Image().convertToFormat(QImage::Format_RGB32));
        QCOMPARE(f.messages.reports().size(), std::size_t(0));
    }

    // A reduced photo shows at once and is smooth when its copy is made; a
    // size passed on the way is dropped, and the logo is always smooth.
    void photoReducedSettlesSmooth() {
        Sandbox sandbox;
        FormFixture f(sandbox);
        Canvas& c = *f.form->canvas;
        const QImage original = photo(6000, 4000);
        c.imgLogo->setPicture(original);
        QSignalSpy settled(c.imgLogo, &ImageControl::settled);
        for (int percent : {30, 40, 50})
            f.form->spnSize->setValue(percent);
        QVERIFY(c.imgLogo->smoothCopy().isNull());
        QCOMPARE(c.imgLogo->size(), QSize(3000, 2000));
        QVERIFY(settled.wait(20000));
        const QImage smooth = pictureAtScale(original, 50);
        QCOMPARE(c.imgLogo->smoothCopy(), smooth);
        QTest::qWait(50);
        QCOMPARE(c.imgLogo->smoothCopy(), smooth);

        f.form->spnSize->setValue(25);
        c.BuildLogo();
        QCOMPARE(c.imgLogo->smoothCopy(), pictureAtScale(original, 25));
        const QImage rendered = renderDesign(renderSourceOf(c, f.form->document().capture()));
        QCOMPARE(rendered.convertToFormat(QImage::Format_RGB32),
                 c.picSave->Image().convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(BigPictureTest)
#include "test_bigpicture.moc"
