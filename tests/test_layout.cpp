#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>

#include "app/screenfit.h"
#include "canvas/canvas.h"
#include "gallery/galleryview.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

// The controls a person uses, each of which must be reachable.
QList<QWidget*> controlsOf(Form1& form) {
    return {form.canvas->Picture2,
            form.canvas->HScroll1,
            form.canvas->VScroll1,
            form.ListView1,
            form.Text1,
            form.PushButton6,
            form.TextLine[0],
            form.TextLine[1],
            form.PushButton1,
            form.PushButton2,
            form.PushButton3,
            form.PushButton4,
            form.chkShowA,
            form.chkShowB,
            form.spnSize,
            form.PushButton5};
}

}  // namespace

class LayoutTest final : public QObject {
    Q_OBJECT

private slots:
    // No control touches another in its container or reaches past its edge,
    // and each caption fits its control.
    void controlsNeitherTouchNorAreCut_data() {
        QTest::addColumn<QString>("container");
        QTest::newRow("window") << QStringLiteral("ClientArea");
        QTest::newRow("Image Location") << QStringLiteral("Frame1");
        QTest::newRow("Text Properties") << QStringLiteral("Frame2");
    }
    void controlsNeitherTouchNorAreCut() {
        QFETCH(QString, container);
        Sandbox sandbox;
        FormFixture f(sandbox);
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        QWidget* box = f.form->findChild<QWidget*>(container);
        QVERIFY(box != nullptr);
        QRect inside = box->rect();
        if (qobject_cast<QGroupBox*>(box) != nullptr)
            inside = inside.adjusted(1, box->fontMetrics().height(), -1, -1);
        QList<QWidget*> children;
        for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisible() && child != f.form->canvas->picSave)
                children << child;
        }
        QVERIFY(children.size() >= 2);
        for (QWidget* child : children) {
            const QRect place = child->geometry();
            QVERIFY2(inside.contains(place), qPrintable(child->objectName()));
            for (QWidget* other : children) {
                // Scroll bars lie against the viewport they scroll.
                const bool bar =
                    qobject_cast<QScrollBar*>(child) || qobject_cast<QScrollBar*>(other);
                if (other != child && !bar)
                    QVERIFY2(!place.adjusted(-1, -1, 1, 1).intersects(other->geometry()),
                             qPrintable(child->objectName() + " touches " + other->objectName()));
            }
            QString caption;
            if (auto* button = qobject_cast<QAbstractButton*>(child))
                caption = button->text().remove('&');
            if (auto* label = qobject_cast<QLabel*>(child))
                caption = label->text().remove('&');
            if (!caption.isEmpty()) {
                const QFontMetrics metrics(child->font());
                QVERIFY2(metrics.horizontalAdvance(caption) <= place.width(), qPrintable(caption));
                QVERIFY2(metrics.height() <= place.height() + 2, qPrintable(caption));
            }
        }
    }

    // On a screen too small for the window (a large scale factor), the window
    // fits the screen and its content scrolls: every control comes into view.
    // On a screen large enough, the window is the layout's size, centred.
    void windowFitsTheScreen_data() {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("1280x1024 at 2x") << QRect(0, 0, 640, 512) << true;
        QTest::newRow("1280x1024 at 1.75x") << QRect(0, 0, 731, 585) << true;
        QTest::newRow("1024x768 at 1.5x") << QRect(0, 0, 682, 512) << true;
        QTest::newRow("1280x1024 at 1.5x") << QRect(0, 0, 853, 682) << false;
        QTest::newRow("1024x768 at 1.25x, panel on top") << QRect(0, 30, 819, 584) << true;
        QTest::newRow("1920x1080 at 1.25x") << QRect(0, 0, 1536, 864) << false;
    }
    void windowFitsTheScreen() {
        QFETCH(QRect, screen);
        QFETCH(bool, scrolls);
        Sandbox sandbox;
        FormFixture f(sandbox);
        Form1& form = *f.form;
        const QSize layout = form.size();
        fitWindowToScreen(form, screen);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(screen.contains(form.frameGeometry()));
        auto* scroller = form.findChild<QScrollArea*>();
        QCOMPARE(scroller != nullptr, scrolls);
        if (!scrolls) {
            QCOMPARE(form.size(), layout);
            const QPoint offCentre = form.frameGeometry().center() - screen.center();
            QVERIFY(offCentre.manhattanLength() <= 4);
            return;
        }
        for (QWidget* control : controlsOf(form)) {
            const QPoint middle = control->mapTo(scroller->widget(), control->rect().center());
            scroller->ensureVisible(middle.x(), middle.y(), control->width() / 2 + 1,
                                    control->height() / 2 + 1);
            const QRect viewport = scroller->viewport()->rect();
            const QRect place(control->mapTo(scroller->viewport(), QPoint(0, 0)), control->size());
            // Wholly in view, or about filling the view where it is the larger.
            const QRect seen = place & viewport;
            const auto shown = [](int seenSide, int side, int viewSide) {
                return side <= viewSide ? seenSide == side : seenSide >= viewSide - 2;
            };
            QVERIFY2(shown(seen.width(), place.width(), viewport.width()) &&
                         shown(seen.height(), place.height(), viewport.height()),
                     qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 in %6x%7")
                                    .arg(control->objectName())
                                    .arg(place.x())
                                    .arg(place.y())
                                    .arg(place.width())
                                    .arg(place.height())
                                    .arg(viewport.width())
                                    .arg(viewport.height())));
        }
        // The keyboard still walks the controls in their order.
        QCOMPARE(form.Text1->nextInFocusChain(), form.PushButton6);
        QCOMPARE(form.focusWidget(), form.Text1);
    }
};

QTEST_MAIN(LayoutTest)
#include "test_layout.moc"
