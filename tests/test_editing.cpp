#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSpinBox>
#include <QTimer>
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
    // Types a path over the one shown, then presses the key given (none for 0).
    QString typePath(Qt::Key key, const QByteArray& content = QByteArray()) {
        const QString path = content.isEmpty()
                                 ? sandbox.writeImage(QStringLiteral("typed.png"),
                                                      solidImage(70, 50, Qt::green), "PNG")
                                 : sandbox.writeFile(QStringLiteral("typed.png"), content);
        form.Text1->setFocus();
        form.Text1->selectAll();
        QTest::keyClicks(form.Text1, path);
        if (key != 0)
            keys(key);
        return path;
    }
};

// Runs `open`, and when it opens a menu, notes what the menu offers and closes it.
QStringList menuOpenedBy(const std::function<void()>& open) {
    QStringList offered;
    const auto note = [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (const QAction* action : menu->actions())
                offered << action->text();
            menu->close();
        }
    };
    // A menu run in its own loop is seen from the timer, one only shown
    // (a text box's) after `open` returns.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, note);
    poll.start();
    open();
    poll.stop();
    note();
    return offered;
}

// Whether a pixel of the colour lies on the row one pixel inside the top
// edge, where the canvas's focus mark runs.
bool markedAtTop(const QImage& seen, const QColor& mark) {
    for (int x = 0; x < seen.width(); ++x)
        if (seen.pixelColor(x, 1) == mark)
            return true;
    return false;
}

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
        {"type a path, Enter", [](Shown& s) { s.typePath(Qt::Key_Return); }},
        {"type a path, Tab", [](Shown& s) { s.typePath(Qt::Key_Tab); }},
        {"turn line 2 with the wheel",
         [](Shown& s) {
             CanvasLabel* line = s.form.canvas->lblA[1];
             s.form.canvas->select(line);
             const QPointF at(2, 2);
             QWheelEvent wheel(at, line->mapToGlobal(at), QPoint(), QPoint(0, -240), Qt::NoButton,
                               Qt::ControlModifier | Qt::ShiftModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(line, &wheel);
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
    // Enter in the path box, or Tab out of it, chooses the typed path as
    // Browse would: the picture shows, a bad file gets Browse's report, and
    // it is one step. Typing alone stores every change and loads nothing.
    void typedPathIsChosen_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<int>("steps");
        const QSize builtIn(196, 135);
        QTest::newRow("picture, Enter")
            << int(Qt::Key_Return) << QByteArray() << QSize(70, 50) << 1;
        QTest::newRow("picture, Tab") << int(Qt::Key_Tab) << QByteArray() << QSize(70, 50) << 1;
        QTest::newRow("not a picture, Enter")
            << int(Qt::Key_Return) << QByteArray("GIF89a broken") << builtIn << 1;
        QTest::newRow("typed only") << 0 << QByteArray() << builtIn << 0;
    }
    void typedPathIsChosen() {
        QFETCH(int, key);
        QFETCH(QByteArray, content);
        QFETCH(QSize, shown);
        QFETCH(int, steps);
        Shown s;
        const QString path = s.typePath(Qt::Key(key), content);
        // A chosen path shows with the system's separators; a typed one as typed.
        QCOMPARE(s.sandbox.setting(QStringLiteral("Image")),
                 key == 0 ? path : QDir::toNativeSeparators(path));
        QCOMPARE(s.form.canvas->imgLogo->Picture().size(), shown);
        QCOMPARE(s.form.document().history().count(), steps);
        const auto reports = s.f.messages.reports();
        QCOMPARE(reports.size(), std::size_t(content.isEmpty() ? 0 : 1));
        if (!reports.empty()) {
            QVERIFY(reports[0].text.contains(QStringLiteral("PushButton6_Click")));
            QCOMPARE(RecordingMessages::lineOf(reports[0]), QStringLiteral("114"));
            // Leaving the box afterwards does not choose the same path again.
            s.keys(Qt::Key_Tab);
            QCOMPARE(s.f.messages.reports().size(), std::size_t(1));
        }
        if (steps > 0) {
            s.keys(Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(s.form.canvas->imgLogo->Picture().size(), QSize(196, 135));
            QVERIFY(s.form.Text1->text() != path);
        }
    }

    // Shift+F10 opens the menu a right-click on the focused control opens.
    void shiftF10OpensTheRightClickMenu_data() {
        QTest::addColumn<QString>("control");
        QTest::newRow("canvas, nothing selected") << QStringLiteral("canvas");
        QTest::newRow("canvas, line 1 selected") << QStringLiteral("line on canvas");
        QTest::newRow("text line 1") << QStringLiteral("TextLine0");
        QTest::newRow("text line 2") << QStringLiteral("TextLine1");
    }
    void shiftF10OpensTheRightClickMenu() {
        QFETCH(QString, control);
        Shown s;
        Canvas& c = *s.form.canvas;
        QWidget* focused = c.Picture2;
        QWidget* clicked = c.Picture2;
        if (control == QLatin1String("line on canvas"))
            clicked = c.lblA[0];
        if (control.startsWith(QLatin1String("TextLine")))
            focused = clicked = s.form.findChild<QLineEdit*>(control);
        focused->setFocus();
        if (clicked == c.lblA[0])
            c.select(c.lblA[0]);
        const QStringList byKeys = menuOpenedBy([&] { s.keys(Qt::Key_F10, Qt::ShiftModifier); });
        const QStringList byMouse = menuOpenedBy([&] {
            const QPoint at = clicked->rect().center();
            QContextMenuEvent click(QContextMenuEvent::Mouse, at, clicked->mapToGlobal(at));
            QApplication::sendEvent(clicked, &click);
        });
        QVERIFY(!byMouse.isEmpty());
        QCOMPARE(byKeys, byMouse);
    }

    // The canvas marks that it has the keyboard focus while nothing on it is
    // selected; the mark never enters the logo.
    void canvasShowsItsFocus_data() {
        QTest::addColumn<bool>("canvasFocused");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("marked");
        QTest::newRow("focus, nothing selected") << true << false << true;
        QTest::newRow("focus, line selected") << true << true << false;
        QTest::newRow("focus in a text box") << false << false << false;
    }
    void canvasShowsItsFocus() {
        QFETCH(bool, canvasFocused);
        QFETCH(bool, selected);
        QFETCH(bool, marked);
        Shown s;
        Canvas& c = *s.form.canvas;
        // The selection first: the mark follows the focus as it comes and goes.
        c.select(selected ? c.lblA[0] : nullptr);
        c.Picture2->setFocus(Qt::TabFocusReason);
        if (!canvasFocused)
            s.form.TextLine[0]->setFocus(Qt::TabFocusReason);
        const QColor mark = c.Picture2->palette().color(QPalette::Highlight);
        QCOMPARE(markedAtTop(c.Picture2->grab().toImage(), mark), marked);
        c.BuildLogo();
        QVERIFY(!markedAtTop(c.picSave->Image(), mark));
    }

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
        QCOMPARE(s.form.Text1->text(), QDir::toNativeSeparators(file));
        QCOMPARE(s.sandbox.setting(QStringLiteral("Image")), QDir::toNativeSeparators(file));
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
        const QString pasted = QDir::fromNativeSeparators(s.form.Text1->text());
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
