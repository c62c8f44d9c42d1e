// The whole program as a person uses it: each scenario starts the built program
// in a real X window of its own, with its own home, settings and application
// folder, drives it with the real mouse and keyboard, and checks what it left
// behind: the settings file, files on disk, the message boxes it showed and
// what its window shows.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>
#include <memory>

#include <sys/stat.h>

#include "desktop.h"

using e2e::Desktop;
using e2e::Message;

namespace {

// A place in the window's layout, in twips inside its container.
struct Place {
    int left;
    int top;
    int width;
    int height;
};

// Containers on the window.
constexpr Place kForm{0, 0, 9825, 8970};
constexpr Place kViewport{120, 120, 9345, 3465};  // the canvas sits at its origin
constexpr Place kImageFrame{120, 5820, 9600, 810};
constexpr Place kTextFrame{120, 6720, 9600, 1590};

// Controls.
constexpr Place kBrowse{8160, 300, 1155, 345};
constexpr Place kTextLine0{1350, 300, 5655, 345};
constexpr Place kTextLine1{1350, 800, 5655, 345};
constexpr Place kShowLine2{3375, 1215, 1905, 225};
constexpr Place kSave{120, 8430, 9600, 405};
constexpr Place kGallery{120, 3960, 9600, 1815};
// The picture and the text lines on the canvas, where a first start puts them.
constexpr Place kPicture{2475, 810, 0, 0};
constexpr Place kLine1{1755, 990, 0, 0};
constexpr Place kLine2{5280, 2520, 0, 0};

// 15 twips a pixel: the display runs at 96 dots per inch. The window places
// a container and a control each at its own whole pixel.
int pixels(int twips) {
    return qRound(twips / 15.0);
}

QRect rectOf(const Place& container, const Place& control) {
    return QRect(pixels(container.left) + pixels(control.left),
                 pixels(container.top) + pixels(control.top), pixels(control.width),
                 pixels(control.height));
}

QPoint centreOf(const Place& container, const Place& control) {
    return rectOf(container, control).center();
}

// A check box reacts to a click on its box as a person aims it.
QPoint boxOf(const Place& container, const Place& control) {
    const QRect r = rectOf(container, control);
    return QPoint(r.left() + 6, r.center().y());
}

// The gallery's rows, below its one header, for the window's 9 pt bold Arial.
constexpr int kGalleryHeader = 18;
constexpr int kGalleryRow = 14;

QPoint galleryRow(int row) {
    const QRect list = rectOf(kForm, kGallery);
    return QPoint(list.left() + 120,
                  list.top() + 1 + kGalleryHeader + kGalleryRow * row + kGalleryRow / 2);
}

// A part of the picture that no text line covers wherever the scenarios
// leave the picture, in the picture's own pixels; every shipped logo is at
// least this large.
const QRect kPicturePatch(40, 40, 120, 40);

// Where that part of a picture at `topLeft` (canvas twips) lies in the window.
QRect patchOnWindow(QPoint topLeftTwips) {
    const QRect picture = rectOf(kViewport, {topLeftTwips.x(), topLeftTwips.y(), 0, 0});
    return kPicturePatch.translated(picture.topLeft());
}

// Part of text line 2 on a first start, clear of the picture's right edge:
// plain canvas while the line is hidden.
const QRect kLine2Text(rectOf(kViewport, kLine2).topLeft() + QPoint(12, 1), QSize(60, 12));

QImage canvasColour(const QSize& size) {
    QImage plain(size, QImage::Format_RGB32);
    plain.fill(Qt::white);
    return plain;
}

// A picture file as the canvas shows it: on the canvas's white, where the
// picture is transparent.
QImage onCanvas(const QString& path) {
    QImage picture(path);
    picture = picture.convertToFormat(QImage::Format_ARGB32);
    QImage shown(picture.size(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            shown.setPixel(x, y, qAlpha(pixel) == 0 ? qRgb(255, 255, 255) : pixel | 0xFF000000);
        }
    }
    return shown;
}

QColor averageColour(const QImage& image) {
    qint64 red = 0, green = 0, blue = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            red += qRed(pixel);
            green += qGreen(pixel);
            blue += qBlue(pixel);
        }
    }
    const qint64 count = qMax<qint64>(1, qint64(image.width()) * image.height());
    return QColor(int(red / count), int(green / count), int(blue / count));
}

