#include <QAccessible>
#include <QAction>
#include <QBuffer>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "design/designkeys.h"
#include "editing/designdocument.h"
#include "editing/designfiles.h"
#include "editing/imagesource.h"
#include "export/designfile.h"
#include "export/exportoptions.h"
#include "platform/runtimeerror.h"
#include "platform/wholefile.h"
#include "support/testsupport.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace vantelo;
using namespace vantelo::test;

namespace {

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList folderListing(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Runs `act` on the first modal widget of the type that shows up.
template <typename W>
void whenModal(std::function<void(W*)> act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (W* widget = qobject_cast<W*>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            act(widget);
        }
    });
    timer->start(5);
}

// A window over a sandbox with a picture of its own, and a design made on it.
struct Session {
    Sandbox sandbox;
    std::unique_ptr<FormFixture> fixture;
    QString picture;
    QString library;

    Session() {
        picture = sandbox.writeImage(QStringLiteral("mine/badge.png"),
                                     solidImage(120, 80, QColor(0x20, 0x60, 0xa0)), "PNG");
        library = sandbox.appFolder() + QStringLiteral("/logos");
        fixture = std::make_unique<FormFixture>(sandbox);
    }
    Form1& form() { return *fixture->form; }
    DesignFiles& files() { return form().designFiles(); }

    // Changes every part of the design, each as a person would.
    void makeDesign(const QString& text) {
        form().imageSource().chooseFile(picture);
        form().document().record(DesignChange::Picture);
        form().TextLine[0]->setText(text);
        form().TextLine[1]->setText(text + QStringLiteral(" two"));
        form().chkShowB->setCheckState(Qt::Unchecked);
        form().spnSize->setValue(150);
        LogoDesign d = form().document().capture();
        d.lines[0].fontSize = 14;
        d.lines[0].italic = true;
        d.lines[0].color = 0x3020F0;
        d.lines[0].outlineWidth = 3;
        d.lines[0].shadow = true;
        d.lines[0].angle = -30;
        d.lines[1].left = 300;
        d.picture.top = 150;
        form().document().restore(d, false, QImage(), "Test");
        RenderOptions options = storedExportOptions(fixture->settings);
        options.scale = 2;
        options.transparent = true;
        options.background = QColor(0x10, 0x20, 0x30);
        storeExportOptions(fixture->settings, options);
    }
    QString designPath(const QString& name) {
        return sandbox.appFolder() + QLatin1Char('/') + name;
    }
};

// The keys a design is kept under, with the values the store holds now.
QStringList designSettings(const Sandbox& sandbox) {
    QStringList values;
    for (const QString& key : sandbox.settingKeys())
        if (!key.startsWith(QStringLiteral("Recent Design")))
            values << key + QLatin1Char('=') + sandbox.setting(key);
    return values;
}

}  // namespace

class DesignFilesTest final : public QObject {
    Q_OBJECT

private slots:
    void savedDesignOpensWholeAfterItsPictureIsGone();
    void openingIsOneStepThatUndoes();
    void newDesignIsTheFirstStart();
    void hostileFilesChangeNothing_data();
    void hostileFilesChangeNothing();
    void pictureNeverReplacesAnotherFile_data();
    void pictureNeverReplacesAnotherFile();
    void recentListsTheLastTenNewestFirst();
    void wholeFileReadsOnlyWhatItMay_data();
    void wholeFileReadsOnlyWhatItMay();
    void travellingNames_data();
    void travellingNames();
    void menusByKeyboard();
    void droppedDesignIsOpened();
    void screenReaderHearsNamesAndKeys();
    void realDialogOpensADesign();
};

