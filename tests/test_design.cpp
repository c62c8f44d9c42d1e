#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "app/form1.h"
#include "canvas/canvas.h"
#include "editing/imagesource.h"
#include "editing/textlines.h"
#include "gallery/galleryview.h"
#include "support/testsupport.h"

using namespace vantelo;
using test::FormFixture;
using test::Sandbox;

namespace {

QByteArray jpegBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

// A JPEG whose frame header states another size than its scan holds.
QByteArray jpegDeclaring(int width, int height) {
    QByteArray bytes = jpegBytes(test::solidImage(8, 8, Qt::gray));
    const int frame = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    bytes[frame + 5] = char(height >> 8);
    bytes[frame + 6] = char(height & 0xFF);
    bytes[frame + 7] = char(width >> 8);
    bytes[frame + 8] = char(width & 0xFF);
    return bytes;
}

// A JPEG whose EXIF orientation says "turn a quarter clockwise to view".
QByteArray jpegTurnedByExif(const QImage& image) {
    const QByteArray exif(
        "\xFF\xE1\x00\x22"
        "Exif\0\0II*\0\x08\0\0\0"
        "\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0",
        36);
    return jpegBytes(image).insert(2, exif);
}

}  // namespace

class DesignTest : public QObject {
    Q_OBJECT
private slots:
    void typingFollowsOnTheCanvasAndIsStored();
    void textsSurviveARestartExactly_data();
    void textsSurviveARestartExactly();
    void showBoxesHideAndStore();
    void fontDialogStylesTheLine();
    void cancelledDialogsRewriteTheCurrentValues();
    void textBoxesShowTheFontWhole_data();
    void textBoxesShowTheFontWhole();
    void colourDialogColoursTheLine();
    void browsePlacesATallPictureWithinReach();
    void browseCancelChangesNothing();
    void pictureTooTallToScrollIsReported();
    void picturesLoadByContent_data();
    void picturesLoadByContent();
    void largeAndTurnedPicturesLoad_data();
    void largeAndTurnedPicturesLoad();
    void badPicturesReportAndKeepTheOldOne_data();
    void badPicturesReportAndKeepTheOldOne();
    void galleryClickPlacesTheEntry();
    void galleryKeysChooseTheEntry_data();
    void galleryKeysChooseTheEntry();
};

void DesignTest::typingFollowsOnTheCanvasAndIsStored() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.TextLine[0]->clear();
    QTest::keyClicks(form.TextLine[0], "Ace");
    QCOMPARE(form.canvas->lblA[0]->text(), QStringLiteral("Ace"));
    QCOMPARE(sandbox.setting("TextLine0"), QStringLiteral("Ace"));
    // The label sizes itself to its text.
    const float narrow = form.canvas->lblA[0]->place().Width();
    QTest::keyClicks(form.TextLine[0], " Corporation");
    QVERIFY(form.canvas->lblA[0]->place().Width() > narrow);

    form.TextLine[1]->selectAll();
    QTest::keyClick(form.TextLine[1], Qt::Key_Delete);
    QCOMPARE(sandbox.setting("TextLine1"), QString());
    QCOMPARE(form.canvas->lblA[1]->text(), QString());
    QVERIFY(!form.canvas->lblA[1]->isHidden());

    QTest::keyClicks(form.Text1, "/x");
    QCOMPARE(sandbox.setting("Image"), form.Text1->text());
    QVERIFY(sandbox.setting("Image").endsWith("/x"));
}

void DesignTest::textsSurviveARestartExactly_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("several thousand") << QString(6000, QChar(0x263A)) + QStringLiteral("!");
    QTest::newRow("right to left") << QStringLiteral("שלום مرحبا");
    QTest::newRow("combining") << QStringLiteral("Cafe\u0301 n\u0303");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks and signs") << QStringLiteral("  a=b; #c [d]  ");
}

