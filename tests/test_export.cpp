#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImageReader>
#include <QImageWriter>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <csignal>

#include "canvas/canvas.h"
#include "export/saveasjpg.h"
#include "export/saveflow.h"
#include "support/testsupport.h"

using namespace vantelo;
using namespace vantelo::test;

namespace {

const QByteArray kOld = "what the user had";

// Every pixel differs from its neighbours, so a shifted or swapped channel shows.
QImage pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y) & 255, (y * 3) & 255, (x ^ y) & 255));
    return image;
}

// Declares some paths read-only, as they are for an unprivileged user.
struct ReadOnlyPaths final : FileSystem {
    QStringList readOnly;
    FileSystem& real = systemFileSystem();
    int attributes(const QString& path) override {
        const int value = real.attributes(path);
        return readOnly.contains(path) ? value | AttrReadOnly : value;
    }
    bool isRootFolder(const QString& folder) override { return real.isRootFolder(folder); }
    void readFolder(const QString& folder, const QString& pattern,
                    FolderVisitor& visitor) override {
        real.readFolder(folder, pattern, visitor);
    }
    QStringList findFiles(const QString& folder, const QString& pattern) override {
        return real.findFiles(folder, pattern);
    }
    bool canOpen(const QString& path) override { return real.canOpen(path); }
    bool exists(const QString& path) override { return real.exists(path); }
};

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<folder>");
}

// Every entry below a folder, hidden ones included, with its contents.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.insert(path, contents(path));
    }
    return entries;
}

void writeOld(const QString& folder, const QStringList& names) {
    for (const QString& name : names) {
        QFile file(folder + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kOld);
    }
}

// What a save raises, as "number description"; empty when it succeeds.
QString outcome(const std::function<void()>& save) {
    try {
        save();
    } catch (const RuntimeError& error) {
        return QString::number(error.number()) + QLatin1Char(' ') + error.description();
    }
    return {};
}

QString jpegError(int status) {
    return QStringLiteral("5 Cannot save the image. GDI+ Error:") + QString::number(status);
}

// The 64 bytes of the n-th quantisation table (one table to a segment, as
// libjpeg writes them).
QByteArray quantisationTable(const QByteArray& jpeg, int n) {
    int at = -1;
    for (int i = 0; i <= n; ++i)
        at = jpeg.indexOf(QByteArray("\xFF\xDB", 2), at + 1);
    return at < 0 ? QByteArray() : jpeg.mid(at + 5, 64);
}

// The quantisation tables libjpeg writes at quality 85 (the standard tables
// scaled by 0.3), in the file's zigzag order; cjpeg -quality 85 writes the same.
const QByteArray kLuma85 = QByteArray::fromHex(
    "0503040404030504040405050506070c08070707070f0b0b090c110f1212110f111113161c1713141a1511111821"
    "181a1d1d1f1f1f13172224221e241c1e1f1e");
const QByteArray kChroma85 = QByteArray::fromHex(
    "0505050706070e08080e1e1411141e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e"
    "1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e1e");

// Runs `act` on the first modal widget of type W once it shows.
template <typename W>
void whenModal(std::function<void(W*)> act) {
    // Owned by the application: a dialog that never shows leaves no timer behind.
    auto* timer = new QTimer(qApp);
    timer->setObjectName(QStringLiteral("whenModal"));
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (W* widget = qobject_cast<W*>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            act(widget);
        }
    });
    timer->start(5);
}

// A window over a sandbox whose logos folder holds files the user cares about,
// with a drawing in picSave in case rendering leaves it as it is.
struct Flow {
    Flow() : fixture(sandbox, false) {
        QVERIFY(QDir().mkpath(logos(QStringLiteral("my.files"))));
        QVERIFY(QDir().mkpath(logos(QStringLiteral("pics.jpg"))));
        writeOld(logos(QString()), {QStringLiteral("old.jpg"), QStringLiteral("old.bmp")});
        PictureSave& picSave = *fixture.form->canvas->picSave;
        picSave.setWidth(static_cast<float>(pixelsToTwipsX(120)));
        picSave.setHeight(static_cast<float>(pixelsToTwipsY(45)));
        picSave.image() = pattern(120, 45);
        before = snapshot(logos(QString()));
    }
    QString logos(const QString& name) const { return sandbox.appFolder() + "/logos/" + name; }
    void save(const QString& name, FileSystem& check = systemFileSystem()) {
        fixture.dialogs.files.push_back(name.isEmpty() ? std::nullopt : std::optional(logos(name)));
        SaveFlowContext context{fixture.form->CommonDialog1, *fixture.form->canvas,
                                fixture.messages, logos(QString()).chopped(1), check};
        PushButton5_Click(context);
    }
    QImage rendered() const {
        return fixture.form->canvas->picSave->Image().convertToFormat(QImage::Format_RGB32);
    }

