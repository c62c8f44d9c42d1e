#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QSpinBox>
#include <QtTest>
#include <functional>

#include "canvas/canvas.h"
#include "editing/designdocument.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

struct Shown {
    Sandbox sandbox;
    FormFixture f{sandbox};
    Form1& form = *f.form;
    Shown() {
        form.show();
        QApplication::setActiveWindow(&form);
        if (!QTest::qWaitForWindowActive(&form))
            qWarning("the window did not become active");
    }
    // The design a fresh start reads back from the store.
    LogoDesign stored() {
        FormFixture again(sandbox);
        return again.form->document().capture();
    }
    void keys(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target != nullptr ? target : &form, key, modifiers);
    }
};

using Change = std::function<void(Shown&)>;

const std::vector<std::pair<const char*, Change>>& changes() {
    static const std::vector<std::pair<const char*, Change>> table = {
        {"drag the picture",
         [](Shown& s) {
             Canvas& c = *s.form.canvas;
             c.imgLogo_MouseDown(1, 150, 150);
             c.imgLogo_MouseMove(1, 600, 450);
             c.imgLogo_MouseMove(1, 750, 600);
             c.imgLogo_MouseUp(1, 750, 600);
         }},
        {"type in line 1",
         [](Shown& s) {
             s.form.TextLine[0]->setFocus();
             QTest::keyClicks(s.form.TextLine[0], QStringLiteral(" and more"));
         }},
        {"font of line 2",
         [](Shown& s) {
             s.f.dialogs.fonts.push_back(QFont(QStringLiteral("Liberation Serif"), 20));
             s.form.PushButton2->click();
         }},
        {"colour of line 1",
         [](Shown& s) {
             s.f.dialogs.colors.push_back(QColor(0x12, 0x34, 0x56));
             s.form.PushButton3->click();
         }},
        {"hide line 2", [](Shown& s) { s.form.chkShowB->click(); }},
        {"picture size", [](Shown& s) { s.form.spnSize->setValue(50); }},
        {"browse a picture",
         [](Shown& s) {
             s.f.dialogs.files.push_back(s.sandbox.writeImage(QStringLiteral("red.bmp"),
                                                              solidImage(90, 40, Qt::red), "BMP"));
             s.form.PushButton6->click();
         }},
        {"arrow keys on line 1",
         [](Shown& s) {
             s.form.canvas->select(s.form.canvas->lblA[0]);
             s.form.canvas->Picture2->setFocus();
             for (int i = 0; i < 3; ++i)
                 s.keys(Qt::Key_Right);
             s.keys(Qt::Key_Down, Qt::ShiftModifier);
         }},
    };
    return table;
}

}  // namespace

