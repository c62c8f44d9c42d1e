#include <QApplication>
#include <QHeaderView>
#include <QProcess>
#include <QTreeWidget>
#include <QtTest>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fakefilesystem.h"
#include "gallery/addfolder.h"
#include "gallery/fillgallery.h"
#include "platform/twips.h"
#include "support/testsupport.h"

using namespace vantelo;
using vantelo::test::RecordingMessages;

namespace {

// Creates files, and the folders of names ending in "/", from raw name bytes.
void create(const QString& root, const QByteArrayList& relativePaths) {
    for (const QByteArray& relative : relativePaths) {
        QByteArray path = QFile::encodeName(root);
        const QByteArrayList parts = relative.split('/');
        for (qsizetype i = 0; i < parts.size() && !parts.at(i).isEmpty(); ++i) {
            path += '/' + parts.at(i);
            if (i + 1 < parts.size())
                ::mkdir(path.constData(), 0755);
            else
                ::close(::open(path.constData(), O_CREAT | O_WRONLY, 0644));
        }
    }
}

// The gallery's entries, relative to the application folder.
QStringList fill(const QString& root, FileSystem& fs, RecordingMessages& messages) {
    QTreeWidget view;
    FillLogoGallery(view, root, fs, messages);
    QStringList entries;
    for (int i = 0; i < view.topLevelItemCount(); ++i)
        entries << view.topLevelItem(i)->text(0).remove(0, root.size() + 1);
    entries.sort();
    return entries;
}

// Run as another user: prints the walk's folders, the gallery and the count
// of messages for the folder in the environment.
int galleryChild(const QString& root) {
    RecordingMessages messages;
    QStringList folders{root + '/'};
    GetSubDirectories2016(folders, true, systemFileSystem(), messages);
    QString out = "child\n";
    for (const QString& folder : folders)
        out += "folder " + folder.mid(root.size() + 1) + '\n';
    for (const QString& entry : fill(root, systemFileSystem(), messages))
        out += "entry " + entry + '\n';
    out += "messages " + QString::number(messages.messages.size()) + '\n';
    std::fputs(out.toUtf8().constData(), stdout);
    return 0;
}

}  // namespace

class GalleryTest : public QObject {
    Q_OBJECT
private slots:
    void startUpListsInWalkOrder();
    void oddNames_data();
    void oddNames();
    void manyFiles();
    void symlinkLoopEnds();
    void unreadableAsUnprivilegedUser();
    void attributeRulesAndFailure();
};

void GalleryTest::startUpListsInWalkOrder() {
    vantelo::test::Sandbox sandbox;
    const QImage image = vantelo::test::solidImage(8, 8, Qt::red);
    for (const char* name : {"saved.jpg", "logos/sample.jpg", "logos/deep/y.jpg", "other/z.jpg"})
        sandbox.writeImage(name, image, "JPG");
    for (const char* name : {"~draft.jpg", "logos/b.gif", "c.jpeg", "d.JPG", "other/~w.jpg"})
        sandbox.writeFile(name, "");
    vantelo::test::FormFixture fixture(sandbox);
    QTreeWidget& gallery = *fixture.form->ListView1;
    QCOMPARE(gallery.headerItem()->text(0), "Logo Images");
    QCOMPARE(gallery.header()->sectionSize(0), twipsToPixelsX(8700));
    QStringList entries;
    for (int i = 0; i < gallery.topLevelItemCount(); ++i)
        entries << gallery.topLevelItem(i)->text(0).remove(0, sandbox.appFolder().size() + 1);
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries.first(), "saved.jpg");
    QCOMPARE(entries.last(), "logos/deep/y.jpg");
    QVERIFY(fixture.messages.reports().empty());
}

void GalleryTest::oddNames_data() {
    QTest::addColumn<QByteArrayList>("paths");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("file names are listed as they are")
        << QByteArrayList{"a\nb.jpg", "what?.jpg", "c\x01.jpg",
                          "日本.jpg", "€.jpg",     "back\\slash.jpg"}
        << QStringList{"a\nb.jpg",  "back\\slash.jpg", "c\x01.jpg",
                       "what?.jpg", "€.jpg",           "日本.jpg"};
    QTest::newRow("folders with such names are not walked")
        << QByteArrayList{"a\nb/in.jpg", "q?/in.jpg", "c\x01/in.jpg", "日本/in.jpg",
                          "back\\slash/in.jpg"}
        << QStringList{"back\\slash/in.jpg"};
    QTest::newRow("invalid UTF-8 is passed over, its look-alike listed once")
        << QByteArrayList{"bad\xff.jpg", "bad\xef\xbf\xbd.jpg", "dir\xfe/in.jpg"}
        << QStringList{QString::fromUtf8("bad\xef\xbf\xbd.jpg")};
}

