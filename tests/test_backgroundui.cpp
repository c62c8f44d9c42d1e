#include <QAction>
#include <QDialogButtonBox>
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
#include "app/form1.h"
#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "editing/designdocument.h"
#include "editing/designfiles.h"
#include "editing/imagesource.h"
#include "export/designfile.h"
#include "export/logoexport.h"
#include "platform/wholefile.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

// A dark-blue badge on a white photo background.
QImage badgeOnWhite() {
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x10, 0x30, 0x80));
    painter.drawEllipse(QRectF(60, 30, 180, 140));
    return image;
}

// Opaque pixels close to white: the old background, or a fringe of it.
int whitishOpaque(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = argb.pixel(x, y);
            count += qAlpha(p) > 200 && qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200;
        }
    return count;
}

int blueOpaque(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = argb.pixel(x, y);
            count += qAlpha(p) == 255 && qBlue(p) > 100 && qRed(p) < 60;
        }
    return count;
}

// Runs `act` on the dialog once it shows.
void whenDialog(std::function<void(BackgroundDialog*)> act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<BackgroundDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start(5);
}

// A window showing the badge, with both text lines hidden.
struct Session {
    Sandbox sandbox;
    QString picture;
    QByteArray pictureBytes;
    std::unique_ptr<FormFixture> fixture;

    explicit Session(const QString& stored = QString()) {
        picture = sandbox.writeImage(QStringLiteral("mine/badge.jpg"), badgeOnWhite(), "JPEG");
        pictureBytes = readWholeFile(picture, 1 << 24);
        sandbox.setSetting(keys::kImage, picture);
        sandbox.setSetting(keys::show(0), QStringLiteral("0"));
        sandbox.setSetting(keys::show(1), QStringLiteral("0"));
        if (!stored.isNull())
            sandbox.setSetting(keys::kImageBackgroundTolerance, stored);
        fixture = std::make_unique<FormFixture>(sandbox);
    }
    Form1& form() { return *fixture->form; }
    int tolerance() { return form().canvas->imgLogo->backgroundTolerance(); }
    QRgb shownCorner() { return form().canvas->imgLogo->Picture().pixel(2, 2); }
    void restart() {
        fixture.reset();
        fixture = std::make_unique<FormFixture>(sandbox);
    }
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
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("kept");

    QTest::newRow("menu bar, OK") << "mnuPicture" << 0 << "30"
                                  << "ok" << 30;
    QTest::newRow("canvas menu, OK") << "canvas" << 0 << "45"
                                     << "ok" << 45;
    QTest::newRow("cancel restores") << "mnuPicture" << 20 << "70"
                                     << "cancel" << 20;
    QTest::newRow("keep background turns it off") << "canvas" << 35 << ""
                                                  << "keep" << 0;
}

void BackgroundUiTest::dialogPreviewsAndIsOneStep() {
    QFETCH(QString, from);
    QFETCH(int, start);
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(int, kept);
    Session s(QString::number(start));
    Form1& form = s.form();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    QCOMPARE(s.tolerance(), start);
    const int steps = form.document().history().count();
    const QRgb cornerBefore = s.shownCorner();

    bool previewed = false;
    whenDialog([&](BackgroundDialog* dialog) {
        QCOMPARE(dialog->spinBox()->value(), start);
        QTest::keyClick(dialog->spinBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog->spinBox(), typed);
        if (!typed.isEmpty()) {
            QCOMPARE(dialog->slider()->value(), typed.toInt());
            // The canvas shows the tolerance while the dialog is open.
            QTRY_COMPARE(s.tolerance(), typed.toInt());
            previewed = qAlpha(s.shownCorner()) == 0;
        }
        auto* box = dialog->findChild<QDialogButtonBox*>();
        if (button == QLatin1String("ok"))
            QTest::keyClick(dialog->spinBox(), Qt::Key_Return);
        else if (button == QLatin1String("cancel"))
            QTest::keyClick(dialog->spinBox(), Qt::Key_Escape);
        else {
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdKeepBackground")),
                              Qt::LeftButton);
            QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
        }
    });
    if (from == QLatin1String("canvas")) {
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QAction* remove = menu->findChild<QAction*>(QStringLiteral("mnuRemoveBackground"));
            QVERIFY(remove);
            menu->close();
            remove->trigger();
        });
        form.showCanvasMenu(form.canvas->imgLogo->mapToGlobal(QPoint(5, 5)));
    } else {
        QMenu* menu = form.menuBar()->findChild<QMenu*>(from);
        QVERIFY(menu);
        emit menu->aboutToShow();
        menu->findChild<QAction*>(QStringLiteral("mnuRemoveBackground"))->trigger();
    }
    QTRY_VERIFY(!QApplication::activeModalWidget());
    if (!typed.isEmpty())
        QVERIFY(previewed);

    QCOMPARE(s.tolerance(), kept);
    QCOMPARE(form.document().history().count(), steps + (kept != start ? 1 : 0));
    QCOMPARE(s.sandbox.setting(keys::kImageBackgroundTolerance), QString::number(kept));
    QCOMPARE(qAlpha(s.shownCorner()) == 0, kept > 0);
    if (kept == start)
        return;

    // One step each way, from the window's own keys.
    QCOMPARE(form.document().history().undoText(), QStringLiteral("Remove Background"));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(s.tolerance(), start);
    QCOMPARE(s.shownCorner(), cornerBefore);
    QCOMPARE(s.sandbox.setting(keys::kImageBackgroundTolerance), QString::number(start));
    QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(s.tolerance(), kept);
    QCOMPARE(s.sandbox.setting(keys::kImageBackgroundTolerance), QString::number(kept));
    QCOMPARE(s.sandbox.setting(keys::kImage), s.picture);
}