    Sandbox sandbox;
    FormFixture fixture;
    QMap<QString, QByteArray> before;
};

}  // namespace

class ExportTest : public QObject {
    Q_OBJECT
private slots:
    // A dialog waited for that never showed leaves its timer, which holds the
    // finished case's variables: it goes with the case.
    void cleanup() {
        qDeleteAll(
            qApp->findChildren<QTimer*>(QStringLiteral("whenModal"), Qt::FindDirectChildrenOnly));
    }
    void encodesBaselineJpeg_data();
    void encodesBaselineJpeg();
    void refusesWithoutLosingAnything_data();
    void refusesWithoutLosingAnything();
    void fullDiskLosesNothing();
    void readOnlyTargetsForReal();
    void cancelEndsSilently();
    void formatFollowsTheExtension_data();
    void formatFollowsTheExtension();
    void otherNamesWriteNothing_data();
    void otherNamesWriteNothing();
    void failedWriteIsReportedOnce_data();
    void failedWriteIsReportedOnce();
    void dialogAsksBeforeReplacing();
    void bitmapKeepsEveryPixel();
    void replacedFileKeepsItsMode();
    void encoderMatchesQtWriter_data();
    void encoderMatchesQtWriter();
    void writableTargetsForReal();
    void dialogShowsEachPatternOnce();
    void dialogChecksBeforeAsking_data();
    void dialogChecksBeforeAsking();
    void nameWithoutExtensionTakesTheFilters_data();
    void nameWithoutExtensionTakesTheFilters();
    void userLibraryIsMadeBySaving_data();
    void userLibraryIsMadeBySaving();
};

void ExportTest::encodesBaselineJpeg_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("logo") << QSize(512, 229);
    QTest::newRow("one pixel") << QSize(1, 1);
    QTest::newRow("odd size") << QSize(37, 5);
}

void ExportTest::encodesBaselineJpeg() {
    QFETCH(QSize, size);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QCOMPARE(EncodeJPG(pattern(size.width(), size.height()), buffer, 85), int(JpegOk));
    const QByteArray jpeg = buffer.data();
    // Markers are the only FF bytes not followed by 00: baseline is C0, progressive C2.
    QVERIFY(jpeg.contains(QByteArray("\xFF\xC0", 2)) && !jpeg.contains(QByteArray("\xFF\xC2", 2)));
    QCOMPARE(QImage::fromData(jpeg).size(), size);
    QCOMPARE(quantisationTable(jpeg, 0), kLuma85);
    QCOMPARE(quantisationTable(jpeg, 1), kChroma85);

    QBuffer untouched;
    untouched.open(QIODevice::WriteOnly);
    for (const auto& [picture, badQuality] :
         {std::pair(QImage(), 85), {pattern(2, 2), 101}, {pattern(2, 2), -1}})
        QCOMPARE(EncodeJPG(picture, untouched, badQuality), int(JpegInvalidParameter));
    QCOMPARE(untouched.size(), 0);
}

void ExportTest::refusesWithoutLosingAnything_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<int>("jpegStatus");
    QTest::addColumn<QString>("bmpError");
    QTest::newRow("missing folder") << "missing/logo" << false << 10 << "76 Path not found";
    QTest::newRow("file as folder") << "notes.txt/logo" << false << 10 << "76 Path not found";
    QTest::newRow("read-only folder") << "locked/logo" << true << 12 << "70 Permission denied";
    QTest::newRow("read-only file") << "old" << true << 12 << "70 Permission denied";
    QTest::newRow("300 characters")
        << QString(300, QLatin1Char('n')) << false << 32 << "52 Bad file name or number";
    QTest::newRow("NUL in the name")
        << QStringLiteral("lo%1go").arg(QChar(0)) << false << 31 << "52 Bad file name or number";
    QTest::newRow("name of a folder") << "taken" << false << 33 << "75 Path/File access error";
}

