#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QtTest>
#include "gallery/galleryview.h"

#include "app/form1.h"
#include "canvas/canvas.h"
#include "editing/textlines.h"
#include "platform/messages.h"
#include "support/testsupport.h"

using namespace vantelo;
using test::FormFixture;
using test::Sandbox;

namespace {

// Puts the program's own default picture into the sandbox.
void installDefaultPicture(Sandbox& sandbox) {
    QFile shipped(qEnvironmentVariable("VANTELO_APP_DIR") + QStringLiteral("/logos/tarnwick.gif"));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    sandbox.writeFile(QStringLiteral("logos/tarnwick.gif"), shipped.readAll());
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void firstRunShowsTheDesignAsLaidOut();
    void restartRestoresEveryChoice();
    void tallPictureGrowsTheCanvas();
    void storedValuesThatMakeNoSense_data();
    void storedValuesThatMakeNoSense();
    void pictureIsReadByItsContent_data();
    void pictureIsReadByItsContent();
    void unwritableSettingsDoNotStopTheWindow();
    void homePageVisitOnlyOnSeven_data();
    void homePageVisitOnlyOnSeven();
    void titleRule_data();
    void titleRule();
    void skinRecolorsThenStyles();
    void windowLayout();
    void pointerFeedback();
    void brokenCursorFileIsReported_data();
    void brokenCursorFileIsReported();
};

void StartupTest::firstRunShowsTheDesignAsLaidOut() {
    Sandbox sandbox;
    installDefaultPicture(sandbox);
    FormFixture f(sandbox);
    Form1& form = *f.form;
    Canvas& canvas = *form.canvas;

    QVERIFY2(f.messages.messages.empty(), qPrintable(f.messages.texts().join('|')));
    QCOMPARE(form.windowTitle(), QStringLiteral("Vantelo"));
    QCOMPARE(form.TextLine[0]->text(), QStringLiteral("Your text 1 here"));
    QCOMPARE(form.TextLine[1]->text(), QStringLiteral("Your text 2 here"));
    QCOMPARE(canvas.lblA[0]->text(), QStringLiteral("Your text 1 here"));
    QCOMPARE(canvas.lblA[0]->place().Left(), 1755.f);
    QCOMPARE(canvas.lblA[0]->place().Top(), 990.f);
    QCOMPARE(canvas.lblA[1]->place().Left(), 5280.f);
    QCOMPARE(canvas.lblA[1]->place().Top(), 2520.f);
    QCOMPARE(canvas.imgLogo->place().Left(), 2475.f);
    QCOMPARE(canvas.imgLogo->place().Top(), 810.f);
    QCOMPARE(canvas.imgLogo->Picture().size(), QSize(196, 135));
    // 810 + 135 px fits in 3435 twips: no growth.
    QCOMPARE(canvas.pArea->place().Height(), 3435.f);
    QVERIFY(!canvas.lblA[0]->isHidden() && !canvas.lblA[1]->isHidden());
    QCOMPARE(form.chkShowA->checkState(), Qt::Checked);
    for (QLineEdit* edit : form.TextLine) {
        QCOMPARE(edit->font().family(), QStringLiteral("Arial"));
        QCOMPARE(edit->font().pointSizeF(), 9.0);
        QVERIFY(edit->font().bold());
        QCOMPARE(lineprops::color(edit), 0);
    }
    QCOMPARE(canvas.lblA[1]->font().pointSizeF(), 9.0);
    QCOMPARE(form.Text1->text(),
             QDir::toNativeSeparators(sandbox.appFolder() + QStringLiteral("/logos/tarnwick.gif")));

    QStringList keys = sandbox.settingKeys();
    keys.sort();
    QCOMPARE(keys, QStringList({"Image", "TextLine0", "TextLine1"}));
    QCOMPARE(sandbox.setting("TextLine1"), QStringLiteral("Your text 2 here"));
    QCOMPARE(f.form->ListView1->headerText(), QStringLiteral("Logo Images"));
    QCOMPARE(applicationTitle(), QStringLiteral("Vantelo Logo"));
}

void StartupTest::restartRestoresEveryChoice() {
    Sandbox sandbox;
    const QString picture =
        sandbox.writeImage("art/red.bmp", test::solidImage(40, 30, Qt::red), "BMP");
    sandbox.setSetting("Image", picture);
    sandbox.setSetting("TextLine0", "Acme");
    sandbox.setSetting("TextLine1", "");
    sandbox.setSetting("TextLine2 Show", "0");
    sandbox.setSetting("TextLine1 Bold", "False");
    sandbox.setSetting("TextLine1 Italic", "True");
    sandbox.setSetting("TextLine1 Name", "Liberation Serif");
    sandbox.setSetting("TextLine1 Size", "12");
    sandbox.setSetting("TextLine1 Underline", "True");
    sandbox.setSetting("TextLine1 Color", "255");
    sandbox.setSetting("TextLine2 Strike", "-1");
    sandbox.setSetting("TextLine0 Left", "300");
    sandbox.setSetting("TextLine1 Top", "11.25");
    sandbox.setSetting("Image Left", "15");
    sandbox.setSetting("Image Top", "30");

    FormFixture f(sandbox);
    Form1& form = *f.form;
    Canvas& canvas = *form.canvas;
    QVERIFY2(f.messages.messages.empty(), qPrintable(f.messages.texts().join('|')));
    QCOMPARE(canvas.imgLogo->Picture().size(), QSize(40, 30));
    QCOMPARE(canvas.imgLogo->place().Left(), 15.f);
    QCOMPARE(canvas.imgLogo->place().Top(), 30.f);
    QCOMPARE(canvas.lblA[0]->text(), QStringLiteral("Acme"));
    QCOMPARE(canvas.lblA[1]->text(), QString());
    QVERIFY(canvas.lblA[1]->isHidden());
    QCOMPARE(form.chkShowB->checkState(), Qt::Unchecked);
    const QFont font = canvas.lblA[0]->font();
    QVERIFY(!font.bold());
    QVERIFY(font.italic());
    QVERIFY(font.underline());
    QCOMPARE(font.family(), QStringLiteral("Liberation Serif"));
    QCOMPARE(font.pointSizeF(), 12.0);
    QCOMPARE(canvas.lblA[0]->ForeColor(), QColor(Qt::red));
    QVERIFY(canvas.lblA[1]->font().strikeOut());
    QCOMPARE(canvas.lblA[0]->place().Left(), 300.f);
    QCOMPARE(canvas.lblA[1]->place().Top(), 11.25f);
    // Restoring writes back only what the change handlers write.
    QCOMPARE(sandbox.setting("TextLine1 Color"), QStringLiteral("255"));
    QCOMPARE(sandbox.setting("TextLine2 Show"), QStringLiteral("0"));
}

void StartupTest::tallPictureGrowsTheCanvas() {
    Sandbox sandbox;
    const QString picture =
        sandbox.writeImage("tall.jpg", test::solidImage(100, 300, Qt::blue), "JPEG");
    sandbox.setSetting("Image", picture);
    FormFixture f(sandbox);
    // Grown at its layout top: 810 + 300 px * 15 + 50.
    QCOMPARE(f.form->canvas->pArea->place().Height(), 810.f + 4500.f + 50.f);
}

void StartupTest::storedValuesThatMakeNoSense_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("report");  // "description at line", or empty for none
    QTest::newRow("bold yes") << "TextLine1 Bold"
                              << "yes"
                              << "Type mismatch 150";
    QTest::newRow("show abc") << "TextLine1 Show"
                              << "abc"
                              << "";
    QTest::newRow("show 1.6") << "TextLine1 Show"
                              << "1.6"
                              << "";
    QTest::newRow("show 2.5") << "TextLine1 Show"
                              << "2.5"
                              << "";
    QTest::newRow("show 3") << "TextLine1 Show"
                            << "3"
                            << "Invalid property value 146";
    QTest::newRow("show huge") << "TextLine2 Show"
                               << "99999"
                               << "Overflow 148";
    QTest::newRow("colour overflow") << "TextLine1 Color"
                                     << "99999999999"
                                     << "Overflow 162";
    QTest::newRow("colour text") << "TextLine2 Color"
                                 << "blue"
                                 << "Type mismatch 176";
    QTest::newRow("size comma") << "TextLine1 Size"
                                << "11,25"
                                << "";
    QTest::newRow("size zero") << "TextLine2 Size"
                               << "0"
                               << "Invalid property value 170";
    QTest::newRow("empty font name") << "TextLine1 Name"
                                     << ""
                                     << "Invalid property value 154";
    QTest::newRow("position text") << "Image Left"
                                   << "left"
                                   << "Type mismatch 194";
    QTest::newRow("position far away") << "Image Left"
                                       << "1e30"
                                       << "Overflow 194";
    QTest::newRow("position not a number") << "Image Left"
                                           << "nan"
                                           << "Type mismatch 194";
    QTest::newRow("missing picture") << "Image"
                                     << "/nowhere/gone.jpg"
                                     << "";
    QTest::newRow("picture is text") << "Image"
                                     << "@corrupt"
                                     << "Invalid picture 132";
    // Windows refuses a name with a wildcard before looking for the file.
#ifdef Q_OS_WIN
    QTest::newRow("wildcard path") << "Image"
                                   << "@wildcard"
                                   << "Bad file name or number 132";
#else
    QTest::newRow("wildcard path") << "Image"
                                   << "@wildcard"
                                   << "File not found 132";
#endif
}

