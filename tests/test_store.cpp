#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

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
};

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
    }
    FileSettingsStore reopened(path);
    QCOMPARE(reopened.GetSetting(QStringLiteral("TextLine0"), QStringLiteral("x")), text);
}

void StoreTest::missingKeyReadsAsDefault() {
    QTemporaryDir dir;
    FileSettingsStore store(dir.filePath(QStringLiteral("none/Vantelo.conf")));
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

QTEST_MAIN(StoreTest)
#include "test_store.moc"