void GalleryTest::oddNames() {
    QFETCH(QByteArrayList, paths);
    QFETCH(QStringList, listed);
    QTemporaryDir app;
    create(app.path(), paths);
    RecordingMessages messages;
    const QStringList entries = fill(app.path(), systemFileSystem(), messages);
    // QTemporaryDir cannot remove a name that is not valid UTF-8.
    std::filesystem::remove_all(QFile::encodeName(app.path()).toStdString());
    QCOMPARE(entries, listed);
    QVERIFY(messages.messages.empty());
}

void GalleryTest::manyFiles() {
    QTemporaryDir app;
    QByteArrayList paths{"notes.txt", "large.jpg/"};
    for (int i = 0; i < 5000; ++i)
        paths << "p" + QByteArray::number(i) + ".jpg";
    create(app.path(), paths);
    QStringList names = ListFolderFiles(app.path(), "*.jpg", systemFileSystem());
    QCOMPARE(names.size(), 5001);
    QCOMPARE(names.takeFirst(), QString());
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 5000);
    QVERIFY(names.filter(QRegularExpression("^p\\d+\\.jpg$")).size() == 5000);
}

void GalleryTest::symlinkLoopEnds() {
    QTemporaryDir app;
    create(app.path(), {"a/p.jpg", "b/"});
    QVERIFY(QFile::link("..", app.path() + "/a/up"));
    RecordingMessages messages;
    QStringList folders{app.path() + '/'};
    GetSubDirectories2016(folders, true, systemFileSystem(), messages);
    QVERIFY(folders.contains(app.path() + "/a/up/a/up/"));
    // Each round of the loop adds "a/up/" to the path and three folders to the
    // list: the path limit (or the system's own limit on links) ends it.
    QVERIFY(folders.size() <= 3 * (kFolderPathLimit / 5) + 3);
    QVERIFY(messages.messages.empty());
}

void GalleryTest::unreadableAsUnprivilegedUser() {
    QTemporaryDir app;
    create(app.path(),
           {"ok.jpg", "secret.jpg", "a/in.jpg", "locked1/l.jpg", "locked2/", "b/deep/d.jpg"});
    const std::pair<const char*, int> modes[] = {
        {"", 0755}, {"/secret.jpg", 0600}, {"/locked1", 0700}, {"/locked2", 0700}};
    for (const auto& [path, mode] : modes)
        ::chmod(QFile::encodeName(app.path() + path).constData(), mode);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VANTELO_GALLERY_CHILD", app.path());
    child.setProcessEnvironment(env);
    child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                            QCoreApplication::applicationFilePath()});
    QVERIFY(child.waitForFinished(120000));
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split('\n');
    if (lines.value(0) != "child")
        QSKIP("this test program cannot be run as user 65534 here");
    QStringList folders = lines.filter("folder ");
    folders.sort();
    QCOMPARE(folders, (QStringList{"folder ", "folder a/", "folder b/", "folder b/deep/"}));
    QCOMPARE(lines.filter("entry "),
             (QStringList{"entry a/in.jpg", "entry b/deep/d.jpg", "entry ok.jpg"}));
    QVERIFY(lines.contains("messages 0"));
}

void GalleryTest::attributeRulesAndFailure() {
    vantelo::test::FakeFileSystem fs({"/app/", "/app/h.jpg|34", "/app/r.jpg|35", "/app/n.jpg|2",
                                      "/app/u.jpg", "/app/~x.jpg", "/app/s/", "/app/s/t.jpg",
                                      "/app/z/", "/app/z/never.jpg"});
    fs.find("/app/u.jpg")->openable = false;
    fs.find("/app/z/")->listError = 75;
    RecordingMessages messages;
    QTreeWidget view;
    QVERIFY_THROWS_EXCEPTION(RuntimeError, FillLogoGallery(view, "/app", fs, messages));
    QStringList entries;
    for (int i = 0; i < view.topLevelItemCount(); ++i)
        entries << view.topLevelItem(i)->text(0);
    QCOMPARE(entries, (QStringList{"/app/r.jpg", "/app/n.jpg", "/app/s/t.jpg"}));
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VANTELO_GALLERY_CHILD"))
        return galleryChild(qEnvironmentVariable("VANTELO_GALLERY_CHILD"));
    GalleryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_gallery.moc"
