#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QProcess>
#include <QtTest>
#include <cstdio>
#include <filesystem>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QLineEdit>
#include "editing/designdocument.h"
#include "fakefilesystem.h"
#include "gallery/addfolder.h"
#include "gallery/fillgallery.h"
#include "gallery/galleryview.h"
#include "gallery/mainpaths.h"
#include "platform/twips.h"
#include "support/testsupport.h"

using namespace vantelo;
using vantelo::test::RecordingMessages;

namespace {

// Creates files, and the folders of names ending in "/", from raw name bytes.
void create(const QString& root, const QByteArrayList& relativePaths) {
#ifdef Q_OS_WIN
    for (const QByteArray& relative : relativePaths) {
        const QString path = root + '/' + QString::fromUtf8(relative);
        QDir().mkpath(relative.endsWith('/') ? path : QFileInfo(path).path());
        if (!relative.endsWith('/'))
            QFile(path).open(QIODevice::WriteOnly);
    }
#else
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
#endif
}

// The gallery's entries in their order, with `cut` leading characters removed.
QStringList entriesOf(GalleryView& view, qsizetype cut = 0) {
    QStringList entries;
    for (int i = 0; i < view.entryCount(); ++i)
        entries << QDir::fromNativeSeparators(view.entries().entry(i)).mid(cut);
    return entries;
}

// The gallery's entries, relative to the application folder, sorted.
QStringList fill(const QString& root, FileSystem& fs, RecordingMessages& messages) {
    GalleryView view;
    FillLogoGallery(view, root, fs, messages);
    QStringList entries = entriesOf(view, root.size() + 1);
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
    void linkLoopsEnd_data();
    void linkLoopsEnd();
    void unreadableAsUnprivilegedUser();
    void attributeRulesAndFailure();
    void savedLogoIsListedAtOnce_data();
    void savedLogoIsListedAtOnce();
    void highlightFollowsThePictureShown_data();
    void highlightFollowsThePictureShown();
};

void GalleryTest::startUpListsInWalkOrder() {
    vantelo::test::Sandbox sandbox;
    const QImage image = vantelo::test::solidImage(8, 8, Qt::red);
    for (const char* name : {"saved.jpg", "logos/sample.jpg", "logos/deep/y.jpg", "other/z.jpg"})
        sandbox.writeImage(name, image, "JPG");
    for (const char* name : {"~draft.jpg", "logos/b.gif", "c.jpeg", "d.JPG", "other/~w.jpg",
                             "PHOTO.JPG", "logos/Logo.Jpg", "e.JPEG"})
        sandbox.writeFile(name, "");
    vantelo::test::FormFixture fixture(sandbox);
    GalleryView& gallery = *fixture.form->ListView1;
    QCOMPARE(gallery.headerText(), "Logo Images");
    QCOMPARE(gallery.header()->sectionSize(0), twipsToPixelsX(8700));
    const QStringList entries = entriesOf(gallery, sandbox.appFolder().size() + 1);
    // Level by level; within a folder the directory's own order.
    QStringList levels[3] = {entries.mid(0, 3), entries.mid(3, 3), entries.mid(6)};
    for (QStringList& level : levels)
        level.sort();
    QCOMPARE(levels[0], (QStringList{"PHOTO.JPG", "d.JPG", "saved.jpg"}));
    QCOMPARE(levels[1], (QStringList{"logos/Logo.Jpg", "logos/sample.jpg", "other/z.jpg"}));
    QCOMPARE(levels[2], QStringList{"logos/deep/y.jpg"});
    QVERIFY(fixture.messages.reports().empty());
}

void GalleryTest::oddNames_data() {
    QTest::addColumn<QByteArrayList>("paths");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<bool>("posixOnly");  // names Windows cannot hold
    QTest::newRow("file names are listed as they are")
        << QByteArrayList{"a\nb.jpg", "what?.jpg", "c\x01.jpg",
                          "日本.jpg", "€.jpg",     "back\\slash.jpg"}
        << QStringList{"a\nb.jpg", "back\\slash.jpg", "c\x01.jpg", "what?.jpg", "€.jpg", "日本.jpg"}
        << true;
    QTest::newRow("folders with such names are not walked")
        << QByteArrayList{"a\nb/in.jpg", "q?/in.jpg", "c\x01/in.jpg", "日本/in.jpg",
                          "back\\slash/in.jpg"}
        << QStringList{"back\\slash/in.jpg"} << true;
    QTest::newRow("invalid UTF-8 is passed over, its look-alike listed once")
        << QByteArrayList{"bad\xff.jpg", "bad\xef\xbf\xbd.jpg", "dir\xfe/in.jpg"}
        << QStringList{QString::fromUtf8("bad\xef\xbf\xbd.jpg")} << true;
    QTest::newRow("the extension in any case, no other extension")
        << QByteArrayList{"PHOTO.JPG", "Logo.Jpg", "a.jpeg", "b.gif", "c.JPEG", "sub.JPG/in.jPg"}
        << QStringList{"Logo.Jpg", "PHOTO.JPG", "sub.JPG/in.jPg"} << false;
}

void GalleryTest::oddNames() {
    QFETCH(QByteArrayList, paths);
    QFETCH(QStringList, listed);
    QFETCH(bool, posixOnly);
#ifdef Q_OS_WIN
    if (posixOnly)
        QSKIP("names Windows cannot hold");
#endif
    QTemporaryDir app;
    create(app.path(), paths);
    RecordingMessages messages;
    const QStringList entries = fill(app.path(), systemFileSystem(), messages);
#ifdef Q_OS_WIN
    const QStringList untypedEntries = entries;
#else
    PosixFileSystem untyped;
    untyped.setEntryTypesIgnored(true);
    const QStringList untypedEntries = fill(app.path(), untyped, messages);
#endif
    // QTemporaryDir cannot remove a name that is not valid UTF-8.
    std::filesystem::remove_all(QFile::encodeName(app.path()).toStdString());
    QCOMPARE(entries, listed);
    QCOMPARE(untypedEntries, listed);
    QVERIFY(messages.messages.empty());
    Q_UNUSED(posixOnly);
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

void GalleryTest::linkLoopsEnd_data() {
    QTest::addColumn<QStringList>("links");  // "link>target"; "@" is a folder outside
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("folders");
    const QStringList all{"a/b/c/q.jpg", "a/p.jpg", "b/r.jpg", "p.jpg"};
    QTest::newRow("two links up") << QStringList{"a/l1>..", "a/l2>.."} << all << 5;
    QTest::newRow("a link to itself") << QStringList{"a/me>."} << all << 5;
    QTest::newRow("a loop deep down") << QStringList{"a/b/c/up>../../.."} << all << 5;
    QTest::newRow("loops on every level")
        << QStringList{"l>.", "a/l>..", "a/b/l>../..", "a/b/c/l>../../../a", "b/l>../a"} << all
        << 5;
    QTest::newRow("a sibling through a link is read once") << QStringList{"a/tob>../b"} << all << 5;
    QTest::newRow("a link out of the tree is followed")
        << QStringList{"a/out>@", "a/out2>@/in"}
        << QStringList{"a/b/c/q.jpg", "a/out/o.jpg", "a/out2/x.jpg", "a/p.jpg", "b/r.jpg", "p.jpg"}
        << 7;
}

// Links that lead back into the tree end the walk with each folder read once
// and each picture listed once; other links are walked.
void GalleryTest::linkLoopsEnd() {
#ifdef Q_OS_WIN
    QSKIP("QFile::link makes a shortcut on Windows; junction loops are in test_windowsfiles");
#else
    QFETCH(QStringList, links);
    QFETCH(QStringList, listed);
    QFETCH(int, folders);
    QTemporaryDir app;
    QTemporaryDir outside;
    create(app.path(), {"p.jpg", "a/p.jpg", "a/b/c/q.jpg", "b/r.jpg"});
    create(outside.path(), {"o.jpg", "in/x.jpg"});
    for (const QString& link : links) {
        const QStringList parts = link.split('>');
        QString target = parts.at(1);
        target.replace('@', outside.path());
        QVERIFY(QFile::link(target, app.path() + '/' + parts.at(0)));
    }
    RecordingMessages messages;
    QCOMPARE(fill(app.path(), systemFileSystem(), messages), listed);
    // The same where the directory does not record entry types.
    PosixFileSystem untyped;
    untyped.setEntryTypesIgnored(true);
    QCOMPARE(fill(app.path(), untyped, messages), listed);
    QStringList walked{app.path() + '/'};
    GetSubDirectories2016(walked, true, systemFileSystem(), messages);
    QCOMPARE(walked.size(), folders);
    QVERIFY(messages.messages.empty());
#endif
}

void GalleryTest::unreadableAsUnprivilegedUser() {
#ifdef Q_OS_WIN
    QSKIP("permission bits and setpriv are POSIX's; locked files are in test_windowsfiles");
#else
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
#endif
}

void GalleryTest::attributeRulesAndFailure() {
    vantelo::test::FakeFileSystem fs({"/app/", "/app/h.jpg|34", "/app/r.jpg|35", "/app/n.jpg|2",
                                      "/app/u.jpg", "/app/~x.jpg", "/app/s/", "/app/s/t.jpg",
                                      "/app/z/", "/app/z/never.jpg"});
    fs.find("/app/u.jpg")->openable = false;
    fs.find("/app/z/")->listError = 75;
    RecordingMessages messages;
    GalleryView view;
    QVERIFY_THROWS_EXCEPTION(RuntimeError, FillLogoGallery(view, "/app", fs, messages));
    // Where the system has network paths, "/app" reads as the start of one.
    const QString app = CollapseSlashes(QStringLiteral("/app"));
    QCOMPARE(entriesOf(view), (QStringList{app + "/r.jpg", app + "/n.jpg", app + "/s/t.jpg"}));
}

// A logo saved where the gallery walks is listed at once, where the next
// start lists it; one saved elsewhere, or in a kind the gallery does not
// list, leaves it as it was.
void GalleryTest::savedLogoIsListedAtOnce_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("listed");
    QTest::newRow("into the logos folder") << "logos/new.jpg" << true;
    QTest::newRow("two levels down") << "logos/deep/new.jpg" << true;
    QTest::newRow("upper-case extension") << "logos/NEW.JPG" << true;
    QTest::newRow("a BMP") << "logos/new.bmp" << false;
    QTest::newRow("a name with a tilde") << "logos/~new.jpg" << false;
    QTest::newRow("outside the walked folders") << QString() << false;
}

void GalleryTest::savedLogoIsListedAtOnce() {
    QFETCH(QString, name);
    QFETCH(bool, listed);
    vantelo::test::Sandbox sandbox;
    const QImage image = vantelo::test::solidImage(8, 8, Qt::red);
    for (const char* sample : {"z.jpg", "logos/sample.jpg", "logos/deep/y.jpg", "logos/x.jpg"})
        sandbox.writeImage(sample, image, "JPG");
    QTemporaryDir elsewhere;
    const QString path =
        name.isEmpty() ? elsewhere.filePath("new.jpg") : sandbox.appFolder() + '/' + name;
    vantelo::test::FormFixture f(sandbox);
    GalleryView& gallery = *f.form->ListView1;
    f.dialogs.files.push_back(path);
    f.form->PushButton5->click();
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(entriesOf(gallery).contains(path), listed);
    vantelo::test::FormFixture restarted(sandbox);
    QCOMPARE(entriesOf(gallery), entriesOf(*restarted.form->ListView1));
}

// Undo and redo of a picture choice move the gallery's highlight to the
// picture shown, or take it away when that picture is not listed.
void GalleryTest::highlightFollowsThePictureShown_data() {
    QTest::addColumn<int>("undos");
    QTest::addColumn<int>("redos");
    QTest::addColumn<QString>("highlighted");
    QTest::newRow("undo once") << 1 << 0 << "a.jpg";
    QTest::newRow("undo twice") << 2 << 0 << QString();
    QTest::newRow("undo twice, redo") << 2 << 1 << "a.jpg";
    QTest::newRow("undo, redo") << 1 << 1 << "b.jpg";
}

void GalleryTest::highlightFollowsThePictureShown() {
    QFETCH(int, undos);
    QFETCH(int, redos);
    QFETCH(QString, highlighted);
    vantelo::test::Sandbox sandbox;
    const QImage image = vantelo::test::solidImage(8, 8, Qt::red);
    sandbox.writeImage("logos/a.jpg", image, "JPG");
    sandbox.writeImage("logos/b.jpg", image, "JPG");
    vantelo::test::FormFixture f(sandbox);
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    GalleryView& gallery = *f.form->ListView1;
    for (const char* name : {"a.jpg", "b.jpg"}) {
        const int row = entriesOf(gallery).indexOf(sandbox.appFolder() + "/logos/" + name);
        QTest::mouseClick(gallery.viewport(), Qt::LeftButton, {},
                          gallery.visualRect(gallery.entries().index(row)).center());
    }
    QCOMPARE(f.form->document().history().count(), 2);
    for (int i = 0; i < undos; ++i)
        f.form->document().history().undo();
    for (int i = 0; i < redos; ++i)
        f.form->document().history().redo();
    const QModelIndexList selected = gallery.selectionModel()->selectedRows();
    if (highlighted.isEmpty()) {
        QVERIFY(selected.isEmpty());
        QVERIFY(gallery.currentEntry().isEmpty());
    } else {
        const QString entry =
            QDir::toNativeSeparators(sandbox.appFolder() + "/logos/" + highlighted);
        QCOMPARE(gallery.currentEntry(), entry);
        QCOMPARE(selected.size(), 1);
        QCOMPARE(gallery.entries().entry(selected[0].row()), entry);
        QCOMPARE(f.form->Text1->text(), entry);
    }
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VANTELO_GALLERY_CHILD"))
        return galleryChild(qEnvironmentVariable("VANTELO_GALLERY_CHILD"));
    GalleryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_gallery.moc"
