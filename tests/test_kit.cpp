#include <QDirIterator>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QtEndian>
#include <QtTest>

#include "export/contrast.h"
#include "export/exportoptions.h"
#include "export/imagewriters.h"
#include "export/kitflow.h"
#include "export/logoexport.h"
#include "export/logokit.h"
#include "support/testsupport.h"

using namespace vantelo;

namespace {

// The entries of an icon file: each size as the directory names it, and the
// picture its PNG data hold. Empty when the directory does not fit the file.
struct IconEntry {
    int width;
    int height;
    QImage picture;
};
QList<IconEntry> readIco(const QByteArray& file) {
    const auto* in = reinterpret_cast<const uchar*>(file.constData());
    if (file.size() < 6 || qFromLittleEndian<quint16>(in) != 0 ||
        qFromLittleEndian<quint16>(in + 2) != 1)
        return {};
    QList<IconEntry> entries;
    const int count = qFromLittleEndian<quint16>(in + 4);
    for (int i = 0; i < count && 6 + 16 * (i + 1) <= file.size(); ++i) {
        const uchar* entry = in + 6 + 16 * i;
        const quint32 size = qFromLittleEndian<quint32>(entry + 8);
        const quint32 offset = qFromLittleEndian<quint32>(entry + 12);
        if (quint64(offset) + size > quint64(file.size()) ||
            !file.mid(offset, 8).startsWith("\x89PNG"))
            return {};
        entries.push_back({entry[0] == 0 ? 256 : entry[0], entry[1] == 0 ? 256 : entry[1],
                           QImage::fromData(file.mid(offset, size), "PNG")});
    }
    return entries.size() == count ? entries : QList<IconEntry>();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString& folder) {
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext())
        names << it.next().mid(folder.size() + 1);
    names.sort();
    return names;
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

// A canvas, 200x100 unless told, whose design, an opaque red block, covers
// the content on a pale background; the dark variant has a yellow block.
// Records the scales it is asked for.
struct FakeDesign {
    QSize canvas{200, 100};
    QRect content{50, 20, 100, 60};
    QList<double> scales;
    KitRenderer renderer() {
        KitRenderer r;
        r.render = [this](double scale, bool transparent) {
            return draw(scale, transparent ? Qt::transparent : QColor(240, 240, 250), Qt::red);
        };
        r.contentBounds = [this] { return content; };
        r.renderDark = [this](double scale) { return draw(scale, Qt::transparent, Qt::yellow); };
        r.renderVector = [](bool pdf) { return QByteArray(pdf ? "%PDF-1.4" : "<svg/>"); };
        return r;
    }
    QImage draw(double scale, const QColor& background, const QColor& block) {
        scales << scale;
        QImage image(canvas * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(background);
        QPainter painter(&image);
        painter.scale(scale, scale);
        painter.fillRect(content, block);
        return image;
    }
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// Answers the message boxes as they show, one after another, by pressing the
// button whose caption, less its mnemonic, is the next of `captions` (Escape
// for an empty one); keeps each box's text.
void whenBoxesShow(const QStringList& captions, QStringList* texts) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, captions, texts] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || box->property("answered").toBool())
            return;
        box->setProperty("answered", true);
        const QString caption = captions.value(int(texts->size()));
        *texts << box->text();
        if (texts->size() >= captions.size()) {
            poll->stop();
            poll->deleteLater();
        }
        for (QAbstractButton* button : box->buttons()) {
            if (!caption.isEmpty() && button->text().remove('&') == caption) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        QTest::keyClick(box, Qt::Key_Escape);
    });
    poll->start(10);
}

}  // namespace

class KitTest : public QObject {
    Q_OBJECT
private slots:
    void contrastRatio_data();
    void contrastRatio();
    void contrastBehindText_data();
    void contrastBehindText();
    void readableOnDark_data();
    void readableOnDark();
    void pngKeepsAlpha_data();
    void pngKeepsAlpha();
    void icoHoldsEverySize();
    void kitOnFakeDesign();
    void kitBoundsItsRenders();
    void kitStopsAtFirstFailure_data();
    void kitStopsAtFirstFailure();
    void darkVariantReadsAsBodyText_data();
    void darkVariantReadsAsBodyText();
    void kitFollowsTheExportChoices_data();
    void kitFollowsTheExportChoices();
    void windowKitKeepsTheUsersFiles_data();
    void windowKitKeepsTheUsersFiles();
    void realQuestionIsAnswered_data();
    void realQuestionIsAnswered();
    void realFolderDialogProposesTheKitFolder_data();
    void realFolderDialogProposesTheKitFolder();
};