void StartupTest::storedValuesThatMakeNoSense() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, report);
    Sandbox sandbox;
    if (value == QLatin1String("@corrupt"))
        value = sandbox.writeFile("logos/fake.gif", "GIF89a? this is only text");
    if (value == QLatin1String("@wildcard")) {
        sandbox.writeFile("logos/only.txt", "text, not a picture");
        value = sandbox.appFolder() + QStringLiteral("/logos/*.txt");
    }
    sandbox.setSetting(key, value);
    FormFixture f(sandbox);
    Form1& form = *f.form;
    Canvas& canvas = *form.canvas;

    const auto reports = f.messages.reports();
    if (report.isEmpty()) {
        QVERIFY2(reports.empty(), qPrintable(f.messages.texts().join('|')));
    } else {
        QCOMPARE(reports.size(), std::size_t(1));
        const QString description = report.section(' ', 0, -2);
        QVERIFY2(reports[0].text.startsWith(description + "\r\n"), qPrintable(reports[0].text));
        QCOMPARE(test::RecordingMessages::lineOf(reports[0]), report.section(' ', -1));
    }

    // The window opened whatever the value held, with the layout value kept
    // where the value could not be used.
    if (key == QLatin1String("TextLine1 Bold"))
        QVERIFY(form.TextLine[0]->font().bold());
    if (value == QLatin1String("abc")) {
        QVERIFY(canvas.lblA[0]->isHidden());
        QCOMPARE(form.chkShowA->checkState(), Qt::Unchecked);
    }
    if (value == QLatin1String("1.6") || value == QLatin1String("2.5")) {
        QVERIFY(!canvas.lblA[0]->isHidden());
        QCOMPARE(form.chkShowA->checkState(), Qt::PartiallyChecked);
    }
    if (value == QLatin1String("3")) {
        QVERIFY(!canvas.lblA[0]->isHidden());
        QCOMPARE(form.chkShowA->checkState(), Qt::Checked);
    }
    if (value == QLatin1String("11,25"))
        QCOMPARE(form.TextLine[0]->font().pointSizeF(), 11.0);
    if (key == QLatin1String("Image")) {
        QCOMPARE(canvas.imgLogo->Picture().size(), QSize(196, 135));
        QCOMPARE(form.Text1->text(), value);
        QCOMPARE(canvas.pArea->place().Height(), 3435.f);
    }
    if (key == QLatin1String("Image Left"))
        QCOMPARE(canvas.imgLogo->place().Left(), 2475.f);
}