void ExportTest::refusesWithoutLosingAnything() {
    QFETCH(QString, name);
    QFETCH(bool, readOnly);
    QFETCH(int, jpegStatus);
    QFETCH(QString, bmpError);
    QTemporaryDir dir;
    for (const char* folder : {"locked", "taken.jpg", "taken.bmp"})
        QVERIFY(QDir(dir.path()).mkdir(QLatin1String(folder)));
    writeOld(dir.path(), {"old.jpg", "old.bmp", "notes.txt"});
    const QMap<QString, QByteArray> before = snapshot(dir.path());
    const QString jpg = dir.path() + QLatin1Char('/') + name + QStringLiteral(".jpg");
    const QString bmp = dir.path() + QLatin1Char('/') + name + QStringLiteral(".bmp");
    ReadOnlyPaths check;
    if (readOnly)
        check.readOnly << dir.filePath(QStringLiteral("locked")) << jpg << bmp;
    const QImage picture = pattern(64, 32);
    QCOMPARE(outcome([&] { SaveJPG(picture, jpg, 85, check); }), jpegError(jpegStatus));
    QCOMPARE(outcome([&] { SavePicture(picture, bmp, check); }), bmpError);
    QCOMPARE(snapshot(dir.path()), before);
}

// A full disk, simulated by a file-size limit in a child process.
void ExportTest::fullDiskLosesNothing() {
#ifdef Q_OS_WIN
    QSKIP(
        "a file-size limit in a child process is POSIX's; Windows reports a full disk by its own "
        "error");
#else
    QTemporaryDir dir;
    writeOld(dir.path(), {"old.jpg", "old.bmp"});
    const QMap<QString, QByteArray> before = snapshot(dir.path());
    const QImage picture = pattern(512, 229);
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        const QString jpg = outcome([&] { SaveJPG(picture, dir.filePath("old.jpg"), 85); });
        const QString bmp = outcome([&] { SavePicture(picture, dir.filePath("old.bmp")); });
        _exit(jpg == jpegError(JpegDiskFull) && bmp == QLatin1String("61 Disk full") ? 0 : 1);
    }
    int status = -1;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QCOMPARE(snapshot(dir.path()), before);
#endif
}

// Permission bits stop nobody who runs as root, so as root this test runs
// itself again as an unprivileged user, on files and a folder root owns.
void ExportTest::readOnlyTargetsForReal() {
#ifdef Q_OS_WIN
    QSKIP("permission bits and setpriv are POSIX's; Windows access is tested in test_windowsfiles");
#else
    const QString childFolder = qEnvironmentVariable("VANTELO_READ_ONLY_FOLDER");
    if (!childFolder.isEmpty()) {
        const QImage picture = pattern(8, 8);
        for (const QString name : {"/old", "/locked/new"}) {
            QCOMPARE(outcome([&] { SaveJPG(picture, childFolder + name + ".jpg", 85); }),
                     jpegError(JpegAccessDenied));
            QCOMPARE(outcome([&] { SavePicture(picture, childFolder + name + ".bmp"); }),
                     QStringLiteral("70 Permission denied"));
        }
        return;
    }
    if (geteuid() != 0)
        QSKIP("needs root to make files that an unprivileged user cannot write");
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vantelo-readonly-XXXXXX"));
    writeOld(dir.path(), {"old.jpg", "old.bmp"});
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    // Anyone may create files beside old.*, so only their own bits guard them.
    const auto readable =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    for (const char* old : {"old.jpg", "old.bmp"})
        QVERIFY(QFile::setPermissions(dir.filePath(old), QFile::ReadOwner | QFile::ReadOther));
    QVERIFY(QFile::setPermissions(dir.filePath("locked"), readable));
    QVERIFY(QFile::setPermissions(dir.path(), readable | QFile::WriteOther));
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    const QString self = QCoreApplication::applicationFilePath();
    const QStringList asNobody = {"--reuid=65534", "--regid=65534", "--clear-groups"};
    if (QProcess::execute(QStringLiteral("setpriv"), asNobody + QStringList{"test", "-x", self}))
        QSKIP("an unprivileged user cannot run this test binary here");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VANTELO_READ_ONLY_FOLDER"), dir.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"), asNobody + QStringList{self, "readOnlyTargetsForReal"});
    QVERIFY(child.waitForFinished(120000));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             child.readAll().constData());
    QCOMPARE(snapshot(dir.path()), before);