void DesignFilesTest::savedDesignOpensWholeAfterItsPictureIsGone() {
    Session s;
    s.makeDesign(QStringLiteral("Acme"));
    const LogoDesign saved = s.form().document().capture();
    const QStringList settings = designSettings(s.sandbox);
    const QString path = s.designPath(QStringLiteral("acme.vantelo"));
    QVERIFY(s.files().saveDesignTo(path));
    QVERIFY(s.fixture->messages.messages.empty());

    // Readable without the program: JSON with a version.
    const QJsonObject root = QJsonDocument::fromJson(fileBytes(path)).object();
    QCOMPARE(root.value(QStringLiteral("version")).toInt(), 1);

    s.files().newDesign();
    s.makeDesign(QStringLiteral("Other"));
    QVERIFY(QFile::remove(s.picture));
    QVERIFY(s.files().openDesignFile(path));
    QVERIFY2(s.fixture->messages.messages.empty(),
             qPrintable(s.fixture->messages.texts().join('\n')));
    LogoDesign opened = s.form().document().capture();
    // The picture comes back beside the user's logos under its own name.
    const QString restored = QDir::toNativeSeparators(s.library + QStringLiteral("/badge.png"));
    QCOMPARE(opened.picture.path, restored);
    QCOMPARE(fileBytes(opened.picture.path),
             encoded(solidImage(120, 80, QColor(0x20, 0x60, 0xa0)), "PNG"));
    opened.picture.path = saved.picture.path;
    QVERIFY(opened == saved);
    QCOMPARE(s.form().canvas->imgLogo->original().size(), QSize(120, 80));
    QStringList now = designSettings(s.sandbox);
    now.replaceInStrings(restored, QDir::toNativeSeparators(s.picture));
    QCOMPARE(now, settings);
    QCOMPARE(s.files().currentFile(), path);

    // Save Design writes back to the file it came from.
    s.form().TextLine[0]->setText(QStringLiteral("Acme Two"));
    s.files().saveDesign();
    QCOMPARE(readDesignFile(path).design.lines[0].text, QStringLiteral("Acme Two"));
}

void DesignFilesTest::openingIsOneStepThatUndoes() {
    Session s;
    s.makeDesign(QStringLiteral("Saved"));
    const QString path = s.designPath(QStringLiteral("saved.vantelo"));
    QVERIFY(s.files().saveDesignTo(path));
    s.files().newDesign();
    s.makeDesign(QStringLiteral("Changed"));
    RenderOptions changedOptions = storedExportOptions(s.fixture->settings);
    changedOptions.scale = 3;
    changedOptions.transparent = false;
    storeExportOptions(s.fixture->settings, changedOptions);
    const LogoDesign changed = s.form().document().capture();
    const QStringList changedSettings = designSettings(s.sandbox);
    const int steps = s.form().document().history().count();

    QVERIFY(s.files().openDesignFile(path));
    QCOMPARE(s.form().document().history().count(), steps + 1);
    QCOMPARE(s.form().TextLine[0]->text(), QStringLiteral("Saved"));
    QCOMPARE(storedExportOptions(s.fixture->settings).scale, 2.0);

    s.form().document().history().undo();
    QVERIFY(s.form().document().capture() == changed);
    QCOMPARE(designSettings(s.sandbox), changedSettings);
    s.form().document().history().redo();
    QCOMPARE(s.form().TextLine[0]->text(), QStringLiteral("Saved"));
    QVERIFY(storedExportOptions(s.fixture->settings).transparent);
}

void DesignFilesTest::newDesignIsTheFirstStart() {
    Sandbox fresh;
    // A PNG by content: the loader goes by the bytes, not the name.
    fresh.writeImage(QStringLiteral("logos/tarnwick.gif"), solidImage(40, 30, Qt::red), "PNG");
    FormFixture first(fresh);
    const LogoDesign firstStart = first.form->document().capture();

    Session s;
    s.sandbox.writeImage(QStringLiteral("logos/tarnwick.gif"), solidImage(40, 30, Qt::red), "PNG");
    s.makeDesign(QStringLiteral("Busy"));
    const LogoDesign busy = s.form().document().capture();
    s.files().newDesign();
    LogoDesign now = s.form().document().capture();
    QCOMPARE(now.picture.path,
             QDir::toNativeSeparators(s.sandbox.appFolder() + keys::kDefaultImageSuffix));
    now.picture.path = firstStart.picture.path;
    QVERIFY(now == firstStart);
    QVERIFY(!storedExportOptions(s.fixture->settings).transparent);
    QCOMPARE(s.form().canvas->imgLogo->original().size(), QSize(40, 30));
    s.form().document().history().undo();
    QVERIFY(s.form().document().capture() == busy);
}

