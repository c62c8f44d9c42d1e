#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMap>
#include <QMenu>
#include <QScrollBar>
#include <QSpinBox>
#include <QTreeView>
#include <QtTest>
#include <functional>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "editing/imagesource.h"
#include "editing/textlines.h"
#include "gallery/galleryview.h"
#include "platform/runtimeerror.h"
#include "support/testsupport.h"

using namespace vantelo;
using test::FormFixture;
using test::Sandbox;

namespace {

// Reads from a map and fails every write, as a settings file that cannot be
// written does.
class ReadOnlyStore final : public SettingsStore {
public:
    QMap<QString, QString> values;
    QString GetSetting(const QString& key, const QString& fallback) const override {
        return values.value(key, fallback);
    }
    void SaveSetting(const QString&, const QString&) override {
        throw RuntimeError(ErrPermissionDenied);
    }
};

// Works the modal font dialog the way a person does once it is open.
void whenFontDialogOpens(const std::function<void(QFontDialog&)>& work) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, work] {
        auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        work(*dialog);
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    poll->start(20);
}

void clickListEntry(QFontDialog& dialog, const QString& text) {
    for (QListView* list : dialog.findChildren<QListView*>()) {
        const QModelIndexList found = list->model()->match(
            list->model()->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchFixedString);
        if (found.isEmpty())
            continue;
        list->scrollTo(found.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(found.first()).center());
        return;
    }
    QFAIL(qPrintable("no entry " + text));
}

void tick(QFontDialog& dialog, const QString& caption) {
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
        if (box->text().remove('&') == caption) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
            return;
        }
    }
    QFAIL(qPrintable("no box " + caption));
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    // Closing the window ends the application's event loop, and from then on
    // every dialog or menu would close as soon as it opened. Running the
    // application's loop once more, and ending it, lets them open again.
    void init() {
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
    void realFontDialogKeepsOrChangesTheFont_data();
    void realFontDialogKeepsOrChangesTheFont();
    void tabFollowsTheWindowAndKeysActLikeClicks_data();
    void tabFollowsTheWindowAndKeysActLikeClicks();
    void untrappedFailuresNameTheCallersLine_data();
    void untrappedFailuresNameTheCallersLine();
    void wheelScrollsTheCanvas_data();
    void wheelScrollsTheCanvas();
    void objectsOffTheCanvasComeBack();
    void windowDetails();
    void browseFindsPicturesOfEachKind_data();
    void browseFindsPicturesOfEachKind();
    void outlineWidthsReadAsEnglish();
};

void DialogsTest::realFontDialogKeepsOrChangesTheFont_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::newRow("OK unchanged keeps the name") << ""
                                                 << "TextLine1 Name"
                                                 << "Arial";
    QTest::newRow("OK unchanged keeps bold") << ""
                                             << "TextLine1 Bold"
                                             << "True";
    QTest::newRow("OK unchanged keeps the size") << ""
                                                 << "TextLine1 Size"
                                                 << "11.25";
    QTest::newRow("OK unchanged keeps upright") << ""
                                                << "TextLine1 Italic"
                                                << "False";
    QTest::newRow("italic chosen") << "Bold Italic"
                                   << "TextLine1 Italic"
                                   << "True";
    QTest::newRow("italic keeps the name") << "Bold Italic"
                                           << "TextLine1 Name"
                                           << "Arial";
    QTest::newRow("underline ticked") << "Underline"
                                      << "TextLine1 Underline"
                                      << "True";
    QTest::newRow("strikeout ticked") << "Strikeout"
                                      << "TextLine1 Strike"
                                      << "True";
    QTest::newRow("other family") << "DejaVu Serif"
                                  << "TextLine1 Name"
                                  << "DejaVu Serif";
}

