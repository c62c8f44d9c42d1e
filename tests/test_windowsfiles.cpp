#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "gallery/addfolder.h"
#include "gallery/fillgallery.h"
#include "gallery/galleryview.h"
#include "platform/filesystem.h"
#include "platform/picture.h"
#include "platform/runtimeerror.h"
#include "platform/userfolders.h"
#include "platform/wholefile.h"
#include "support/testsupport.h"

using namespace vantelo;
using vantelo::test::RecordingMessages;

namespace {

constexpr bool kWindows =
#ifdef Q_OS_WIN
    true;
#else
    false;
#endif

// A noisy photo of some hundred kilobytes, so that its decoding reads the file
// in many pieces.
QByteArray jpegBytes() {
    static const QByteArray bytes = [] {
        QImage image(400, 300, QImage::Format_RGB32);
        QRandomGenerator noise(7);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, noise.generate() | 0xFF000000u);
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 90);
        return out;
    }();
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList galleryOf(const QString& folder) {
    RecordingMessages messages;
    GalleryView view;
    FillLogoGallery(view, folder, systemFileSystem(), messages);
    QStringList entries;
    for (int i = 0; i < view.entryCount(); ++i)
        entries << QDir::fromNativeSeparators(view.entries().entry(i));
    return entries;
}

// The error a picture is refused with, or 0 when it loads.
int loadError(const QString& path, QString* description = nullptr) {
    try {
        LoadPicture(path);
        return 0;
    } catch (const RuntimeError& error) {
        if (description != nullptr)
            *description = error.description();
        return error.number();
    }
}

// What one reading of a folder reported: each name with its attribute value.
struct Recorder final : FolderVisitor {
    bool enter(quint64, quint64) override { return true; }
    void subFolder(const QString& name, int attributes) override {
        values[name + '/'] = attributes;
    }
    void file(const QString& name, int attributes) override { values[name] = attributes; }
    QHash<QString, int> values;
};

#ifdef Q_OS_WIN
const wchar_t* native(const QString& path) {
    static QString kept;
    kept = QDir::toNativeSeparators(path);
    return reinterpret_cast<const wchar_t*>(kept.utf16());
}
#endif

}  // namespace

class WindowsFilesTest : public QObject {
    Q_OBJECT
private slots:
    void attributesAsWindowsKeepsThem_data();
    void attributesAsWindowsKeepsThem();
    void longAndForeignNames_data();
    void longAndForeignNames();
    void devicesAreNoPictures_data();
    void devicesAreNoPictures();
    void lockedAndReadOnly_data();
    void lockedAndReadOnly();
    void junctionLoopEnds();
    void rootsAndSystemPaths_data();
    void rootsAndSystemPaths();
};

void WindowsFilesTest::attributesAsWindowsKeepsThem_data() {
    QTest::addColumn<QString>("name");  // a folder ends in "/" and holds x.jpg
    QTest::addColumn<uint>("set");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("listed");
    const uint hidden = 2, system = 4, archive = 32, readOnly = 1, notIndexed = 8192;
    QTest::newRow("hidden with archive") << "h.jpg" << hidden + archive << 34 << false;
    QTest::newRow("hidden alone") << "h.jpg" << hidden << 2 << true;
    QTest::newRow("read-only") << "r.jpg" << readOnly + archive << 33 << true;
    QTest::newRow("system") << "s.jpg" << system + archive << 36 << true;
    QTest::newRow("not indexed counts for nothing")
        << "n.jpg" << hidden + archive + notIndexed << 34 << false;
    QTest::newRow("hidden system folder") << "hs/" << hidden + system << 22 << false;
    QTest::newRow("hidden system archive folder")
        << "hs/" << hidden + system + archive << 54 << true;
    QTest::newRow("hidden folder") << "h/" << hidden << 18 << true;
}

// The gallery's rules apply to the attributes the file system keeps, read by
// attributes() and by a folder's reading alike.
void WindowsFilesTest::attributesAsWindowsKeepsThem() {
#ifndef Q_OS_WIN
    QSKIP("hidden, system and archive are Windows' own attributes");
#else
    QFETCH(QString, name);
    QFETCH(uint, set);
    QFETCH(int, value);
    QFETCH(bool, listed);
    QTemporaryDir app;
    const QString path = app.path() + '/' + name;
    const QString picture = name.endsWith('/') ? path + "x.jpg" : path;
    writeFile(picture, jpegBytes());
    QVERIFY(::SetFileAttributesW(native(path), set));
    if (::GetFileAttributesW(native(path)) != (name.endsWith('/') ? set | 16 : set))
        QSKIP("this file system does not keep these attributes (Wine keeps archive on files)");
    QCOMPARE(systemFileSystem().attributes(path), value);
    Recorder reading;
    systemFileSystem().readFolder(app.path() + '/', "*.jpg", reading);
    QCOMPARE(reading.values.value(name, -1), value);
    const bool shown = galleryOf(app.path()).contains(picture);
    ::SetFileAttributesW(native(path), FILE_ATTRIBUTE_NORMAL);
    QCOMPARE(shown, listed);
#endif
}

