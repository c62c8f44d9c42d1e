#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "app/form1.h"

#include "platform/errortrap.h"
#include "platform/settingsstore.h"
#include "support/testsupport.h"

using namespace vantelo;

class StoreTest : public QObject {
    Q_OBJECT
private slots:
    void reportHasItsPiecesInOrder();
    void trapResumesAfterTheFailingStatement();
    void failingTestLetsItsBranchRun();
    void textsRoundTripExactly_data();
    void textsRoundTripExactly();
    void missingKeyReadsAsDefault();
    void everyWriteIsOnDiskAtOnce();
    void unwritableStoreRaisesAndKeepsTheOldFile();
    void qsettingsFilesReadBackIdentically_data();
    void qsettingsFilesReadBackIdentically();
    void handWrittenLines_data();
    void handWrittenLines();
    void hostileFiles_data();
    void hostileFiles();
    void linkStaysALink();
    void writeFailsOnlyWhenItFails_data();
    void writeFailsOnlyWhenItFails();
    void unchangedStartWritesNothing();
};

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

void StoreTest::reportHasItsPiecesInOrder() {
    test::RecordingMessages boxes;
    showErrorReport(boxes, RuntimeError(ErrTypeMismatch),
                    errorLocation(QStringLiteral("Form1"), QStringLiteral("Form_Load")), 150);
    QCOMPARE(boxes.messages.size(), std::size_t(1));
    QCOMPARE(boxes.messages[0].title, QStringLiteral("Application Error"));
    QCOMPARE(boxes.messages[0].style, 48);
    QCOMPARE(boxes.messages[0].text,
             QStringLiteral("Type mismatch\r\nin Vantelo2021/08/31.Form1.Form_Load at line 150\r\r"
                            "Please email screenshot of this message to ") +
                 QLatin1String(kSupportAddress));
    QCOMPARE(errorLocation(QStringLiteral("AddFolder"), QStringLiteral("GetSubDirectories2016"),
                           QStringLiteral("BrenvaldTitle")),
             QStringLiteral("BrenvaldTitle2021/08/31.AddFolder.GetSubDirectories2016"));
}

void StoreTest::trapResumesAfterTheFailingStatement() {
    test::RecordingMessages boxes;
    ErrorTrap trap(boxes, QStringLiteral("here"));
    QStringList ran;
    trap.run(100, [&] { ran << "a"; });
    trap.run(102, [&] {
        throw RuntimeError(ErrOverflow);
        ran << "never";
    });
    trap.run(104, [&] { ran << "c"; });
    QCOMPARE(ran, QStringList({"a", "c"}));
    QCOMPARE(boxes.messages.size(), std::size_t(1));
    QVERIFY(boxes.messages[0].text.startsWith(QStringLiteral("Overflow\r\nin here at line 102")));
}

void StoreTest::failingTestLetsItsBranchRun() {
    test::RecordingMessages boxes;
    ErrorTrap trap(boxes, QStringLiteral("here"));
    QVERIFY(trap.test(130, []() -> bool { throw RuntimeError(52); }));
    QVERIFY(!trap.test(132, [] { return false; }));
    QCOMPARE(trap.reports(), 1);
}

void StoreTest::textsRoundTripExactly_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("long") << QString(5000, QLatin1Char('x')) + QStringLiteral("end");
    QTest::newRow("right to left") << QStringLiteral("שלום עולם مرحبا");
    QTest::newRow("combining") << QStringLiteral("e\u0301 a\u0308\u0323");
    QTest::newRow("ini specials") << QStringLiteral("a=b; [c] #d, \"e\" \\f @g");
    QTest::newRow("blanks kept") << QStringLiteral("  both ends  ");
    QTest::newRow("line breaks") << QStringLiteral("one\ntwo\r\nthree");
    QTest::newRow("comma list") << QStringLiteral("a,b,c");
}