void KitTest::contrastRatio_data() {
    QTest::addColumn<QColor>("a");
    QTest::addColumn<QColor>("b");
    QTest::addColumn<double>("ratio");
    QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::newRow("white on black") << QColor(Qt::white) << QColor(Qt::black) << 21.0;
    QTest::newRow("same colour") << QColor(40, 90, 200) << QColor(40, 90, 200) << 1.0;
    QTest::newRow("grey 777 on white") << QColor(0x77, 0x77, 0x77) << QColor(Qt::white) << 4.48;
    QTest::newRow("grey 767676 on white") << QColor(0x76, 0x76, 0x76) << QColor(Qt::white) << 4.54;
    QTest::newRow("red on white") << QColor(Qt::red) << QColor(Qt::white) << 4.0;
    QTest::newRow("blue on black") << QColor(Qt::blue) << QColor(Qt::black) << 2.44;
}

void KitTest::contrastRatio() {
    QFETCH(QColor, a);
    QFETCH(QColor, b);
    QFETCH(double, ratio);
    QVERIFY2(qAbs(vantelo::contrastRatio(a, b) - ratio) < 0.01,
             QByteArray::number(vantelo::contrastRatio(a, b)));
}

void KitTest::contrastBehindText_data() {
    QTest::addColumn<QRect>("area");
    QTest::addColumn<bool>("useMask");
    QTest::addColumn<double>("share");
    QTest::addColumn<double>("ratio");
    // The picture: black on the left half, white on the right, with a few
    // white specks in the black; the text is white.
    QTest::newRow("black half") << QRect(0, 0, 20, 100) << false << 0.1 << 21.0;
    QTest::newRow("white half") << QRect(60, 0, 40, 100) << false << 0.1 << 1.0;
    QTest::newRow("specks pass at 10%") << QRect(0, 0, 50, 100) << false << 0.1 << 21.0;
    QTest::newRow("specks count at 0") << QRect(0, 0, 50, 100) << false << 0.0 << 1.0;
    QTest::newRow("straddling") << QRect(40, 0, 20, 100) << false << 0.1 << 1.0;
    QTest::newRow("transparent on backdrop") << QRect(0, 100, 100, 20) << false << 0.1 << 1.0;
    QTest::newRow("outside") << QRect(300, 300, 10, 10) << false << 0.1 << 21.0;
    QTest::newRow("mask on black") << QRect(0, 0, 20, 100) << true << 0.1 << 21.0;
    QTest::newRow("mask straddling") << QRect(40, 0, 20, 100) << true << 0.1 << 1.0;
}