void WindowsFilesTest::longAndForeignNames_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    // The folder stays under the walk's 260 characters; the picture's path
    // does not.
    const QString deep = QString(120, 'a') + '/' + QString(50, 'b');
    QTest::newRow("a path of 300 characters") << deep << QString(80, 'c') + ".jpg";
    QTest::newRow("Greek") << "logos"
                           << "Ωμέγα λογότυπο.jpg";
    QTest::newRow("Japanese") << "logos"
                              << "日本語のロゴ.jpg";
    QTest::newRow("Greek at the end of a long path") << deep << "Ω" + QString(80, u'ω') + ".jpg";
}

// Names outside the ANSI code page and paths of 260 characters and more are
// walked, opened, read and checked for saving like any other.
void WindowsFilesTest::longAndForeignNames() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QTemporaryDir app;
    const QString path = app.path() + '/' + folder + '/' + name;
    const QByteArray bytes = jpegBytes();
    writeFile(path, bytes);
    QVERIFY(galleryOf(app.path()).contains(path));
    QCOMPARE(LoadPicture(path), QImage::fromData(bytes));
    QCOMPARE(readWholeFile(path, 1 << 20), bytes);
    QVERIFY(systemFileSystem().canOpen(path));
    const SaveTarget target = systemFileSystem().saveTarget(path);
    QCOMPARE(target.kind, SaveTarget::File);
    QCOMPARE(target.fileError, 0);
    QCOMPARE(target.folderError, 0);
    QVERIFY(mayWriteFolder(QFileInfo(path).path()));
}

void WindowsFilesTest::devicesAreNoPictures_data() {
    QTest::addColumn<QString>("path");  // "@" is a folder of the test's own
    QTest::addColumn<bool>("windows");
    for (const char* device : {"CON", "NUL", "nul.jpg", "COM1.jpg", "@/NUL.jpg", "@/com1.jpg",
                               "@/LPT1", "@/aux .jpg", "@/CONOUT$", "//./NUL"})
        QTest::newRow(device) << QString(device) << true;
    QTest::newRow("/dev/null") << "/dev/null" << false;
    QTest::newRow("/dev/zero") << "/dev/zero" << false;
}

// A device is refused at once with the report a device gets on every system,
// and never waited on; a file that carries a device's name (made through the
// long form) is not listed, since no ordinary path reaches it.
void WindowsFilesTest::devicesAreNoPictures() {
    QFETCH(QString, path);
    QFETCH(bool, windows);
    if (windows != kWindows)
        QSKIP("a device of the other system");
    QTemporaryDir folder;
    path.replace('@', folder.path());
#ifdef Q_OS_WIN
    QString real;
    // Only the long form reaches such a file to remove it.
    const auto removeFile = qScopeGuard([&] {
        if (!real.isEmpty())
            ::DeleteFileW(native(real));
    });
    if (path.startsWith(folder.path())) {
        real = "\\\\?\\" + QDir::toNativeSeparators(path);
        const HANDLE file = ::CreateFileW(native(real), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            ::WriteFile(file, jpegBytes().constData(), DWORD(jpegBytes().size()), nullptr, nullptr);
            ::CloseHandle(file);
            QVERIFY(!galleryOf(folder.path()).contains(path));
        }
    }
#endif
    QString description;
    QCOMPARE(loadError(path, &description), int(ErrInvalidPicture));
    QCOMPARE(description, QStringLiteral("Invalid picture: not a file"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, readWholeFile(path, 1 << 20));
    QVERIFY(!systemFileSystem().canOpen(path));
    QCOMPARE(systemFileSystem().saveTarget(path).kind, SaveTarget::Other);
}

void WindowsFilesTest::lockedAndReadOnly_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("loadError");
    QTest::addColumn<int>("fileError");
    QTest::newRow("locked by another program") << "locked" << 70 << EACCES;
    QTest::newRow("read-only file") << "read-only" << 0 << EACCES;
    // A folder's read-only attribute keeps nothing out on Windows.
    QTest::newRow("in a read-only folder") << "folder" << 0 << 0;
}

