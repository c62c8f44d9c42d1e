#include <QProcess>
#include <QtTest>

#include <QLineEdit>

#include "app/form1.h"
#include "editing/designfiles.h"
#include "editing/imagesource.h"
#include "export/designrenderer.h"
#include "export/exportoptions.h"
#include "support/testsupport.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace vantelo::test;

#ifdef Q_OS_WIN
namespace {

// On Windows the program keeps its design in the registry, which a sandboxed
// home does not hide. The tests expect the defaults, so the user's key is
// moved aside for the run and back afterwards; should the run die, the key
// waits under the aside name and is put back by the next run.
const wchar_t kDesignKey[] = L"Software\\VB and VBA Program Settings\\Tarnwick\\Vantelo";
const wchar_t kAsideKey[] =
    L"Software\\VB and VBA Program Settings\\Tarnwick\\Vantelo (kept aside by test_cli)";

bool keyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

// Copies the key at `from` to `to` (replacing it) and deletes `from`.
bool moveKey(const wchar_t* from, const wchar_t* to) {
    HKEY source = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, from, 0, KEY_READ, &source) != ERROR_SUCCESS)
        return false;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, to);
    HKEY target = nullptr;
    bool moved = ::RegCreateKeyExW(HKEY_CURRENT_USER, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                   &target, nullptr) == ERROR_SUCCESS;
    if (moved) {
        moved = ::RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
        ::RegCloseKey(target);
    }
    ::RegCloseKey(source);
    // Given a subkey, RegDeleteTreeW deletes that key itself too.
    return moved && ::RegDeleteTreeW(HKEY_CURRENT_USER, from) == ERROR_SUCCESS;
}

}  // namespace
#endif

// The program run from a script: `vantelo --export` and `--export-kit` with a
// sandboxed home, as a user's script would run it, without a display.
class CommandLineTest final : public QObject {
    Q_OBJECT

    struct Run {
        int code;
        QStringList errorLines;
        QString output;
    };

    static Run run(const QTemporaryDir& home, const QStringList& arguments) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(home.path());
        program.start(qEnvironmentVariable("VANTELO_APP_DIR") + QStringLiteral("/vantelo"),
                      arguments);
        if (!program.waitForFinished(30000))
            return {-1, {QStringLiteral("did not end")}, QString()};
        const QString errors = QString::fromLocal8Bit(program.readAllStandardError()).trimmed();
        return {program.exitCode(),
                errors.isEmpty() ? QStringList() : errors.split(QLatin1Char('\n')),
                QString::fromLocal8Bit(program.readAllStandardOutput())};
    }

    static void write(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

private slots:
#ifdef Q_OS_WIN
    void initTestCase() {
        if (keyExists(kAsideKey)) {
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kDesignKey);
        } else if (keyExists(kDesignKey)) {
            QVERIFY(moveKey(kDesignKey, kAsideKey));
        }
    }
    void cleanupTestCase() {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kDesignKey);
        if (keyExists(kAsideKey))
            QVERIFY(moveKey(kAsideKey, kDesignKey));
    }
