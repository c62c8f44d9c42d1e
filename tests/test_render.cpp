#include <QCheckBox>
#include <QLineEdit>
#include <QPaintEngine>
#include <QSpinBox>
#include <QtTest>

#include "canvas/canvas.h"
#include "editing/designdocument.h"
#include "export/designrenderer.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

// A paint device that draws nothing and records the render hints in force
// whenever letters are drawn.
class TextHintRecorder final : public QPaintDevice, QPaintEngine {
public:
    TextHintRecorder() : QPaintEngine(QPaintEngine::AllFeatures) {}
    QPaintEngine* paintEngine() const override { return const_cast<TextHintRecorder*>(this); }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override {
        if (state.state() & QPaintEngine::DirtyHints)
            hints_ = state.renderHints();
    }
    void drawPath(const QPainterPath&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF&, const QTextItem&) override { textHints.push_back(hints_); }
    Type type() const override { return QPaintEngine::User; }
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth:
            case PdmHeight:
                return 400;
            case PdmDepth:
                return 32;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return int(devicePixelRatioFScale());
            case PdmWidthMM:
            case PdmHeightMM:
                return 100;
            default:
                return 96;
        }
    }
    std::vector<QPainter::RenderHints> textHints;

private:
    QPainter::RenderHints hints_;
};

}  // namespace