void DesignTest::textsSurviveARestartExactly() {
    QFETCH(QString, text);
    Sandbox sandbox;
    {
        FormFixture f(sandbox);
        f.form->TextLine[1]->setText(text);
    }
    FormFixture again(sandbox);
    QCOMPARE(again.form->TextLine[1]->text(), text);
    QCOMPARE(again.form->canvas->lblA[1]->text(), text);
}

void DesignTest::showBoxesHideAndStore() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.chkShowB, Qt::LeftButton, {}, QPoint(6, form.chkShowB->height() / 2));
    QCOMPARE(form.chkShowB->checkState(), Qt::Unchecked);
    QVERIFY(form.canvas->lblA[1]->isHidden());
    QCOMPARE(sandbox.setting("TextLine2 Show"), QStringLiteral("0"));
    QTest::mouseClick(form.chkShowB, Qt::LeftButton, {}, QPoint(6, form.chkShowB->height() / 2));
    QVERIFY(!form.canvas->lblA[1]->isHidden());
    QCOMPARE(sandbox.setting("TextLine2 Show"), QStringLiteral("1"));
    QVERIFY(!sandbox.settingKeys().contains("TextLine1 Show"));

    // A greyed box, restored from a stored 2, ticks on the next click.
    lineprops::setCheckValue(form.chkShowA, 2);
    QCOMPARE(sandbox.setting("TextLine1 Show"), QStringLiteral("2"));
    // Clicks closer together than the double-click interval can arrive as a
    // double click, which a loaded machine made this one intermittently.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(form.chkShowA, Qt::LeftButton, {}, QPoint(6, form.chkShowA->height() / 2));
    QCOMPARE(sandbox.setting("TextLine1 Show"), QStringLiteral("1"));
}

void DesignTest::fontDialogStylesTheLine() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    lineprops::setUnderline(form.TextLine[0], true);
    QFont chosen(QStringLiteral("Liberation Serif"));
    chosen.setPointSizeF(12);
    chosen.setBold(true);
    chosen.setItalic(true);
    chosen.setUnderline(true);
    f.dialogs.fonts.push_back(chosen);
    QTest::mouseClick(form.PushButton1, Qt::LeftButton);

    // The dialog starts from the line's own font.
    QCOMPARE(f.dialogs.lastInitialFont.family(), QStringLiteral("Arial"));
    QVERIFY(f.dialogs.lastInitialFont.bold());
    QVERIFY(f.dialogs.lastInitialFont.underline());
    QCOMPARE(form.CommonDialog1.Flags, 3);

    const QFont label = form.canvas->lblA[0]->font();
    QCOMPARE(label.family(), QStringLiteral("Liberation Serif"));
    QCOMPARE(label.pointSizeF(), 12.0);
    QVERIFY(label.bold() && label.italic());
    QVERIFY(label.underline());  // the effects come back from the dialog
    QCOMPARE(lineprops::font(form.TextLine[0]), label);
    QCOMPARE(sandbox.setting("TextLine1 Size"), QStringLiteral("12"));
    QCOMPARE(sandbox.setting("TextLine1 Bold"), QStringLiteral("True"));
    QCOMPARE(sandbox.setting("TextLine1 Italic"), QStringLiteral("True"));
    QCOMPARE(sandbox.setting("TextLine1 Name"), QStringLiteral("Liberation Serif"));
    QCOMPARE(sandbox.setting("TextLine1 Underline"), QStringLiteral("True"));
    QCOMPARE(sandbox.setting("TextLine1 Strike"), QStringLiteral("False"));
    // Line 2 is untouched.
    QCOMPARE(form.canvas->lblA[1]->font().family(), QStringLiteral("Arial"));
    QVERIFY(!sandbox.settingKeys().contains("TextLine2 Size"));

    FormFixture again(sandbox);
    QCOMPARE(again.form->canvas->lblA[0]->font(), label);

    QFont half(QStringLiteral("Arial"));
    half.setPointSizeF(11.25);
    f.dialogs.fonts.push_back(half);
    form.textLines().Font_Click(1);
    QCOMPARE(sandbox.setting("TextLine2 Size"), QStringLiteral("11.25"));
    QCOMPARE(sandbox.setting("TextLine2 Bold"), QStringLiteral("False"));
}

