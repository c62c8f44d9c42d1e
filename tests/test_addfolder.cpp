#include <QRegularExpression>
#include <QtTest>

#include "fakefilesystem.h"
#include "gallery/addfolder.h"
#include "gallery/mainpaths.h"
#include "platform/filesystem.h"
#include "support/testsupport.h"

using namespace vantelo;
using vantelo::test::FakeFileSystem;
using vantelo::test::RecordingMessages;

class AddFolderTest : public QObject {
    Q_OBJECT
private slots:
    void walk_data();
    void walk();
    void failures_data();
    void failures();
    void eventsRunDuringWalk();
    void listFolderFiles();
    void collapse_data();
    void collapse();
};

void AddFolderTest::walk_data() {
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<bool>("recurse");
    QTest::addColumn<QStringList>("expected");

    const QStringList abcd{"/A/", "/A/B/", "/A/C/", "/A/B/D/"};
    QTest::newRow("empty list") << abcd << QStringList{} << true << QStringList{};
    QTest::newRow("level by level")
        << abcd << QStringList{"/A/"} << true << QStringList{"/A/", "/A/B/", "/A/C/", "/A/B/D/"};
    QTest::newRow("direct sub-folders only")
        << abcd << QStringList{"/A/"} << false << QStringList{"/A/", "/A/B/", "/A/C/"};
    QTest::newRow("file and missing entries stay unread")
        << QStringList{"/A/", "/A/B/", "/f.jpg"} << QStringList{"/f.jpg", "/gone/", "/A/"} << true
        << QStringList{"/f.jpg", "/gone/", "/A/", "/A/B/"};
    QTest::newRow("system hidden folders are passed over")
        << QStringList{"/A/", "/A/s/|22", "/A/s/x/", "/A/l/|1046", "/A/h/|54", "/A/h/y/"}
        << QStringList{"/A/"} << true << QStringList{"/A/", "/A/h/", "/A/h/y/"};
    QTest::newRow("a root is read whatever its attributes")
        << QStringList{"/|22|root", "/B/"} << QStringList{"/"} << true << QStringList{"/", "/B/"};
    // Only Windows-1252 codes from 32 to 126 but "?", and from 160 up, pass.
    QTest::newRow("names with bad characters")
        << QStringList{"/A/",   "/A/ok é ÿ\u00a0/", "/A/t\t/", "/A/q?/",   "/A/del\x7f/", "/A/€/",
                       "/A/Ÿ/", "/A/\u0085/",       "/A/ā/",   "/A/日本/", "/A/😀/"}
        << QStringList{"/A/"} << true << QStringList{"/A/", "/A/ok é ÿ\u00a0/"};

    // "/A/", 255 characters and "/" make 259: read. At 260 a path is kept but
    // not read; a name of 260 characters is not taken at all.
    const QString read = "/A/" + QString(255, 'r') + "/";
    const QString unread = "/A/" + QString(256, 'u') + "/";
    QTest::newRow("length limits")
        << QStringList{"/A/",
                       read,
                       read + "c/",
                       read + "c/d/",
                       unread,
                       unread + "e/",
                       "/A/" + QString(260, 'x') + "/"}
        << QStringList{"/A/"} << true << QStringList{"/A/", read, unread, read + "c/"};
}

void AddFolderTest::walk() {
    QFETCH(QStringList, tree);
    QFETCH(QStringList, start);
    QFETCH(bool, recurse);
    QFETCH(QStringList, expected);
    FakeFileSystem fs(tree);
    RecordingMessages messages;
    GetSubDirectories2016(start, recurse, fs, messages);
    QCOMPARE(start, expected);
    QVERIFY(messages.messages.empty());
}

void AddFolderTest::failures_data() {
    QTest::addColumn<QStringList>("failing");  // "folder|error" or "folder|error|after"
    QTest::addColumn<QStringList>("vanish");   // {call, path, victim}: removed as the call begins
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<int>>("reportLines");

    QTest::newRow("refused folder is removed silently")
        << QStringList{"/A/B/|70"} << QStringList{}
        << QStringList{"/A/", "/A/C/", "/A/D/", "/A/C/x/"} << QList<int>{};
    QTest::newRow("two refused on one level")
        << QStringList{"/A/B/|70", "/A/D/|76"} << QStringList{}
        << QStringList{"/A/", "/A/C/", "/A/C/x/"} << QList<int>{};
    QTest::newRow("sub-folders found before the refusal stay")
        << QStringList{"/A/B/|70|1"} << QStringList{}
        << QStringList{"/A/", "/A/C/", "/A/D/", "/A/B/B1/", "/A/C/x/"} << QList<int>{};
    QTest::newRow("other errors keep the folder")
        << QStringList{"/A/B/|75"} << QStringList{}
        << QStringList{"/A/", "/A/B/", "/A/C/", "/A/D/", "/A/C/x/"} << QList<int>{};
    QTest::newRow("unreadable application folder")
        << QStringList{"/A/|70"} << QStringList{} << QStringList{} << QList<int>{};
    QTest::newRow("vanishes before its level is read")
        << QStringList{} << QStringList{"readFolder", "/A/B/", "/A/D/"}
        << QStringList{"/A/", "/A/B/", "/A/C/", "/A/B/B1/", "/A/C/x/"} << QList<int>{};
    QTest::newRow("vanishes after the folder test")
        << QStringList{} << QStringList{"readFolder", "/A/C/", "/A/C/"}
        << QStringList{"/A/", "/A/B/", "/A/D/", "/A/B/B1/"} << QList<int>{};
    // One reading of the attributes serves the folder and attribute tests, so
    // the first folder of a level can only vanish once they have passed: its
    // reading fails silently.
    QTest::newRow("first of a level vanishes after the folder test")
        << QStringList{} << QStringList{"readFolder", "/A/B/", "/A/B/"}
        << QStringList{"/A/", "/A/C/", "/A/D/", "/A/C/x/"} << QList<int>{};
}