void DialogsTest::realFontDialogKeepsOrChangesTheFont() {
    QFETCH(QString, action);
    QFETCH(QString, key);
    QFETCH(QString, stored);
    Sandbox sandbox;
    sandbox.setSetting("TextLine1 Size", "11.25");
    FormFixture f(sandbox);
    QtDialogPresenter real(f.form.get());
    f.form->CommonDialog1.setPresenter(real);
    whenFontDialogOpens([&action](QFontDialog& dialog) {
        if (action == QLatin1String("Underline") || action == QLatin1String("Strikeout"))
            tick(dialog, action);
        else if (!action.isEmpty())
            clickListEntry(dialog, action);
    });
    f.form->textLines().Font_Click(0);
    QVERIFY2(f.messages.messages.empty(), qPrintable(f.messages.texts().join('|')));
    QCOMPARE(sandbox.setting(key), stored);
    // The canvas line carries every effect the dialog returned.
    const QFont label = f.form->canvas->lblA[0]->font();
    QCOMPARE(label.underline(), action == QLatin1String("Underline"));
    QCOMPARE(label.strikeOut(), action == QLatin1String("Strikeout"));
}

void DialogsTest::tabFollowsTheWindowAndKeysActLikeClicks_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("Alt+B browses") << int(Qt::Key_B) << int(Qt::AltModifier) << "open";
    // Alt+F is the File menu: the first Font button underlines its N.
    QTest::newRow("Alt+N font of line 1") << int(Qt::Key_N) << int(Qt::AltModifier) << "font";
    QTest::newRow("Alt+O font of line 2") << int(Qt::Key_O) << int(Qt::AltModifier) << "font";
    QTest::newRow("Alt+C colour of line 1") << int(Qt::Key_C) << int(Qt::AltModifier) << "color";
    QTest::newRow("Alt+L colour of line 2") << int(Qt::Key_L) << int(Qt::AltModifier) << "color";
    QTest::newRow("Alt+S saves") << int(Qt::Key_S) << int(Qt::AltModifier) << "save";
    QTest::newRow("Ctrl+S saves") << int(Qt::Key_S) << int(Qt::ControlModifier) << "save";
    QTest::newRow("Ctrl+O browses") << int(Qt::Key_O) << int(Qt::ControlModifier) << "open";
    QTest::newRow("Alt+2 hides line 2") << int(Qt::Key_2) << int(Qt::AltModifier) << "";
    QTest::newRow("Ctrl+Q closes") << int(Qt::Key_Q) << int(Qt::ControlModifier) << "";
}

void DialogsTest::tabFollowsTheWindowAndKeysActLikeClicks() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, dialog);
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    // Tab walks the window row by row, back round to the picture path.
    QCOMPARE(QApplication::focusWidget(), form.Text1);
    const QList<QWidget*> expected = {form.PushButton6, form.TextLine[0], form.PushButton1,
                                      form.PushButton3, form.TextLine[1], form.PushButton2,
                                      form.PushButton4, form.chkShowA,    form.chkShowB,
                                      form.spnSize,     form.PushButton5, form.canvas->Picture2,
                                      form.ListView1,   form.Text1};
    QList<QWidget*> walked;
    while (walked.size() < expected.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        // On the canvas Tab first walks its objects, then moves on.
        if (now != form.canvas->HScroll1 && now != form.canvas->VScroll1 &&
            (walked.isEmpty() || walked.constLast() != now))
            walked << now;
    }
    QCOMPARE(walked, expected);

    QTest::keyClick(&form, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    if (!dialog.isEmpty()) {
        QTRY_COMPARE(f.dialogs.calls.size(), std::size_t(1));
        QCOMPARE(f.dialogs.calls[0].kind, dialog);
    } else if (key == Qt::Key_2) {
        QTRY_VERIFY(form.canvas->lblA[1]->isHidden());
        QCOMPARE(sandbox.setting("TextLine2 Show"), QStringLiteral("0"));
    } else {
        QTRY_VERIFY(!form.isVisible());
    }
}