void DesignFilesTest::hostileFilesChangeNothing_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("why");

    Session s;
    s.makeDesign(QStringLiteral("Good"));
    const DesignFile good = s.files().currentDesignFile();
    const QByteArray whole = encodeDesignFile(good);
    const auto with = [&](const std::function<void(DesignFile&)>& change) {
        DesignFile file = good;
        change(file);
        return encodeDesignFile(file);
    };
    const auto edited = [&](const QByteArray& from, const QByteArray& to) {
        QByteArray bytes = whole;
        return bytes.replace(from, to);
    };
    const QByteArray jpeg = encoded(solidImage(64, 64, Qt::green), "JPG");
    // A GIF whose header says 40000 x 40000 pixels: beyond what a picture may be.
    const QByteArray huge = QByteArray("GIF89a") +
                            QByteArray::fromHex("409c409c0000002c00000000409c409c0002024c01003b");

    QTest::newRow("empty") << QByteArray() << "it is empty";
    QTest::newRow("cut short") << whole.left(whole.size() / 2) << "cut short";
    QTest::newRow("a picture renamed")
        << encoded(solidImage(8, 8, Qt::blue), "PNG") << "not a Vantelo design file";
    QTest::newRow("a zip file") << QByteArray("PK\x03\x04\x14\0\0\0\0\0", 10)
                                << "not a Vantelo design file";
    QTest::newRow("other JSON") << QByteArray("{\"name\": \"x\"}") << "not a Vantelo design file";
    QTest::newRow("a size as text")
        << edited("\"size\": 14", "\"size\": \"14\"") << "“lines[0].size” should be a number";
    QTest::newRow("a missing line")
        << edited("\"lines\": [", "\"lines\": [ 7,") << "“lines” should hold two text lines";
    QTest::newRow("a future version")
        << edited("\"version\": 1", "\"version\": 7") << "newer Vantelo";
    QTest::newRow("a scale beyond the limits")
        << edited("\"scale\": 150", "\"scale\": 100000") << "“picture.scale” is 100000";
    QTest::newRow("an angle past a half turn")
        << edited("\"angle\": -30", "\"angle\": 500") << "“lines[0].angle” is 500";
    QTest::newRow("an angle as text")
        << edited("\"angle\": -30", "\"angle\": \"-30\"") << "“lines[0].angle” should be a number";
    QTest::newRow("a name leaving the folder")
        << with([](DesignFile& f) { f.pictureName = QStringLiteral("../../escape.png"); })
        << "not a plain file name";
    QTest::newRow("a name inside a folder")
        << with([](DesignFile& f) { f.pictureName = QStringLiteral("sub/escape.png"); })
        << "not a plain file name";
    QTest::newRow("picture not base64")
        << with([](DesignFile& f) { f.pictureBytes = "x"; }).replace("\"eA==\"", "\"@@@\"")
        << "not base64";
    QTest::newRow("picture not a picture")
        << with([](DesignFile& f) { f.pictureBytes = "plain text, no picture"; })
        << "the picture inside it, “badge.png”, cannot be shown";
    QTest::newRow("picture cut short")
        << with([&](DesignFile& f) { f.pictureBytes = jpeg.left(jpeg.size() - 40); })
        << "cannot be shown";
    QTest::newRow("picture too large")
        << with([&](DesignFile& f) { f.pictureBytes = huge; }) << "Picture too large";
}

void DesignFilesTest::hostileFilesChangeNothing() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    Session s;
    s.makeDesign(QStringLiteral("Kept"));
    const QString path = s.sandbox.writeFile(QStringLiteral("bad.vantelo"), bytes);
    const LogoDesign before = s.form().document().capture();
    const QByteArray settings = fileBytes(s.sandbox.settingsPath());
    const int steps = s.form().document().history().count();
    const QStringList library = folderListing(s.library);

    QVERIFY(!s.files().openDesignFile(path));
    QCOMPARE(s.fixture->messages.messages.size(), std::size_t(1));
    const QString text = s.fixture->messages.messages.front().text;
    QVERIFY2(text.contains(QDir::toNativeSeparators(path)) && text.contains(why), qPrintable(text));
    QVERIFY(s.form().document().capture() == before);
    QCOMPARE(fileBytes(s.sandbox.settingsPath()), settings);
    QCOMPARE(s.form().document().history().count(), steps);
    QCOMPARE(folderListing(s.library), library);
}

