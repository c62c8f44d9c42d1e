#include <QCheckBox>
#include <QMenu>
#include <QSpinBox>
#include <QtTest>

#include "canvas/canvas.h"
#include "canvas/turnhandle.h"
#include "editing/designdocument.h"
#include "export/designrenderer.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

// The smallest rectangle holding every pixel darker than mid-grey.
QRect darkBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Line 1 alone in a large font on a white canvas, line 2 hidden.
struct OneLine {
    Sandbox sandbox;
    std::unique_ptr<FormFixture> f;
    Canvas* c = nullptr;
    explicit OneLine(const QString& angle = QString(), const QString& top = "1650") {
        sandbox.setSetting(
            QStringLiteral("Image"),
            sandbox.writeImage(QStringLiteral("w.png"), solidImage(20, 20, Qt::white), "PNG"));
        sandbox.setSetting(QStringLiteral("TextLine0"), QStringLiteral("Hamburgefonts"));
        sandbox.setSetting(QStringLiteral("TextLine2 Show"), QStringLiteral("0"));
        sandbox.setSetting(QStringLiteral("TextLine1 Size"), QStringLiteral("16"));
        // Low enough on the canvas to stand upright whole.
        sandbox.setSetting(QStringLiteral("TextLine0 Top"), top);
        sandbox.setSetting(QStringLiteral("TextLine1 Name"), QStringLiteral("Liberation Sans"));
        if (!angle.isNull())
            sandbox.setSetting(QStringLiteral("TextLine1 Angle"), angle);
        f = std::make_unique<FormFixture>(sandbox);
        c = f->form->canvas;
    }
    void show() {
        f->form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f->form.get()));
    }
    QImage canvasLogo() {
        c->BuildLogo();
        return c->picSave->Image().convertToFormat(QImage::Format_RGB32);
    }
    QImage rendered(const RenderOptions& options = {}) {
        return renderDesign(renderSourceOf(*c, f->form->document().capture()), options)
            .convertToFormat(QImage::Format_RGB32);
    }
};

// A point of the line's level box, `along` and `across` in halves of its
// width and height from the centre, turned as the line is: canvas pixels.
QPointF onTurnedLine(CanvasLabel* line, double along, double across) {
    const QRectF box(line->place().pixelRect());
    const double a = qDegreesToRadians(double(line->angle()));
    const QPointF v(along * box.width() / 2, across * box.height() / 2);
    return box.center() + QPointF(v.x() * std::cos(a) + v.y() * std::sin(a),
                                  -v.x() * std::sin(a) + v.y() * std::cos(a));
}

// The pointer through the window, which finds the widget under it as a
// person's pointer does.
void pointer(QTest::MouseAction action, Canvas* c, QPointF at, Qt::KeyboardModifiers keys = {}) {
    QWidget* window = c->pArea->window();
    const QPoint p = c->pArea->mapTo(window, at.toPoint());
    if (action == QTest::MouseMove)
        QTest::mouseMove(window->windowHandle(), p);
    else
        QTest::mouseEvent(action, window->windowHandle(), Qt::LeftButton, keys, p);
}

// Half the turned caption's width and height, and its centre, in twips.
QSizeF turnedHalf(const TwipsPlacement& p, int angle) {
    const double a = qDegreesToRadians(double(angle));
    const double c = std::abs(std::cos(a));
    const double s = std::abs(std::sin(a));
    return QSizeF(p.Width() * c + p.Height() * s, p.Width() * s + p.Height() * c) / 2;
}

QPointF middleOf(const TwipsPlacement& p) {
    return QPointF(p.Left() + p.Width() / 2.0, p.Top() + p.Height() / 2.0);
}

bool inkNear(const QImage& image, QPointF at) {
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            if (qAlpha(image.pixel(at.toPoint() + QPoint(dx, dy))) > 0)
                return true;
    return false;
}

void wheelOver(QWidget* widget, QPoint delta, Qt::KeyboardModifiers modifiers) {
    const QPointF at = QRectF(widget->rect()).center();
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), delta, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