void DialogsTest::untrappedFailuresNameTheCallersLine_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("where");
    QTest::newRow("start-up sets the path") << ""
                                            << ""
                                            << "Form_Load at line 128";
    QTest::newRow("start-up sets text 2") << ""
                                          << ""
                                          << "Form_Load at line 140";
    QTest::newRow("start-up clears a show box") << "0"
                                                << ""
                                                << "Form_Load at line 146";
    QTest::newRow("browse sets the path") << ""
                                          << "browse"
                                          << "PushButton6_Click at line 112";
    QTest::newRow("gallery sets the path") << ""
                                           << "gallery"
                                           << "ListView1_Click at line 102";
    QTest::newRow("the user types") << ""
                                    << "type"
                                    << "TextLine_Change at line 0";
}

void DialogsTest::untrappedFailuresNameTheCallersLine() {
    QFETCH(QString, stored);
    QFETCH(QString, action);
    QFETCH(QString, where);
    Sandbox sandbox;
    const QString picture =
        sandbox.writeImage("logos/one.jpg", test::solidImage(20, 10, Qt::red), "JPEG");
    ReadOnlyStore settings;
    if (!stored.isEmpty())
        settings.values.insert("TextLine1 Show", stored);
    test::RecordingMessages messages;
    test::ScriptedDialogs dialogs;
    dialogs.files.push_back(picture);
    Form1 form(AppServices{settings, messages, dialogs, sandbox.appFolder(), {}, {}, {}});
    form.Form_Load();
    messages.clear();
    if (action == QLatin1String("browse"))
        form.imageSource().PushButton6_Click();
    if (action == QLatin1String("gallery")) {
        form.ListView1->setCurrentIndex(form.ListView1->model()->index(0, 0));
        form.imageSource().ListView1_Click();
    }
    if (action == QLatin1String("type"))
        form.TextLine[0]->setText("typed");
    if (action.isEmpty()) {
        messages.clear();
        Form1 again(AppServices{settings, messages, dialogs, sandbox.appFolder(), {}, {}, {}});
        again.Form_Load();
    }
    QStringList reports;
    for (const auto& report : messages.reports())
        reports << report.text.section("\r\n", 1).section('\r', 0, 0);
    QVERIFY2(reports.contains("in Vantelo2021/08/31.Form1." + where),
             qPrintable(reports.join('|')));
    // Only a handler the user raised directly has no caller's line to name.
    for (const QString& report : reports)
        QVERIFY2(!report.endsWith(" line 0") || action == QLatin1String("type"),
                 qPrintable(report));
}

void DialogsTest::wheelScrollsTheCanvas_data() {
    QTest::addColumn<int>("notches");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<bool>("fromBottom");
    QTest::newRow("one notch down") << -1 << false << false;
    QTest::newRow("one notch up from the bottom") << 1 << false << true;
    QTest::newRow("far down stops at the end") << -100 << false << false;
    QTest::newRow("up at the top stays") << 1 << false << false;
    QTest::newRow("shift moves sideways only") << -1 << true << false;
}