void KitTest::contrastBehindText() {
    QFETCH(QRect, area);
    QFETCH(bool, useMask);
    QFETCH(double, share);
    QFETCH(double, ratio);
    QImage picture(100, 120, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.fillRect(0, 0, 50, 100, Qt::black);
    painter.fillRect(50, 0, 50, 100, Qt::white);
    for (int i = 0; i < 20; ++i)
        painter.fillRect(20 + i, i * 5, 1, 1, Qt::white);
    painter.end();
    double found = 0;
    if (useMask) {
        QImage mask(picture.size(), QImage::Format_ARGB32);
        mask.fill(Qt::transparent);
        QPainter masking(&mask);
        masking.fillRect(area, QColor(0, 0, 0, 200));
        // A faint edge of the text over the white half, which does not count.
        masking.fillRect(QRect(70, 0, 10, 100), QColor(0, 0, 0, 60));
        masking.end();
        found = contrastOverPixels(picture, mask, Qt::white, share);
    } else {
        found = contrastOverPixels(picture, area, Qt::white, share);
    }
    QVERIFY2(qAbs(found - ratio) < 0.01, QByteArray::number(found));
}

void KitTest::readableOnDark_data() {
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("kept");
    QTest::newRow("navy on black") << QColor(0, 0, 128) << QColor(Qt::black) << false;
    QTest::newRow("dark red on dark blue") << QColor(120, 0, 0) << QColor(10, 20, 60) << false;
    QTest::newRow("black on black") << QColor(Qt::black) << QColor(Qt::black) << false;
    QTest::newRow("yellow on black") << QColor(Qt::yellow) << QColor(Qt::black) << true;
    QTest::newRow("pale grey on white") << QColor(220, 220, 220) << QColor(Qt::white) << false;
}

void KitTest::readableOnDark() {
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    QFETCH(bool, kept);
    const QColor chosen = readableTextColor(text, background);
    QCOMPARE(chosen == text, kept);
    const double ratio = vantelo::contrastRatio(chosen, background);
    QVERIFY2(ratio >= 3.0, QByteArray::number(ratio));
    if (!kept) {
        // Only just enough: the colour changes no more than it must.
        QVERIFY2(ratio < 3.1, QByteArray::number(ratio));
        QCOMPARE(chosen.hslHue(), text.hslHue());
    }
}

void KitTest::pngKeepsAlpha_data() {
    QTest::addColumn<int>("format");
    QTest::newRow("ARGB32") << int(QImage::Format_ARGB32);
    QTest::newRow("premultiplied") << int(QImage::Format_ARGB32_Premultiplied);
    QTest::newRow("RGBA8888") << int(QImage::Format_RGBA8888);
}

void KitTest::pngKeepsAlpha() {
    QFETCH(int, format);
    QImage picture(17, 9, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgba(255, x * 15, y * 28, x * 15));
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("alpha.png"));
    QCOMPARE(savePng(picture.convertToFormat(QImage::Format(format)), name), SaveFailure::None);
    const QImage back(name);
    QVERIFY(back.hasAlphaChannel());
    QImage expected = picture.convertToFormat(QImage::Format(format));
    QCOMPARE(back.convertToFormat(QImage::Format_ARGB32),
             expected.convertToFormat(QImage::Format_ARGB32));
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("alpha.png")});
}

void KitTest::icoHoldsEverySize() {
    QList<QImage> sizes;
    for (const QSize size :
         {QSize(16, 16), QSize(32, 32), QSize(48, 48), QSize(256, 256), QSize(200, 100)}) {
        QImage picture(size, QImage::Format_ARGB32);
        picture.fill(QColor(10, 200, 30, 128));
        sizes << picture;
    }
    const QList<IconEntry> icons = readIco(encodeIco(sizes));
    QCOMPARE(icons.size(), sizes.size());
    for (int i = 0; i < icons.size(); ++i) {
        QCOMPARE(QSize(icons[i].width, icons[i].height), sizes[i].size());
        QCOMPARE(icons[i].picture.convertToFormat(QImage::Format_ARGB32), sizes[i]);
    }
    QVERIFY(encodeIco({QImage(257, 16, QImage::Format_ARGB32)}).isEmpty());
    QVERIFY(encodeIco({}).isEmpty());
}