#endif
}

void ExportTest::cancelEndsSilently() {
    Flow flow;
    flow.save(QString());
    QVERIFY(flow.fixture.messages.messages.empty());
    QCOMPARE(snapshot(flow.logos(QString())), flow.before);
    QCOMPARE(flow.fixture.dialogs.calls.size(), size_t(1));
    const ScriptedDialogs::Call& call = flow.fixture.dialogs.calls.front();
    QCOMPARE(call.kind + call.folder + call.title,
             "save" + flow.logos(QString()) + QStringLiteral("Save Image"));
    QCOMPARE(call.nameFilters,
             filterToNameFilters(
                 "JPG Files (*.jpg)|*.jpg|BMP Files (*.bmp)|*.bmp|PNG Files (*.png)|*.png|SVG "
                 "Files (*.svg)|*.svg|PDF Files (*.pdf)|*.pdf"));
}

void ExportTest::formatFollowsTheExtension_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("jpg over the old file") << "old.jpg" << QByteArray("jpeg");
    QTest::newRow("JPG") << "logo.JPG" << QByteArray("jpeg");
    QTest::newRow("Jpeg") << "logo.Jpeg" << QByteArray("jpeg");
    QTest::newRow("bmp over the old file") << "old.bmp" << QByteArray("bmp");
    QTest::newRow("BMP in a dotted folder") << "my.files/logo.BMP" << QByteArray("bmp");
}

void ExportTest::formatFollowsTheExtension() {
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    Flow flow;
    flow.save(name);
    QCOMPARE(flow.fixture.messages.texts(), QStringList{"Done."});
    QCOMPARE(flow.fixture.messages.messages.front().style, 0);
    QCOMPARE(flow.fixture.messages.messages.front().title, applicationTitle());
    QImageReader reader(flow.logos(name));
    QCOMPARE(reader.format(), format);
    if (format == "bmp") {
        QCOMPARE(reader.read().convertToFormat(QImage::Format_RGB32), flow.rendered());
    } else {  // byte for byte what the encoder makes of the rendered logo at 85
        QBuffer expected;
        expected.open(QIODevice::WriteOnly);
        QCOMPARE(EncodeJPG(flow.rendered(), expected, 85), int(JpegOk));
        QCOMPARE(contents(flow.logos(name)), expected.data());
    }
}