void DesignTest::cancelledDialogsRewriteTheCurrentValues() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    const QFont before = form.TextLine[1]->font();
    form.textLines().Font_Click(1);  // nothing queued: cancelled
    QCOMPARE(form.TextLine[1]->font(), before);
    QCOMPARE(sandbox.setting("TextLine2 Bold"), QStringLiteral("True"));
    QCOMPARE(sandbox.setting("TextLine2 Italic"), QStringLiteral("False"));
    QCOMPARE(sandbox.setting("TextLine2 Name"), QStringLiteral("Arial"));
    QCOMPARE(sandbox.setting("TextLine2 Size"), QStringLiteral("9"));
    QCOMPARE(sandbox.setting("TextLine2 Strike"), QStringLiteral("False"));
    QCOMPARE(sandbox.setting("TextLine2 Underline"), QStringLiteral("False"));
    form.textLines().Color_Click(1);
    QCOMPARE(sandbox.setting("TextLine2 Color"), QStringLiteral("0"));
    QVERIFY(f.messages.messages.empty());
}

void DesignTest::colourDialogColoursTheLine() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    f.dialogs.colors.push_back(QColor(255, 0, 0));
    QTest::mouseClick(form.PushButton3, Qt::LeftButton);
    QCOMPARE(sandbox.setting("TextLine1 Color"), QStringLiteral("255"));
    QCOMPARE(form.canvas->lblA[0]->ForeColor(), QColor(255, 0, 0));
    QCOMPARE(lineprops::color(form.TextLine[0]), 255);
    f.dialogs.colors.push_back(QColor(0, 0, 255));
    QTest::mouseClick(form.PushButton4, Qt::LeftButton);
    QCOMPARE(sandbox.setting("TextLine2 Color"), QString::number(0xFF0000));
    // The next dialog starts from the line's colour.
    form.textLines().Color_Click(0);
    QCOMPARE(f.dialogs.lastInitialColor, QColor(255, 0, 0));

    FormFixture again(sandbox);
    QCOMPARE(again.form->canvas->lblA[1]->ForeColor(), QColor(0, 0, 255));
}

void DesignTest::browsePlacesATallPictureWithinReach() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    Canvas& canvas = *form.canvas;
    const QString tall =
        sandbox.writeImage("art/tall.bmp", test::solidImage(50, 600, Qt::green), "BMP");
    f.dialogs.files.push_back(tall);
    QTest::mouseClick(form.PushButton6, Qt::LeftButton);

    QCOMPARE(f.dialogs.calls.back().kind, QStringLiteral("open"));
    QCOMPARE(f.dialogs.calls.back().folder, sandbox.appFolder() + QStringLiteral("/logos/"));
    QCOMPARE(f.dialogs.calls.back().title, QStringLiteral("Select Image"));
    QCOMPARE(form.CommonDialog1.Filter,
             QStringLiteral("Image Files (*.jpg;*.jpeg;*.bmp;*.dib;*.gif;*.png;)|"
                            "*.jpg;*.jpeg;*.bmp;*.dib;*.gif;*.png;|"));
    QCOMPARE(canvas.imgLogo->Picture().size(), QSize(50, 600));
    QCOMPARE(form.Text1->text(), tall);
    QCOMPARE(sandbox.setting("Image"), tall);
    QCOMPARE(canvas.pArea->place().Height(), 810.f + 9000.f + 50.f);
    // The canvas grew before the refit, so the scroll range already reaches
    // the picture's bottom.
    QVERIFY(canvas.VScroll1->isEnabled());
    const float reach = canvas.VScroll1->maximum() * canvas.ScrollStepY;
    QVERIFY(std::abs(reach - (canvas.pArea->place().Height() - 3465.f)) <= 5.f);

    // A smaller picture leaves the canvas as tall as it is.
    const QString small =
        sandbox.writeImage("art/small.bmp", test::solidImage(5, 5, Qt::red), "BMP");
    f.dialogs.files.push_back(small);
    form.imageSource().PushButton6_Click();
    QCOMPARE(canvas.pArea->place().Height(), 9860.f);
    QVERIFY(f.messages.messages.empty());
}