bool closeColours(const QColor& a, const QColor& b, int tolerance) {
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

QByteArray head(const QString& path, int length) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(length) : QByteArray();
}

QString artifactsFolder() {
    const QString folder = qEnvironmentVariable("VANTELO_E2E_ARTIFACTS");
    return folder.isEmpty() ? QDir::tempPath() : folder;
}

const QString kReportTitle = QStringLiteral("Application Error");
const QString kLocation = QStringLiteral("Vantelo2021/08/31.Form1.");

// What a hostile row puts on disk besides its settings file.
enum class Planted { Nothing, SparseFile, Fifo, LinkLoops, LargeJpeg };

// "@home@" in a row's text stands for the scenario's home folder.
QByteArray atHome(QByteArray text, const Desktop& d) {
    return text.replace("@home@", QFile::encodeName(d.homeFolder()));
}

bool plant(Planted what, const Desktop& d) {
    const QString picture = d.homeFolder() + QStringLiteral("/picture.jpg");
    const QString loops = d.appFolder() + QStringLiteral("/a");
    QFile file(picture);
    switch (what) {
        case Planted::Nothing:
            return true;
        case Planted::SparseFile:
            return file.open(QIODevice::WriteOnly) && file.resize(40LL << 30);
        case Planted::Fifo:
            return ::mkfifo(QFile::encodeName(picture).constData(), 0644) == 0;
        case Planted::LinkLoops:
            return QDir().mkpath(loops) && QFile::link(QStringLiteral(".."), loops + "/l1") &&
                   QFile::link(QStringLiteral(".."), loops + "/l2");
        case Planted::LargeJpeg: {
            QImage red(6000, 6000, QImage::Format_RGB32);
            red.fill(Qt::red);
            return red.save(picture, "JPEG");
        }
    }
    return false;
}

}  // namespace

// Fails the scenario with the step's own explanation.
#define STEP(step) QVERIFY2((step), qPrintable(d.why()))

class EndToEnd : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstStart();
    void designSession();
    void nonsenseSettingIsReported();
    void corruptPictureFromBrowse();
    void dragPictureAndLine();
    void undoArrowKeysAndSize();
    void copyAndSavePng();
    void galleryClickShowsTheLogo();
    void saveAsJpegAndBitmap();
    void saveIntoMissingFolder();
    void hostileFilesAtStart_data();
    void hostileFilesAtStart();

private:
    std::unique_ptr<Desktop> desktop_;
};

void EndToEnd::init() {
    desktop_ = std::make_unique<Desktop>();
    Desktop& d = *desktop_;
    STEP(d.setUp());
}

void EndToEnd::cleanup() {
    Desktop& d = *desktop_;
    if (QTest::currentTestFailed()) {
        // Keep what the window showed when it went wrong, and what the
        // program printed, for the person who reads the failure.
        QImage screen;
        if (d.mainWindowId() != 0 && d.grabWindow(&screen)) {
            const QString path = artifactsFolder() + QLatin1Char('/') +
                                 QLatin1String(QTest::currentTestFunction()) +
                                 QStringLiteral("-failure.png");
            QDir().mkpath(artifactsFolder());
            if (screen.save(path))
                qInfo("The window at the failure: %s", qPrintable(path));
        }
        qInfo("The program printed:\n%s", qPrintable(d.programOutput()));
    }
    desktop_.reset();
}