void ExportTest::otherNamesWriteNothing_data() {
    QTest::addColumn<QString>("name");
    for (const char* name :
         {"logo.gif", "logo", "my.files/logo", "pics.jpg/logo", "logo.", "logo.jpg.txt"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void ExportTest::otherNamesWriteNothing() {
    QFETCH(QString, name);
    Flow flow;
    flow.save(name);
    QCOMPARE(flow.fixture.messages.texts(), QStringList{unsupportedNameMessage()});
    for (const char* extension : {".jpg", ".jpeg", ".bmp"})
        QVERIFY(unsupportedNameMessage().contains(QLatin1String(extension)));
    QCOMPARE(snapshot(flow.logos(QString())), flow.before);
}

void ExportTest::failedWriteIsReportedOnce_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("description");
    QTest::newRow("read-only bmp") << "old.bmp" << 128 << "Permission denied";
    QTest::newRow("read-only jpg") << "old.jpg" << 132 << "Cannot save the image. GDI+ Error:12";
    QTest::newRow("no such folder")
        << "gone/logo.jpg" << 132 << "Cannot save the image. GDI+ Error:10";
}

void ExportTest::failedWriteIsReportedOnce() {
    QFETCH(QString, name);
    QFETCH(int, line);
    QFETCH(QString, description);
    Flow flow;
    ReadOnlyPaths check;
    check.readOnly << flow.logos(name);
    flow.save(name, check);
    const QString location = errorLocation("Form1", "PushButton5_Click");
    QCOMPARE(flow.fixture.messages.texts(),
             QStringList{errorReportText(RuntimeError(5, description), location, line)});
    QCOMPARE(snapshot(flow.logos(QString())), flow.before);
}

// Qt's own Save dialog, reached through the window's button: picking an
// existing file asks first, whatever flags an earlier dialog left behind.
// "No" keeps the file; "Yes" replaces it.
void ExportTest::dialogAsksBeforeReplacing() {
    Flow flow;
    QtDialogPresenter presenter;
    flow.fixture.form->CommonDialog1.setPresenter(presenter);
    flow.fixture.form->CommonDialog1.Flags = 3;
    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        QString question;
        bool stillOpen = false;
        whenModal<QFileDialog>([&](QFileDialog* files) {
            whenModal<QMessageBox>([&](QMessageBox* box) {
                question = box->text();
                box->button(answer)->click();
            });
            files->selectFile(flow.logos(QStringLiteral("old.bmp")));
            files->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
            stillOpen = files->isVisible();
            if (stillOpen)
                files->reject();
        });
        flow.fixture.form->PushButton5->click();
        QVERIFY2(question.contains(QStringLiteral("old.bmp")), qPrintable(question));
        QCOMPARE(stillOpen, answer == QMessageBox::No);
        if (answer == QMessageBox::No) {
            QVERIFY(flow.fixture.messages.messages.empty());
            QCOMPARE(snapshot(flow.logos(QString())), flow.before);
        }
    }
    QCOMPARE(flow.fixture.messages.texts(), QStringList{"Done."});
    QCOMPARE(QImage(flow.logos("old.bmp")).convertToFormat(QImage::Format_RGB32), flow.rendered());
}

// Widths around the four-pixel steps of the encoder, with a pixel of its own
// colour at every place, read back through Qt's own BMP reader.
void ExportTest::bitmapKeepsEveryPixel() {
    // Widths down from 13 take the four-pixel steps with every remainder, and
    // each is encoded over the last one's buffer too.
    QByteArray kept;
    for (int width = 13; width >= 1; --width) {
        QImage picture(width, 3, QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                picture.setPixel(x, y, qRgb(x * 19, y * 80 + 7, 255 - x * 17 - y));
        const QByteArray file = encodeBitmap(picture);
        const QImage back = QImage::fromData(file, "BMP");
        QCOMPARE(back.convertToFormat(QImage::Format_RGB32), picture);
        encodeBitmap(picture, kept);
        QCOMPARE(kept, file);
    }
}

void ExportTest::replacedFileKeepsItsMode() {
#ifdef Q_OS_WIN
    QSKIP("mode bits are POSIX's");
#else
    QTemporaryDir dir;
    const mode_t mask = ::umask(022);
    // {the old file's bits, or 0 for none; the new file's}
    const std::pair<mode_t, mode_t> cases[] = {
        {0, 0644}, {0600, 0600}, {0644, 0644}, {0666, 0666}, {0750, 0750}};
    for (const auto& [before, after] : cases) {
        const QString file = QStringLiteral("logo-%1.bmp").arg(before, 0, 8);
        const QString name = dir.filePath(file);
        const QByteArray path = QFile::encodeName(name);
        if (before != 0) {
            writeOld(dir.path(), {file});
            ::chmod(path.constData(), before);
        }
        SavePicture(pattern(5, 2), name);
        struct stat st;
        QCOMPARE(::stat(path.constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, after);
        QVERIFY(QImage(name).size() == QSize(5, 2));
    }
    ::umask(mask);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 5);
#endif
}

void ExportTest::encoderMatchesQtWriter_data() {
    QTest::addColumn<QImage>("picture");
    const QImage base = pattern(37, 29);
    for (const QSize size : {QSize(512, 229), QSize(1, 1), QSize(17, 300)})
        QTest::addRow("RGB32 %dx%d", size.width(), size.height())
            << pattern(size.width(), size.height());
    for (const auto format :
         {QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBX8888,
          QImage::Format_RGBA8888, QImage::Format_RGB888, QImage::Format_Grayscale8,
          QImage::Format_Indexed8, QImage::Format_RGB16, QImage::Format_RGBA8888_Premultiplied})
        QTest::addRow("format %d", int(format)) << base.convertToFormat(format);
    QImage translucent = base.convertToFormat(QImage::Format_ARGB32);
    translucent.setPixel(3, 3, qRgba(200, 100, 50, 60));
    QTest::newRow("translucent pixel") << translucent;
    QImage print = base;
    print.setDotsPerMeterX(11811);  // 300 dpi
    print.setDotsPerMeterY(4000);
    QTest::newRow("resolution") << print;
    QImage described = base;
    described.setText(QStringLiteral("Description"), QStringLiteral("logo"));
    QTest::newRow("text") << described;
}

// Byte for byte what Qt's writer made of the same pixels before, fast path
// or not; and again, with the same encoder reused.
void ExportTest::encoderMatchesQtWriter() {
    QFETCH(QImage, picture);
    QBuffer qt;
    qt.open(QIODevice::WriteOnly);
    QImageWriter writer(&qt, "jpeg");
    writer.setQuality(85);
    QVERIFY(writer.write(picture));
    for (int round = 0; round < 2; ++round) {
        QByteArray ours;
        QCOMPARE(EncodeJPGToBytes(picture, 85, ours), int(JpegOk));
        QCOMPARE(ours, qt.data());
    }
}

// Whether a user may write is the system's answer, not the permission bits':
// as that user, through ACLs, in root's folders and sticky ones.
void ExportTest::writableTargetsForReal() {
#ifdef Q_OS_WIN
    QSKIP("ownership, ACLs and setpriv are POSIX's; Windows access is tested in test_windowsfiles");
#else
    const QString childFolder = qEnvironmentVariable("VANTELO_WRITABLE_FOLDER");
    const QImage picture = pattern(8, 8);
    const QStringList names = {"acl/new", "owned/mine", "sticky/mine", "sticky/shared", "link"};
    if (!childFolder.isEmpty()) {
        for (const QString& name : names) {
            QCOMPARE(outcome([&] { SaveJPG(picture, childFolder + "/" + name + ".jpg", 85); }),
                     QString());
            QCOMPARE(outcome([&] { SavePicture(picture, childFolder + "/" + name + ".bmp"); }),
                     QString());
        }
        QCOMPARE(outcome([&] { SaveJPG(picture, childFolder + "/fifo.jpg", 85); }),
                 jpegError(JpegNotAFile));
        return;
    }
    if (geteuid() != 0)
        QSKIP("needs root to make folders that only an ACL opens to another user");
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vantelo-writable-XXXXXX"));
    QDir root(dir.path());
    for (const char* folder : {"acl", "owned", "sticky"})
        QVERIFY(root.mkdir(QLatin1String(folder)));
    writeOld(dir.path(), {"owned/mine.jpg", "owned/mine.bmp", "sticky/mine.jpg", "sticky/mine.bmp",
                          "sticky/shared.jpg", "sticky/shared.bmp", "target.jpg", "target.bmp"});
    const QByteArray path = QFile::encodeName(dir.path());
    QVERIFY(::chmod(path, 0755) == 0 && ::chmod(path + "/sticky", 01777) == 0);
    for (const char* ext : {".jpg", ".bmp"}) {
        QVERIFY(::chown(path + "/owned/mine" + ext, 65534, 65534) == 0);
        QVERIFY(::chown(path + "/sticky/mine" + ext, 65534, 65534) == 0);
        QVERIFY(::chmod(path + "/sticky/shared" + ext, 0666) == 0);
        QVERIFY(::chown(path + "/target" + ext, 65534, 65534) == 0);
        QVERIFY(::symlink(path + "/target" + ext, path + "/link" + ext) == 0);
    }
    QVERIFY(::mkfifo(path + "/fifo.jpg", 0666) == 0);
    QCOMPARE(QProcess::execute("setfacl", {"-m", "u:65534:rwx", dir.filePath("acl")}), 0);

    const QStringList asNobody = {"--reuid=65534", "--regid=65534", "--clear-groups"};
    const QString self = QCoreApplication::applicationFilePath();
    if (QProcess::execute(QStringLiteral("setpriv"), asNobody + QStringList{"test", "-x", self}))
        QSKIP("an unprivileged user cannot run this test binary here");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VANTELO_WRITABLE_FOLDER"), dir.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"), asNobody + QStringList{self, "writableTargetsForReal"});
    QVERIFY(child.waitForFinished(120000));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             child.readAll().constData());
    for (const QString& name : names)
        QCOMPARE(QImage(dir.filePath(name + ".bmp")).size(), picture.size());
    QVERIFY(QFileInfo(dir.filePath("link.jpg")).isSymLink());
    QCOMPARE(QImage(dir.filePath("target.jpg")).size(), picture.size());
    QCOMPARE(QFileInfo(dir.filePath("target.jpg")).ownerId(), 65534u);