void DesignTest::browseCancelChangesNothing() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    const QString before = form.Text1->text();
    const QImage picture = form.canvas->imgLogo->Picture();
    form.imageSource().PushButton6_Click();
    QCOMPARE(form.Text1->text(), before);
    QCOMPARE(sandbox.setting("Image"), before);
    QCOMPARE(form.canvas->imgLogo->Picture(), picture);
    QVERIFY(f.messages.messages.empty());
}

void DesignTest::pictureTooTallToScrollIsReported() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    // 23000 px is 345000 twips: a tenth of the difference is beyond 16 bits,
    // so the bar takes a larger step and reaches the picture's bottom.
    const QString huge =
        sandbox.writeImage("huge.bmp", test::solidImage(4, 23000, Qt::black), "BMP");
    f.dialogs.files.push_back(huge);
    f.form->imageSource().PushButton6_Click();
    QCOMPARE(f.messages.reports().size(), std::size_t(0));
    QCOMPARE(f.form->canvas->imgLogo->Picture().height(), 23000);
    Canvas& c = *f.form->canvas;
    QVERIFY(c.ScrollStepY > 10);
    c.VScroll1->setValue(c.VScroll1->maximum());
    const float bottom = c.pArea->place().Top() + c.pArea->place().Height();
    QVERIFY(qAbs(bottom - c.Picture2->place().Height()) <= c.ScrollStepY / 2.f);
}

void DesignTest::picturesLoadByContent_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("format");
    QTest::newRow("bitmap as .dib") << "logo.dib"
                                    << "BMP";
    QTest::newRow("jpeg as .gif") << "logo.gif"
                                  << "JPEG";
    QTest::newRow("bitmap as .jpg") << "logo.jpg"
                                    << "BMP";
    QTest::newRow("upper case") << "LOGO.JPEG"
                                << "JPEG";
}

void DesignTest::picturesLoadByContent() {
    QFETCH(QString, name);
    QFETCH(QString, format);
    Sandbox sandbox;
    FormFixture f(sandbox);
    const QString path = sandbox.writeImage(name, test::solidImage(33, 21, Qt::yellow),
                                            format.toLatin1().constData());
    f.dialogs.files.push_back(path);
    f.form->imageSource().PushButton6_Click();
    QVERIFY2(f.messages.messages.empty(), qPrintable(f.messages.texts().join('|')));
    QCOMPARE(f.form->canvas->imgLogo->Picture().size(), QSize(33, 21));
}

void DesignTest::largeAndTurnedPicturesLoad_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("topLeft");
    QTest::newRow("6000 x 6000 photo") << jpegBytes(test::solidImage(6000, 6000, Qt::white))
                                       << QSize(6000, 6000) << QColor(Qt::white);
    // Stored lying down, red on the left: shown upright, red on top.
    QImage lying = test::solidImage(40, 20, Qt::blue);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            lying.setPixelColor(x, y, Qt::red);
    QTest::newRow("exif turned") << jpegTurnedByExif(lying) << QSize(20, 40) << QColor(Qt::red);
}

void DesignTest::largeAndTurnedPicturesLoad() {
    QFETCH(QByteArray, data);
    QFETCH(QSize, size);
    QFETCH(QColor, topLeft);
    Sandbox sandbox;
    FormFixture f(sandbox);
    f.dialogs.files.push_back(sandbox.writeFile("photo.jpg", data));
    f.form->imageSource().PushButton6_Click();
    QVERIFY2(f.messages.messages.empty(), qPrintable(f.messages.texts().join('|')));
    const QImage picture = f.form->canvas->imgLogo->Picture();
    QCOMPARE(picture.size(), size);
    QVERIFY(std::abs(picture.pixelColor(2, 2).red() - topLeft.red()) < 8);
    QVERIFY(std::abs(picture.pixelColor(2, 2).blue() - topLeft.blue()) < 8);
}