void EndToEnd::firstStart() {
    Desktop& d = *desktop_;
    STEP(d.start());
    STEP(d.waitForMainWindow());

    // Fixed size, centred on the 1024x768 screen.
    const QRect window = d.mainWindow();
    // The client area keeps the layout's size; the window grows by the menu bar.
    const int bar = d.menuBarHeight();
    QVERIFY2(bar > 10 && bar < 60, qPrintable(QStringLiteral("a menu bar of %1 pixels").arg(bar)));
    QCOMPARE(window.size(), QSize(655, 598));
    QVERIFY2(
        qAbs(window.x() - (1024 - 655) / 2) <= 1 &&
            qAbs(window.y() - bar - (768 - 598 - bar) / 2) <= 1,
        qPrintable(
            QStringLiteral("the window stands at %1,%2").arg(window.x()).arg(window.y() - bar)));
    QSize smallest, largest;
    STEP(d.sizeLimits(&smallest, &largest));
    QCOMPARE(smallest, QSize(655, 598 + bar));
    QCOMPARE(largest, QSize(655, 598 + bar));

    // The default picture stands at its place on the canvas.
    const QString picture = d.appFolder() + QStringLiteral("/logos/tarnwick.gif");
    STEP(d.waitForPixels(patchOnWindow({kPicture.left, kPicture.top}),
                         onCanvas(picture).copy(kPicturePatch),
                         QStringLiteral("the default picture")));
    QVERIFY2(d.messages().isEmpty(), qPrintable(d.messageSummary()));

    STEP(d.closeAndWaitForExit());
    // Restoring the path and the two texts wrote them back, and nothing else.
    QCOMPARE(d.settingKeys(), QStringList({QStringLiteral("Image"), QStringLiteral("TextLine0"),
                                           QStringLiteral("TextLine1")}));
    QCOMPARE(d.setting(QStringLiteral("Image")), picture);
    QCOMPARE(d.setting(QStringLiteral("TextLine0")), QStringLiteral("Your text 1 here"));
    QCOMPARE(d.setting(QStringLiteral("TextLine1")), QStringLiteral("Your text 2 here"));
}

void EndToEnd::designSession() {
    Desktop& d = *desktop_;
    STEP(d.start());
    STEP(d.waitForMainWindow());

    STEP(d.click(centreOf(kTextFrame, kTextLine0)));
    STEP(d.key(QStringLiteral("ctrl+a")));
    STEP(d.type(QStringLiteral("Maple Bakery")));
    STEP(d.waitForSetting(QStringLiteral("TextLine0"), QStringLiteral("Maple Bakery")));
    STEP(d.click(centreOf(kTextFrame, kTextLine1)));
    STEP(d.key(QStringLiteral("ctrl+a")));
    STEP(d.type(QStringLiteral("Since 1987")));
    STEP(d.waitForSetting(QStringLiteral("TextLine1"), QStringLiteral("Since 1987")));
    STEP(d.click(boxOf(kTextFrame, kShowLine2)));
    STEP(d.waitForSetting(QStringLiteral("TextLine2 Show"), QStringLiteral("0")));
    STEP(d.waitForPixels(kLine2Text, canvasColour(kLine2Text.size()),
                         QStringLiteral("text line 2 to leave the canvas")));
    QVERIFY2(d.messages().isEmpty(), qPrintable(d.messageSummary()));

    QImage screen;
    STEP(d.grabWindow(&screen));
    QVERIFY(QDir().mkpath(artifactsFolder()));
    const QString artifact = artifactsFolder() + QStringLiteral("/design-session.png");
    QVERIFY2(screen.save(artifact), qPrintable(artifact));
    qInfo("The window after the design session: %s", qPrintable(artifact));

    STEP(d.closeAndWaitForExit());

    // Every choice is back after a restart: typing at the end of each box
    // extends the restored text, and a click on the restored (cleared) box
    // ticks it again.
    STEP(d.start());
    STEP(d.waitForMainWindow());
    STEP(d.waitForPixels(kLine2Text, canvasColour(kLine2Text.size()),
                         QStringLiteral("text line 2 to stay hidden")));
    STEP(d.click(centreOf(kTextFrame, kTextLine0)));
    STEP(d.key(QStringLiteral("End")));
    STEP(d.type(QStringLiteral("!")));
    STEP(d.waitForSetting(QStringLiteral("TextLine0"), QStringLiteral("Maple Bakery!")));
    STEP(d.click(centreOf(kTextFrame, kTextLine1)));
    STEP(d.key(QStringLiteral("End")));
    STEP(d.type(QStringLiteral("!")));
    STEP(d.waitForSetting(QStringLiteral("TextLine1"), QStringLiteral("Since 1987!")));
    STEP(d.click(boxOf(kTextFrame, kShowLine2)));
    STEP(d.waitForSetting(QStringLiteral("TextLine2 Show"), QStringLiteral("1")));
    QVERIFY2(d.messages().isEmpty(), qPrintable(d.messageSummary()));
    STEP(d.closeAndWaitForExit());
}