void KitTest::kitOnFakeDesign() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("kit"));
    QVERIFY(QDir().mkdir(folder));
    QFile other(folder + QStringLiteral("/notes.txt"));
    QVERIFY(other.open(QIODevice::WriteOnly) && other.write("mine") == 4);
    other.close();
    FakeDesign design;
    const KitResult result = writeLogoKit(folder, design.renderer());
    QCOMPARE(result.failure, SaveFailure::None);
    QStringList expected = logoKitFileNames(true);
    QCOMPARE(result.written.size(), expected.size());
    expected << QStringLiteral("notes.txt") << kKitRecordName;
    expected.sort();
    QCOMPARE(entries(folder), expected);
    QCOMPARE(contents(folder + QStringLiteral("/notes.txt")), QByteArray("mine"));

    // The 100x60 content is cut from a render at least as large as the
    // largest square.
    QVERIFY(*std::max_element(design.scales.begin(), design.scales.end()) >= 1024 / 100.0);
    for (const int side : {64, 128, 256, 512, 1024}) {
        const QImage square(folder + QStringLiteral("/logo-%1.png").arg(side));
        QCOMPARE(square.size(), QSize(side, side));
        QCOMPARE(qAlpha(square.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(square.pixel(side - 1, side - 1)), 0);
        QCOMPARE(square.pixel(side / 2, side / 2), qRgb(255, 0, 0));
        // The block's 5:3 fills the width within a margin of a tenth of the
        // side, and is centred in the height.
        const int margin = qRound(side / 10.0);
        QCOMPARE(qAlpha(square.pixel(margin - 1, side / 2)), 0);
        QCOMPARE(qAlpha(square.pixel(margin + 1, side / 2)), 255);
        QCOMPARE(qAlpha(square.pixel(side - margin - 2, side / 2)), 255);
        QCOMPARE(qAlpha(square.pixel(side - margin, side / 2)), 0);
        QCOMPARE(qAlpha(square.pixel(side / 2, side / 5)), 0);
    }
    const QList<IconEntry> icons = readIco(contents(folder + QStringLiteral("/favicon.ico")));
    QCOMPARE(icons.size(), 3);
    const int iconSides[] = {16, 32, 48};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(icons[i].picture.size(), QSize(iconSides[i], iconSides[i]));
        QCOMPARE(QSize(icons[i].width, icons[i].height), icons[i].picture.size());
        QCOMPARE(qAlpha(icons[i].picture.pixel(0, 0)), 0);
    }
    const QImage wide(folder + QStringLiteral("/logo-wide.png"));
    QCOMPARE(wide.size(), QSize(400, 200));
    QCOMPARE(qAlpha(wide.pixel(0, 0)), 0);
    const QImage dark(folder + QStringLiteral("/logo-dark.png"));
    QCOMPARE(dark.pixel(200, 100), qRgb(255, 255, 0));
    const QImage jpeg(folder + QStringLiteral("/logo.jpg"));
    QCOMPARE(jpeg.size(), QSize(200, 100));
    QVERIFY(!jpeg.hasAlphaChannel());
}

// A speck of a design on a large canvas would ask for a render of gigabytes
// to fill the largest square.
void KitTest::kitBoundsItsRenders() {
    QTemporaryDir dir;
    FakeDesign design;
    design.canvas = QSize(2400, 2000);
    design.content = QRect(1200, 1000, 2, 2);
    QCOMPARE(writeLogoKit(dir.path(), design.renderer()).failure, SaveFailure::None);
    for (const double scale : design.scales)
        QVERIFY2(scale * scale * 2400 * 2000 <= 4096.0 * 4096 * 1.001, QByteArray::number(scale));
    QCOMPARE(QImage(dir.filePath(QStringLiteral("logo-1024.png"))).size(), QSize(1024, 1024));
}

void KitTest::kitStopsAtFirstFailure_data() {
    QTest::addColumn<QString>("readOnly");  // relative to the kit's folder
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("failedFile");
    QTest::addColumn<int>("failure");
    QTest::newRow("read-only folder") << "."
                                      << "kit"
                                      << "favicon.ico" << int(SaveFailure::AccessDenied);
    QTest::newRow("read-only logo-256.png") << "logo-256.png"
                                            << "kit"
                                            << "logo-256.png" << int(SaveFailure::AccessDenied);
    QTest::newRow("no parent folder") << ""
                                      << "none/kit"
                                      << "" << int(SaveFailure::FolderNotFound);
    QTest::newRow("folder is a file") << ""
                                      << "kit/logo.jpg"
                                      << "" << int(SaveFailure::NotAFolder);
}

void KitTest::kitStopsAtFirstFailure() {
    QFETCH(QString, readOnly);
    QFETCH(QString, folder);
    QFETCH(QString, failedFile);
    QFETCH(int, failure);
    QTemporaryDir dir;
    const QString kit = dir.filePath(QStringLiteral("kit"));
    QVERIFY(QDir().mkdir(kit));
    QFile old(kit + QStringLiteral("/logo-256.png"));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    QVERIFY(QFile::copy(kit + QStringLiteral("/logo-256.png"), kit + QStringLiteral("/logo.jpg")));
    ReadOnlyPaths fileSystem;
    if (!readOnly.isEmpty())
        fileSystem.readOnly << QDir::cleanPath(kit + QLatin1Char('/') + readOnly);
    const QString target = dir.filePath(folder);

    FakeDesign design;
    const KitResult result = writeLogoKit(target, design.renderer(), fileSystem);
    QCOMPARE(int(result.failure), failure);
    QCOMPARE(result.failedFile, failedFile.isEmpty() ? target : target + '/' + failedFile);
    // The files before the failure are whole, the rest untouched.
    const QStringList names = logoKitFileNames(true);
    const int failed = int(names.indexOf(failedFile));
    QCOMPARE(result.written.size(), std::max(failed, 0));
    QStringList expected = names.mid(0, result.written.size());
    expected << QStringLiteral("logo-256.png") << QStringLiteral("logo.jpg");
    // What was written is recorded, so that the next kit takes it as its own.
    if (!result.written.isEmpty())
        expected << kKitRecordName;
    expected.removeDuplicates();
    expected.sort();
    QCOMPARE(entries(kit), expected);
    for (const QString& name : result.written)
        QVERIFY2(name.endsWith(".ico") || !QImage(name).isNull(), qPrintable(name));
    QCOMPARE(contents(kit + QStringLiteral("/logo-256.png")), QByteArray("old"));
    QCOMPARE(contents(kit + QStringLiteral("/logo.jpg")), QByteArray("old"));
}