#endif
}

// The labels of the real dialogs read as the program wrote them.
void ExportTest::dialogShowsEachPatternOnce() {
    Flow flow;
    QtDialogPresenter presenter;
    flow.fixture.form->CommonDialog1.setPresenter(presenter);
    for (const bool save : {true, false}) {
        QStringList labels;
        whenModal<QFileDialog>([&](QFileDialog* files) {
            const QComboBox* types = files->findChild<QComboBox*>("fileTypeCombo");
            for (int i = 0; types != nullptr && i < types->count(); ++i)
                labels << types->itemText(i);
            files->reject();
        });
        if (save) {
            flow.fixture.form->PushButton5->click();
            QCOMPARE(labels,
                     QStringList({"JPG Files (*.jpg)", "BMP Files (*.bmp)", "PNG Files (*.png)",
                                  "SVG Files (*.svg)", "PDF Files (*.pdf)"}));
        } else {
            presenter.openFile(flow.logos(QString()), "Select Image",
                               filterToNameFilters("Image Files (*.jpg;*.bmp;)|*.jpg;*.bmp;|"));
            QCOMPARE(labels, QStringList{"Image Files (*.jpg;*.bmp;)"});
        }
    }
}

void ExportTest::dialogChecksBeforeAsking_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("said");  // the dialog's own warning, if any
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("existing gif") << "keep.gif" << QString()
                                  << QStringList{unsupportedNameMessage()};
    QTest::newRow("300 bytes") << QString(296, 'n') + ".jpg"
                               << "too long" << QStringList();
    QTest::newRow("read-only file") << "old.jpg"
                                    << "You may not write" << QStringList();
    QTest::newRow("new file") << "new.bmp" << QString() << QStringList{"Done."};
}