void DialogsTest::wheelScrollsTheCanvas() {
    QFETCH(int, notches);
    QFETCH(bool, shift);
    QFETCH(bool, fromBottom);
    Sandbox sandbox;
    FormFixture f(sandbox);
    Canvas& canvas = *f.form->canvas;
    canvas.pArea->place().setHeight(3465 + 5000);
    canvas.SetScrollBars();
    QCOMPARE(canvas.VScroll1->maximum(), 500);
    if (fromBottom)
        canvas.VScroll1->setValue(canvas.VScroll1->maximum());
    const int start = canvas.VScroll1->value();

    // About three lines of text a notch, in scroll steps of 10 twips.
    const double lineTwips = QFontMetrics(canvas.Picture2->font()).lineSpacing() * 15.0;
    const int notchSteps = int(QApplication::wheelScrollLines() * lineTwips / 10);
    QVERIFY(notchSteps > 40 && notchSteps < 120);
    const QPoint at = canvas.lblA[0]->rect().center();
    QWheelEvent event(at, canvas.lblA[0]->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, shift ? Qt::ShiftModifier : Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(canvas.lblA[0], &event);

    // The horizontal bar is disabled, so Shift moves nothing.
    const int expected =
        shift ? start : std::clamp(start - notches * notchSteps, 0, canvas.VScroll1->maximum());
    QCOMPARE(canvas.VScroll1->value(), expected);
    // The bar's own handler moved the canvas: offset = -(step x value).
    QCOMPARE(canvas.pArea->place().Top(), float(-10 * expected));
    QCOMPARE(canvas.VScroll1->maximum(), 500);
}

void DialogsTest::objectsOffTheCanvasComeBack() {
    Sandbox sandbox;
    sandbox.setSetting("Image Left", "-37320");
    sandbox.setSetting("TextLine1 Top", "9000");
    FormFixture f(sandbox);
    Canvas& canvas = *f.form->canvas;
    // At start: back on the canvas, and the stored place follows.
    QCOMPARE(canvas.imgLogo->place().Left(), 0.f);
    QCOMPARE(sandbox.setting("Image Left"), QStringLiteral("0"));
    const float bottom = canvas.pArea->place().Height() - canvas.lblA[1]->place().Height();
    QCOMPARE(canvas.lblA[1]->place().Top(), bottom);
    QCOMPARE(sandbox.setting("TextLine1 Top"), QString::number(double(bottom)));
    QCOMPARE(canvas.lblA[0]->place().Left(), 1755.f);

    // A picture wider than the canvas, dragged far up-left, ends with its far
    // edge on the canvas's; a small picture chosen next comes back inside.
    const QString wide =
        sandbox.writeImage("wide.bmp", test::solidImage(3000, 20, Qt::blue), "BMP");
    const QString small = sandbox.writeImage("small.bmp", test::solidImage(20, 20, Qt::red), "BMP");
    f.dialogs.files = {wide, small};
    f.form->imageSource().PushButton6_Click();
    canvas.imgLogo_MouseDown(1, 0, 0);
    canvas.imgLogo_MouseMove(1, -600000, -600000);
    canvas.imgLogo_MouseUp(1, 0, 0);
    QCOMPARE(canvas.imgLogo->place().Left(), 7680.f - 45000.f);
    f.form->imageSource().PushButton6_Click();
    QCOMPARE(canvas.imgLogo->place().Left(), 0.f);
    QCOMPARE(sandbox.setting("Image Left"), QStringLiteral("0"));
    QVERIFY2(f.messages.messages.empty(), qPrintable(f.messages.texts().join('|')));
}

void DialogsTest::windowDetails() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // The check box shows the frame's background, no fill of its own.
    const QImage shot = form.grab().toImage();
    const QPoint gap = form.chkShowA->mapTo(&form, QPoint(form.chkShowA->width() - 2, 1));
    const QPoint frame = form.chkShowA->mapTo(&form, QPoint(-3, 1));
    QCOMPARE(shot.pixelColor(gap), shot.pixelColor(frame));

    // The hand belongs to the push buttons; over the check boxes and the
    // gallery header the arrow shows whatever the window's setting is.
    form.PushButton_MouseMove();
    QCOMPARE(form.MousePointer(), 99);
    QCOMPARE(form.chkShowA->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(form.ListView1->header()->cursor().shape(), Qt::ArrowCursor);

    // An italic line is as wide as its ink, so its last letter is not cut.
    CanvasLabel* label = form.canvas->lblA[0];
    QFont italic(QStringLiteral("Liberation Serif"), 28);
    italic.setItalic(true);
    label->setLabelFont(italic);
    label->setCaption(QStringLiteral("Wolf"));
    const QFontMetrics metrics(italic);
    QVERIFY(metrics.boundingRect("Wolf").right() >= metrics.horizontalAdvance("Wolf"));
    QVERIFY(label->width() > metrics.boundingRect("Wolf").right());

    // A build without a home page never visits one.
    test::RecordingMessages messages;
    test::ScriptedDialogs dialogs;
    QStringList opened;
    Form1 noHome(AppServices{f.settings, messages, dialogs, sandbox.appFolder(),
                             [] { return 0.0601; },
                             [&opened](const QString& url) { opened << url; }, QString()});
    noHome.Form_Load();
    QVERIFY(opened.isEmpty());
    QVERIFY(builtInHomePage().isEmpty());
}

void DialogsTest::browseFindsPicturesOfEachKind_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("listed");
    QTest::newRow("pasted PNG") << "Pasted 2026-01-02 10.11.12.png" << true;
    QTest::newRow("upper-case PNG") << "SCAN.PNG" << true;
    QTest::newRow("JPEG") << "photo.jpeg" << true;
    QTest::newRow("GIF") << "anim.gif" << true;
    QTest::newRow("text") << "notes.txt" << false;
}