void StoreTest::textsRoundTripExactly() {
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vantelo.conf"));
    {
        FileSettingsStore store(path);
        store.SaveSetting(QStringLiteral("TextLine0"), text);
        QCOMPARE(store.GetSetting(QStringLiteral("TextLine0"), QStringLiteral("x")), text);
        // A key's last character is written as an escape of its own.
        store.SaveSetting(QStringLiteral("odd/"), text);
    }
    FileSettingsStore reopened(path);
    QCOMPARE(reopened.GetSetting(QStringLiteral("TextLine0"), QStringLiteral("x")), text);
    QCOMPARE(reopened.GetSetting(QStringLiteral("odd/"), QStringLiteral("x")), text);
}

void StoreTest::missingKeyReadsAsDefault() {
    QTemporaryDir dir;
    FileSettingsStore store(dir.filePath(QStringLiteral("none/deeper/Vantelo.conf")));
    QCOMPARE(store.GetSetting(QStringLiteral("TextLine1 Size"), QStringLiteral("9")),
             QStringLiteral("9"));
    // Key names keep their blank.
    store.SaveSetting(QStringLiteral("TextLine1 Bold"), QStringLiteral("True"));
    QCOMPARE(QSettings(store.filePath(), QSettings::IniFormat).allKeys(),
             QStringList({QStringLiteral("TextLine1 Bold")}));
}

void StoreTest::everyWriteIsOnDiskAtOnce() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarnwick/Vantelo.conf"));
    FileSettingsStore store(path);
    store.SaveSetting(QStringLiteral("Image Left"), QStringLiteral("2925"));
    // Another reader sees it while the writer is still alive: nothing waits for exit.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Image%20Left=2925"));
    // The replace is atomic: no temporary file is left beside it.
    QCOMPARE(QDir(dir.filePath(QStringLiteral("Tarnwick"))).entryList(QDir::Files),
             QStringList({QStringLiteral("Vantelo.conf")}));
}

void StoreTest::unwritableStoreRaisesAndKeepsTheOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vantelo.conf"));
    {
        FileSettingsStore store(path);
        store.SaveSetting(QStringLiteral("TextLine0"), QStringLiteral("kept"));
    }
    QFile original(path);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    // The folder turns into something no file can be written into: the store's
    // file name now runs through a regular file, which even root cannot create,
    // and the system says the path is not there.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    QFile(blocked).open(QIODevice::WriteOnly);
    FileSettingsStore unwritable(blocked + QStringLiteral("/Vantelo.conf"));
    int raised = 0;
    try {
        unwritable.SaveSetting(QStringLiteral("TextLine0"), QStringLiteral("lost"));
    } catch (const RuntimeError& e) {
        raised = e.number();
    }
    QCOMPARE(raised, int(ErrPathNotFound));
    QFile after(path);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
}

void StoreTest::qsettingsFilesReadBackIdentically_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("path") << "Image"
                          << "/home/u/logos/tarnwick.gif";
    QTest::newRow("blank in key") << "TextLine1 Bold"
                                  << "True";
    QTest::newRow("key specials") << "a=b;c%d [e] ä €"
                                  << "x";
    QTest::newRow("comma") << "TextLine0"
                           << "a, b";
    QTest::newRow("quotes and backslashes") << "TextLine0"
                                            << "say \"hi\" C:\\dir\\";
    QTest::newRow("blanks at both ends") << "TextLine0"
                                         << "  both  ";
    QTest::newRow("at sign") << "TextLine0"
                             << "@Variant(x)";
    QTest::newRow("controls") << "TextLine0"
                              << QStringLiteral(
                                     "t\tn\nr\r\x01"
                                     "1f\x1f"
                                     "a");
    QTest::newRow("byte-order mark after escape")
        << "TextLine0" << QStringLiteral("\n\uFEFFx\uFEFF");
    QTest::newRow("beyond the basic plane") << "TextLine0" << QStringLiteral("logo \U0001F600 é");
    QTest::newRow("long") << "TextLine0" << QString(40000, QLatin1Char('w'));
}