void StartupTest::pictureIsReadByItsContent_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("PNG named .gif") << "logo.gif" << QByteArray("PNG");
    QTest::newRow("JPEG named .png") << "logo.png" << QByteArray("JPEG");
    QTest::newRow("BMP named .jpg") << "logo.jpg" << QByteArray("BMP");
    QTest::newRow("PPM, no known signature") << "logo.jpg" << QByteArray("PPM");
}

void StartupTest::pictureIsReadByItsContent() {
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    Sandbox sandbox;
    QImage picture(37, 21, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    sandbox.setSetting(QStringLiteral("Image"),
                       sandbox.writeImage(QStringLiteral("logos/") + name, picture, format));
    FormFixture f(sandbox);
    QVERIFY2(f.messages.reports().empty(), qPrintable(f.messages.texts().join('|')));
    QCOMPARE(f.form->canvas->imgLogo->Picture().size(), QSize(37, 21));
}

void StartupTest::unwritableSettingsDoNotStopTheWindow() {
    Sandbox sandbox;
    // The settings file's folder is a regular file: nothing can be written there.
    sandbox.writeFile("blocked", "x");
    FileSettingsStore settings(sandbox.appFolder() + QStringLiteral("/blocked/Vantelo.conf"));
    test::RecordingMessages messages;
    test::ScriptedDialogs dialogs;
    Form1 form(AppServices{settings, messages, dialogs, sandbox.appFolder(), {}, {}});
    form.Form_Load();
    form.TextLine[0]->setText("typed");
    form.TextLine[0]->setText("typed more");
    QCOMPARE(form.canvas->lblA[0]->text(), QStringLiteral("typed more"));
    // Start-up's own trap reports the writes its steps cause, at their lines;
    // typing is told once for each kind of failed write, not at every keystroke.
    const auto reports = messages.reports();
    QCOMPARE(reports.size(), std::size_t(4));
    QVERIFY(reports[0].text.startsWith(
        "Path not found\r\nin Vantelo2021/08/31.Form1.Form_Load at line 128\r"));
    QCOMPARE(test::RecordingMessages::lineOf(reports[1]), QStringLiteral("138"));
    QCOMPARE(test::RecordingMessages::lineOf(reports[2]), QStringLiteral("140"));
    QVERIFY(reports[3].text.contains("Form1.TextLine_Change"));
}

void StartupTest::homePageVisitOnlyOnSeven_data() {
    QTest::addColumn<double>("random");
    QTest::addColumn<int>("visits");
    QTest::newRow("n = 7") << 0.0601 << 1;
    QTest::newRow("n = 6") << 0.0599 << 0;
    QTest::newRow("n = 8") << 0.07 << 0;
    QTest::newRow("n = 100") << 0.9999 << 0;
}

void StartupTest::homePageVisitOnlyOnSeven() {
    QFETCH(double, random);
    QFETCH(int, visits);
    Sandbox sandbox;
    FormFixture f(sandbox, false);
    f.randomValue = random;
    f.form->Form_Load();
    QCOMPARE(f.openedUrls.size(), visits);
}

void StartupTest::titleRule_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("two words") << "Vantelo Composer"
                               << "Vantelo";
    QTest::newRow("three words") << "Vantelo Logo Composer"
                                 << "Vantelo Logo";
    QTest::newRow("no blank") << "Vantelo"
                              << "Vantelo";
    QTest::newRow("long") << "Vantelo Logo Composer For Small Firms And Large Ones Too"
                          << "Vantelo Logo Composer For Small Firms";
}