// A locked file is still listed (the open test asks for no rights) but is
// refused when read; a read-only file loads and is refused for writing.
void WindowsFilesTest::lockedAndReadOnly() {
#ifndef Q_OS_WIN
    QSKIP("locks and read-only attributes as Windows has them");
#else
    QFETCH(QString, kind);
    QFETCH(int, loadError);
    QFETCH(int, fileError);
    QTemporaryDir app;
    const QString folder = app.path() + "/logos";
    const QString path = folder + "/x.jpg";
    writeFile(path, jpegBytes());
    HANDLE lock = INVALID_HANDLE_VALUE;
    if (kind == "locked") {
        lock = ::CreateFileW(native(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        QVERIFY(lock != INVALID_HANDLE_VALUE);
    } else if (!::SetFileAttributesW(native(kind == "folder" ? folder : path),
                                     FILE_ATTRIBUTE_READONLY) ||
               (::GetFileAttributesW(native(kind == "folder" ? folder : path)) &
                FILE_ATTRIBUTE_READONLY) == 0)
        QSKIP("this file system keeps no read-only attribute here (Wine on a folder)");
    const bool listed = galleryOf(app.path()).contains(path);
    const int loaded = ::loadError(path);
    const SaveTarget target = systemFileSystem().saveTarget(path);
    const bool writable = mayWriteFolder(folder);
    if (lock != INVALID_HANDLE_VALUE)
        ::CloseHandle(lock);
    ::SetFileAttributesW(native(path), FILE_ATTRIBUTE_NORMAL);
    ::SetFileAttributesW(native(folder), FILE_ATTRIBUTE_DIRECTORY);
    QVERIFY(listed);
    QCOMPARE(loaded, loadError);
    QCOMPARE(target.kind, SaveTarget::File);
    QCOMPARE(target.fileError, fileError);
    QCOMPARE(target.folderError, 0);
    QVERIFY(writable);
#endif
}

// A junction that leads back up the tree ends the walk with each folder read
// once and each picture listed once.
void WindowsFilesTest::junctionLoopEnds() {
#ifndef Q_OS_WIN
    QSKIP("folder junctions are Windows' own; the POSIX links are in test_gallery");
#else
    QTemporaryDir app;
    const QStringList pictures{"p.jpg", "a/q.jpg", "a/b/r.jpg"};
    for (const QString& picture : pictures)
        writeFile(app.path() + '/' + picture, jpegBytes());
    const QString link = QDir::toNativeSeparators(app.path() + "/a/b/up");
    QProcess::execute("cmd", {"/c", "mklink", "/J", link, QDir::toNativeSeparators(app.path())});
    // Wine can make no junction; the host's symbolic link stands in there,
    // which Wine shows as a folder that is a reparse point.
    const bool wine =
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    QString unixLink;
    if (!QFileInfo(link).isDir() && wine) {
        QProcess winepath;
        winepath.start("winepath", {"-u", link});
        QVERIFY(winepath.waitForFinished());
        unixLink = QString::fromLocal8Bit(winepath.readAllStandardOutput()).trimmed();
        QProcess::execute("cmd",
                          {"/c", "start", "/wait", "/unix", "/bin/ln", "-s", "../..", unixLink});
    }
    if (!QFileInfo(link).isDir())
        QSKIP("this system made no folder junction");
    // The loop is taken away before the folder is, which would follow it.
    const auto removeLink = qScopeGuard([&] {
        if (!unixLink.isEmpty())
            QProcess::execute("cmd", {"/c", "start", "/wait", "/unix", "/bin/rm", unixLink});
        else
            ::RemoveDirectoryW(native(link));
    });
    QStringList entries = galleryOf(app.path());
    entries.sort();
    QStringList expected;
    for (const QString& picture : pictures)
        expected << app.path() + '/' + picture;
    expected.sort();
    QCOMPARE(entries, expected);
    RecordingMessages messages;
    QStringList walked{app.path() + '/'};
    GetSubDirectories2016(walked, true, systemFileSystem(), messages);
    QCOMPARE(walked.size(), 3);
#endif
}

void WindowsFilesTest::rootsAndSystemPaths_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("root");
    QTest::addColumn<QString>("system");
    const QString a256(256, 'a');
    QTest::newRow("drive root") << "C:/" << true << "C:\\";
    QTest::newRow("drive root, doubled") << "c://" << true << "c:\\";
    QTest::newRow("a folder on a drive") << "C://logos//" << false << "C:\\logos\\";
    QTest::newRow("share root") << "//server/share/" << true << "\\\\server\\share\\";
    QTest::newRow("share root, native") << "\\\\server\\share" << true << "\\\\server\\share";
    QTest::newRow("a folder on a share")
        << "//server/share/logos/" << false << "\\\\server\\share\\logos\\";
    QTest::newRow("a server alone") << "//server/" << false << "\\\\server\\";
    QTest::newRow("259 characters") << "C:/" + a256 << false << "C:\\" + a256;
    QTest::newRow("260 characters") << "C:/" + a256 + 'b' << false << "\\\\?\\C:\\" + a256 + 'b';
    QTest::newRow("long, with a step back")
        << "C:/x/../" + a256 + "/y" << false << "\\\\?\\C:\\" + a256 + "\\y";
    QTest::newRow("long, on a share")
        << "//server/share/" + a256 << false << "\\\\?\\UNC\\server\\share\\" + a256;
}

void WindowsFilesTest::rootsAndSystemPaths() {
#ifndef Q_OS_WIN
    QSKIP("drive letters and network shares are Windows' own");
#else
    QFETCH(QString, path);
    QFETCH(bool, root);
    QFETCH(QString, system);
    QCOMPARE(systemFileSystem().isRootFolder(path), root);
    QCOMPARE(systemPath(path), system);
#endif
}

QTEST_MAIN(WindowsFilesTest)
#include "test_windowsfiles.moc"