// A name typed into Qt's own Save dialog and Return pressed: the dialog never
// asks to replace a file that the program then refuses to write.
void ExportTest::dialogChecksBeforeAsking() {
    QFETCH(QString, name);
    QFETCH(QString, said);
    QFETCH(QStringList, messages);
    Flow flow;
    writeOld(flow.logos(QString()), {"keep.gif"});
    const QMap<QString, QByteArray> before = snapshot(flow.logos(QString()));
    ReadOnlyPaths check;
    check.readOnly << flow.logos("old.jpg");
    QtDialogPresenter presenter;
    flow.fixture.form->CommonDialog1.setPresenter(presenter);
    QString question;
    bool stillOpen = false;
    whenModal<QFileDialog>([&](QFileDialog* files) {
        whenModal<QMessageBox>([&](QMessageBox* box) {
            question = box->text();
            box->button(QMessageBox::Ok) != nullptr ? box->button(QMessageBox::Ok)->click()
                                                    : box->reject();
        });
        QLineEdit* edit = files->findChild<QLineEdit*>("fileNameEdit");
        edit->clear();
        files->setDirectory(flow.logos(QString()));
        QTest::keyClicks(edit, name);
        QTest::keyClick(edit, Qt::Key_Return);
        stillOpen = files->isVisible();
        if (stillOpen)
            files->reject();
    });
    SaveFlowContext context{flow.fixture.form->CommonDialog1, *flow.fixture.form->canvas,
                            flow.fixture.messages, flow.logos(QString()).chopped(1), check};
    PushButton5_Click(context);
    QVERIFY2(said.isEmpty() ? question.isEmpty() : question.contains(said), qPrintable(question));
    QCOMPARE(stillOpen, !said.isEmpty());
    QCOMPARE(flow.fixture.messages.texts(), messages);
    if (messages != QStringList{"Done."})
        QCOMPARE(snapshot(flow.logos(QString())), before);
}