#endif

    void exportWritesOrFailsCleanly_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("clearCorner");
        const QString png = QStringLiteral("logo.png");
        QTest::newRow("transparent PNG")
            << QStringList{"--export", png, "--transparent"} << 0 << QSize(512, 229) << true;
        QTest::newRow("twice the size")
            << QStringList{"--export", png, "--scale", "2"} << 0 << QSize(1024, 458) << false;
        QTest::newRow("a width") << QStringList{"--export", "logo.jpg", "--width", "300"} << 0
                                 << QSize(300, 134) << false;
        QTest::newRow("trimmed BMP")
            << QStringList{"--export", "logo.bmp", "--trim"} << 0 << QSize() << false;
        QTest::newRow("missing folder")
            << QStringList{"--export", "none/logo.png"} << 1 << QSize() << false;
        QTest::newRow("unknown format")
            << QStringList{"--export", "logo.gif"} << 2 << QSize() << false;
        QTest::newRow("nonsense scale")
            << QStringList{"--export", png, "--scale", "x"} << 2 << QSize() << false;
    }
    void exportWritesOrFailsCleanly() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QSize, size);
        QFETCH(bool, clearCorner);
        QTemporaryDir home;
        const Run result = run(home, arguments);
        QCOMPARE(result.code, code);
        const QString file = home.filePath(arguments.at(1));
        if (code != 0) {
            // One line says why; a misused option is followed by the usage.
            QVERIFY(result.errorLines.value(0).startsWith(QStringLiteral("vantelo: ")));
            QVERIFY(code == 2 || result.errorLines.size() == 1);
            QVERIFY(!QFileInfo::exists(file));
            QCOMPARE(QDir(home.path()).entryList(QDir::Files).size(), 0);
            return;
        }
        QVERIFY2(result.errorLines.isEmpty(), qPrintable(result.errorLines.join('\n')));
        const QImage logo(file);
        QVERIFY(!logo.isNull());
        if (size.isValid())
            QCOMPARE(logo.size(), size);
        QCOMPARE(logo.hasAlphaChannel() && logo.pixelColor(0, 0).alpha() == 0, clearCorner);
    }

    // A design that cannot be restored writes nothing and keeps the old file.
    void brokenDesignKeepsTheOldFile() {
#ifdef Q_OS_WIN
        QSKIP(
            "the program reads its settings from the registry on Windows; "
            "tests/windows/smoke.sh exports from a design put there");
#endif
        QTemporaryDir home;
        const QString picture = home.filePath(QStringLiteral("cut.jpg"));
        QFile cut(picture);
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
        cut.close();
        QDir().mkpath(home.filePath(QStringLiteral(".config/Tarnwick")));
        QFile settings(home.filePath(QStringLiteral(".config/Tarnwick/Vantelo.conf")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[General]\nImage=" + picture.toUtf8() + "\n");
        settings.close();
        QFile old(home.filePath(QStringLiteral("logo.png")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        const Run result = run(home, {"--export", "logo.png"});
        QCOMPARE(result.code, 1);
        QCOMPARE(result.errorLines.size(), 1);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
    }

    void misuseAndMissingPicturesAreExplained_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("picture");  // stored in "Image", relative to the home
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");  // in the first line of standard error
        QTest::newRow("empty file name")
            << QStringList{"--export", ""} << "" << 2 << "--export needs a file name.";
        QTest::newRow("empty kit folder")
            << QStringList{"--export-kit", ""} << "" << 2 << "--export-kit needs a folder name.";
        QTest::newRow("kit into a plain file")
            << QStringList{"--export-kit", "old.png"} << "" << 1 << "old.png: it is not a folder.";
        QTest::newRow("width below the window's least")
            << QStringList{"--export", "old.png", "--width", "15"} << "" << 2
            << "--width takes whole pixels, 16 to 16384.";
        QTest::newRow("missing picture") << QStringList{"--export", "old.png"} << "gone.jpg" << 1
                                         << "cannot use the picture %1: there is no such file.";
        QTest::newRow("picture is a folder") << QStringList{"--export", "old.png"} << "folder.jpg"
                                             << 1 << "cannot use the picture %1: it is not a file.";
        QTest::newRow("unreadable picture") << QStringList{"--export", "old.png"} << "cut.jpg" << 1
                                            << "cannot use the picture %1: ";
        QTest::newRow("kit of a missing picture")
            << QStringList{"--export-kit", "kit"} << "gone.jpg" << 1
            << "cannot use the picture %1: there is no such file.";
        QTest::newRow("least width")
            << QStringList{"--export", "old.png", "--width", "16"} << "" << 0 << "";
    }
    // Each failure is one line on standard error, and the old file stays.
    void misuseAndMissingPicturesAreExplained() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, picture);
        QFETCH(int, code);
        QFETCH(QString, says);
        QTemporaryDir home;
        write(home.filePath(QStringLiteral("old.png")), "old");
        write(home.filePath(QStringLiteral("cut.jpg")),
              QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("folder.jpg"))));
#ifdef Q_OS_WIN
        if (!picture.isEmpty())
            QSKIP(
                "the program reads its settings from the registry on Windows; "
                "tests/windows/smoke.sh exports from a design put there");