void EndToEnd::nonsenseSettingIsReported() {
    Desktop& d = *desktop_;
    d.storeSetting(QStringLiteral("TextLine1 Bold"), QStringLiteral("yes"));
    STEP(d.start());

    // The report comes while the window is being prepared; once it is
    // answered the window opens all the same.
    STEP(d.waitForMessages(1));
    const Message report = d.messages().constFirst();
    QCOMPARE(report.title, kReportTitle);
    QCOMPARE(report.style, 48);
    QVERIFY2(report.text.startsWith(QStringLiteral("Type mismatch\r\nin ") + kLocation +
                                    QStringLiteral("Form_Load at line 150\r\r")),
             qPrintable(d.messageSummary()));
    STEP(d.answerMessage(kReportTitle));
    STEP(d.waitForMainWindow());
    QVERIFY2(d.messages().size() == 1, qPrintable(d.messageSummary()));

    STEP(d.closeAndWaitForExit());
    // Nothing repairs the stored value behind the user's back.
    QCOMPARE(d.setting(QStringLiteral("TextLine1 Bold")), QStringLiteral("yes"));
}

void EndToEnd::corruptPictureFromBrowse() {
    Desktop& d = *desktop_;
    // The first part of a real logo: a JPEG that ends before its picture does.
    const QString damaged = d.homeFolder() + QStringLiteral("/damaged.jpg");
    {
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(head(d.appFolder() + QStringLiteral("/logos/sample-peak.jpg"), 600));
    }
    STEP(d.start());
    STEP(d.waitForMainWindow());
    const QRect patch = patchOnWindow({kPicture.left, kPicture.top});
    const QImage oldPicture =
        onCanvas(d.appFolder() + QStringLiteral("/logos/tarnwick.gif")).copy(kPicturePatch);
    STEP(d.waitForPixels(patch, oldPicture, QStringLiteral("the default picture")));

    STEP(d.click(centreOf(kImageFrame, kBrowse)));
    STEP(d.chooseInFileDialog(QStringLiteral("Select Image"), damaged));
    STEP(d.waitForMessages(1));
    const Message report = d.messages().constFirst();
    QCOMPARE(report.title, kReportTitle);
    QCOMPARE(report.style, 48);
    QVERIFY2(report.text.startsWith(QStringLiteral("Invalid picture\r\nin ") + kLocation +
                                    QStringLiteral("PushButton6_Click at line 114\r\r")),
             qPrintable(d.messageSummary()));
    STEP(d.answerMessage(kReportTitle));

    // The old picture stays on the canvas; the path box and the setting keep
    // the path that was chosen.
    STEP(d.waitForPixels(patch, oldPicture,
                         QStringLiteral("the old picture to stay on the canvas")));
    STEP(d.waitForSetting(QStringLiteral("Image"), damaged));
    QVERIFY2(d.messages().size() == 1, qPrintable(d.messageSummary()));
    STEP(d.closeAndWaitForExit());
}