class RenderTest final : public QObject {
    Q_OBJECT

private slots:
    // At 1x the renderer draws exactly what the canvas shows.
    void oneToOneEqualsTheCanvas_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("as first started") << QString();
        QTest::newRow("line 2 hidden") << QStringLiteral("hide");
        QTest::newRow("styled font") << QStringLiteral("font");
        QTest::newRow("coloured line") << QStringLiteral("colour");
        QTest::newRow("picture at 37 %") << QStringLiteral("scale");
        QTest::newRow("picture past the edge") << QStringLiteral("edge");
        QTest::newRow("outline and shadow") << QStringLiteral("look");
    }
    void oneToOneEqualsTheCanvas() {
        QFETCH(QString, change);
        Sandbox sandbox;
        sandbox.setSetting(QStringLiteral("Image"),
                           sandbox.writeImage(QStringLiteral("p.png"), gradient(300, 140), "PNG"));
        FormFixture f(sandbox);
        Form1& form = *f.form;
        Canvas& c = *form.canvas;
        if (change == QLatin1String("hide"))
            form.chkShowB->click();
        if (change == QLatin1String("font")) {
            QFont font(QStringLiteral("Liberation Serif"), 22);
            font.setItalic(true);
            font.setUnderline(true);
            font.setStrikeOut(true);
            f.dialogs.fonts.push_back(font);
            form.PushButton1->click();
        }
        if (change == QLatin1String("colour")) {
            f.dialogs.colors.push_back(QColor(200, 30, 90));
            form.PushButton4->click();
        }
        if (change == QLatin1String("scale"))
            form.spnSize->setValue(37);
        if (change == QLatin1String("edge"))
            c.imgLogo->place().setLeft(6900);
        if (change == QLatin1String("look"))
            c.lblA[0]->setLook({3, QColor(250, 240, 10), true});
        c.BuildLogo();
        const QImage rendered = renderDesign(renderSourceOf(c, form.document().capture()));
        QCOMPARE(rendered.size(), c.picSave->Image().size());
        QCOMPARE(rendered.convertToFormat(QImage::Format_RGB32),
                 c.picSave->Image().convertToFormat(QImage::Format_RGB32));
    }

    // An outline or a shadow draws round the letters and never moves them:
    // the first dark column and row of line 1 stay where the plain line has
    // them, on the canvas and in every export.
    void outlineAndShadowLeaveTheLettersInPlace_data() {
        QTest::addColumn<int>("outline");
        QTest::addColumn<bool>("shadow");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("width");
        QTest::newRow("2 px and shadow, canvas") << 2 << true << 0.0 << 0;
        QTest::newRow("2 px and shadow, 1x") << 2 << true << 1.0 << 0;
        QTest::newRow("2 px and shadow, 2x") << 2 << true << 2.0 << 0;
        QTest::newRow("8 px, 3x") << 8 << false << 3.0 << 0;
        QTest::newRow("shadow only, canvas") << 0 << true << 0.0 << 0;
        QTest::newRow("1 px, width 1000") << 1 << false << 1.0 << 1000;
    }
    void outlineAndShadowLeaveTheLettersInPlace() {
        QFETCH(int, outline);
        QFETCH(bool, shadow);
        QFETCH(double, scale);
        QFETCH(int, width);
        Sandbox sandbox;
        sandbox.setSetting(
            QStringLiteral("Image"),
            sandbox.writeImage(QStringLiteral("w.png"), solidImage(20, 20, Qt::white), "PNG"));
        sandbox.setSetting(QStringLiteral("TextLine0"), QStringLiteral("Hamburgefonts"));
        FormFixture f(sandbox);
        Form1& form = *f.form;
        Canvas& c = *form.canvas;
        form.chkShowB->click();
        f.dialogs.fonts.push_back(QFont(QStringLiteral("Liberation Sans"), 20, QFont::Bold));
        form.PushButton1->click();
        const auto draw = [&] {
            if (scale == 0.0) {
                c.BuildLogo();
                return c.picSave->Image();
            }
            RenderOptions options;
            options.scale = scale;
            options.width = width;
            return renderDesign(renderSourceOf(c, form.document().capture()), options);
        };
        const QPoint plain = firstDark(draw());
        QVERIFY(plain.x() > 0 && plain.y() > 0);
        // A white outline: a coloured one would darken the letters' soft edge
        // pixels, which it lies under, past the threshold.
        c.lblA[0]->setLook({outline, Qt::white, shadow});
        QCOMPARE(firstDark(draw()), plain);
        // The box grew round the letters: the outline is drawn whole left of them.
        if (scale == 0.0 && outline > 0)
            QVERIFY(c.lblA[0]->geometry().left() <= plain.x() - outline);
    }

    // The letters of an outlined or shadowed line are drawn with the hints a
    // plain line has: where glyphs are drawn as paths (scaled text on
    // Windows), smoothing would move their first dark pixel.
    void lettersKeepTheCallersHints() {
        const QFont font(QStringLiteral("Liberation Sans"), 20);
        for (const CaptionLook& look :
             {CaptionLook{}, CaptionLook{2, Qt::yellow, false}, CaptionLook{0, Qt::yellow, true}}) {
            TextHintRecorder device;
            QPainter painter(&device);
            paintCaption(painter, QRect(0, 0, 300, 60), font, QStringLiteral("Logo"), Qt::black,
                         look);
            painter.end();
            QCOMPARE(device.textHints.size(), size_t(1));
            QVERIFY(!(device.textHints[0] & QPainter::Antialiasing));
        }
    }

    void scaleWidthTrimAndTransparency() {
        Sandbox sandbox;
        FormFixture f(sandbox);
        Canvas& c = *f.form->canvas;
        const RenderSource source = renderSourceOf(c, f.form->document().capture());
        const QSize canvas = source.canvas;
        RenderOptions twice;
        twice.scale = 2;
        QCOMPARE(renderDesign(source, twice).size(), canvas * 2);
        RenderOptions wide;
        wide.width = 1000;
        QCOMPARE(renderDesign(source, wide).width(), 1000);
        RenderOptions clear;
        clear.transparent = true;
        const QImage transparent = renderDesign(source, clear);
        QVERIFY(transparent.hasAlphaChannel());
        QCOMPARE(transparent.pixelColor(0, 0).alpha(), 0);
        RenderOptions trim;
        trim.trim = true;
        QCOMPARE(renderDesign(source, trim).size(),
                 contentBounds(source)
                     .adjusted(-kTrimMargin, -kTrimMargin, kTrimMargin, kTrimMargin)
                     .intersected(QRect(QPoint(0, 0), canvas))
                     .size());
        RenderOptions huge;
        huge.width = kMaximumRenderSide + 1;
        QVERIFY(renderDesign(source, huge).isNull());
    }

    // A line hard to read on what lies behind it gets a warning mark on its
    // colour button; one that stands out gets none.
    void hardToReadLineIsMarked_data() {
        QTest::addColumn<QColor>("behind");
        QTest::addColumn<bool>("marked");
        QTest::newRow("black on navy") << QColor(20, 20, 60) << true;
        QTest::newRow("black on white") << QColor(Qt::white) << false;
    }
    void hardToReadLineIsMarked() {
        QFETCH(QColor, behind);
        QFETCH(bool, marked);
        Sandbox sandbox;
        sandbox.setSetting(
            QStringLiteral("Image"),
            sandbox.writeImage(QStringLiteral("p.png"), solidImage(512, 229, behind), "PNG"));
        sandbox.setSetting(QStringLiteral("Image Left"), QStringLiteral("0"));
        sandbox.setSetting(QStringLiteral("Image Top"), QStringLiteral("0"));
        FormFixture f(sandbox);
        QCOMPARE(!f.form->PushButton3->icon().isNull(), marked);
        QCOMPARE(f.form->PushButton3->toolTip().contains(QStringLiteral("outline")), marked);
    }

private:
    // The leftmost column and topmost row holding a pixel darker than mid-grey.
    static QPoint firstDark(const QImage& image) {
        QPoint first(image.width(), image.height());
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    first.setX(std::min(first.x(), x));
                    first.setY(std::min(first.y(), y));
                }
        return first;
    }
    static QImage gradient(int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
        return image;
    }
};

QTEST_MAIN(RenderTest)
#include "test_render.moc"