#endif
        if (!picture.isEmpty())
            write(home.filePath(QStringLiteral(".config/Tarnwick/Vantelo.conf")),
                  "[General]\nImage=" + home.filePath(picture).toUtf8() + "\n");
        const Run result = run(home, arguments);
        QCOMPARE(result.code, code);
        QFile old(home.filePath(QStringLiteral("old.png")));
        QVERIFY(old.open(QIODevice::ReadOnly));
        if (code == 0) {
            QCOMPARE(QImage(old.fileName()).width(), 16);
            return;
        }
        QCOMPARE(old.readAll(), QByteArray("old"));
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("kit"))));
        QVERIFY(code == 2 || result.errorLines.size() == 1);
        const QString expected =
            says.contains(QLatin1String("%1")) ? says.arg(home.filePath(picture)) : says;
        QVERIFY2(result.errorLines.value(0).startsWith(QStringLiteral("vantelo: ")) &&
                     result.errorLines.value(0).contains(expected),
                 qPrintable(result.errorLines.join('\n')));
    }

    void helpNamesEveryFormat() {
        QTemporaryDir home;
        const Run result = run(home, {"--help"});
        QCOMPARE(result.code, 0);
        QVERIFY2(result.output.contains("save it as a JPEG, PNG or BMP image"),
                 qPrintable(result.output));
    }

    void kitHoldsEveryFile() {
        QTemporaryDir home;
        const Run result = run(home, {"--export-kit", "kit"});
        QCOMPARE(result.code, 0);
        const QDir kit(home.filePath(QStringLiteral("kit")));
        for (const int side : {64, 128, 256, 512, 1024})
            QCOMPARE(QImage(kit.filePath(QStringLiteral("logo-%1.png").arg(side))).size(),
                     QSize(side, side));
        QCOMPARE(QImage(kit.filePath(QStringLiteral("logo-wide.png"))).size(), QSize(1024, 458));
        QCOMPARE(QImage(kit.filePath(QStringLiteral("logo.jpg"))).size(), QSize(512, 229));
        QVERIFY(!QImage(kit.filePath(QStringLiteral("logo-dark.png"))).isNull());
        for (const auto& [name, start] : {std::pair{"logo.svg", QByteArray("<?xml")},
                                          std::pair{"logo.pdf", QByteArray("%PDF-")}}) {
            QFile drawing(kit.filePath(QString::fromLatin1(name)));
            QVERIFY(drawing.open(QIODevice::ReadOnly));
            QVERIFY(drawing.readAll().startsWith(start));
        }
        QFile icon(kit.filePath(QStringLiteral("favicon.ico")));
        QVERIFY(icon.open(QIODevice::ReadOnly));
        const QByteArray head = icon.read(6);
        QCOMPARE(int(uchar(head.at(4))), 3);
    }

    // A design file drawn from the command line gives the window's own export
    // of it, and the stored settings are neither read nor written.
    void designFileExportsAsTheWindowDoes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        QTest::newRow("logo") << QStringList{"--export", "logo.png"} << 0 << QString();
        QTest::newRow("kit") << QStringList{"--export-kit", "kit"} << 0 << QString();
        QTest::newRow("its own size")
            << QStringList{"--export", "wide.png", "--width", "100"} << 0 << QString();
        QTest::newRow("a broken design")
            << QStringList{"--export", "logo.png", "--design", "broken.vantelo"} << 1
            << "broken.vantelo: it ends early";
        QTest::newRow("no export")
            << QStringList{"--design", "x.vantelo"} << 2 << "--design goes with --export";
    }
    void designFileExportsAsTheWindowDoes() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, error);
        Sandbox sandbox;
        sandbox.writeImage(QStringLiteral("mine/badge.png"),
                           solidImage(90, 60, QColor(0x80, 0x20, 0x20)), "PNG");
        FormFixture fixture(sandbox);
        vantelo::Form1& form = *fixture.form;
        form.imageSource().chooseFile(sandbox.appFolder() + QStringLiteral("/mine/badge.png"));
        form.TextLine[0]->setText(QStringLiteral("Scripted"));
        vantelo::RenderOptions options = form.exportOptions();
        options.scale = 2;
        options.trim = true;
        vantelo::storeExportOptions(fixture.settings, options);
        QTemporaryDir home;
        QVERIFY(form.designFiles().saveDesignTo(home.filePath(QStringLiteral("d.vantelo"))));
        QFile broken(home.filePath(QStringLiteral("broken.vantelo")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("{\"format\": \"Vantelo design\", \"version\": 1, \"pict");
        broken.close();
        if (!arguments.contains(QStringLiteral("--design")))
            arguments << QStringLiteral("--design") << QStringLiteral("d.vantelo");

        const Run result = run(home, arguments);
        QCOMPARE(result.code, code);
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral(".config/Tarnwick"))));
        if (code != 0) {
            QVERIFY2(result.errorLines.value(0).contains(error),
                     qPrintable(result.errorLines.join('\n')));
            return;
        }
        QVERIFY2(result.errorLines.isEmpty(), qPrintable(result.errorLines.join('\n')));
        const vantelo::RenderSource source = form.exportSource();
        if (arguments.contains(QStringLiteral("--width")))
            options.width = 100;
        const QImage own = vantelo::renderDesign(source, options);
        const QString written = arguments.at(0) == QStringLiteral("--export-kit")
                                    ? home.filePath(QStringLiteral("kit/logo-wide.png"))
                                    : home.filePath(arguments.at(1));
#ifdef Q_OS_WIN
        // Under Wine the test draws with the host's fonts it registered, the
        // program with Wine's own, so only a real Windows compares pixels.
        if (QDir(QStringLiteral("Z:/usr/share/fonts")).exists())
            QSKIP("the program and the test draw with different fonts under Wine");
#endif
        if (arguments.at(0) == QStringLiteral("--export")) {
            const QImage logo = QImage(written).convertToFormat(own.format());
            QCOMPARE(logo.size(), own.size());
            QVERIFY(logo == own);
        } else {
            QVERIFY(!QImage(written).isNull());
        }
    }
};

QTEST_MAIN(CommandLineTest)
#include "test_cli.moc"