class AngleTest final : public QObject {
    Q_OBJECT

private slots:
    // A stored angle is read as a number's leading digits, rounded and kept
    // within a half turn either way; anything else is level. None is reported.
    void storedAngleIsKeptInRange_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("angle");
        QTest::newRow("90") << "TextLine1 Angle"
                            << "90" << 0 << 90;
        QTest::newRow("line 2, -45") << "TextLine2 Angle"
                                     << "-45" << 1 << -45;
        QTest::newRow("past a half turn") << "TextLine1 Angle"
                                          << "400" << 0 << 180;
        QTest::newRow("far below") << "TextLine2 Angle"
                                   << "-1e9" << 1 << -180;
        QTest::newRow("rounded") << "TextLine1 Angle"
                                 << "12.6" << 0 << 13;
        QTest::newRow("leading digits") << "TextLine1 Angle"
                                        << "30 degrees" << 0 << 30;
        QTest::newRow("text") << "TextLine1 Angle"
                              << "steep" << 0 << 0;
        QTest::newRow("empty") << "TextLine1 Angle"
                               << "" << 0 << 0;
        QTest::newRow("too long to read")
            << "TextLine1 Angle" << QString(400, QLatin1Char('9')) << 0 << 0;
    }
    void storedAngleIsKeptInRange() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, line);
        QFETCH(int, angle);
        Sandbox sandbox;
        sandbox.setSetting(key, value);
        FormFixture f(sandbox);
        QVERIFY2(f.messages.reports().empty(), qPrintable(f.messages.texts().join('|')));
        QCOMPARE(f.form->canvas->lblA[line]->angle(), angle);
        QCOMPARE(f.form->document().capture().lines[std::size_t(line)].angle, angle);
        QCOMPARE(f.form->canvas->lblA[1 - line]->angle(), 0);
    }

    // Ctrl+Shift and the wheel over the selected line turn it by 15 degrees a
    // notch, with Alt as well by one; the turn is stored and comes round past
    // a half turn. Other wheels and other lines turn nothing.
    void wheelTurnsTheSelectedLine_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<int>("angle");
        const int turn = Qt::ControlModifier | Qt::ShiftModifier;
        QTest::newRow("one notch") << 0 << QPoint(0, 120) << turn << true << 15;
        QTest::newRow("two notches back") << 0 << QPoint(0, -240) << turn << true << -30;
        QTest::newRow("fine") << 10 << QPoint(0, 120) << int(turn | Qt::AltModifier) << true << 11;
        QTest::newRow("fine, sideways")
            << 10 << QPoint(-120, 0) << int(turn | Qt::AltModifier) << true << 9;
        QTest::newRow("past a half turn") << 170 << QPoint(0, 120) << turn << true << -175;
        QTest::newRow("Ctrl only") << 0 << QPoint(0, 120) << int(Qt::ControlModifier) << true << 0;
        QTest::newRow("not selected") << 0 << QPoint(0, 120) << turn << false << 0;
    }
    void wheelTurnsTheSelectedLine() {
        QFETCH(int, start);
        QFETCH(QPoint, delta);
        QFETCH(int, modifiers);
        QFETCH(bool, selected);
        QFETCH(int, angle);
        OneLine w(QString::number(start));
        CanvasLabel* line = w.c->lblA[0];
        if (selected)
            w.c->select(line);
        wheelOver(line, delta, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(line->angle(), angle);
        QCOMPARE(w.sandbox.setting(QStringLiteral("TextLine1 Angle")), QString::number(angle));
        QCOMPARE(w.f->form->document().history().count(), angle != start ? 1 : 0);
    }

    // The Text menu's angle box and common angles turn the line and store it.
    void textMenuTurnsTheLine_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("angle");
        QTest::newRow("typed 45") << 0 << "45" << QString() << 45;
        QTest::newRow("typed -120") << 30 << "-120" << QString() << -120;
        QTest::newRow("common -90") << 0 << QString() << "-90°" << -90;
        QTest::newRow("common 0") << 75 << QString() << "0°" << 0;
    }
    void textMenuTurnsTheLine() {
        QFETCH(int, start);
        QFETCH(QString, typed);
        QFETCH(QString, preset);
        QFETCH(int, angle);
        OneLine w(QString::number(start));
        Form1& form = *w.f->form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* line = form.findChild<QMenu*>(QStringLiteral("mnuTextLine1"));
        QVERIFY(line != nullptr);
        emit line->aboutToShow();
        const QList<QMenu*> menus = line->findChildren<QMenu*>(QStringLiteral("mnuAngle1"));
        QVERIFY(!menus.isEmpty());
        QMenu* menu = menus.last();
        auto* spin = menu->findChild<QSpinBox*>(QStringLiteral("spnAngle1"));
        QVERIFY(spin != nullptr);
        QCOMPARE(spin->value(), start);
        QCOMPARE(spin->suffix(), QStringLiteral("°"));
        if (!typed.isEmpty()) {
            spin->selectAll();
            QTest::keyClicks(spin, typed);
            QTest::keyClick(spin, Qt::Key_Return);
        } else {
            for (QAction* action : menu->actions())
                if (action->text() == preset)
                    action->trigger();
        }
        QCOMPARE(w.c->lblA[0]->angle(), angle);
        QCOMPARE(w.sandbox.setting(QStringLiteral("TextLine1 Angle")), QString::number(angle));
        form.document().history().undo();
        QCOMPARE(w.c->lblA[0]->angle(), start);
        QCOMPARE(w.sandbox.setting(QStringLiteral("TextLine1 Angle")), QString::number(start));
    }

    // A turned line is drawn the same on the canvas and in every export; at
    // 90 degrees either way it stands taller than it is wide.
    void turnedLineDrawsAlike_data() {
        QTest::addColumn<int>("angle");
        QTest::addColumn<bool>("look");
        QTest::addColumn<bool>("upright");
        QTest::newRow("90") << 90 << false << true;
        QTest::newRow("-90, outline and shadow") << -90 << true << true;
        QTest::newRow("30") << 30 << false << false;
        QTest::newRow("180, outline") << 180 << true << false;
    }
    void turnedLineDrawsAlike() {
        QFETCH(int, angle);
        QFETCH(bool, look);
        QFETCH(bool, upright);
        OneLine w;
        const QRect level = darkBounds(w.canvasLogo());
        QVERIFY(level.width() > 3 * level.height());
        if (look)
            w.c->lblA[0]->setLook({2, QColor(250, 240, 10), true});
        w.f->form->setLineAngle(0, angle);
        const QImage shown = w.canvasLogo();
        QCOMPARE(w.rendered(), shown);
        const QRect turned = darkBounds(shown);
        // The letters turned about the centre of the line's box.
        const QRect box = textLineRect(w.f->form->document().capture().lines[0]);
        const QPointF moved = turnAboutCentre(QRectF(box), angle).map(QRectF(level).center());
        QVERIFY(std::abs(QRectF(turned).center().x() - moved.x()) <= 2);
        QVERIFY(std::abs(QRectF(turned).center().y() - moved.y()) <= 2);
        if (upright) {
            QVERIFY(turned.height() > 3 * turned.width());
            QVERIFY(std::abs(turned.height() - level.width()) <= 2);
        }
        // Twice the size, the same drawing.
        RenderOptions twice;
        twice.scale = 2;
        const QRect large = darkBounds(w.rendered(twice));
        QVERIFY2(std::abs(large.height() - 2 * turned.height()) <= 6 &&
                     std::abs(large.width() - 2 * turned.width()) <= 6,
                 qPrintable(QStringLiteral("%1x%2 at 1x, %3x%4 at 2x")
                                .arg(turned.width())
                                .arg(turned.height())
                                .arg(large.width())
                                .arg(large.height())));
        // The trimmed logo holds the whole turned line.
        RenderOptions trim;
        trim.trim = true;
        const QImage trimmed = w.rendered(trim);
        QVERIFY(trimmed.height() >= turned.height());
        QVERIFY(trimmed.width() >= turned.width());
    }

    // A press finds a turned line only on its turned box: inside the
    // rectangle that holds it, beside the turned text, it reaches the canvas.
    void pressFindsTheTurnedText_data() {
        QTest::addColumn<int>("angle");
        QTest::addColumn<QPointF>("point");  // along, across; see onTurnedLine
        QTest::addColumn<bool>("picked");
        QTest::newRow("30, centre") << 30 << QPointF(0, 0) << true;
        QTest::newRow("30, near the end") << 30 << QPointF(0.9, 0.6) << true;
        QTest::newRow("30, near the start") << 30 << QPointF(-0.9, -0.6) << true;
        QTest::newRow("30, top-left corner") << 30 << QPointF(-0.3, -4.5) << false;
        QTest::newRow("30, bottom-right corner") << 30 << QPointF(0.3, 4.5) << false;
        QTest::newRow("30, over the end") << 30 << QPointF(0.5, -2) << false;
        QTest::newRow("45, beside the middle") << 45 << QPointF(0.2, 3) << false;
        QTest::newRow("-120, near the end") << -120 << QPointF(0.9, 0) << true;
        QTest::newRow("-120, beside it") << -120 << QPointF(0.6, 2.2) << false;
        QTest::newRow("180, a corner") << 180 << QPointF(0.95, 0.8) << true;
    }
    void pressFindsTheTurnedText() {
        QFETCH(int, angle);
        QFETCH(QPointF, point);
        QFETCH(bool, picked);
        OneLine w(QString::number(angle));
        w.show();
        CanvasLabel* line = w.c->lblA[0];
        const QPointF at = onTurnedLine(line, point.x(), point.y());
        // Within the rectangle that holds the turned line, so only its shape
        // tells the two apart.
        QVERIFY(line->geometry().contains(at.toPoint()));
        pointer(QTest::MouseClick, w.c, at);
        QCOMPARE(w.c->Selected() == line, picked);
    }

    // The selected line's frame is its box turned: drawn at the turned
    // corners, not at those of the rectangle holding them.
    void frameIsTheTurnedBox_data() {
        QTest::addColumn<int>("angle");
        for (const int angle : {0, 30, 90, -45, 150})
            QTest::addRow("%d", angle) << angle;
    }
    void frameIsTheTurnedBox() {
        QFETCH(int, angle);
        OneLine w(QString::number(angle));
        w.show();
        CanvasLabel* line = w.c->lblA[0];
        w.c->select(line);
        const QImage overlay = w.c->overlay()->grab().toImage();
        for (const QPointF corner :
             {QPointF(-1, -1), QPointF(1, -1), QPointF(1, 1), QPointF(-1, 1)})
            QVERIFY(inkNear(overlay, onTurnedLine(line, corner.x(), corner.y())));
        if (angle % 90 != 0) {
            const QRect held = line->geometry();
            for (const QPoint corner : {held.topLeft(), held.bottomRight()})
                QVERIFY(!inkNear(overlay, corner));
        }
    }

    // Dragging the knob turns the line about its centre while it moves and
    // makes one step when let go; Shift lets go on a 15-degree step.
    void handleTurnsTheLine_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("to");  // where the pointer goes round to
        QTest::addColumn<bool>("shift");
        QTest::addColumn<int>("angle");
        QTest::addColumn<QString>("top");  // near the canvas's top the knob is below the line
        QTest::newRow("0 to 90") << 0 << 90 << false << 90 << "1650";
        QTest::newRow("0 to -60") << 0 << -60 << false << -60 << "1650";
        QTest::newRow("Shift, 34 to 30") << 0 << 34 << true << 30 << "1650";
        QTest::newRow("Shift, 41 to 45") << 0 << 41 << true << 45 << "1650";
        QTest::newRow("past a half turn") << 150 << 200 << false << -160 << "1650";
        QTest::newRow("Shift from 10") << 10 << 100 << true << 105 << "1650";
        QTest::newRow("knob below, 0 to 20") << 0 << 20 << false << 20 << "150";
        QTest::newRow("knob below, Shift") << 0 << -50 << true << -45 << "150";
    }
    void handleTurnsTheLine() {
        QFETCH(int, start);
        QFETCH(int, to);
        QFETCH(bool, shift);
        QFETCH(int, angle);
        QFETCH(QString, top);
        OneLine w(QString::number(start), top);
        w.show();
        CanvasLabel* line = w.c->lblA[0];
        w.c->select(line);
        // An angle box left open follows the handle.
        auto* menu = w.f->form->findChild<QMenu*>(QStringLiteral("mnuTextLine1"));
        emit menu->aboutToShow();
        QSpinBox* box = menu->findChildren<QSpinBox*>(QStringLiteral("spnAngle1")).last();
        TurnHandle* handle = w.c->turnHandle();
        QVERIFY(handle->isVisible());
        QCOMPARE(handle->cursor().shape(), Qt::BitmapCursor);
        const QPointF knob = QRectF(handle->geometry()).center();
        const QPointF centre = onTurnedLine(line, 0, 0);
        const QPointF grab = knob.toPoint();
        const double grabbed =
            qRadiansToDegrees(std::atan2(centre.x() - grab.x(), centre.y() - grab.y()));
        QCOMPARE(std::abs(std::remainder(grabbed - start, 360)) < 10, top != "150");
        // Where the pointer turns the line to `degrees`; further out its
        // whole pixels matter less.
        const auto round = [&](double degrees) {
            const double a = qDegreesToRadians(grabbed + degrees - start);
            return centre + 3 * QLineF(centre, knob).length() * QPointF(-std::sin(a), -std::cos(a));
        };
        pointer(QTest::MousePress, w.c, grab);
        for (int step = 1; step <= 4; ++step)
            pointer(QTest::MouseMove, w.c, round(start + (to - start) * step / 4.0));
        // Shown while it turns, stored only when let go.
        QVERIFY(std::abs(line->angle() - std::remainder(to, 360)) <= 2);
        QCOMPARE(w.c->overlay()->reading(), QStringLiteral("%1°").arg(line->angle()));
        QCOMPARE(w.f->form->document().history().count(), 0);
        pointer(QTest::MouseRelease, w.c, round(to), shift ? Qt::ShiftModifier : Qt::NoModifier);
        QVERIFY2(std::abs(line->angle() - angle) <= (shift ? 0 : 2),
                 qPrintable(QString::number(line->angle())));
        QCOMPARE(w.sandbox.setting(QStringLiteral("TextLine1 Angle")),
                 QString::number(line->angle()));
        QCOMPARE(w.c->overlay()->reading(), QString());
        QCOMPARE(box->value(), line->angle());
        QCOMPARE(w.f->form->document().history().count(), 1);
        w.f->form->document().history().undo();
        QCOMPARE(line->angle(), start);
        QCOMPARE(w.sandbox.setting(QStringLiteral("TextLine1 Angle")), QString::number(start));
    }

    // With snapping on, what lines up with a guide is the turned line's
    // visible box, and the guide is drawn where it lines up.
    void turnedLineSnapsByItsShownBox_data() {
        QTest::addColumn<int>("angle");
        QTest::addColumn<bool>("upright");  // the canvas's upright centre line, else the level one
        QTest::addColumn<int>("edge");      // -1 near edge, 0 middle, 1 far edge
        QTest::addColumn<bool>("picture");  // the picture's upright middle instead
        QTest::newRow("90, right edge") << 90 << true << 1 << false;
        QTest::newRow("30, left edge") << 30 << true << -1 << false;
        QTest::newRow("-60, middle") << -60 << false << 0 << false;
        QTest::newRow("120, right edge") << 120 << true << 1 << false;
        QTest::newRow("level, right edge") << 0 << true << 1 << false;
        QTest::newRow("30, middle on the picture's") << 30 << true << 0 << true;
    }
    void turnedLineSnapsByItsShownBox() {
        QFETCH(int, angle);
        QFETCH(bool, upright);
        QFETCH(int, edge);
        QFETCH(bool, picture);
        OneLine w(QString::number(angle));
        w.show();
        Canvas& c = *w.c;
        c.setSnapping(true);
        c.imgLogo->place().setLeft(picture ? 4500 : 0);
        c.imgLogo->place().setTop(0);
        CanvasLabel* line = c.lblA[0];
        const TwipsPlacement& place = line->place();
        const QSizeF half = turnedHalf(place, angle);
        const auto shown = [&] {
            return upright ? middleOf(place).x() + edge * half.width()
                           : middleOf(place).y() + edge * half.height();
        };
        const double guide = picture   ? middleOf(c.imgLogo->place()).x()
                             : upright ? c.pArea->ScaleWidth() / 2.0
                                       : c.pArea->ScaleHeight() / 2.0;
        // Dragged to 3 pixels short of the guide.
        const double by = std::round((guide - shown()) / 15) - 3;
        const QPointF grab = onTurnedLine(line, 0, 0);
        const QPointF to = grab + (upright ? QPointF(by, 0) : QPointF(0, by));
        pointer(QTest::MousePress, &c, grab);
        pointer(QTest::MouseMove, &c, to);
        const QImage overlay = c.overlay()->grab().toImage();
        pointer(QTest::MouseRelease, &c, to);
        QVERIFY2(std::abs(shown() - guide) < 0.01, qPrintable(QString::number(shown() - guide)));
        const int at = int(std::lround(guide / 15));
        QCOMPARE(overlay.pixel(upright ? at : 2, upright ? 2 : at), qRgb(0xE0, 0x20, 0x80));
    }

    // Arrow keys move a turned line by whole pixels as a level one, and stop
    // where its visible box meets the canvas's edge.
    void arrowsMoveATurnedLine_data() {
        QTest::addColumn<int>("angle");
        QTest::addColumn<int>("key");
        QTest::addColumn<QPointF>("way");
        QTest::addColumn<int>("room");  // pixels to the canvas's edge that way; 0 for plenty
        QTest::newRow("90, right") << 90 << int(Qt::Key_Right) << QPointF(1, 0) << 0;
        QTest::newRow("-30, down") << -30 << int(Qt::Key_Down) << QPointF(0, 1) << 0;
        QTest::newRow("90, up to the edge") << 90 << int(Qt::Key_Up) << QPointF(0, -1) << 5;
        QTest::newRow("60, left to the edge") << 60 << int(Qt::Key_Left) << QPointF(-1, 0) << 4;
        QTest::newRow("120, right to the edge") << 120 << int(Qt::Key_Right) << QPointF(1, 0) << 7;
        QTest::newRow("level, up") << 0 << int(Qt::Key_Up) << QPointF(0, -1) << 0;
    }
    void arrowsMoveATurnedLine() {
        QFETCH(int, angle);
        QFETCH(int, key);
        QFETCH(QPointF, way);
        QFETCH(int, room);
        OneLine w(QString::number(angle), QStringLiteral("1380"));
        w.show();
        CanvasLabel* line = w.c->lblA[0];
        TwipsPlacement& p = line->place();
        const QSizeF half = turnedHalf(p, angle);
        if (key == Qt::Key_Up && room > 0)
            p.setTop(float(half.height() - p.Height() / 2 + 15 * room));
        if (key == Qt::Key_Left && room > 0)
            p.setLeft(float(half.width() - p.Width() / 2 + 15 * room));
        if (key == Qt::Key_Right && room > 0)
            p.setLeft(float(w.c->pArea->ScaleWidth() - half.width() - p.Width() / 2 - 15 * room));
        const QPointF from(p.Left(), p.Top());
        w.c->select(line);
        w.c->Picture2->setFocus();
        for (int i = 0; i < 12; ++i)
            QTest::keyClick(w.c->Picture2, Qt::Key(key));
        const QPointF off = QPointF(p.Left(), p.Top()) - from - 15 * (room > 0 ? room : 12) * way;
        QVERIFY2(off.manhattanLength() < 0.01,
                 qPrintable(QStringLiteral("%1,%2").arg(off.x()).arg(off.y())));
    }

    // A stored place that leaves what is seen of a line wholly off the canvas
    // is brought back at start; one that leaves part of the turned line on it
    // stays, though its level box lies outside.
    void turnedLineIsBroughtInsideByWhatIsSeen_data() {
        QTest::addColumn<int>("angle");
        QTest::addColumn<QString>("top");
        QTest::addColumn<int>("outcome");  // 0 kept, -1 at the top, 1 at the bottom
        QTest::newRow("90, reaching in from above") << 90 << "-1200" << 0;
        QTest::newRow("90, wholly above") << 90 << "-2000" << -1;
        QTest::newRow("-90, wholly below") << -90 << "4500" << 1;
        QTest::newRow("45, reaching in from below") << 45 << "3500" << 0;
        QTest::newRow("level, above") << 0 << "-500" << -1;
    }
    void turnedLineIsBroughtInsideByWhatIsSeen() {
        QFETCH(int, angle);
        QFETCH(QString, top);
        QFETCH(int, outcome);
        OneLine w(QString::number(angle), top);
        const TwipsPlacement& p = w.c->lblA[0]->place();
        const double y = middleOf(p).y() + outcome * turnedHalf(p, angle).height();
        if (outcome == 0)
            QCOMPARE(p.Top(), top.toFloat());
        else
            QCOMPARE(y, outcome < 0 ? 0.0 : double(w.c->pArea->ScaleHeight()));
        QCOMPARE(w.sandbox.setting(QStringLiteral("TextLine0 Top")).toFloat(), p.Top());
    }

    // Turned and turned back, a line draws as it did and its label has its
    // old geometry.
    void levelAgainIsAsBefore() {
        OneLine w;
        const QImage before = w.canvasLogo();
        const QRect geometry = w.c->lblA[0]->geometry();
        w.f->form->setLineAngle(0, 37);
        QVERIFY(w.canvasLogo() != before);
        QVERIFY(w.c->lblA[0]->geometry().height() > geometry.height());
        w.f->form->setLineAngle(0, 0);
        QCOMPARE(w.c->lblA[0]->geometry(), geometry);
        QCOMPARE(w.canvasLogo(), before);
        QCOMPARE(w.rendered(), before);
    }

    // Only the turned box takes the pointer: a press beside it reaches the
    // canvas, one on it drags the line, and the place keeps meaning the level box.
    void pointerFindsOnlyTheTurnedBox() {
        OneLine w(QStringLiteral("30"));
        w.f->form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.f->form.get()));
        CanvasLabel* line = w.c->lblA[0];
        const QRect box = line->geometry();
        const QRect level = line->place().pixelRect();
        QVERIFY(box.height() > level.height() * 3);
        const QPoint centre = box.center();
        QCOMPARE(w.c->pArea->childAt(centre), line);
        // The corners of the turned box's bounds lie outside it.
        for (const QPoint corner : {box.topLeft() + QPoint(2, 2), box.bottomRight() - QPoint(2, 2)})
            QVERIFY(w.c->pArea->childAt(corner) != line);
        // Along the turned line, well past the level box's height.
        const QPoint along(centre.x() + 60, centre.y() - 34);
        QVERIFY(!level.contains(along));
        QCOMPARE(w.c->pArea->childAt(along), line);

        const QPointF from(line->place().Left(), line->place().Top());
        const QPoint grab = line->mapFrom(w.c->pArea, centre);
        QTest::mousePress(line, Qt::LeftButton, {}, grab);
        QMouseEvent move(QEvent::MouseMove, grab + QPoint(6, 4), line->mapToGlobal(grab),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(line, &move);
        QTest::mouseRelease(line, Qt::LeftButton, {}, grab + QPoint(6, 4));
        QCOMPARE(line->place().Left(), float(from.x() + 90));
        QCOMPARE(line->place().Top(), float(from.y() + 60));
        QCOMPARE(line->geometry().size(), box.size());
    }
};

QTEST_MAIN(AngleTest)
#include "test_angle.moc"