void DesignTest::badPicturesReportAndKeepTheOldOne_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("report");
    QTest::newRow("truncated jpeg") << "truncated"
                                    << "Invalid picture";
    QTest::newRow("corrupt jpeg") << "corrupt"
                                  << "Invalid picture";
    QTest::newRow("gif that is text") << "text"
                                      << "Invalid picture";
    QTest::newRow("vanished file") << "vanished"
                                   << "File not found";
    QTest::newRow("vanished folder") << "nofolder"
                                     << "Path not found";
    QTest::newRow("a folder") << "folder"
                              << "Path not found";
    QTest::newRow("name with NUL") << "nul"
                                   << "Bad file name or number";
    QTest::newRow("pipe named x.jpg") << "fifo"
                                      << "Invalid picture: not a file";
    QTest::newRow("/dev/zero") << "device"
                               << "Invalid picture: not a file";
    QTest::newRow("40 GB sparse") << "sparse"
                                  << "Picture too large: the file holds 40960 MB, more than 256 MB";
    QTest::newRow("300 MB") << "300mb"
                            << "Picture too large: the file holds 300 MB, more than 256 MB";
    QTest::newRow("jpeg stating 20000 x 20000")
        << "20000"
        << "Picture too large: 20000 × 20000 pixels, more than 1024 MB to hold";
    QTest::newRow("jpeg stating 40000 x 1")
        << "strip"
        << "Picture too large: 40000 × 1 pixels, a side longer than 32767 pixels";
    QTest::newRow("truncated bmp") << "bmp"
                                   << "Invalid picture";
    const QString metadata(
        "Picture too large: it carries 17 MB of comments and other data, "
        "more than 16 MB");
    QTest::newRow("jpeg with 16 MB of comments") << "comments" << metadata;
    QTest::newRow("png with 16 MB of text") << "pngtext" << metadata;
}