class EditingTest final : public QObject {
    Q_OBJECT

private slots:
    // Each change is one step; undo puts the design back on screen and in the
    // store, redo brings the change back, and a fresh start reads what is shown.
    void undoAndRedoEveryChange_data() {
        QTest::addColumn<int>("row");
        for (std::size_t i = 0; i < changes().size(); ++i)
            QTest::newRow(changes()[i].first) << int(i);
    }
    void undoAndRedoEveryChange() {
        QFETCH(int, row);
        Shown s;
        const LogoDesign before = s.form.document().capture();
        changes()[std::size_t(row)].second(s);
        const LogoDesign after = s.form.document().capture();
        QVERIFY(after != before);
        QCOMPARE(s.form.document().history().count(), 1);
        QVERIFY(s.stored() == after);

        s.keys(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(s.form.document().capture() == before);
        QVERIFY(s.stored() == before);
        s.keys(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(s.form.document().capture() == after);
        QVERIFY(s.stored() == after);
        s.keys(Qt::Key_Z, Qt::ControlModifier);
        s.keys(Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(s.stored() == after);
        QVERIFY2(s.f.messages.messages.empty(), qPrintable(s.f.messages.texts().join('|')));
    }

    void arrowKeysMoveByPixelsAndStoreTwips() {
        Shown s;
        const float left = s.form.canvas->lblA[0]->place().Left();
        const float top = s.form.canvas->lblA[0]->place().Top();
        changes().back().second(s);
        QCOMPARE(s.sandbox.setting(QStringLiteral("TextLine0 Left")), QString::number(left + 45));
        QCOMPARE(s.sandbox.setting(QStringLiteral("TextLine0 Top")), QString::number(top + 150));
    }

    // Half the size on screen is half the size in the saved logo, and the
    // frame round the selection is never part of it.
    void sizeScalesScreenAndLogo() {
        Shown s;
        Canvas& c = *s.form.canvas;
        s.f.dialogs.files.push_back(
            s.sandbox.writeImage(QStringLiteral("red.bmp"), solidImage(200, 80, Qt::red), "BMP"));
        s.form.PushButton6->click();
        c.imgLogo->place().setAll(0, 0, c.imgLogo->place().Width(), c.imgLogo->place().Height());
        c.BuildLogo();
        const QImage unselected = c.picSave->Image();
        c.select(c.imgLogo);
        c.BuildLogo();
        QCOMPARE(c.picSave->Image(), unselected);

        s.form.spnSize->setValue(50);
        QCOMPARE(c.imgLogo->Picture().size(), QSize(100, 40));
        QCOMPARE(s.sandbox.setting(QStringLiteral("Image Scale")), QStringLiteral("50"));
        c.BuildLogo();
        QCOMPARE(c.picSave->Image().pixelColor(99, 39), QColor(Qt::red));
        QVERIFY(c.picSave->Image().pixelColor(101, 41) != QColor(Qt::red));
    }

    void storedSizeIsRead_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("scale");
        QTest::newRow("absent") << QString() << 100;
        QTest::newRow("a quarter") << QStringLiteral("25") << 25;
        QTest::newRow("too small") << QStringLiteral("1") << 5;
        QTest::newRow("too large") << QStringLiteral("9000") << 400;
        QTest::newRow("nonsense") << QStringLiteral("big") << 100;
    }
    void storedSizeIsRead() {
        QFETCH(QString, stored);
        QFETCH(int, scale);
        Sandbox sandbox;
        if (!stored.isNull())
            sandbox.setSetting(QStringLiteral("Image Scale"), stored);
        FormFixture f(sandbox);
        QCOMPARE(f.form->spnSize->value(), scale);
        QCOMPARE(f.form->canvas->imgLogo->scale(), scale);
        QVERIFY(f.messages.messages.empty());
    }

    // A dropped file is chosen as Browse chooses it, with Browse's report
    // when it is no picture.
    void dropChoosesAFile_data() {
        QTest::addColumn<bool>("picture");
        QTest::newRow("a picture") << true;
        QTest::newRow("not a picture") << false;
    }
    void dropChoosesAFile() {
        QFETCH(bool, picture);
        Shown s;
        const QString file = picture
                                 ? s.sandbox.writeImage(QStringLiteral("drop.jpg"),
                                                        solidImage(30, 20, Qt::blue), "JPEG")
                                 : s.sandbox.writeFile(QStringLiteral("drop.jpg"), "not a picture");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        const QPoint at = s.form.rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&s.form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&s.form, &drop);
        QCOMPARE(s.form.Text1->text(), file);
        QCOMPARE(s.sandbox.setting(QStringLiteral("Image")), file);
        if (picture) {
            QCOMPARE(s.form.canvas->imgLogo->Picture().size(), QSize(30, 20));
            QVERIFY(s.f.messages.messages.empty());
        } else {
            QCOMPARE(s.f.messages.reports().size(), std::size_t(1));
            QCOMPARE(RecordingMessages::lineOf(s.f.messages.reports()[0]), QStringLiteral("114"));
        }
    }

    void pasteKeepsAPictureAsPng_data() {
        QTest::addColumn<bool>("image");
        QTest::newRow("an image") << true;
        QTest::newRow("only text") << false;
    }
    void pasteKeepsAPictureAsPng() {
        QFETCH(bool, image);
        Shown s;
        if (image)
            QGuiApplication::clipboard()->setImage(solidImage(40, 30, Qt::green));
        else
            QGuiApplication::clipboard()->setText(QStringLiteral("text"));
        const QString before = s.form.Text1->text();
        s.form.canvas->Picture2->setFocus();
        s.keys(Qt::Key_V, Qt::ControlModifier);
        if (!image) {
            QCOMPARE(s.form.Text1->text(), before);
            QCOMPARE(s.form.document().history().count(), 0);
            return;
        }
        const QString pasted = s.form.Text1->text();
        QVERIFY2(pasted.startsWith(s.form.logoFolders().library + QStringLiteral("/Pasted ")) &&
                     pasted.endsWith(QStringLiteral(".png")),
                 qPrintable(pasted));
        QCOMPARE(QImage(pasted).size(), QSize(40, 30));
        QCOMPARE(s.form.canvas->imgLogo->Picture().size(), QSize(40, 30));
        QVERIFY(s.f.messages.messages.empty());
    }

    // With snapping on, a drag that ends near the canvas's centre line lands
    // on it; Alt held lets it go where the pointer puts it.
    void snapPullsUnlessAltIsHeld_data() {
        QTest::addColumn<bool>("alt");
        QTest::newRow("snapping") << false;
        QTest::newRow("Alt held") << true;
    }
    void snapPullsUnlessAltIsHeld() {
        QFETCH(bool, alt);
        Shown s;
        Canvas& c = *s.form.canvas;
        c.setSnapping(true);
        c.lblA[0]->place().setAll(0, 0, 600, 300);
        const double centre = c.pArea->ScaleWidth() / 2;
        const double grab = 15;
        const double to = centre - 600 - 3 * 15 + grab;  // right edge 3 pixels short
        QTest::keyPress(&s.form, Qt::Key_Alt, alt ? Qt::AltModifier : Qt::NoModifier);
        c.lblA_MouseDown(0, 1, float(grab), 15);
        c.lblA_MouseMove(0, 1, float(to), 15);
        c.lblA_MouseUp(0, 1, float(to), 15);
        QTest::keyRelease(&s.form, Qt::Key_Alt);
        const double right = c.lblA[0]->place().Left() + c.lblA[0]->place().Width();
        QCOMPARE(right, alt ? centre - 45 : centre);
    }
};

QTEST_MAIN(EditingTest)
#include "test_editing.moc"
