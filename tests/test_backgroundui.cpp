#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

#include "app/backgrounddialog.h"
#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "editing/designdocument.h"
#include "editing/designfiles.h"
#include "export/designfile.h"
#include "export/logoexport.h"
#include "platform/wholefile.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

// Opaque pixels of the old white background (or a fringe of it), and of the dark-blue subject.
QPair<int, int> whiteAndBlue(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QPair<int, int> count;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = argb.pixel(x, y);
            count.first += qAlpha(p) > 200 && qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200;
            count.second += qAlpha(p) == 255 && qBlue(p) > 100 && qRed(p) < 60;
        }
    return count;
}

// A window showing a dark-blue badge photographed on white, both text lines hidden.
struct Session {
    Sandbox sandbox;
    QString picture;
    std::unique_ptr<FormFixture> fixture;

    explicit Session(const QString& stored = QString()) {
        QImage badge(300, 200, QImage::Format_RGB32);
        badge.fill(Qt::white);
        QPainter painter(&badge);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0x10, 0x30, 0x80));
        painter.drawEllipse(QRectF(60, 30, 180, 140));
        picture = sandbox.writeImage(QStringLiteral("mine/badge.jpg"), badge, "JPEG");
        sandbox.setSetting(keys::kImage, picture);
        sandbox.setSetting(keys::show(0), QStringLiteral("0"));
        sandbox.setSetting(keys::show(1), QStringLiteral("0"));
        if (!stored.isNull())
            sandbox.setSetting(keys::kImageBackgroundTolerance, stored);
        fixture = std::make_unique<FormFixture>(sandbox);
    }
    Form1& form() { return *fixture->form; }
    int tolerance() { return form().canvas->imgLogo->backgroundTolerance(); }
    int cornerAlpha() { return qAlpha(form().canvas->imgLogo->Picture().pixel(2, 2)); }
    QString stored() { return sandbox.setting(keys::kImageBackgroundTolerance); }
};

}  // namespace

class BackgroundUiTest final : public QObject {
    Q_OBJECT

private slots:
    void dialogPreviewsAndIsOneStep_data();
    void dialogPreviewsAndIsOneStep();
    void everyExportAndRestartShowIt();
    void storedValues_data();
    void storedValues();
    void designFileField_data();
    void designFileField();
};

void BackgroundUiTest::dialogPreviewsAndIsOneStep_data() {
    QTest::addColumn<bool>("canvasMenu");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("kept");
    QTest::newRow("menu bar, OK") << false << 0 << "30" << int(Qt::Key_Return) << 30;
    QTest::newRow("canvas menu, OK") << true << 0 << "45" << int(Qt::Key_Return) << 45;
    QTest::newRow("cancel restores") << false << 20 << "70" << int(Qt::Key_Escape) << 20;
    QTest::newRow("keep background turns it off") << true << 35 << "" << int(Qt::Key_K) << 0;
}

void BackgroundUiTest::dialogPreviewsAndIsOneStep() {
    QFETCH(bool, canvasMenu);
    QFETCH(int, start);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(int, kept);
    Session s(QString::number(start));
    Form1& form = s.form();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int steps = form.document().history().count();

    int previewed = -1;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, [&, timer] {
        auto* dialog = qobject_cast<BackgroundDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        QCOMPARE(dialog->spinBox()->value(), start);
        QTest::keyClick(dialog->spinBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog->spinBox(), typed);
        QCOMPARE(dialog->slider()->value(), typed.isEmpty() ? start : typed.toInt());
        // The canvas shows it while the dialog is open.
        QTRY_COMPARE(s.tolerance(), dialog->slider()->value());
        previewed = s.cornerAlpha();
        if (key == Qt::Key_K) {
            dialog->findChild<QPushButton*>(QStringLiteral("cmdKeepBackground"))->click();
            key = Qt::Key_Return;
        }
        QTest::keyClick(dialog->spinBox(), Qt::Key(key));
    });
    timer->start(5);
    if (canvasMenu) {
        QTimer::singleShot(0, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            menu->close();
            menu->findChild<QAction*>(QStringLiteral("mnuRemoveBackground"))->trigger();
        });
        form.showCanvasMenu(form.canvas->imgLogo->mapToGlobal(QPoint(5, 5)));
    } else {
        form.menuBar()->findChild<QAction*>(QStringLiteral("mnuRemoveBackground"))->trigger();
    }
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(previewed == 0, !typed.isEmpty() || start > 0);
    QCOMPARE(s.tolerance(), kept);
    QCOMPARE(form.document().history().count(), steps + (kept != start));
    QCOMPARE(s.stored(), QString::number(kept));
    QCOMPARE(s.cornerAlpha() == 0, kept > 0);
    if (kept == start)
        return;

    // One step each way, from the window's own keys.
    QCOMPARE(form.document().history().undoText(), QStringLiteral("Remove Background"));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(s.tolerance(), start);
    QCOMPARE(s.cornerAlpha() == 0, start > 0);
    QCOMPARE(s.stored(), QString::number(start));
    QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(s.tolerance(), kept);
    QCOMPARE(s.stored(), QString::number(kept));
}