void StoreTest::qsettingsFilesReadBackIdentically() {
    QFETCH(QString, key);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vantelo.conf"));
    {
        QSettings written(path, QSettings::IniFormat);
        written.setValue(QStringLiteral("Other"), QStringLiteral("kept"));
        written.setValue(key, text);
    }
    const QByteArray before = readAll(path);
    FileSettingsStore store(path);
    QCOMPARE(store.GetSetting(key, QStringLiteral("default")), text);
    // Written back unchanged, the file is not touched; a new value reads back
    // through QSettings too, and the other key is kept.
    store.SaveSetting(key, text);
    QCOMPARE(readAll(path), before);
    store.SaveSetting(key, text + QStringLiteral(", 2"));
    QCOMPARE(FileSettingsStore(path).GetSetting(key, QString()), text + QStringLiteral(", 2"));
    QCOMPARE(QSettings(path, QSettings::IniFormat).value(QStringLiteral("Other")).toString(),
             QStringLiteral("kept"));
}

void StoreTest::handWrittenLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("list-like") << QByteArray("TextLine0=a, b") << "a, b";
    QTest::newRow("serialised region")
        << QByteArray(
               "TextLine0=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\aQRegion\\0\\x7f\\xff\\xff\\xff)")
        << QStringLiteral("@Variant(\0\0\0\x7f\0\0\0\aQRegion\0\x7f\u00ff\u00ff\u00ff)");
    QTest::newRow("byte array") << QByteArray("TextLine0=@ByteArray(abc)") << "@ByteArray(abc)";
    QTest::newRow("comment after value") << QByteArray("TextLine0 = v ; note") << "v";
    QTest::newRow("endless hex escape")
        << QByteArray("TextLine0=\\x") + QByteArray(5000, 'f') << QStringLiteral("\uFFFD");
    QTest::newRow("NUL in line") << QByteArray("TextLine0=a\0b", 13) << "default";
    QTest::newRow("not UTF-8") << QByteArray("TextLine0=caf\xE9") << "default";
    QTest::newRow("no equals") << QByteArray("TextLine0") << "default";
    QTest::newRow("other section") << QByteArray("[Other]\nTextLine0=x") << "default";
}

void StoreTest::handWrittenLines() {
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vantelo.conf"));
    const QByteArray original = "\xEF\xBB\xBF; mine\n[General]\nImage=p\n" + line + "\nTail=t";
    writeAll(path, original);
    FileSettingsStore store(path);
    QCOMPARE(store.GetSetting(QStringLiteral("TextLine0"), QStringLiteral("default")), expected);
    const bool other = line.startsWith("[Other]");
    QCOMPARE(store.GetSetting(QStringLiteral("Tail"), QString()), other ? QString() : "t");
    QVERIFY(store.unreadableNotice().isEmpty());
    // Later writes work, and every line the store did not change keeps its bytes.
    store.SaveSetting(QStringLiteral("Image"), QStringLiteral("q"));
    store.SaveSetting(QStringLiteral("New"), QStringLiteral("n"));
    QByteArray after = original;
    if (other)
        after.replace("Image=p\n", "Image=q\nNew=n\n");
    else
        after.replace("Image=p", "Image=q").replace("Tail=t", "Tail=t\nNew=n\n");
    QCOMPARE(readAll(path), after);
}

void StoreTest::hostileFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("UTF-16 with BOM") << "utf16";
    QTest::newRow("UTF-16 without BOM") << "utf16le";
    QTest::newRow("binary") << "binary";
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("device") << "device";
    QTest::newRow("folder") << "folder";
    QTest::newRow("link loop") << "loop";
    QTest::newRow("huge") << "huge";
}

void StoreTest::hostileFiles() {
    QFETCH(QString, kind);
#ifdef Q_OS_WIN
    if (kind == QLatin1String("fifo") || kind == QLatin1String("device") ||
        kind == QLatin1String("loop"))
        QSKIP("FIFOs, device files and symbolic links made by QFile::link are POSIX things");
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vantelo.conf"));
    const QString utf16 = QStringLiteral("[General]\nTextLine0=x\n");
    if (kind == QLatin1String("utf16"))
        writeAll(path, "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(utf16.utf16()),
                                               utf16.size() * 2));
    if (kind == QLatin1String("utf16le"))
        writeAll(path, QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2));
    if (kind == QLatin1String("binary")) {
        QByteArray noise;
        for (int i = 0; i < 4096; ++i)
            noise += char((i * 97 + 13) % 256);
        writeAll(path, noise);
    }