void AddFolderTest::failures() {
    QFETCH(QStringList, failing);
    QFETCH(QStringList, vanish);
    QFETCH(QStringList, expected);
    QFETCH(QList<int>, reportLines);
    FakeFileSystem fs({"/A/", "/A/B/", "/A/C/", "/A/D/", "/A/B/B1/", "/A/C/x/"});
    for (const QString& spec : failing) {
        const QStringList p = spec.split('|');
        fs.find(p.at(0))->listError = p.at(1).toInt();
        fs.find(p.at(0))->listErrorAfter = p.value(2).toInt();
    }
    if (!vanish.isEmpty()) {
        fs.before = [&](const QString& call, const QString& path) {
            if (call == vanish.at(0) && path == vanish.at(1))
                fs.remove(vanish.at(2));
        };
    }
    RecordingMessages messages;
    QStringList folders{"/A/"};
    GetSubDirectories2016(folders, true, fs, messages);
    QCOMPARE(folders, expected);

    static const QRegularExpression at(
        "^Path not found\r\nin BrenvaldTitle2021/08/31\\.AddFolder\\.GetSubDirectories2016 "
        "at line (\\d+)\r\r");
    QList<int> lines;
    for (const auto& report : messages.reports())
        lines << at.match(report.text).captured(1).toInt();
    QCOMPARE(lines, reportLines);
}

void AddFolderTest::eventsRunDuringWalk() {
    FakeFileSystem fs({"/A/", "/A/B/"});
    bool ran = false;
    bool ranBeforeSecondLevel = false;
    QMetaObject::invokeMethod(
        this, [&ran] { ran = true; }, Qt::QueuedConnection);
    fs.before = [&](const QString& call, const QString& path) {
        if (call == "readFolder" && path == "/A/B/")
            ranBeforeSecondLevel = ran;
    };
    RecordingMessages messages;
    QStringList folders{"/A/"};
    GetSubDirectories2016(folders, true, fs, messages);
    QVERIFY(ranBeforeSecondLevel);
}

void AddFolderTest::listFolderFiles() {
    FakeFileSystem fs(
        {"/A/", "/A/b.jpg", "/A/a.jpg", "/A/locked.jpg", "/A/c.gif", "/A/d.jpg/", "/E/", "/R/"});
    fs.find("/A/locked.jpg")->openable = false;
    fs.find("/R/")->listError = ErrPermissionDenied;
    QCOMPARE(ListFolderFiles("/A", "*.jpg", fs), (QStringList{"", "b.jpg", "a.jpg"}));
    QCOMPARE(ListFolderFiles("/E/", "*.jpg", fs), QStringList{""});
    QVERIFY_THROWS_EXCEPTION(RuntimeError, ListFolderFiles("/R/", "*.jpg", fs));
}

void AddFolderTest::collapse_data() {
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("drive path") << true << R"(C:\a\\b\c.jpg)"
                                << R"(C:\a\b\c.jpg)";
    QTest::newRow("drive root") << true << R"(C:\\c.jpg)"
                                << R"(C:\c.jpg)";
    QTest::newRow("three in a row") << true << R"(C:\a\\\b)"
                                    << R"(C:\a\\b)";
    QTest::newRow("network path") << true << R"(\\srv\\share\x)"
                                  << R"(\\srv\share\x)";
    QTest::newRow("four leading") << true << R"(\\\\srv\x)"
                                  << R"(\\srv\x)";
    QTest::newRow("one leading") << true << R"(\srv\x)"
                                 << R"(\\srv\x)";
    QTest::newRow("only backslashes") << true << R"(\\\)"
                                      << R"(\\)";
    QTest::newRow("empty") << true << ""
                           << "";
    // A leading run is the root where the system has no network paths, and
    // the start of a network path where it has them.
    const bool network = hasNetworkPaths();
    QTest::newRow("posix inner pairs")
        << false << "/app//logos///a.jpg" << (network ? "//app/logos//a.jpg" : "/app/logos//a.jpg");
    QTest::newRow("posix leading run")
        << false << "///app//a.jpg" << (network ? "//app/a.jpg" : "/app/a.jpg");
    QTest::newRow("posix root") << false << "//" << (network ? "//" : "/");
    QTest::newRow("network path with slashes")
        << false << "//srv//share/x" << (network ? "//srv/share/x" : "/srv/share/x");
    QTest::newRow("posix backslashes kept")
        << false << R"(/a\\b/\c.jpg)" << (network ? R"(//a\\b/\c.jpg)" : R"(/a\\b/\c.jpg)");
}

void AddFolderTest::collapse() {
    QFETCH(bool, windows);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(windows ? CollapseBackslashes(path) : CollapseSlashes(path), expected);
}

QTEST_GUILESS_MAIN(AddFolderTest)
#include "test_addfolder.moc"