void StartupTest::titleRule() {
    QFETCH(QString, name);
    QFETCH(QString, title);
    QCOMPARE(titleFromProductName(name), title);
}

void StartupTest::skinRecolorsThenStyles() {
    Sandbox plain;
    FormFixture without(plain);
    QCOMPARE(without.form->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(without.form->styleSheet().isEmpty());

    Sandbox skinned;
    skinned.writeFile("x/o.cjs", "QPushButton { color: rgb(1, 2, 3); }");
    FormFixture with(skinned);
    QVERIFY(with.messages.messages.empty());
    QCOMPARE(with.form->styleSheet(), QStringLiteral("QPushButton { color: rgb(1, 2, 3); }"));
    QCOMPARE(with.form->Frame1->palette().color(QPalette::Window),
             with.form->palette().color(QPalette::Button));
    QCOMPARE(with.form->SkinFramework1.Options() & 1, 1);
}

void StartupTest::windowLayout() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    // The menu bar sits above the client area, which keeps the layout's size.
    const int bar = form.menuBar()->height();
    QVERIFY(bar > 0);
    QCOMPARE(form.size(), QSize(655, 598 + bar));
    QCOMPARE(form.clientArea()->geometry(), QRect(0, bar, 655, 598));
    QCOMPARE(form.menuBar()->geometry(), QRect(0, 0, 655, bar));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(form.Text1->geometry(), QRect(16, 20, 520, 23));
    QCOMPARE(form.Frame2->geometry(), QRect(8, 448, 640, 106));
    QCOMPARE(form.PushButton5->geometry(), QRect(8, 562, 640, 27));
    QCOMPARE(form.canvas->Picture2->geometry(), QRect(8, 8, 623, 231));
    QCOMPARE(form.PushButton5->font().pointSizeF(), 11.25);
    QVERIFY(form.canvas->picSave->geometry().left() >= form.width());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), form.Text1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form.PushButton6);
}