void BackgroundUiTest::everyExportAndRestartShowIt() {
    Session s;
    QCOMPARE(s.tolerance(), 0);
    const QString plain = s.sandbox.appFolder() + QStringLiteral("/plain.png");
    RenderOptions options = s.form().exportOptions();
    options.transparent = true;
    exportLogo(s.form().exportSource(), options, LogoFormat::Png, plain);
    QVERIFY(whitishOpaque(QImage(plain)) > 10000);

    s.form().setPictureBackground(25);
    const QString cleared = s.sandbox.appFolder() + QStringLiteral("/cleared.png");
    exportLogo(s.form().exportSource(), options, LogoFormat::Png, cleared);
    const QImage png(cleared);
    QCOMPARE(whitishOpaque(png), 0);
    QVERIFY(blueOpaque(png) > 15000);
    const QString kit = s.sandbox.appFolder() + QStringLiteral("/kit");
    s.form().exportKit(kit);
    for (const char* name : {"logo-512.png", "logo-wide.png"}) {
        const QImage image(kit + QLatin1Char('/') + QLatin1String(name));
        QVERIFY2(!image.isNull() && whitishOpaque(image) == 0 && blueOpaque(image) > 100, name);
    }
    QCOMPARE(readWholeFile(s.picture, 1 << 24), s.pictureBytes);

    // A new window over the same settings shows it again, and so does a
    // design file saved with it.
    const QString design = s.sandbox.appFolder() + QStringLiteral("/badge.vantelo");
    QVERIFY(s.form().designFiles().saveDesignTo(design));
    s.restart();
    QCOMPARE(s.tolerance(), 25);
    QCOMPARE(qAlpha(s.shownCorner()), 0);
    s.form().setPictureBackground(0);
    QCOMPARE(qAlpha(s.shownCorner()), 255);
    QVERIFY(s.form().openDesignFile(design));
    QCOMPARE(s.tolerance(), 25);
    QCOMPARE(whitishOpaque(s.form().canvas->imgLogo->logoPicture()), 0);
    QVERIFY(s.fixture->messages.reports().empty());
}

void BackgroundUiTest::storedValues_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("tolerance");

    QTest::newRow("absent") << QString() << 0;
    QTest::newRow("in range") << "35" << 35;
    QTest::newRow("highest") << "100" << 100;
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
    QCOMPARE(qAlpha(s.shownCorner()) == 0, tolerance > 0);
    QCOMPARE(s.form().document().capture().picture.backgroundTolerance, tolerance);
    // Bad values are ignored without a report, as a bad picture size is.
    QVERIFY(s.fixture->messages.reports().empty());
    QCOMPARE(s.form().document().history().count(), 0);
}

void BackgroundUiTest::designFileField_data() {
    QTest::addColumn<QJsonValue>("field");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<bool>("opens");

    QTest::newRow("absent: an older file") << QJsonValue(QJsonValue::Undefined) << 0 << true;
    QTest::newRow("off") << QJsonValue(0) << 0 << true;
    QTest::newRow("on") << QJsonValue(40) << 40 << true;
    QTest::newRow("highest") << QJsonValue(100) << 100 << true;
    QTest::newRow("above") << QJsonValue(101) << 0 << false;
    QTest::newRow("below") << QJsonValue(-1) << 0 << false;
    QTest::newRow("fraction") << QJsonValue(2.5) << 0 << false;
    QTest::newRow("text") << QJsonValue(QStringLiteral("40")) << 0 << false;
}

void BackgroundUiTest::designFileField() {
    QFETCH(QJsonValue, field);
    QFETCH(int, tolerance);
    QFETCH(bool, opens);
    DesignFile file;
    file.pictureName = QStringLiteral("badge.png");
    file.pictureBytes = "PNG";
    const QByteArray plain = encodeDesignFile(file);
    QVERIFY(!plain.contains("backgroundTolerance"));
    QJsonObject root = QJsonDocument::fromJson(plain).object();
    QJsonObject picture = root.value(QStringLiteral("picture")).toObject();
    if (!field.isUndefined())
        picture.insert(QStringLiteral("backgroundTolerance"), field);
    root.insert(QStringLiteral("picture"), picture);
    try {
        const DesignFile read = decodeDesignFile(QJsonDocument(root).toJson());
        QVERIFY(opens);
        QCOMPARE(read.design.picture.backgroundTolerance, tolerance);
        QCOMPARE(decodeDesignFile(encodeDesignFile(read)).design.picture.backgroundTolerance,
                 tolerance);
    } catch (const DesignFileError& error) {
        QVERIFY2(!opens, qPrintable(error.why));
        QVERIFY2(error.why.contains(QStringLiteral("picture.backgroundTolerance")),
                 qPrintable(error.why));
    }
}

QTEST_MAIN(BackgroundUiTest)
#include "test_backgroundui.moc"