void BackgroundUiTest::everyExportAndRestartShowIt() {
    Session s;
    const QByteArray original = readWholeFile(s.picture, 1 << 24);
    const QString png = s.sandbox.appFolder() + QStringLiteral("/logo.png");
    RenderOptions options = s.form().exportOptions();
    options.transparent = true;
    exportLogo(s.form().exportSource(), options, LogoFormat::Png, png);
    QVERIFY(whiteAndBlue(QImage(png)).first > 10000);

    s.form().setPictureBackground(25);
    exportLogo(s.form().exportSource(), options, LogoFormat::Png, png);
    QCOMPARE(whiteAndBlue(QImage(png)).first, 0);
    QVERIFY(whiteAndBlue(QImage(png)).second > 15000);
    const QString kit = s.sandbox.appFolder() + QStringLiteral("/kit");
    s.form().exportKit(kit);
    // The squares and the dark logo are transparent whatever the export
    // choices; logo-wide.png keeps the chosen background.
    for (const char* name : {"/logo-512.png", "/logo-dark.png"}) {
        const auto [white, blue] = whiteAndBlue(QImage(kit + QLatin1String(name)));
        QVERIFY2(white == 0 && blue > 100, name);
    }
    QCOMPARE(readWholeFile(s.picture, 1 << 24), original);

    // A new window over the same settings shows it, and so does the design file.
    const QString design = s.sandbox.appFolder() + QStringLiteral("/badge.vantelo");
    QVERIFY(s.form().designFiles().saveDesignTo(design));
    s.fixture = std::make_unique<FormFixture>(s.sandbox);
    QCOMPARE(s.tolerance(), 25);
    QCOMPARE(s.cornerAlpha(), 0);
    s.form().setPictureBackground(0);
    QCOMPARE(s.cornerAlpha(), 255);
    QVERIFY(s.form().openDesignFile(design));
    QCOMPARE(s.tolerance(), 25);
    QCOMPARE(whiteAndBlue(s.form().canvas->imgLogo->logoPicture()).first, 0);
    QVERIFY(s.fixture->messages.reports().empty());
}

void BackgroundUiTest::storedValues_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("absent") << QString() << 0;
    QTest::newRow("in range") << "35" << 35;
    QTest::newRow("above, clamped") << "250" << 100;
    QTest::newRow("negative") << "-5" << 0;
    QTest::newRow("fraction rounds") << "12.6" << 13;
    QTest::newRow("leading digits") << "40abc" << 40;
    QTest::newRow("nonsense") << "abc" << 0;
    QTest::newRow("huge exponent") << "1e300" << 100;
    QTest::newRow("not a number") << "nan" << 0;
}

void BackgroundUiTest::storedValues() {
    QFETCH(QString, stored);
    QFETCH(int, tolerance);
    Session s(stored);
    QCOMPARE(s.tolerance(), tolerance);
    QCOMPARE(s.cornerAlpha() == 0, tolerance > 0);
    QCOMPARE(s.form().document().capture().picture.backgroundTolerance, tolerance);
    // Ignored without a report, as a bad picture size is.
    QVERIFY(s.fixture->messages.reports().empty());
}

void BackgroundUiTest::designFileField_data() {
    QTest::addColumn<QJsonValue>("field");
    QTest::addColumn<int>("tolerance");  // -1: the file is refused
    QTest::newRow("absent: an older file") << QJsonValue(QJsonValue::Undefined) << 0;
    QTest::newRow("lowest on") << QJsonValue(1) << 1;
    QTest::newRow("on") << QJsonValue(40) << 40;
    QTest::newRow("highest") << QJsonValue(100) << 100;
    QTest::newRow("above") << QJsonValue(101) << -1;
    QTest::newRow("below") << QJsonValue(-1) << -1;
    QTest::newRow("fraction") << QJsonValue(2.5) << -1;
    QTest::newRow("text") << QJsonValue(QStringLiteral("40")) << -1;
}

void BackgroundUiTest::designFileField() {
    QFETCH(QJsonValue, field);
    QFETCH(int, tolerance);
    DesignFile file;
    file.pictureName = QStringLiteral("badge.png");
    file.pictureBytes = "PNG";
    QJsonObject root = QJsonDocument::fromJson(encodeDesignFile(file)).object();
    QJsonObject picture = root.value(QStringLiteral("picture")).toObject();
    QVERIFY(!picture.contains(QStringLiteral("backgroundTolerance")));
    if (!field.isUndefined())
        picture.insert(QStringLiteral("backgroundTolerance"), field);
    root.insert(QStringLiteral("picture"), picture);
    try {
        const DesignFile read = decodeDesignFile(QJsonDocument(root).toJson());
        QCOMPARE(read.design.picture.backgroundTolerance, tolerance);
        QCOMPARE(decodeDesignFile(encodeDesignFile(read)).design.picture.backgroundTolerance,
                 tolerance);
    } catch (const DesignFileError& error) {
        QVERIFY2(tolerance < 0 && error.why.contains(QStringLiteral("backgroundTolerance")),
                 qPrintable(error.why));
    }
}

QTEST_MAIN(BackgroundUiTest)
#include "test_backgroundui.moc"
