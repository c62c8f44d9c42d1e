#include <QCheckBox>
#include <QScreen>
#include <QtTest>
#include "gallery/galleryview.h"

#include "canvas/canvas.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

// A started main window over its own sandbox; shown when real events or the
// window's surface are needed.
struct Window {
    explicit Window(bool shown = false) {
        if (shown) {
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        }
    }
    Sandbox sandbox;
    FormFixture fixture{sandbox};
    std::unique_ptr<Form1>& form = fixture.form;
    Canvas& c = *form->canvas;
    QStringList reports() const {
        QStringList lines;
        for (const auto& report : fixture.messages.reports())
            lines << report.text.section(QLatin1String("\r\r"), 0, 0);
        return lines;
    }
};

QPointF placeOf(CanvasObject& object) {
    return {object.place().Left(), object.place().Top()};
}

// A move with buttons held; QTest's own moves carry none.
void moveWith(QWidget* widget, QPoint local, Qt::MouseButtons buttons) {
    QMouseEvent event(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// What the window's surface holds of a part of the viewport, as the pending
// repaints left it.
QImage surface(Form1& form, const QRect& rect) {
    QApplication::processEvents();
    const QPoint at = form.canvas->Picture2->mapTo(&form, rect.topLeft());
    return form.screen()
        ->grabWindow(form.winId(), at.x(), at.y(), rect.width(), rect.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// What the window shows of a part of the viewport, all of it painted anew.
QImage shown(Form1& form, const QRect& rect) {
    form.repaint();
    return surface(form, rect);
}

QImage logo(Canvas& c) {
    c.BuildLogo();
    return c.picSave->Image().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class CanvasTest : public QObject {
    Q_OBJECT
private slots:
    void refit_data() {
        QTest::addColumn<float>("extra");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("step");
        QTest::newRow("as high as the viewport") << 0.f << 32767 << 0;
        QTest::newRow("one twip higher") << 1.f << 1 << 1;
        QTest::newRow("100 higher") << 100.f << 100 << 1;
        QTest::newRow("101 higher: 10.1") << 101.f << 10 << 10;
        QTest::newRow("125 higher: 12.5 to even") << 125.f << 12 << 10;
        QTest::newRow("135 higher: 13.5 to even") << 135.f << 14 << 10;
        QTest::newRow("327670 higher: the largest Max at step 10") << 327670.f << 32767 << 10;
        QTest::newRow("327675 higher: 32767.5 rounds past the range") << 327675.f << 29789 << 11;
        QTest::newRow("400 % of a 16384-pixel picture") << 983040.f << 31711 << 31;
    }
    void refit() {
        QFETCH(float, extra);
        QFETCH(int, max);
        QFETCH(int, step);
        Window w;
        w.c.pArea->place().setHeight(3465 + extra);
        w.c.SetScrollBars();
        QCOMPARE(w.c.VScroll1->isEnabled(), step != 0);
        QCOMPARE(w.c.VScroll1->maximum(), max);
        QCOMPARE(int(w.c.ScrollStepY), step);
        QVERIFY(!w.c.HScroll1->isEnabled());
        QCOMPARE(int(w.c.ScrollStepX), 0);
        // At the far end the canvas's bottom meets the viewport's, up to rounding.
        w.c.VScroll1->setValue(max);
        QCOMPARE(w.c.pArea->place().Top(), float(-step * max));
        QVERIFY(step == 0 || qAbs(w.c.pArea->place().Top() + extra) <= step / 2.f);
        w.c.SetScrollBars();
        QCOMPARE(w.c.pArea->place().Top(), 0.f);
    }

    // A canvas whose far part lies more than 32767 twips from the viewport is
    // scrolled there without a report, by a bar or by the wheel.
    void tallCanvasScrollsToItsEnd_data() {
        QTest::addColumn<float>("extra");
        QTest::addColumn<int>("value");
        QTest::newRow("step 10, 35000 twips down") << 40000.f << 3500;
        QTest::newRow("step 10, the end of the range") << 327670.f << 32767;
        QTest::newRow("a larger step, half way") << 345000.f << 16000;
    }
    void tallCanvasScrollsToItsEnd() {
        QFETCH(float, extra);
        QFETCH(int, value);
        Window w;
        w.c.pArea->place().setHeight(3465 + extra);
        w.c.SetScrollBars();
        w.c.VScroll1->setValue(value);
        QCOMPARE(w.c.pArea->place().Top(), float(-w.c.ScrollStepY * value));
        w.c.VScroll1->setValue(w.c.VScroll1->maximum());
        QVERIFY(qAbs(w.c.pArea->place().Top() + extra) <= w.c.ScrollStepY / 2.f);
        for (int notch = 0; notch < 3; ++notch)
            w.c.wheel(QPoint(0, 120), Qt::NoModifier);
        QVERIFY(w.c.pArea->place().Top() > -extra);
        QCOMPARE(w.reports(), QStringList());
    }

    // A picture whose bottom lies far below the viewport is reached at start.
    void startupScrollsToTallPicture() {
        Sandbox sandbox;
        sandbox.setSetting(
            QStringLiteral("Image"),
            sandbox.writeImage(QStringLiteral("tall.bmp"), solidImage(1, 23000, Qt::red), "BMP"));
        FormFixture f(sandbox);
        QCOMPARE(f.messages.reports().size(), size_t(0));
        Canvas& c = *f.form->canvas;
        QVERIFY(c.VScroll1->isEnabled());
        c.VScroll1->setValue(c.VScroll1->maximum());
        const float bottom = c.pArea->place().Top() + c.pArea->place().Height();
        QVERIFY(qAbs(bottom - c.Picture2->place().Height()) <= c.ScrollStepY / 2.f);
        QCOMPARE(f.form->ListView1->headerText(), QStringLiteral("Logo Images"));
    }

    // The picture follows the pointer in whole pixels from the grab point; a
    // position is rounded to a whole twip, then truncated toward zero.
    void dragFollowsPointer_data() {
        QTest::addColumn<float>("grabX");
        QTest::addColumn<float>("moveX");
        QTest::addColumn<float>("shift");
        QTest::newRow("30 pixels right") << 150.f << 600.f << 450.f;
        QTest::newRow("same pixel as the grab") << 22.5f << 29.f << 0.f;
        QTest::newRow("14 twips is no pixel") << 14.f << 15.f << 15.f;
        QTest::newRow("just left of the corner") << 0.f << -14.f << 0.f;
        QTest::newRow("one pixel left of the corner") << 0.f << -15.f << -15.f;
    }
    void dragFollowsPointer() {
        QFETCH(float, grabX);
        QFETCH(float, moveX);
        QFETCH(float, shift);
        Window w;
        w.c.imgLogo->place().setLeft(1000.5f);
        w.c.imgLogo_MouseDown(1, grabX, 30);
        w.c.imgLogo_MouseMove(1, moveX, 30);
        QCOMPARE(placeOf(*w.c.imgLogo), QPointF(1000.5 + shift, 810));
        w.c.imgLogo_MouseUp(1, moveX, 30);
        QCOMPARE(w.sandbox.setting(QStringLiteral("Image Left")), QString::number(1000.5 + shift));
    }

    void dragStopsAtEdges_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<float>("to");
        QTest::addColumn<QPointF>("expected");
        // The canvas is 7680 x 3435 twips.
        QTest::newRow("past left and top") << QSize(100, 50) << -9000.f << QPointF(0, 0);
        QTest::newRow("past right and bottom") << QSize(100, 50) << 9000.f << QPointF(6180, 2685);
        QTest::newRow("larger than the canvas")
            << QSize(600, 300) << -9000.f << QPointF(-1320, -1065);
    }
    void dragStopsAtEdges() {
        QFETCH(QSize, size);
        QFETCH(float, to);
        QFETCH(QPointF, expected);
        Window w;
        w.c.imgLogo->setPicture(solidImage(size.width(), size.height(), Qt::red));
        w.c.imgLogo_MouseDown(1, 0, 0);
        w.c.imgLogo_MouseMove(1, to, to);
        QCOMPARE(placeOf(*w.c.imgLogo), expected);
    }

    // Only the left button alone grabs and moves; any release restores the
    // pointer of the object grabbed last and stores the released object.
    void otherButtonsMoveNothing() {
        Window w;
        const QPointF start = placeOf(*w.c.imgLogo);
        w.c.imgLogo_MouseMove(1, 600, 600);
        w.c.imgLogo_MouseDown(2, 0, 0);
        QCOMPARE(w.c.imgLogo->MousePointer(), 0);
        w.c.imgLogo_MouseMove(2, 600, 600);
        w.c.imgLogo_MouseDown(1, 0, 0);
        QCOMPARE(w.c.imgLogo->MousePointer(), 15);
        w.c.imgLogo_MouseMove(3, 600, 600);
        QCOMPARE(placeOf(*w.c.imgLogo), start);
        w.c.lblA_MouseUp(1, 2, 0, 0);
        QCOMPARE(w.c.imgLogo->MousePointer(), 0);
        QCOMPARE(w.sandbox.setting(QStringLiteral("TextLine1 Left")), QStringLiteral("5280"));
        QCOMPARE(w.sandbox.setting(QStringLiteral("TextLine1 Top")), QStringLiteral("2520"));
    }

    // Real events in the real window; the next start shows the positions.
    void dragInWindowIsRestoredAtNextStart() {
        Sandbox sandbox;
        {
            FormFixture f(sandbox);
            f.form->show();
            QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
            ImageControl* picture = f.form->canvas->imgLogo;
            const QPoint grab(100, 100);
            QTest::mousePress(picture, Qt::LeftButton, {}, grab);
            QCOMPARE(picture->cursor().shape(), Qt::SizeAllCursor);
            // Each position is relative to where the picture is at that moment.
            moveWith(picture, grab + QPoint(10, 5), Qt::LeftButton);
            moveWith(picture, grab + QPoint(20, 15), Qt::LeftButton);
            QTest::mouseRelease(picture, Qt::LeftButton, {}, grab);
            QCOMPARE(picture->cursor().shape(), Qt::ArrowCursor);
            CanvasLabel* line = f.form->canvas->lblA[0];
            QTest::mousePress(line, Qt::LeftButton, {}, QPoint(2, 2));
            moveWith(line, QPoint(-2, 9), Qt::LeftButton);
            QTest::mouseRelease(line, Qt::LeftButton, {}, QPoint(2, 2));
        }
        QCOMPARE(sandbox.setting(QStringLiteral("Image Left")), QStringLiteral("2925"));
        QCOMPARE(sandbox.setting(QStringLiteral("Image Top")), QStringLiteral("1110"));
        FormFixture next(sandbox);
        QCOMPARE(placeOf(*next.form->canvas->imgLogo), QPointF(2925, 1110));
        QCOMPARE(placeOf(*next.form->canvas->lblA[0]), QPointF(1695, 1095));
    }

    // A drag repaints only what changed and leaves no trace of the frame or
    // the guides it passed: the surface is what a full repaint draws.
    void dragLeavesNoTrace() {
        Window w(true);
        w.c.imgLogo->setPicture(solidImage(500, 220, Qt::red));
        w.c.setSnapping(true);
        CanvasLabel* line = w.c.lblA[0];
        const QPoint grab(2, 2);
        QTest::mousePress(line, Qt::LeftButton, {}, grab);
        // Leftwards across the canvas's centre and the picture's edges, in
        // steps longer than the line is high.
        for (int step = 0; step < 12; ++step) {
            moveWith(line, grab + QPoint(-29, step % 2 != 0 ? 25 : -25), Qt::LeftButton);
            QApplication::processEvents();
        }
        const QRect canvas(0, 0, 512, 229);
        QCOMPARE(surface(*w.form, canvas),
                 w.c.Picture2->grab(canvas).toImage().convertToFormat(QImage::Format_RGB32));
        QTest::mouseRelease(line, Qt::LeftButton, {}, grab);
    }

    void scrolledTallCanvasRendersWhole() {
        Window w(true);
        w.c.imgLogo->setPicture(solidImage(40, 600, Qt::red));
        w.c.growToPicture();
        w.c.SetScrollBars();
        w.c.VScroll1->setValue(60);
        const QImage view = shown(*w.form, QRect(0, 0, 512, 231));
        const QImage image = logo(w.c);
        QCOMPARE(image.size(), QSize(512, 657));
        QCOMPARE(image.copy(0, 40, 512, 231), view);
        QCOMPARE(image.pixel(170, 653), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(170, 53), image.pixel(0, 0));
        QCOMPARE(w.c.pArea->place().Top(), -600.f);
        QCOMPARE(w.c.VScroll1->value(), 60);
        QCOMPARE(w.c.Picture2->place().Height(), 3465.f);
    }

    // The logo is what the window shows, with hidden lines absent and whatever
    // reaches past an edge cut there; a window never shown renders the same.
    void logoIsWhatTheCanvasShows() {
        Window w(true);
        Window neverShown;
        QCOMPARE(logo(neverShown.c), logo(w.c));
        w.c.imgLogo->setPicture(solidImage(100, 50, Qt::blue));
        w.c.imgLogo->place().setLeft(7680 - 750);
        w.c.lblA[1]->place().setTop(3435 - 90);
        const QRect line = w.c.lblA[1]->geometry().intersected(QRect(0, 0, 512, 229));
        // A rectangle is blank when it is all the colour of the canvas's corner.
        const auto blank = [&line](const QImage& image) {
            return image.copy(line) == image.copy(0, 0, 1, 1).scaled(line.size());
        };
        QVERIFY(!blank(logo(w.c)));
        w.form->chkShowB->setChecked(false);
        const QImage image = logo(w.c);
        QVERIFY(blank(image));
        QCOMPARE(image.pixel(511, 60), qRgb(0, 0, 255));
        QCOMPARE(image, shown(*w.form, QRect(0, 0, 512, 229)));
    }
};

QTEST_MAIN(CanvasTest)
#include "test_canvas.moc"