void DesignTest::badPicturesReportAndKeepTheOldOne() {
    QFETCH(QString, kind);
    QFETCH(QString, report);
    Sandbox sandbox;
    FormFixture f(sandbox);
    const QByteArray jpeg = jpegBytes(test::solidImage(64, 64, Qt::cyan));
    QString path;
    if (kind == QLatin1String("truncated"))
        path = sandbox.writeFile("bad.jpg", jpeg.left(jpeg.size() * 2 / 3));
    else if (kind == QLatin1String("corrupt"))
        path = sandbox.writeFile("bad.jpg", jpeg.left(20) + QByteArray(200, '\x55'));
    else if (kind == QLatin1String("text"))
        path = sandbox.writeFile("bad.gif", "this is a text file, not a picture\n");
    else if (kind == QLatin1String("vanished"))
        path = sandbox.appFolder() + QStringLiteral("/gone.jpg");
    else if (kind == QLatin1String("nofolder"))
        path = sandbox.appFolder() + QStringLiteral("/gone/gone.jpg");
    else if (kind == QLatin1String("folder"))
        path = sandbox.appFolder();
#ifdef Q_OS_WIN
    else if (kind == QLatin1String("fifo") || kind == QLatin1String("device"))
        QSKIP("named pipes and /dev are POSIX's; device names are in test_windowsfiles");
#else
    else if (kind == QLatin1String("fifo")) {
        path = sandbox.appFolder() + QStringLiteral("/x.jpg");
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("device"))
        path = QStringLiteral("/dev/zero");
#endif
    else if (kind == QLatin1String("sparse") || kind == QLatin1String("300mb")) {
        path = sandbox.writeFile("big.jpg", jpeg);
        QVERIFY(QFile::resize(path, qint64(kind == QLatin1String("sparse") ? 40960 : 300) << 20));
    } else if (kind == QLatin1String("20000"))
        path = sandbox.writeFile("wide.jpg", jpegDeclaring(20000, 20000));
    else if (kind == QLatin1String("strip"))
        path = sandbox.writeFile("strip.jpg", jpegDeclaring(40000, 1));
    else if (kind == QLatin1String("bmp")) {
        path = sandbox.writeImage("cut.bmp", test::solidImage(64, 64, Qt::cyan), "BMP");
        QVERIFY(QFile::resize(path, QFileInfo(path).size() * 2 / 3));
    } else if (kind == QLatin1String("comments")) {
        const QByteArray comment = QByteArray("\xFF\xFE\xFF\xFF") + QByteArray(0xFFFD, 'c');
        path = sandbox.writeFile("said.jpg", jpeg.left(2) + comment.repeated(257) + jpeg.mid(2));
    } else if (kind == QLatin1String("pngtext")) {
        const QString png = sandbox.writeImage("said.png", test::solidImage(4, 4, Qt::red), "PNG");
        QFile file(png);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = QByteArray("\x01\x00\x00\x01tEXt", 8) + QByteArray(0x1000005, 't');
        path = sandbox.writeFile("said.png", file.readAll().insert(33, text));
    } else
        path = sandbox.appFolder() + QStringLiteral("/bad") + QChar(0) + QStringLiteral("name.jpg");
    const QImage before = f.form->canvas->imgLogo->Picture();

    f.dialogs.files.push_back(path);
    f.form->imageSource().PushButton6_Click();
    auto reports = f.messages.reports();
    QCOMPARE(reports.size(), std::size_t(1));
    QVERIFY2(
        reports[0].text.startsWith(report + "\r\nin Vantelo2021/08/31.Form1.PushButton6_Click"),
        qPrintable(reports[0].text));
    QCOMPARE(test::RecordingMessages::lineOf(reports[0]), QStringLiteral("114"));
    QCOMPARE(f.form->canvas->imgLogo->Picture(), before);
    QCOMPARE(f.form->Text1->text(), path);
    if (kind != QLatin1String("nul"))
        QCOMPARE(sandbox.setting("Image"), path);

    // The same through the gallery reports at its own line.
    f.messages.clear();
    f.form->ListView1->entries().append({path});
    f.form->ListView1->setCurrentIndex(f.form->ListView1->model()->index(0, 0));
    f.form->imageSource().ListView1_Click();
    reports = f.messages.reports();
    QCOMPARE(reports.size(), std::size_t(1));
    QCOMPARE(test::RecordingMessages::lineOf(reports[0]), QStringLiteral("104"));
    QCOMPARE(f.form->canvas->imgLogo->Picture(), before);
}

void DesignTest::galleryClickPlacesTheEntry() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // An empty gallery ignores clicks.
    QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    QVERIFY(f.messages.messages.empty());
    const QString before = form.Text1->text();
    QCOMPARE(form.Text1->text(), before);

    const QString a = sandbox.writeImage("logos/a.jpg", test::solidImage(70, 40, Qt::red), "JPEG");
    const QString b = sandbox.writeImage("logos/b.jpg", test::solidImage(30, 80, Qt::blue), "JPEG");
    form.ListView1->entries().append({a, b});
    const QRect second = form.ListView1->visualRect(form.ListView1->model()->index(1, 0));
    QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(form.Text1->text(), b);
    QCOMPARE(sandbox.setting("Image"), b);
    QCOMPARE(form.canvas->imgLogo->Picture().size(), QSize(30, 80));
    QVERIFY(f.messages.messages.empty());
}

