#include <QGroupBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include "app/screenfit.h"
#include "canvas/canvas.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

class LayoutTest final : public QObject {
    Q_OBJECT

private slots:
    // No control touches another in its container or reaches past its edge.
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
        const QRect viewport = scroller->viewport()->rect();
        for (QWidget* control : scroller->widget()->findChildren<QWidget*>()) {
            if (!(control->focusPolicy() & Qt::TabFocus) || !control->isVisible())
                continue;
            const QPoint middle = control->mapTo(scroller->widget(), control->rect().center());
            scroller->ensureVisible(middle.x(), middle.y(), control->width() / 2 + 1,
                                    control->height() / 2 + 1);
            // Wholly in view, or about filling the view where it is the larger.
            const QRect place(control->mapTo(scroller->viewport(), QPoint(0, 0)), control->size());
            const QSize seen = (place & viewport).size();
            const QSize wanted = place.size().boundedTo(viewport.size() - QSize(2, 2));
            QVERIFY2(seen.width() >= wanted.width() && seen.height() >= wanted.height(),
                     qPrintable(control->objectName()));
        }
        // The keyboard still walks the controls in their order.
        QCOMPARE(form.Text1->nextInFocusChain(), form.PushButton6);
        QCOMPARE(form.focusWidget(), form.Text1);
    }
};

QTEST_MAIN(LayoutTest)
#include "test_layout.moc"