void EndToEnd::dragPictureAndLine() {
    Desktop& d = *desktop_;
    STEP(d.start());
    STEP(d.waitForMainWindow());
    const QString picture = d.appFolder() + QStringLiteral("/logos/tarnwick.gif");
    const QImage shown = onCanvas(picture).copy(kPicturePatch);

    // The picture follows the pointer: 30 pixels right and 20 down at 15
    // twips a pixel.
    const QPoint grab = rectOf(kViewport, kPicture).topLeft() + QPoint(50, 50);
    STEP(d.drag(grab, grab + QPoint(30, 20)));
    STEP(d.waitForSetting(QStringLiteral("Image Top"), QStringLiteral("1110")));
    STEP(d.waitForSetting(QStringLiteral("Image Left"), QStringLiteral("2925")));
    STEP(d.waitForPixels(patchOnWindow({2925, 1110}), shown,
                         QStringLiteral("the picture at its new place")));

    const QPoint grabLine = rectOf(kViewport, kLine1).topLeft() + QPoint(8, 6);
    STEP(d.drag(grabLine, grabLine + QPoint(40, 30)));
    STEP(d.waitForSetting(QStringLiteral("TextLine0 Top"), QStringLiteral("1440")));
    STEP(d.waitForSetting(QStringLiteral("TextLine0 Left"), QStringLiteral("2355")));
    QVERIFY2(d.messages().isEmpty(), qPrintable(d.messageSummary()));
    STEP(d.closeAndWaitForExit());

    // After a restart both stand where they were dropped: grabbed there and
    // moved on, they store positions counted from there.
    STEP(d.start());
    STEP(d.waitForMainWindow());
    STEP(d.waitForPixels(patchOnWindow({2925, 1110}), shown,
                         QStringLiteral("the picture where it was dropped")));
    const QPoint dropped = grab + QPoint(30, 20);
    STEP(d.drag(dropped, dropped + QPoint(10, 0)));
    STEP(d.waitForSetting(QStringLiteral("Image Left"), QStringLiteral("3075")));
    QCOMPARE(d.setting(QStringLiteral("Image Top")), QStringLiteral("1110"));
    const QPoint droppedLine = grabLine + QPoint(40, 30);
    STEP(d.drag(droppedLine, droppedLine + QPoint(0, 10)));
    STEP(d.waitForSetting(QStringLiteral("TextLine0 Top"), QStringLiteral("1590")));
    QCOMPARE(d.setting(QStringLiteral("TextLine0 Left")), QStringLiteral("2355"));
    QVERIFY2(d.messages().isEmpty(), qPrintable(d.messageSummary()));
    STEP(d.closeAndWaitForExit());
}

// Ctrl+Z takes a drag back, on screen and in the store; arrow keys move the
// clicked line by whole pixels; the Size box halves the picture.
void EndToEnd::undoArrowKeysAndSize() {
    Desktop& d = *desktop_;
    STEP(d.start());
    STEP(d.waitForMainWindow());
    const QImage shown =
        onCanvas(d.appFolder() + QStringLiteral("/logos/tarnwick.gif")).copy(kPicturePatch);
    const QPoint grab = rectOf(kViewport, kPicture).topLeft() + QPoint(50, 50);
    STEP(d.drag(grab, grab + QPoint(30, 20)));
    STEP(d.waitForSetting(QStringLiteral("Image Left"), QStringLiteral("2925")));
    STEP(d.key(QStringLiteral("ctrl+z")));
    STEP(d.waitForSetting(QStringLiteral("Image Left"), QStringLiteral("2475")));
    STEP(d.waitForSetting(QStringLiteral("Image Top"), QStringLiteral("810")));
    STEP(d.waitForPixels(patchOnWindow({2475, 810}), shown,
                         QStringLiteral("the picture back at its place")));

    STEP(d.click(rectOf(kViewport, kLine1).topLeft() + QPoint(8, 6)));
    for (int i = 0; i < 3; ++i)
        STEP(d.key(QStringLiteral("Right")));
    STEP(d.key(QStringLiteral("shift+Down")));
    STEP(d.waitForSetting(QStringLiteral("TextLine0 Top"), QStringLiteral("1140")));
    STEP(d.waitForSetting(QStringLiteral("TextLine0 Left"), QStringLiteral("1800")));

    STEP(d.key(QStringLiteral("alt+z")));
    STEP(d.key(QStringLiteral("ctrl+a")));
    STEP(d.type(QStringLiteral("50")));
    STEP(d.key(QStringLiteral("Return")));
    STEP(d.waitForSetting(QStringLiteral("Image Scale"), QStringLiteral("50")));
    QVERIFY2(d.messages().isEmpty(), qPrintable(d.messageSummary()));
    STEP(d.closeAndWaitForExit());
}