// Qt's own Open dialog, as Browse opens it: a pasted picture is found again
// and chosen, while the gallery keeps to JPEG files.
void DialogsTest::browseFindsPicturesOfEachKind() {
    QFETCH(QString, name);
    QFETCH(bool, listed);
    Sandbox sandbox;
    const QString path =
        sandbox.writeImage("logos/" + name, test::solidImage(30, 20, Qt::magenta), "PNG");
    // Always listed, so that the dialog is seen to have read the folder.
    sandbox.writeImage("logos/keep.jpg", test::solidImage(8, 8, Qt::gray), "JPEG");
    FormFixture f(sandbox);
    QtDialogPresenter real(f.form.get());
    f.form->CommonDialog1.setPresenter(real);
    bool shown = false;
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
        // The folder is read in the background; wait until it has been.
        if (list == nullptr || list->model()->rowCount(list->rootIndex()) == 0)
            return;
        poll->stop();
        poll->deleteLater();
        const QModelIndexList found =
            list->model()->match(list->model()->index(0, 0, list->rootIndex()), Qt::DisplayRole,
                                 name, 1, Qt::MatchFixedString);
        shown = !found.isEmpty() && !list->isRowHidden(found.first().row());
        if (!shown) {
            dialog->reject();
            return;
        }
        list->setCurrentIndex(found.first());
        QTest::keyClick(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")),
                        Qt::Key_Return);
    });
    poll->start(20);
    f.form->PushButton6->click();
    QCOMPARE(shown, listed);
    QCOMPARE(f.form->Text1->text() == path, listed);
    if (listed)
        QCOMPARE(f.form->canvas->imgLogo->Picture().size(), QSize(30, 20));
    for (int row = 0; row < f.form->ListView1->model()->rowCount(); ++row)
        QVERIFY(f.form->ListView1->model()->index(row, 0).data().toString().endsWith(".jpg"));
}

// The outline choices of the canvas's menu, as the menu shows them.
void DialogsTest::outlineWidthsReadAsEnglish() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    f.form->canvas->select(f.form->canvas->lblA[0]);
    QStringList widths;
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        poll->stop();
        poll->deleteLater();
        for (QAction* action : menu->actions()) {
            if (action->menu() != nullptr &&
                action->text().remove('&').startsWith(QStringLiteral("Outline of Text Line 1"))) {
                for (QAction* width : action->menu()->actions())
                    if (!width->isSeparator())
                        widths << width->text();
            }
        }
        menu->close();
    });
    poll->start(20);
    f.form->showCanvasMenu(f.form->mapToGlobal(QPoint(100, 100)));
    QCOMPARE(widths.mid(0, 4), (QStringList{"None", "1 Pixel", "2 Pixels", "3 Pixels"}));
    QCOMPARE(widths.value(8), QStringLiteral("8 Pixels"));
}

QTEST_MAIN(DialogsTest)
#include "test_dialogs.moc"