void KitTest::darkVariantReadsAsBodyText_data() {
    QTest::addColumn<QColor>("text");
    QTest::addColumn<bool>("kept");
    QTest::newRow("dim grey") << QColor(0x69, 0x69, 0x69) << false;
    QTest::newRow("dark grey") << QColor(0x40, 0x40, 0x40) << false;
    QTest::newRow("navy") << QColor(0, 0, 128) << false;
    QTest::newRow("black") << QColor(Qt::black) << false;
    QTest::newRow("just below") << QColor(0x7d, 0x7d, 0x7d) << false;
    QTest::newRow("light grey") << QColor(0xa0, 0xa0, 0xa0) << true;
    QTest::newRow("yellow") << QColor(Qt::yellow) << true;
}

// Measured on the colour as stored, against the dark background the variant
// is made for.
void KitTest::darkVariantReadsAsBodyText() {
    QFETCH(QColor, text);
    QFETCH(bool, kept);
    LogoDesign design;
    design.lines[1].color = colorToValue(text);
    const QColor dark = valueToColor(darkVariant(design).lines[1].color);
    QCOMPARE(dark == text, kept);
    const double ratio = vantelo::contrastRatio(dark, QColor(0x20, 0x20, 0x20));
    QVERIFY2(ratio >= 4.5, QByteArray::number(ratio));
    if (!kept)
        QVERIFY2(ratio < 4.7, QByteArray::number(ratio));
}

void KitTest::kitFollowsTheExportChoices_data() {
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<bool>("trim");
    QTest::newRow("white, whole") << QColor(Qt::white) << false << false;
    QTest::newRow("teal, whole") << QColor(0, 128, 128) << false << false;
    QTest::newRow("teal, trimmed") << QColor(0, 128, 128) << false << true;
    QTest::newRow("transparent, trimmed") << QColor(0, 128, 128) << true << true;
}

// logo.jpg and logo-wide.png are the logo the Save button would write with
// the same choices; the squares stay transparent.
void KitTest::kitFollowsTheExportChoices() {
    QFETCH(QColor, background);
    QFETCH(bool, transparent);
    QFETCH(bool, trim);
    test::Sandbox sandbox;
    sandbox.setSetting(QStringLiteral("Background"), QString::number(colorToValue(background)));
    sandbox.setSetting(QStringLiteral("Transparent Background"), transparent ? "True" : "False");
    sandbox.setSetting(QStringLiteral("Trim To Content"), trim ? "True" : "False");
    test::FormFixture f(sandbox);
    const RenderOptions options = f.form->exportOptions();
    QCOMPARE(options.trim, trim);
    const RenderSource source = f.form->exportSource();
    RenderOptions saved = options;
    saved.transparent = false;
    const QImage logo = renderDesign(source, saved);

    QTemporaryDir dir;
    QCOMPARE(writeLogoKit(dir.path(), kitRendererFor(source, options)).failure, SaveFailure::None);
    const QImage jpeg(dir.filePath(QStringLiteral("logo.jpg")));
    QCOMPARE(jpeg.size(), logo.size());
    QVERIFY(trim == (logo.size() != source.canvas));
    const QColor corner = jpeg.pixelColor(0, 0);
    QVERIFY2(qAbs(corner.red() - background.red()) + qAbs(corner.green() - background.green()) +
                     qAbs(corner.blue() - background.blue()) <
                 12,
             qPrintable(corner.name()));
    const QImage wide(dir.filePath(QStringLiteral("logo-wide.png")));
    QCOMPARE(wide.size(), logo.size() * 2);
    QCOMPARE(wide.pixelColor(0, 0),
             transparent ? QColor(Qt::transparent) : QColor(background.rgb()));
    QCOMPARE(QImage(dir.filePath(QStringLiteral("logo-dark.png"))).size(), wide.size());
    QCOMPARE(qAlpha(QImage(dir.filePath(QStringLiteral("logo-64.png"))).pixel(0, 0)), 0);
}