// Ctrl+C on the canvas puts the logo on the clipboard as a PNG another program
// can read; the Save dialog writes a PNG.
void EndToEnd::copyAndSavePng() {
    Desktop& d = *desktop_;
    STEP(d.start());
    STEP(d.waitForMainWindow());
    STEP(d.click(rectOf(kForm, kViewport).bottomRight() - QPoint(30, 30)));
    STEP(d.key(QStringLiteral("ctrl+c")));
    const QString copied = d.homeFolder() + QStringLiteral("/copied.png");
    QImage fromClipboard;
    for (int i = 0; i < 50 && fromClipboard.isNull(); ++i) {
        STEP(d.clipboardToFile(QStringLiteral("image/png"), copied));
        fromClipboard = QImage(copied);
        if (fromClipboard.isNull())
            QTest::qWait(100);
    }
    QCOMPARE(fromClipboard.size(), QSize(512, 229));

    const QString saved = d.appFolder() + QStringLiteral("/logos/saved.png");
    STEP(d.click(centreOf(kForm, kSave)));
    STEP(d.chooseInFileDialog(QStringLiteral("Save Image"), saved));
    STEP(d.waitForMessages(1));
    QCOMPARE(d.messages().constFirst().text, QStringLiteral("Done."));
    STEP(d.answerMessage(d.messages().constFirst().title));
    QCOMPARE(QImage(saved).size(), QSize(512, 229));
    QCOMPARE(QImage(saved).pixelColor(0, 0), fromClipboard.pixelColor(0, 0));
    STEP(d.closeAndWaitForExit());
}

void EndToEnd::galleryClickShowsTheLogo() {
    Desktop& d = *desktop_;
    STEP(d.start());
    STEP(d.waitForMainWindow());

    // Each row of the gallery is one of the sample logos, and clicking a row
    // puts that logo on the canvas in place of the picture.
    QStringList samples;
    for (const QString& name : QDir(d.appFolder() + QStringLiteral("/logos"))
                                   .entryList({QStringLiteral("*.jpg")}, QDir::Files))
        samples << d.appFolder() + QStringLiteral("/logos/") + name;
    QCOMPARE(samples.size(), 3);
    QStringList chosen;
    for (int row = 0; row < samples.size(); ++row) {
        STEP(d.click(galleryRow(row)));
        const QStringList remaining = QSet<QString>(samples.begin(), samples.end())
                                          .subtract(QSet<QString>(chosen.begin(), chosen.end()))
                                          .values();
        QString path;
        STEP(d.waitForSettingIn(QStringLiteral("Image"), remaining, &path));
        chosen << path;
        STEP(d.waitForPixels(patchOnWindow({kPicture.left, kPicture.top}),
                             onCanvas(path).copy(kPicturePatch),
                             QStringLiteral("the logo %1 on the canvas").arg(path)));
    }
    QVERIFY2(d.messages().isEmpty(), qPrintable(d.messageSummary()));
    STEP(d.closeAndWaitForExit());
}

void EndToEnd::saveAsJpegAndBitmap() {
    Desktop& d = *desktop_;
    STEP(d.start());
    STEP(d.waitForMainWindow());
    const QImage picture =
        onCanvas(d.appFolder() + QStringLiteral("/logos/tarnwick.gif")).copy(kPicturePatch);
    // The picture's patch inside the saved logo, which is the canvas from its
    // top-left corner (512 by 229 pixels on a first start).
    const QRect patchInLogo = kPicturePatch.translated(rectOf({}, kPicture).topLeft());
    const QSize canvasSize(512, 229);

    // Saved into the application folder itself, whose pictures the gallery
    // lists before those of its sub-folders.
    const QString jpeg = d.appFolder() + QStringLiteral("/saved-logo.jpg");
    STEP(d.click(centreOf(kForm, kSave)));
    STEP(d.chooseInFileDialog(QStringLiteral("Save Image"), jpeg));
    STEP(d.waitForMessages(1));
    const Message done = d.messages().constLast();
    QVERIFY2(done.text == QStringLiteral("Done.") && done.style == 0 && done.title != kReportTitle,
             qPrintable(d.messageSummary()));
    // "Done." comes only once the file is written.
    QCOMPARE(head(jpeg, 3), QByteArray("\xFF\xD8\xFF", 3));
    STEP(d.answerMessage(done.title));
    const QImage savedJpeg(jpeg);
    QCOMPARE(savedJpeg.size(), canvasSize);
    QVERIFY2(closeColours(averageColour(savedJpeg.copy(patchInLogo)), averageColour(picture), 12),
             "the saved JPEG does not show the picture at its place");

    const QString bitmap = d.appFolder() + QStringLiteral("/saved-logo.bmp");
    STEP(d.click(centreOf(kForm, kSave)));
    STEP(d.chooseInFileDialog(QStringLiteral("Save Image"), bitmap));
    STEP(d.waitForMessages(2));
    QVERIFY2(d.messages().constLast().text == QStringLiteral("Done."),
             qPrintable(d.messageSummary()));
    QCOMPARE(head(bitmap, 2), QByteArray("BM"));
    STEP(d.answerMessage(done.title));
    const QImage savedBitmap = QImage(bitmap).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(savedBitmap.size(), canvasSize);
    QVERIFY2(e2e::samePixels(savedBitmap.copy(patchInLogo), picture),
             "the saved bitmap does not hold the picture at its place");
    STEP(d.closeAndWaitForExit());

    // From the next start on the saved JPEG is the gallery's first entry.
    STEP(d.start());
    STEP(d.waitForMainWindow());
    STEP(d.click(galleryRow(0)));
    STEP(d.waitForSetting(QStringLiteral("Image"), jpeg));
    QVERIFY2(d.messages().size() == 2, qPrintable(d.messageSummary()));
    STEP(d.closeAndWaitForExit());
}

