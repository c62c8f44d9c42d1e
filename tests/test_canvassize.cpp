#include <QDialog>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "editing/designdocument.h"
#include "export/designrenderer.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

// Chooses the entry of the "Canvas Size" menu whose text begins with `prefix`.
bool choose(Form1& form, const QString& prefix) {
    QMenu menu;
    QMenu* sizes = form.addCanvasSizeMenu(menu);
    for (QAction* action : sizes->actions()) {
        if (action->text().remove(QLatin1Char('&')).startsWith(prefix)) {
            action->trigger();
            return true;
        }
    }
    return false;
}

QSize canvasOf(Form1& form) {
    return form.canvas->pArea->size();
}

}  // namespace

class CanvasSizeTest final : public QObject {
    Q_OBJECT

private slots:
    void presetsSizeTheCanvasAndTheLogo_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QSize>("canvas");
        QTest::addColumn<QString>("storedWidth");
        QTest::addColumn<QString>("storedHeight");
        QTest::newRow("square") << "Square" << QSize(1024, 1024) << "1024"
                                << "1024";
        QTest::newRow("wide") << "Wide" << QSize(1200, 630) << "1200"
                              << "630";
        QTest::newRow("banner") << "Banner" << QSize(1500, 500) << "1500"
                                << "500";
        QTest::newRow("fit to the picture at its corner")
            << "Fit to Picture" << QSize(300, 140) << "300"
            << "140";
    }
    void presetsSizeTheCanvasAndTheLogo() {
        QFETCH(QString, entry);
        QFETCH(QSize, canvas);
        QFETCH(QString, storedWidth);
        QFETCH(QString, storedHeight);
        Sandbox sandbox;
        sandbox.setSetting(QStringLiteral("Image"),
                           sandbox.writeImage(QStringLiteral("p.png"),
                                              solidImage(300, 140, Qt::darkGreen), "PNG"));
        FormFixture f(sandbox);
        QVERIFY(choose(*f.form, entry));
        QCOMPARE(canvasOf(*f.form), canvas);
        const RenderSource source = f.form->exportSource();
        QCOMPARE(renderDesign(source).size(), canvas);
        QCOMPARE(renderDesign(source, f.form->exportOptions()).size(), canvas);
        QCOMPARE(f.settings.GetSetting(QStringLiteral("Canvas Width"), QString()), storedWidth);
        QCOMPARE(f.settings.GetSetting(QStringLiteral("Canvas Height"), QString()), storedHeight);
        QCOMPARE(f.messages.reports().size(), std::size_t(0));
        if (entry == QLatin1String("Fit to Picture"))
            QCOMPARE(f.form->canvas->imgLogo->pos(), QPoint(0, 0));

        // The next start shows the same canvas; undo brings back the classic one.
        FormFixture next(sandbox);
        QCOMPARE(next.form->canvas->chosenSize(), canvas);
        QCOMPARE(canvasOf(*next.form).width(), canvas.width());
        f.form->document().history().undo();
        QCOMPARE(canvasOf(*f.form), QSize(512, 229));
        QCOMPARE(f.settings.GetSetting(QStringLiteral("Canvas Width"), QString()),
                 QStringLiteral("512"));
        FormFixture classic(sandbox);
        QCOMPARE(canvasOf(*classic.form), QSize(512, 229));
        QCOMPARE(classic.form->canvas->chosenSize(), QSize());
    }

    // Absent or unreadable keys leave the classic canvas; a size beyond the
    // largest logo is kept within it.
    void storedSizeIsRead_data() {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QSize>("canvas");
        QTest::newRow("absent") << QString() << QString() << QSize(512, 229);
        QTest::newRow("only a width") << "800" << QString() << QSize(512, 229);
        QTest::newRow("no number") << "wide"
                                   << "300" << QSize(512, 229);
        QTest::newRow("zero") << "0"
                              << "300" << QSize(512, 229);
        QTest::newRow("negative") << "640"
                                  << "-480" << QSize(512, 229);
        QTest::newRow("too wide") << "99999"
                                  << "50" << QSize(16384, 50);
        QTest::newRow("too small") << "3"
                                   << "3" << QSize(16, 16);
        QTest::newRow("stored") << "1200"
                                << "630" << QSize(1200, 630);
    }
    void storedSizeIsRead() {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QSize, canvas);
        Sandbox sandbox;
        if (!width.isNull())
            sandbox.setSetting(QStringLiteral("Canvas Width"), width);
        if (!height.isNull())
            sandbox.setSetting(QStringLiteral("Canvas Height"), height);
        FormFixture f(sandbox);
        QCOMPARE(canvasOf(*f.form), canvas);
        QCOMPARE(f.messages.reports().size(), std::size_t(0));
        QCOMPARE(sandbox.settingKeys().contains(QStringLiteral("Canvas Width")), !width.isNull());
    }

    // A picture taller than the chosen canvas still grows it.
    void growthRuleAppliesOnTop() {
        Sandbox sandbox;
        sandbox.setSetting(QStringLiteral("Canvas Width"), QStringLiteral("1200"));
        sandbox.setSetting(QStringLiteral("Canvas Height"), QStringLiteral("630"));
        sandbox.setSetting(QStringLiteral("Image Top"), QStringLiteral("0"));
        sandbox.setSetting(
            QStringLiteral("Image"),
            sandbox.writeImage(QStringLiteral("t.bmp"), solidImage(50, 900, Qt::red), "BMP"));
        FormFixture f(sandbox);
        QCOMPARE(canvasOf(*f.form).width(), 1200);
        // Start-up grows the canvas from the picture's first place, before
        // its stored place is applied.
        QCOMPARE(f.form->canvas->pArea->place().Height(), 810 + 900.f * 15 + 50);
        QVERIFY(f.form->canvas->HScroll1->isEnabled());
    }

    // "Other Size…" in the real dialog.
    void ownSizeFromTheDialog() {
        Sandbox sandbox;
        FormFixture f(sandbox);
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            seen = true;
            dialog->findChild<QSpinBox*>(QStringLiteral("canvasWidth"))->setValue(800);
            dialog->findChild<QSpinBox*>(QStringLiteral("canvasHeight"))->setValue(300);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        QVERIFY(choose(*f.form, QStringLiteral("Other Size")));
        QVERIFY(seen);
        QCOMPARE(canvasOf(*f.form), QSize(800, 300));
    }
};

QTEST_MAIN(CanvasSizeTest)
#include "test_canvassize.moc"