void KitTest::windowKitKeepsTheUsersFiles_data() {
    QTest::addColumn<QString>("chosen");     // relative to logos; "-": cancelled
    QTest::addColumn<QStringList>("there");  // files of the user's own, beside the kit
    QTest::addColumn<bool>("earlierKit");    // a kit was written there before
    QTest::addColumn<bool>("replace");       // the answer to the question
    QTest::addColumn<QStringList>("named");  // the files the question names
    QTest::newRow("default folder")
        << "Logo kit" << QStringList{"logo.jpg"} << false << false << QStringList();
    QTest::newRow("logos folder, cancel")
        << "" << QStringList{"logo.jpg"} << false << false << QStringList{"logo.jpg"};
    QTest::newRow("logos folder, replace")
        << "" << QStringList{"logo.jpg"} << false << true << QStringList{"logo.jpg"};
    QTest::newRow("earlier kit") << "Logo kit" << QStringList() << true << false << QStringList();
    QTest::newRow("earlier kit, one file the user's")
        << "Logo kit" << QStringList{"Logo kit/logo-64.png", "Logo kit/logo-wide.png"} << true
        << false << QStringList{"logo-64.png", "logo-wide.png"};
    QTest::newRow("folder dialog cancelled")
        << "-" << QStringList() << false << false << QStringList();
}

// Saved logos in the logos folder, then "Export Kit…" from the window.
void KitTest::windowKitKeepsTheUsersFiles() {
    QFETCH(QString, chosen);
    QFETCH(QStringList, there);
    QFETCH(bool, earlierKit);
    QFETCH(bool, replace);
    QFETCH(QStringList, named);
    test::Sandbox sandbox;
    test::FormFixture f(sandbox);
    const QString logos = f.form->logoFolders().library;
    const QString kit = logos + (chosen.isEmpty() ? QString() : QLatin1Char('/') + chosen);
    QVERIFY(QDir().mkpath(logos));
    if (earlierKit)
        QCOMPARE(writeLogoKit(kit, kitRendererFor(f.form->exportSource(), {})).failure,
                 SaveFailure::None);
    for (const QString& name : there)
        writeFile(logos + QLatin1Char('/') + name, "Version A");
    const QMap<QString, QByteArray> before = [&] {
        QMap<QString, QByteArray> files;
        for (const QString& name : entries(logos))
            files.insert(name, contents(logos + QLatin1Char('/') + name));
        return files;
    }();

    f.dialogs.files.push_back(chosen == QLatin1String("-") ? std::nullopt : std::optional(kit));
    f.messages.answers.push_back(replace);
    f.form->chooseKitFolder();

    const test::ScriptedDialogs::Call& call = f.dialogs.calls.back();
    QCOMPARE(call.kind + call.folder + call.title, "folder" + logos + "Export Kit|Logo kit");
    QStringList questions;
    for (const auto& message : f.messages.messages)
        if (message.style == (MsgOkCancel | MsgQuestion))
            questions << message.text;
    QCOMPARE(questions.size(), named.isEmpty() ? 0 : 1);
    if (!named.isEmpty())
        QCOMPARE(questions.first(), kitReplaceQuestion(kit, named));
    const bool written = chosen != QLatin1String("-") && (named.isEmpty() || replace);
    QCOMPARE(QFileInfo::exists(kit + QStringLiteral("/favicon.ico")), written || earlierKit);
    for (const QString& name : there) {
        const bool replaced = written &&
                              logoKitFileNames(true).contains(QFileInfo(name).fileName()) &&
                              QFileInfo(logos + '/' + name).path() == kit;
        QCOMPARE(contents(logos + '/' + name) == "Version A", !replaced);
    }
    if (!written)
        for (auto it = before.begin(); it != before.end(); ++it)
            QCOMPARE(contents(logos + '/' + it.key()), it.value());
    QCOMPARE(
        f.messages.texts().contains("The logo kit is in " + QDir::toNativeSeparators(kit) + "."),
        written);
}