void DesignTest::galleryKeysChooseTheEntry_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("chosen");  // -1: nothing loaded
    QTest::newRow("arrows alone load nothing") << QList<int>{Qt::Key_Down, Qt::Key_Down} << -1;
    QTest::newRow("Return") << QList<int>{Qt::Key_Home, Qt::Key_Down, Qt::Key_Return} << 1;
    QTest::newRow("Enter") << QList<int>{Qt::Key_End, Qt::Key_Up, Qt::Key_Enter} << 0;
    QTest::newRow("Space") << QList<int>{Qt::Key_Home, Qt::Key_Space} << 0;
}

// The keyboard reaches the same handler as the mouse: the chosen entry's
// picture is placed and stored.
void DesignTest::galleryKeysChooseTheEntry() {
    QFETCH(QList<int>, keys);
    QFETCH(int, chosen);
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QString paths[2] = {
        sandbox.writeImage("logos/a.jpg", test::solidImage(70, 40, Qt::red), "JPEG"),
        sandbox.writeImage("logos/b.jpg", test::solidImage(30, 80, Qt::blue), "JPEG")};
    form.ListView1->entries().append({paths[0], paths[1]});
    form.ListView1->setFocus();
    const QString before = form.Text1->text();
    for (const int key : keys)
        QTest::keyClick(form.ListView1, Qt::Key(key));
    QCOMPARE(form.Text1->text(), chosen < 0 ? before : paths[chosen]);
    if (chosen >= 0) {
        QCOMPARE(sandbox.setting("Image"), paths[chosen]);
        QCOMPARE(form.canvas->imgLogo->Picture().size(),
                 chosen == 0 ? QSize(70, 40) : QSize(30, 80));
    }
    QVERIFY(f.messages.messages.empty());
}

// The text box shows the chosen family and style at a size that fits it: no
// ink on the rows where the box's frame clips its text. The canvas and the
// store keep the chosen size.
void DesignTest::textBoxesShowTheFontWhole_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("italic");
    QTest::newRow("Arial 9 (fits as it is)") << QStringLiteral("Arial") << 9.0 << false;
    QTest::newRow("Arial 20") << QStringLiteral("Arial") << 20.0 << false;
    QTest::newRow("Liberation Serif 12 italic")
        << QStringLiteral("Liberation Serif") << 12.0 << true;
    QTest::newRow("Liberation Mono 72") << QStringLiteral("Liberation Mono") << 72.0 << false;
}

void DesignTest::textBoxesShowTheFontWhole() {
    QFETCH(QString, family);
    QFETCH(double, points);
    QFETCH(bool, italic);
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    QLineEdit* box = form.TextLine[0];
    box->setText(QStringLiteral("Hgjpy|"));
    QFont chosen(family);
    chosen.setPointSizeF(points);
    chosen.setItalic(italic);
    chosen.setUnderline(true);
    f.dialogs.fonts.push_back(chosen);
    f.dialogs.colors.push_back(QColor(255, 0, 0));
    form.PushButton1->click();
    form.PushButton3->click();

    QCOMPARE(box->font().family(), chosen.family());
    QCOMPARE(box->font().italic(), italic);
    QVERIFY(box->font().underline());
    QVERIFY(box->font().pointSizeF() <= points);
    QCOMPARE(form.canvas->lblA[0]->font().pointSizeF(), points);
    QCOMPARE(sandbox.setting("TextLine1 Size"), QString::number(points));
    if (points <= 9)
        QCOMPARE(box->font().pointSizeF(), points);

    // The text lies vertically inside the frame; red ink on the frame's
    // inner rows means it was cut there.
    const QImage drawn = box->grab().toImage();
    const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    const auto redOnRow = [&](int y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor c = drawn.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
                return true;
        }
        return false;
    };
    bool inked = false;
    for (int y = frame + 1; y < drawn.height() - frame - 1; ++y)
        inked = inked || redOnRow(y);
    QVERIFY(inked);
    QVERIFY(!redOnRow(frame));
    QVERIFY(!redOnRow(drawn.height() - 1 - frame));
}

QTEST_MAIN(DesignTest)
#include "test_design.moc"