#ifndef Q_OS_WIN
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
#endif
    if (kind == QLatin1String("device"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    if (kind == QLatin1String("loop")) {
        QVERIFY(QFile::link(path + QStringLiteral(".b"), path));
        QVERIFY(QFile::link(path, path + QStringLiteral(".b")));
    }
    if (kind == QLatin1String("huge")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(40) << 30));  // sparse: costs no disk
    }
    // An earlier unreadable file is not overwritten.
    writeAll(path + QStringLiteral(".unreadable"), "earlier");

    FileSettingsStore store(path);
    QVERIFY(store.unreadableNotice().contains(path + QStringLiteral(".unreadable.2")));
    QCOMPARE(readAll(path + QStringLiteral(".unreadable")), QByteArray("earlier"));
    QVERIFY(!QFileInfo::exists(path) && !QFileInfo(path).isSymLink());
    QCOMPARE(store.GetSetting(QStringLiteral("TextLine0"), QStringLiteral("d")),
             QStringLiteral("d"));
    store.SaveSetting(QStringLiteral("TextLine0"), QStringLiteral("fresh"));
    QCOMPARE(FileSettingsStore(path).GetSetting(QStringLiteral("TextLine0"), QString()),
             QStringLiteral("fresh"));
}

void StoreTest::linkStaysALink() {
#ifdef Q_OS_WIN
    QSKIP("QFile::link makes a shortcut on Windows, not a symbolic link");
#endif
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dotfiles")));
    const QString real = dir.filePath(QStringLiteral("dotfiles/Vantelo.conf"));
    writeAll(real, "[General]\nImage=old\n");
    const QString link = dir.filePath(QStringLiteral("Vantelo.conf"));
    QVERIFY(QFile::link(QStringLiteral("dotfiles/Vantelo.conf"), link));
    FileSettingsStore store(link);
    QCOMPARE(store.GetSetting(QStringLiteral("Image"), QString()), QStringLiteral("old"));
    store.SaveSetting(QStringLiteral("Image"), QStringLiteral("new"));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(real), QByteArray("[General]\nImage=new\n"));
}

void StoreTest::writeFailsOnlyWhenItFails_data() {
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");  // -1: no file
    QTest::addColumn<int>("error");
    QTest::newRow("read-only folder, writable file") << 0555 << 0644 << 0;
    QTest::newRow("read-only folder, no file") << 0555 << -1 << int(ErrPermissionDenied);
    QTest::newRow("read-only folder and file") << 0555 << 0444 << int(ErrPermissionDenied);
    QTest::newRow("read-only file in writable folder") << 0755 << 0444 << 0;
    QTest::newRow("writable") << 0755 << 0644 << 0;
}

void StoreTest::writeFailsOnlyWhenItFails() {
#ifdef Q_OS_WIN
    QSKIP("runs the store as another user with fork and setuid");
#else
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(int, error);
    // As an unprivileged user: root may write anywhere.
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString folder = dir.filePath(QStringLiteral("Tarnwick"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/Vantelo.conf");
    if (fileMode >= 0) {
        writeAll(path, "[General]\nImage=old\n");
        QVERIFY(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), fileMode) == 0);
    }
    QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), folderMode) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
        int raised = 0;
        try {
            FileSettingsStore(path).SaveSetting(QStringLiteral("Image"), QStringLiteral("new"));
        } catch (const RuntimeError& e) {
            raised = e.number();
        }
        ::_exit(raised);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QCOMPARE(WEXITSTATUS(status), error);
    if (error == 0)
        QCOMPARE(FileSettingsStore(path).GetSetting(QStringLiteral("Image"), QString()),
                 QStringLiteral("new"));
#endif
}

void StoreTest::unchangedStartWritesNothing() {
#ifdef Q_OS_WIN
    QSKIP("compares inode numbers and modification times in nanoseconds");
#else
    test::Sandbox sandbox;
    { test::FormFixture first(sandbox); }  // writes the restored defaults
    const QByteArray p = QFile::encodeName(sandbox.settingsPath());
    struct stat before {};
    QCOMPARE(::stat(p.constData(), &before), 0);
    QTest::qWait(20);
    { test::FormFixture second(sandbox); }
    struct stat after {};
    QCOMPARE(::stat(p.constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
#endif
}

QTEST_MAIN(StoreTest)
#include "test_store.moc"