void EndToEnd::saveIntoMissingFolder() {
    Desktop& d = *desktop_;
    STEP(d.start());
    STEP(d.waitForMainWindow());
    const QString target = d.appFolder() + QStringLiteral("/no-such-folder/logo.jpg");
    STEP(d.click(centreOf(kForm, kSave)));
    STEP(d.chooseInFileDialog(QStringLiteral("Save Image"), target));
    STEP(d.waitForMessages(1));
    const Message report = d.messages().constFirst();
    QCOMPARE(report.title, kReportTitle);
    QCOMPARE(report.style, 48);
    QVERIFY2(report.text.contains(QStringLiteral("\r\nin ") + kLocation +
                                  QStringLiteral("PushButton5_Click at line 132\r\r")),
             qPrintable(d.messageSummary()));
    STEP(d.answerMessage(kReportTitle));

    // A "Done." box would hold the window, so a clean close also shows that
    // the save ended with the report; the log is complete once the program
    // has ended.
    STEP(d.closeAndWaitForExit());
    QVERIFY2(d.messages().size() == 1, qPrintable(d.messageSummary()));
    QVERIFY(!QFileInfo::exists(target));
    QVERIFY(!QFileInfo::exists(QFileInfo(target).absolutePath()));
}

void EndToEnd::hostileFilesAtStart_data() {
    QTest::addColumn<QByteArray>("settingsFile");
    QTest::addColumn<Planted>("planted");
    QTest::addColumn<QString>("reportTitle");  // empty: no report at all
    QTest::addColumn<QString>("reportText");
    QTest::addColumn<QByteArrayList>("keptLines");
    QTest::addColumn<QByteArray>("setAsideStart");  // empty: nothing set aside
    QTest::addColumn<QColor>("pictureColour");      // invalid: not looked at

    const QByteArray utf16("\xFF\xFE[\0G\0e\0n\0e\0r\0a\0l\0]\0\n\0", 20);
    QTest::newRow("utf16Settings")
        << utf16 << Planted::Nothing << "Vantelo"
        << "It was renamed to " << QByteArrayList{"TextLine1=Your text 2 here"} << utf16.left(4)
        << QColor();
    // A region of 2^31-1 rectangles in the serialised form, read as the text it
    // is (not a number, as any other), and a NUL byte.
    const QByteArray variant =
        "Image%20Left=@Variant("
        "\\0\\0\\0G\\0\\x7f\\xff\\xff\\xff\\0\\0\\0\\x1\\0\\0\\0\\x1\\0\\0\\0\\x1\\0\\0\\0\\x1\\x1"
        ")";
    const QByteArray nul("junk\0line", 9);
    QTest::newRow("junkLines") << "[General]\n" + variant + "\n" + nul + "\nTextLine1=Kept line\n"
                               << Planted::Nothing << kReportTitle
                               << "Type mismatch\r\nin " + kLocation + "Form_Load at line 194"
                               << QByteArrayList{variant, nul, "TextLine1=Kept line"}
                               << QByteArray() << QColor();
    const QByteArray picture("[General]\nImage=@home@/picture.jpg\n");
    QTest::newRow("sparsePicture")
        << picture << Planted::SparseFile << kReportTitle << "Picture too large"
        << QByteArrayList{"Image=@home@/picture.jpg"} << QByteArray() << QColor();
    QTest::newRow("fifoPicture") << picture << Planted::Fifo << QString() << QString()
                                 << QByteArrayList{"Image=@home@/picture.jpg"} << QByteArray()
                                 << QColor();
    QTest::newRow("linkLoops") << QByteArray() << Planted::LinkLoops << QString() << QString()
                               << QByteArrayList() << QByteArray() << QColor();
    QTest::newRow("largeJpeg") << picture << Planted::LargeJpeg << QString() << QString()
                               << QByteArrayList{"Image=@home@/picture.jpg"} << QByteArray()
                               << QColor(Qt::red);
}