void DesignFilesTest::pictureNeverReplacesAnotherFile_data() {
    QTest::addColumn<QStringList>("present");  // files of the same name, "=" for the same bytes
    QTest::addColumn<QString>("kept");
    QTest::newRow("free name") << QStringList() << "badge.png";
    QTest::newRow("same bytes there") << QStringList{"badge.png="} << "badge.png";
    QTest::newRow("another file there") << QStringList{"badge.png"} << "badge (2).png";
    QTest::newRow("two others there")
        << QStringList{"badge.png", "badge (2).png"} << "badge (3).png";
    QTest::newRow("same bytes further on")
        << QStringList{"badge.png", "badge (2).png="} << "badge (2).png";
}

void DesignFilesTest::pictureNeverReplacesAnotherFile() {
    QFETCH(QStringList, present);
    QFETCH(QString, kept);
    Session s;
    const QByteArray bytes = fileBytes(s.picture);
    QDir().mkpath(s.library);
    for (const QString& entry : present) {
        QFile other(s.library + QLatin1Char('/') + QString(entry).remove(QLatin1Char('=')));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write(entry.endsWith(QLatin1Char('=')) ? bytes : QByteArray("someone else's"));
    }
    QCOMPARE(keepDesignPicture(s.library, QStringLiteral("badge.png"), bytes),
             s.library + QLatin1Char('/') + kept);
    QCOMPARE(fileBytes(s.library + QLatin1Char('/') + kept), bytes);
    for (const QString& entry : present)
        if (!entry.endsWith(QLatin1Char('=')))
            QCOMPARE(fileBytes(s.library + QLatin1Char('/') + entry), QByteArray("someone else's"));
}

void DesignFilesTest::recentListsTheLastTenNewestFirst() {
    Session s;
    s.makeDesign(QStringLiteral("Recent"));
    QStringList paths;
    for (int i = 1; i <= 12; ++i) {
        paths.prepend(s.designPath(QStringLiteral("d%1.vantelo").arg(i)));
        QVERIFY(s.files().saveDesignTo(paths.constFirst()));
    }
    QVERIFY(s.files().openDesignFile(paths.at(4)));
    paths.move(4, 0);
    QCOMPARE(s.files().recentFiles(), paths.mid(0, 10));
    QCOMPARE(s.sandbox.setting(QStringLiteral("Recent Design 1")), paths.at(0));

    // A file gone since is greyed in the menu; opening it says so and drops it.
    QVERIFY(QFile::remove(paths.at(1)));
    QMenu* recent = s.form().menuBar()->findChild<QMenu*>(QStringLiteral("mnuRecent"));
    emit recent->aboutToShow();
    QCOMPARE(recent->actions().size(), 10);
    QVERIFY(!recent->actions().at(1)->isEnabled());
    QVERIFY(recent->actions().at(1)->text().contains(QStringLiteral("(missing)")));
    QVERIFY(recent->actions().at(2)->isEnabled());
    QVERIFY(!s.form().openDesignFile(paths.at(1)));
    QVERIFY(s.fixture->messages.texts().join(' ').contains(QStringLiteral("does not exist")));
    QCOMPARE(s.files().recentFiles().size(), 9);
    QVERIFY(!s.files().recentFiles().contains(paths.at(1)));
}

void DesignFilesTest::wholeFileReadsOnlyWhatItMay_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("error");  // 0: read
    QTest::newRow("within the limit") << "file 100" << 0;
    QTest::newRow("at the limit") << "file 128" << 0;
    QTest::newRow("one byte over") << "file 129" << 7;
    QTest::newRow("missing") << "missing" << int(ErrFileNotFound);
    QTest::newRow("a folder") << "folder" << int(ErrPathNotFound);
    QTest::newRow("a pipe") << "fifo" << int(ErrInvalidPicture);
}