void KitTest::realQuestionIsAnswered_data() {
    QTest::addColumn<QString>("press");
    QTest::addColumn<bool>("written");
    QTest::newRow("Replace") << "Replace" << true;
    QTest::newRow("Cancel") << "Cancel" << false;
    QTest::newRow("Escape") << "" << false;
}

// The question as the person sees it, Qt's own message box, answered with
// the mouse or Escape.
void KitTest::realQuestionIsAnswered() {
    QFETCH(QString, press);
    QFETCH(bool, written);
    test::Sandbox sandbox;
    test::FormFixture f(sandbox);
    QtMessageBoxes real;
    const QString logos = f.form->logoFolders().library;
    writeFile(logos + QStringLiteral("/logo.jpg"), "Version A");
    writeFile(logos + QStringLiteral("/logo-64.png"), "mine");
    KitFlowContext context{f.dialogs, real, logos,
                           [&f] { return kitRendererFor(f.form->exportSource(), {}); }};
    QStringList asked;
    whenBoxesShow(written ? QStringList{press, "OK"} : QStringList{press}, &asked);
    QCOMPARE(writeKitInto(context, logos), written);
    QCOMPARE(asked.size(), written ? 2 : 1);
    QVERIFY2(asked.first().contains("\n\nlogo-64.png\nlogo.jpg\n\n"), qPrintable(asked.first()));
    QCOMPARE(contents(logos + QStringLiteral("/logo.jpg")) == "Version A", !written);
    QCOMPARE(QFileInfo::exists(logos + QStringLiteral("/favicon.ico")), written);
    if (written) {
        // The answer holds for this kit; the next is asked about nothing.
        asked.clear();
        whenBoxesShow({"OK"}, &asked);
        QVERIFY(writeKitInto(context, logos));
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked.first().startsWith("The logo kit is in"), qPrintable(asked.first()));
    }
}

void KitTest::realFolderDialogProposesTheKitFolder_data() {
    QTest::addColumn<QString>("typed");   // empty: accepted as proposed
    QTest::addColumn<QString>("chosen");  // relative to the logos folder
    QTest::newRow("as proposed") << ""
                                 << "Logo kit";
    QTest::newRow("another new folder") << "web"
                                        << "web";
    QTest::newRow("an existing folder") << "old"
                                        << "old";
    QTest::newRow("nothing: the logos folder") << "-"
                                               << "";
}

void KitTest::realFolderDialogProposesTheKitFolder() {
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QTemporaryDir dir;
    const QString logos = dir.filePath(QStringLiteral("logos"));
    QVERIFY(QDir().mkpath(logos + QStringLiteral("/old")));
    QtDialogPresenter presenter;
    auto* poll = new QTimer(qApp);
    QString proposed;
    QObject::connect(poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        // The folder is read in the background; "old" shows once it has been.
        auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
        if (list == nullptr || list->model()->rowCount(list->rootIndex()) == 0)
            return;
        poll->stop();
        poll->deleteLater();
        QLineEdit* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        proposed = edit->text();
        // Typed over the proposed name, as a person does.
        if (!typed.isEmpty()) {
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            if (typed == QLatin1String("-"))
                QTest::keyClick(edit, Qt::Key_Delete);
            else
                QTest::keyClicks(edit, typed);
        }
        QTest::keyClick(edit, Qt::Key_Return);
    });
    poll->start(10);
    const std::optional<QString> folder =
        presenter.chooseFolder(logos, QStringLiteral("Logo kit"), QStringLiteral("Export Kit"));
    QCOMPARE(proposed, QStringLiteral("Logo kit"));
    QVERIFY(folder.has_value());
    QCOMPARE(*folder, QDir::cleanPath(logos + QLatin1Char('/') + chosen));
    // Only the kit makes the folder.
    QCOMPARE(entries(logos), QStringList{"old"});
}

QTEST_MAIN(KitTest)
#include "test_kit.moc"