void StartupTest::pointerFeedback() {
    Sandbox sandbox;
    QFile cursor(qEnvironmentVariable("VANTELO_APP_DIR") + QStringLiteral("/HAND-M.CUR"));
    QVERIFY(cursor.open(QIODevice::ReadOnly));
    sandbox.writeFile("HAND-M.CUR", cursor.readAll());
    FormFixture f(sandbox);
    Form1& form = *f.form;
    QVERIFY(form.hasHandCursor());
    QCOMPARE(form.MousePointer(), 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(form.PushButton6, &move);
    QCOMPARE(form.MousePointer(), 99);
    QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
    QApplication::sendEvent(form.Frame1, &move);
    QCOMPARE(form.MousePointer(), 0);
    form.setMousePointer(11);
    QApplication::sendEvent(form.PushButton6, &move);
    QApplication::sendEvent(&form, &move);
    QCOMPARE(form.MousePointer(), 11);

    Sandbox bare;
    FormFixture g(bare);
    QVERIFY(!g.form->hasHandCursor());
    g.form->PushButton_MouseMove();
    QCOMPARE(g.form->MousePointer(), 99);
    QCOMPARE(g.form->cursor().shape(), Qt::ArrowCursor);
}

void StartupTest::brokenCursorFileIsReported_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("atStart");
    QTest::newRow("text") << QByteArray("only text") << true;
    // A cursor's header promising one 32 x 32 image that is not there: only
    // decoding finds that out, when the hand is first shown.
    QTest::newRow("header without image")
        << QByteArray("\0\0\2\0\1\0\x20\x20\0\0\5\0\5\0\x30\1\0\0\x16\0\0\0", 22) << false;
}

void StartupTest::brokenCursorFileIsReported() {
    QFETCH(QByteArray, content);
    QFETCH(bool, atStart);
    Sandbox sandbox;
    sandbox.writeFile("HAND-M.CUR", content);
    FormFixture f(sandbox);
    QCOMPARE(f.messages.reports().size(), std::size_t(atStart ? 1 : 0));
    f.form->PushButton_MouseMove();
    f.form->PushButton_MouseMove();
    const auto reports = f.messages.reports();
    QCOMPARE(reports.size(), std::size_t(1));
    QVERIFY2(reports[0].text.startsWith("Invalid picture"), qPrintable(reports[0].text));
    QCOMPARE(test::RecordingMessages::lineOf(reports[0]), QStringLiteral("106"));
    QVERIFY(!f.form->hasHandCursor());
    QCOMPARE(f.form->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
