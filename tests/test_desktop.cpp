#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTranslator>
#include <QtTest>

#include "app/form1.h"
#include "canvas/canvas.h"
#include "editing/imagesource.h"
#include "export/saveflow.h"
#include "gallery/galleryview.h"
#include "support/testsupport.h"

using namespace vantelo;
using test::FormFixture;
using test::Sandbox;

namespace {

// A main window over the sandbox whose application folder the user may or may
// not write, as for a build folder or an installed program.
struct Window {
    Window(Sandbox& sandbox, bool mayWrite) : settings(sandbox.settingsPath()) {
        AppServices services{
            settings, messages, dialogs,   sandbox.appFolder(),
            nullptr,  nullptr,  QString(), [mayWrite](const QString&) { return mayWrite; }};
        form = std::make_unique<Form1>(services);
        form->Form_Load();
    }
    QStringList gallery() const {
        QStringList entries;
        const QAbstractItemModel* model = form->ListView1->model();
        for (int i = 0; i < model->rowCount(); ++i)
            entries << model->index(i, 0).data().toString();
        return entries;
    }
    FileSettingsStore settings;
    test::RecordingMessages messages;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<Form1> form;
};

// Marks every text it is asked for: a text that reaches the user unmarked did
// not go through the translation.
class MarkingTranslator final : public QTranslator {
public:
    QString translate(const char*, const char* source, const char*, int) const override {
        return QLatin1Char('<') + QString::fromUtf8(source) + QLatin1Char('>');
    }
    bool isEmpty() const override { return false; }
};

void clickSave(Form1& form) {
    QTest::mouseClick(form.PushButton5, Qt::LeftButton);
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void logoFoldersFollowWhoMayWrite_data();
    void logoFoldersFollowWhoMayWrite();
    void controlsTellScreenReadersWhatTheyDo_data();
    void controlsTellScreenReadersWhatTheyDo();
    void tabReachesCanvasAndGallery();
    void textsGoThroughTranslation();

private:
    QTemporaryDir home_;
};

// The user's pictures folder lies in a throw-away home.
void DesktopTest::init() {
    QVERIFY(home_.isValid());
    qputenv("HOME", QFile::encodeName(home_.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.path() + "/.config"));
    QVERIFY(QDir(home_.path()).mkpath("Pictures"));
}

void DesktopTest::logoFoldersFollowWhoMayWrite_data() {
    QTest::addColumn<bool>("mayWrite");
    QTest::addColumn<QString>("library");  // relative to the app folder, or "~" for the home
    QTest::addColumn<QString>("browseStart");
    QTest::newRow("build folder") << true << "APP/logos"
                                  << "APP/logos/";
    QTest::newRow("installed") << false << "~/Pictures/Vantelo"
                               << "~/Pictures/";
}

void DesktopTest::logoFoldersFollowWhoMayWrite() {
    QFETCH(bool, mayWrite);
    QFETCH(QString, library);
    QFETCH(QString, browseStart);
#ifdef Q_OS_WIN
    if (library.startsWith(QLatin1Char('~')))
        QSKIP("Windows gives the Pictures folder from the user's profile, not from HOME");
#endif
    Sandbox sandbox;
    const auto expand = [&](QString path) {
        return path.replace("APP", sandbox.appFolder()).replace("~", home_.path());
    };
    const QString sample =
        sandbox.writeImage("logos/sample.jpg", test::solidImage(8, 8, Qt::red), "JPEG");
    const QString saved = expand(library) + "/mine.jpg";
    {
        Window window(sandbox, mayWrite);
        QCOMPARE(window.form->logoFolders().library, expand(library));
        QCOMPARE(window.gallery(), QStringList{QDir::toNativeSeparators(sample)});

        QTest::mouseClick(window.form->PushButton6, Qt::LeftButton);
        window.dialogs.files.push_back(saved);
        clickSave(*window.form);
        QCOMPARE(window.dialogs.calls.size(), size_t(2));
        QCOMPARE(window.dialogs.calls[0].folder, expand(browseStart));
        QCOMPARE(window.dialogs.calls[1].folder, expand(library) + "/");
        QVERIFY2(QFileInfo(saved).isFile(), qPrintable(window.messages.texts().join('|')));
    }
    // At the next start the saved logo follows the application folder's own.
    Window again(sandbox, mayWrite);
    QStringList listed = again.gallery();
    QStringList expected{QDir::toNativeSeparators(sample), QDir::toNativeSeparators(saved)};
#ifdef Q_OS_WIN
    // NTFS lists a folder's files by name, not in the order they were made.
    listed.sort();
    expected.sort();
#endif
    QCOMPARE(listed, expected);
}

void DesktopTest::controlsTellScreenReadersWhatTheyDo_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    const char* const rows[][2] = {
        {"Text1", "Picture file"},
        {"PushButton6", "Browse for a picture"},
        {"TextLine0", "Text line 1"},
        {"TextLine1", "Text line 2"},
        {"PushButton1", "Font of text line 1"},
        {"PushButton2", "Font of text line 2"},
        {"PushButton3", "Colour of text line 1"},
        {"PushButton4", "Colour of text line 2"},
        {"chkShowA", "Show text line 1"},
        {"chkShowB", "Show text line 2"},
        {"PushButton5", "Save logo as image"},
        {"ListView1", "Logo gallery"},
        {"Picture2", "Canvas"},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << row[0] << row[1];
}

void DesktopTest::controlsTellScreenReadersWhatTheyDo() {
    QFETCH(QString, control);
    QFETCH(QString, name);
    Sandbox sandbox;
    FormFixture f(sandbox);
    QWidget* widget = f.form->findChild<QWidget*>(control);
    QVERIFY(widget);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QVERIFY(!accessible->text(QAccessible::Description).isEmpty());
}

void DesktopTest::tabReachesCanvasAndGallery() {
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.Text1->setFocus();
    QList<QWidget*> reached;
    // The canvas keeps the focus while Tab walks its objects.
    for (int i = 0; i < 40 && (i == 0 || QApplication::focusWidget() != form.Text1); ++i) {
        reached << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QVERIFY(reached.contains(form.canvas->Picture2));
    QVERIFY(reached.contains(form.ListView1));
    QCOMPARE(QApplication::focusWidget(), form.Text1);  // the order is one closed ring
}

void DesktopTest::textsGoThroughTranslation() {
    MarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    Sandbox sandbox;
    FormFixture f(sandbox);
    Form1& form = *f.form;
    f.dialogs.files = {sandbox.appFolder() + "/logos/logo.gif"};
    clickSave(form);
    form.imageSource().chooseFile(sandbox.appFolder() + "/none/logo.jpg");
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(form.PushButton6->text(), "<&Browse>");
    QCOMPARE(form.Frame2->title(), "<Text Properties>");
    QCOMPARE(form.Label1[1]->text(), "<Text Line 2:>");
    QCOMPARE(form.ListView1->model()->headerData(0, Qt::Horizontal).toString(), "<Logo Images>");
    QCOMPARE(f.dialogs.calls.at(0).title, "<Save Image>");
    QCOMPARE(f.messages.texts().value(0), "<" + unsupportedNameMessage() + ">");
    // The run-time error keeps its number and English description; the
    // report shows them translated.
    QCOMPARE(f.messages.messages.size(), size_t(2));
    const test::RecordingMessages::Message& report = f.messages.messages.back();
    QCOMPARE(report.title, "<Application Error>");
    QVERIFY2(report.text.startsWith("<<Path not found>\r\nin "), qPrintable(report.text));
}

QTEST_MAIN(DesktopTest)
#include "test_desktop.moc"