void ExportTest::nameWithoutExtensionTakesTheFilters_data() {
    QTest::addColumn<int>("filter");  // Down presses on the file type list
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("JPG") << 0 << "logo1"
                         << "logo1.jpg" << QByteArray("jpeg");
    QTest::newRow("BMP") << 1 << "logo1"
                         << "logo1.bmp" << QByteArray("bmp");
    QTest::newRow("PNG") << 2 << "logo1"
                         << "logo1.png" << QByteArray("png");
    QTest::newRow("own extension wins") << 2 << "logo1.bmp"
                                        << "logo1.bmp" << QByteArray("bmp");
    QTest::newRow("unknown extension kept") << 0 << "logo1.v2"
                                            << "" << QByteArray();
    // The name the filter completes is an existing file: Qt asks, and No
    // leaves the dialog open and the file alone.
    QTest::newRow("completes to an old file") << 0 << "old"
                                              << "" << QByteArray();
}

// Typed into Qt's own Save dialog, with a file type chosen from its list.
void ExportTest::nameWithoutExtensionTakesTheFilters() {
    QFETCH(int, filter);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QByteArray, format);
    Flow flow;
    QtDialogPresenter presenter;
    flow.fixture.form->CommonDialog1.setPresenter(presenter);
    QString asked;
    whenModal<QFileDialog>([&](QFileDialog* files) {
        whenModal<QMessageBox>([&](QMessageBox* box) {
            asked = box->text();
            box->button(QMessageBox::No)->click();
        });
        auto* types = files->findChild<QComboBox*>("fileTypeCombo");
        types->setFocus();
        for (int i = 0; i < filter; ++i)
            QTest::keyClick(types, Qt::Key_Down);
        QLineEdit* edit = files->findChild<QLineEdit*>("fileNameEdit");
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        if (files->isVisible())
            files->reject();
    });
    flow.fixture.form->PushButton5->click();
    QMap<QString, QByteArray> after = snapshot(flow.logos(QString()));
    if (written.isEmpty()) {
        QCOMPARE(after, flow.before);
        QCOMPARE(asked.isEmpty(), typed != QLatin1String("old"));
        QCOMPARE(flow.fixture.messages.texts(),
                 asked.isEmpty() ? QStringList{unsupportedNameMessage()} : QStringList());
        return;
    }
    QCOMPARE(flow.fixture.messages.texts(), QStringList{"Done."});
    QStringList names = flow.before.keys() << flow.logos(written);
    names.sort();
    QCOMPARE(after.keys(), names);
    QCOMPARE(QImageReader(flow.logos(written)).format(), format);
}

void ExportTest::userLibraryIsMadeBySaving_data() {
    QTest::addColumn<QString>("saved");  // relative to the pictures folder; empty: cancel
    QTest::addColumn<bool>("made");
    QTest::newRow("cancelled") << "" << false;
    QTest::newRow("saved elsewhere") << "elsewhere.jpg" << false;
    QTest::newRow("saved into it") << "Vantelo/logo.jpg" << true;
    QTest::newRow("refused name") << "Vantelo/logo.gif" << false;
}

// An installed program's library is the Vantelo folder in the pictures folder:
// there for the Save dialog to open in, and left only once a logo is in it.
void ExportTest::userLibraryIsMadeBySaving() {
    QFETCH(QString, saved);
    QFETCH(bool, made);
    Flow flow;
    QTemporaryDir pictures;
    const QString library = pictures.filePath(QStringLiteral("Vantelo"));
    flow.fixture.dialogs.files.push_back(saved.isEmpty() ? std::nullopt
                                                         : std::optional(pictures.filePath(saved)));
    SaveFlowContext context{flow.fixture.form->CommonDialog1, *flow.fixture.form->canvas,
                            flow.fixture.messages, library};
    PushButton5_Click(context);
    QCOMPARE(flow.fixture.dialogs.calls.back().folder, library + QLatin1Char('/'));
    QCOMPARE(QFileInfo(library).isDir(), made);
    if (!saved.isEmpty())
        QCOMPARE(QFileInfo::exists(pictures.filePath(saved)), !saved.endsWith(".gif"));
}

QTEST_MAIN(ExportTest)
#include "test_export.moc"