// A file that once crashed, hung or misled the program at start-up: the
// window still opens with the expected report or none, memory stays bounded,
// each logo is listed once, an edit reaches the file and nothing stored is lost.
void EndToEnd::hostileFilesAtStart() {
    QFETCH(QByteArray, settingsFile);
    QFETCH(Planted, planted);
    QFETCH(QString, reportTitle);
    QFETCH(QString, reportText);
    QFETCH(QByteArrayList, keptLines);
    QFETCH(QByteArray, setAsideStart);
    QFETCH(QColor, pictureColour);
    Desktop& d = *desktop_;
    if (!settingsFile.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(d.settingsPath()).absolutePath()));
        QFile file(d.settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(atHome(settingsFile, d)) > 0);
    }
    QVERIFY2(plant(planted, d), "cannot set up the hostile file");

    STEP(d.start());
    if (!reportTitle.isEmpty()) {
        STEP(d.waitForMessages(1));
        const Message report = d.messages().constFirst();
        QVERIFY2(
            report.title == reportTitle && report.style == 48 && report.text.contains(reportText),
            qPrintable(d.messageSummary()));
        STEP(d.answerMessage(reportTitle));
    }
    STEP(d.waitForMainWindow());
    QVERIFY2(d.programOutput().contains(QStringLiteral("gallery entries: 3\n")),
             qPrintable(d.programOutput()));
    if (pictureColour.isValid()) {
        QImage screen;
        STEP(d.grabWindow(&screen));
        const QColor shown =
            averageColour(screen.copy(patchOnWindow({kPicture.left, kPicture.top})));
        QVERIFY2(closeColours(shown, pictureColour, 8), qPrintable(shown.name()));
    }
    STEP(d.click(centreOf(kTextFrame, kTextLine0)));
    STEP(d.key(QStringLiteral("ctrl+a")));
    STEP(d.type(QStringLiteral("Typed after")));
    STEP(d.waitForSetting(QStringLiteral("TextLine0"), QStringLiteral("Typed after")));
    const qint64 peak = d.programPeakMemory();
    qInfo("The program's peak memory: %lld MB", peak >> 20);
    QVERIFY2(peak > 0 && peak < (1LL << 30), qPrintable(QString::number(peak)));
    STEP(d.closeAndWaitForExit());
    QVERIFY2(d.messages().size() == (reportTitle.isEmpty() ? 0 : 1),
             qPrintable(d.messageSummary()));

    const QByteArray stored = head(d.settingsPath(), 1 << 20);
    for (const QByteArray& line : std::as_const(keptLines))
        QVERIFY2(stored.contains(atHome(line, d) + '\n'), stored.constData());
    const QString aside = d.settingsPath() + QStringLiteral(".unreadable");
    QCOMPARE(head(aside, int(setAsideStart.size())), setAsideStart);
    QCOMPARE(QFileInfo::exists(aside), !setAsideStart.isEmpty());
}

QTEST_GUILESS_MAIN(EndToEnd)
#include "e2e_vantelo.moc"