void DesignFilesTest::wholeFileReadsOnlyWhatItMay() {
    QFETCH(QString, kind);
    QFETCH(int, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x"));
    QByteArray bytes;
    if (kind.startsWith(QStringLiteral("file"))) {
        bytes = QByteArray(kind.section(' ', 1).toInt(), 'v');
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    } else if (kind == QStringLiteral("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QStringLiteral("fifo")) {
#ifdef Q_OS_WIN
        QSKIP("named pipes are POSIX's");
#else
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
    }
    try {
        QCOMPARE(readWholeFile(path, 128), bytes);
        QCOMPARE(error, 0);
    } catch (const RuntimeError& raised) {
        QCOMPARE(raised.number(), error);
    }
}

void DesignFilesTest::travellingNames_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "/a/b/logo.png"
                           << "logo.png";
    QTest::newRow("hidden") << "/a/..logo.png"
                            << "logo.png";
    QTest::newRow("only dots") << "/a/..."
                               << "picture";
    QTest::newRow("a colon and a star") << "/a/x:y*.gif"
                                        << "x_y_.gif";
    QTest::newRow("a control character") << QStringLiteral(
                                                "/a/b\x01"
                                                "c.jpg")
                                         << "b_c.jpg";
}

void DesignFilesTest::travellingNames() {
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(travellingPictureName(path), name);
}

// The File menu by keyboard alone: Alt+F, then a mnemonic.
void DesignFilesTest::menusByKeyboard() {
    Session s;
    s.makeDesign(QStringLiteral("Keys"));
    Form1& form = s.form();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    const QString path = s.designPath(QStringLiteral("keys.vantelo"));
    s.fixture->dialogs.files.push_back(path);

    QTest::keyClick(&form, Qt::Key_F, Qt::AltModifier);
    QMenu* file = form.menuBar()->findChild<QMenu*>(QStringLiteral("mnuFile"));
    QTRY_VERIFY(file->isVisible());
    QTest::keyClick(file, Qt::Key_A);
    QTRY_VERIFY(QFileInfo::exists(path));
    QCOMPARE(s.fixture->dialogs.calls.back().title, QStringLiteral("Save Design"));
    QCOMPARE(s.fixture->dialogs.calls.back().nameFilters,
             QStringList{QStringLiteral("Vantelo Designs (*.vantelo)")});

    // Every item has a mnemonic of its own in its menu, and the commands
    // their shortcuts.
    QStringList shortcuts;
    for (QAction* top : form.menuBar()->actions()) {
        QVERIFY2(top->text().contains(QLatin1Char('&')), qPrintable(top->text()));
        QStringList mnemonics;
        for (QAction* item : top->menu()->actions()) {
            if (item->isSeparator())
                continue;
            QVERIFY2(item->text().contains(QLatin1Char('&')), qPrintable(item->text()));
            const QString mnemonic = QKeySequence::mnemonic(item->text()).toString();
            QVERIFY2(!mnemonics.contains(mnemonic), qPrintable(item->text()));
            mnemonics << mnemonic;
            if (!item->shortcut().isEmpty())
                shortcuts << item->shortcut().toString();
        }
    }
    for (const char* key : {"Ctrl+N", "Ctrl+Shift+O", "Ctrl+Shift+S", "Ctrl+O", "Ctrl+S", "Ctrl+Q",
                            "Ctrl+Z", "Ctrl+Shift+Z", "Ctrl+C", "Ctrl+V", "F1"})
        QVERIFY2(shortcuts.contains(QLatin1String(key)), key);
    QCOMPARE(shortcuts.removeDuplicates(), 0);

    // Snap to Guides is the right-click menu's own: it snaps and is stored.
    QAction* snap = form.menuBar()->findChild<QAction*>(QStringLiteral("mnuSnap"));
    snap->trigger();
    QVERIFY(form.canvas->snapping());
    QCOMPARE(s.sandbox.setting(keys::kSnapToGuides), QStringLiteral("True"));

    // The canvas size is in the Export menu, by Alt+X and C.
    QTest::keyClick(&form, Qt::Key_X, Qt::AltModifier);
    QMenu* exporting = form.menuBar()->findChild<QMenu*>(QStringLiteral("mnuExport"));
    QTRY_VERIFY(exporting->isVisible());
    QTest::keyClick(exporting, Qt::Key_C);
    QMenu* sizes = exporting->findChild<QMenu*>(QStringLiteral("mnuCanvasSize"));
    QVERIFY(sizes);
    QTRY_VERIFY(sizes->isVisible());
    QTest::keyClick(sizes, Qt::Key_Escape);
    QTest::keyClick(exporting, Qt::Key_Escape);
    QTRY_VERIFY(!exporting->isVisible());

    // Ctrl+Z still undoes from the window's own key, not an ambiguous one.
    form.TextLine[0]->setFocus();
    const QString before = form.TextLine[0]->text();
    QTest::keyClicks(form.TextLine[0], QStringLiteral("xyz"));
    QTest::keyClick(form.TextLine[0], Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(form.TextLine[0]->text(), before);

    // Ctrl+N starts over from the first start, Help names the version.
    QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(form.TextLine[0]->text(), keys::defaultText(0));
    QTest::keyClick(&form, Qt::Key_H, Qt::AltModifier);
    QMenu* help = form.menuBar()->findChild<QMenu*>(QStringLiteral("mnuHelp"));
    QTRY_VERIFY(help->isVisible());
    QTest::keyClick(help, Qt::Key_A);
    QTRY_VERIFY(!s.fixture->messages.messages.empty());
    QVERIFY(s.fixture->messages.messages.back().text.contains(
        QRegularExpression(QStringLiteral("^Vantelo \\d+\\.\\d+"))));
    QVERIFY(s.fixture->messages.messages.back().text.contains(QStringLiteral("Licence")));
}

void DesignFilesTest::droppedDesignIsOpened() {
    Session s;
    s.makeDesign(QStringLiteral("Dropped"));
    const QString path = s.designPath(QStringLiteral("dropped.vantelo"));
    QVERIFY(s.files().saveDesignTo(path));
    s.files().newDesign();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(100, 100);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&s.form(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&s.form(), &drop);
    QCOMPARE(s.form().TextLine[0]->text(), QStringLiteral("Dropped"));
    QCOMPARE(s.files().currentFile(), path);
}

// What a screen reader reads of the File menu: each item's name and key.
void DesignFilesTest::screenReaderHearsNamesAndKeys() {
    Session s;
    QMenu* file = s.form().menuBar()->findChild<QMenu*>(QStringLiteral("mnuFile"));
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(file);
    QVERIFY(menu != nullptr);
    QStringList heard;
    for (int i = 0; i < menu->childCount(); ++i) {
        QAccessibleInterface* item = menu->child(i);
        if (item->role() == QAccessible::Separator)
            continue;
        QVERIFY(!item->text(QAccessible::Name).isEmpty());
        heard << item->text(QAccessible::Name) + QLatin1Char('|') +
                     item->text(QAccessible::Accelerator);
    }
    for (const char* expected :
         {"New Design|Ctrl+N", "Open Design…|Ctrl+Shift+O", "Save Design|Ctrl+Shift+S",
          "Save Logo As Image…|Ctrl+S", "Choose Picture…|Ctrl+O", "Quit|Ctrl+Q"})
        QVERIFY2(heard.contains(QString::fromUtf8(expected)), qPrintable(heard.join(", ")));
}

// Qt's own Open dialog, reached through File > Open Design.
void DesignFilesTest::realDialogOpensADesign() {
    Session s;
    s.makeDesign(QStringLiteral("Dialog"));
    const QString path = s.designPath(QStringLiteral("dialog.vantelo"));
    QVERIFY(s.files().saveDesignTo(path));
    s.files().newDesign();
    QtDialogPresenter presenter;
    s.form().CommonDialog1.setPresenter(presenter);
    whenModal<QFileDialog>([&](QFileDialog* files) {
        files->selectFile(path);
        files->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
    });
    QMenu* file = s.form().menuBar()->findChild<QMenu*>(QStringLiteral("mnuFile"));
    for (QAction* item : file->actions())
        if (item->text() == QStringLiteral("&Open Design…"))
            item->trigger();
    QCOMPARE(s.form().TextLine[0]->text(), QStringLiteral("Dialog"));
}

QTEST_MAIN(DesignFilesTest)
#include "test_designfiles.moc"
