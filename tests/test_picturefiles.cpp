#include <QBuffer>
#include <QtTest>

#include "canvas/canvas.h"
#include "editing/imagesource.h"
#include "platform/exiforientation.h"
#include "platform/picture.h"
#include "platform/runtimeerror.h"
#include "support/testsupport.h"

using namespace vantelo;
using test::FormFixture;
using test::Sandbox;

namespace {

QByteArray number(quint32 value, int bytes, bool bigEndian) {
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(char(value >> (8 * (bigEndian ? bytes - 1 - i : i))));
    return out;
}

QByteArray segment(int marker, const QByteArray& body) {
    return QByteArray("\xFF") + char(marker) + number(body.size() + 2, 2, true) + body;
}

// The TIFF data of an EXIF block as a camera writes it: a first directory
// with maker, orientation, resolution and a link to the EXIF directory, and
// the values too long for their entry after it.
QByteArray cameraTiff(bool bigEndian, int orientationType, int orientation) {
    const auto n = [bigEndian](quint32 value, int bytes) {
        return number(value, bytes, bigEndian);
    };
    const int entries = 5;
    const int dataAt = 8 + 2 + entries * 12 + 4;
    const auto entry = [&](int tag, int type, int count, const QByteArray& value) {
        return n(tag, 2) + n(type, 2) + n(count, 4) + value.leftJustified(4, '\0');
    };
    QByteArray tiff = QByteArray(bigEndian ? "MM" : "II") + n(42, 2) + n(8, 4) + n(entries, 2);
    tiff += entry(0x010F, 2, 14, n(dataAt, 4));  // maker, too long to stand in the entry
    tiff += entry(0x0112, orientationType, 1, n(orientation, orientationType == 3 ? 2 : 4));
    tiff += entry(0x011A, 5, 1, n(dataAt + 14, 4));  // 72 dots an inch, a fraction
    tiff += entry(0x0128, 3, 1, n(2, 2));
    tiff += entry(0x8769, 4, 1, n(dataAt + 22, 4));  // the EXIF directory, empty here
    tiff += n(0, 4) + QByteArray("Vantelo Optic\0", 14) + n(72, 4) + n(1, 4) + n(0, 2) + n(0, 4);
    return tiff;
}

QByteArray exifSegment(const QByteArray& tiff) {
    return segment(0xE1, QByteArray("Exif\0\0", 6) + tiff);
}

// Stored lying down: red | green over blue | white, 48 x 32.
QImage quadrants() {
    QImage image(48, 32, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
            image.setPixel(x, y, colours[(y / 16) * 2 + x / 24]);
    return image;
}

QByteArray jpegOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

// The JPEG with `segments` put after the JFIF segment the encoder writes
// first, or after its frame header.
QByteArray spliced(const QByteArray& jpeg, const QByteArray& segments, bool afterFrame = false) {
    const int at =
        afterFrame ? jpeg.indexOf("\xFF\xC0") : 4 + (quint8(jpeg[4]) << 8 | quint8(jpeg[5]));
    return QByteArray(jpeg).insert(at, segments);
}

// The letters of the colours at the corners, clockwise from the top left.
QString corners(const QImage& image) {
    QString out;
    const int r = image.width() - 4;
    const int b = image.height() - 4;
    for (const QPoint& p : {QPoint(3, 3), QPoint(r, 3), QPoint(r, b), QPoint(3, b)}) {
        const QColor c = image.pixelColor(p);
        out += c.red() > 128 ? (c.green() > 128 ? 'W' : 'R') : (c.green() > 128 ? 'G' : 'B');
    }
    return out;
}

QByteArray le(quint32 value, int bytes) {
    return number(value, bytes, false);
}

// A 32-bit bitmap, 3 x 2, as editors write one with colour masks in the
// header: `infoSize` 40 (masks after it), 52 or 56; 16-bit pixels when
// `bits` is 16 (R5 G6 B5); `gap` bytes between the header and the pixels,
// as writers that align the pixels leave.
QByteArray maskedBitmap(int infoSize, int compression, quint32 alphaMask, int bits = 32,
                        int gap = 0) {
    const bool wide = bits == 32;
    QByteArray masks = wide ? le(0x00FF0000, 4) + le(0x0000FF00, 4) + le(0x000000FF, 4)
                            : le(0xF800, 4) + le(0x07E0, 4) + le(0x001F, 4);
    if (infoSize == 56 || compression == 6)
        masks += le(alphaMask, 4);
    QByteArray info = le(infoSize, 4) + le(3, 4) + le(2, 4) + le(1, 2) + le(bits, 2) +
                      le(compression, 4) + le(0, 4) + le(2835, 4) + le(2835, 4) + le(0, 4) +
                      le(0, 4) + masks;
    // Top row: opaque red, half-transparent green, clear blue; bottom row white.
    const QByteArray top = wide ? QByteArray::fromHex("0000ffff00ff0080ff000000")
                                : QByteArray::fromHex("00f8e0071f000000");
    const QByteArray bottom = wide ? QByteArray::fromHex("ffffffffffffffffffffffff")
                                   : QByteArray::fromHex("ffffffffffff0000");
    const QByteArray pixels = bottom + top;
    const int pixelsAt = 14 + info.size() + gap;
    return "BM" + le(pixelsAt + pixels.size(), 4) + le(0, 4) + le(pixelsAt, 4) + info +
           QByteArray(gap, '\0') + pixels;
}

}  // namespace

class PictureFilesTest : public QObject {
    Q_OBJECT
private slots:
    void turnedPhotosShowUpright_data();
    void turnedPhotosShowUpright();
    void everyOrientationTurnsItsWay_data();
    void everyOrientationTurnsItsWay();
    void hostileExifIsPassedOver_data();
    void hostileExifIsPassedOver();
    void maskedBitmapsLoad_data();
    void maskedBitmapsLoad();
    void brokenMaskedBitmapsAreRefused_data();
    void brokenMaskedBitmapsAreRefused();
};

void PictureFilesTest::turnedPhotosShowUpright_data() {
    QTest::addColumn<QByteArray>("file");
    const QByteArray jpeg = jpegOf(quadrants());
    const QByteArray xmp =
        segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 42));
    const QByteArray icc =
        segment(0xE2, QByteArray("ICC_PROFILE\0\x01\x01", 14) + QByteArray(80, 'p'));
    QTest::newRow("camera: JFIF, then EXIF big-endian, orientation LONG")
        << spliced(jpeg, exifSegment(cameraTiff(true, 4, 6)));
    QTest::newRow("little-endian, orientation LONG")
        << spliced(jpeg, exifSegment(cameraTiff(false, 4, 6)));
    QTest::newRow("EXIF first, little-endian SHORT")
        << exifSegment(cameraTiff(false, 3, 6)).prepend(jpeg.left(2)) + jpeg.mid(2);
    QTest::newRow("EXIF after a profile and XMP")
        << spliced(jpeg, icc + xmp + exifSegment(cameraTiff(true, 4, 6)));
    QTest::newRow("EXIF after the frame header")
        << spliced(jpeg, exifSegment(cameraTiff(false, 3, 6)), true);
}

// A photo turned by its EXIF orientation, however the file keeps it, is
// shown upright through Browse: taller than wide, red top right.
void PictureFilesTest::turnedPhotosShowUpright() {
    QFETCH(QByteArray, file);
    Sandbox sandbox;
    FormFixture f(sandbox);
    f.dialogs.files.push_back(sandbox.writeFile("photo.jpg", file));
    f.form->imageSource().PushButton6_Click();
    QVERIFY2(f.messages.messages.empty(), qPrintable(f.messages.texts().join('|')));
    const QImage picture = f.form->canvas->imgLogo->Picture();
    QCOMPARE(picture.size(), QSize(32, 48));
    QCOMPARE(corners(picture), QStringLiteral("BRGW"));
}

void PictureFilesTest::everyOrientationTurnsItsWay_data() {
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("corners");
    QTest::newRow("1 as stored") << 1 << "RGWB";
    QTest::newRow("2 mirrored") << 2 << "GRBW";
    QTest::newRow("3 half a turn") << 3 << "WBRG";
    QTest::newRow("4 upside down") << 4 << "BWGR";
    QTest::newRow("5 transposed") << 5 << "RBWG";
    QTest::newRow("6 a quarter clockwise") << 6 << "BRGW";
    QTest::newRow("7 transversed") << 7 << "WGRB";
    QTest::newRow("8 a quarter anticlockwise") << 8 << "GWBR";
}

void PictureFilesTest::everyOrientationTurnsItsWay() {
    QFETCH(int, orientation);
    QFETCH(QString, corners);
    Sandbox sandbox;
    const QString path = sandbox.writeFile(
        "photo.jpg", spliced(jpegOf(quadrants()), exifSegment(cameraTiff(true, 4, orientation))));
    const QImage picture = LoadPicture(path);
    QCOMPARE(::corners(picture), corners);
    QCOMPARE(picture.width(), orientation >= 5 && orientation <= 8 ? 32 : 48);
}

void PictureFilesTest::hostileExifIsPassedOver_data() {
    QTest::addColumn<QByteArray>("tiff");
    QTest::addColumn<int>("orientation");
    const QByteArray good = cameraTiff(true, 3, 6);
    const auto patched = [&good](int at, const QByteArray& bytes) {
        return QByteArray(good).replace(at, bytes.size(), bytes);
    };
    const int entry = 8 + 2 + 12;  // the orientation's
    QTest::newRow("as written") << good << 6;
    QTest::newRow("mixed byte order") << patched(0, "MI") << 1;
    QTest::newRow("not 42") << patched(2, QByteArray("\0\x2B", 2)) << 1;
    QTest::newRow("directory past the end") << patched(4, QByteArray("\0\0\x10\0", 4)) << 1;
    QTest::newRow("directory ends the block") << good.left(9) << 1;
    QTest::newRow("60000 entries in a short block")
        << patched(8, QByteArray("\xEA\x60", 2)).left(entry) << 1;
    QTest::newRow("cut inside the entry") << good.left(entry + 9) << 1;
    QTest::newRow("a fraction") << patched(entry + 2, QByteArray("\0\x05", 2)) << 1;
    QTest::newRow("no values") << patched(entry + 4, QByteArray(4, '\0')) << 1;
    QTest::newRow("three values, pointed to")
        << patched(entry + 4, QByteArray("\0\0\0\x03\0\0\0\x30", 8)) << 3;
    QTest::newRow("three values, pointing past the end")
        << patched(entry + 4, QByteArray("\0\0\0\x03\xFF\xFF\xFF\xFE", 8)) << 1;
    QTest::newRow("value 9") << patched(entry + 8, QByteArray("\0\x09", 2)) << 1;
    QTest::newRow("LONG holding a SHORT's bytes")
        << cameraTiff(true, 4, 6).replace(entry + 8, 4, QByteArray("\0\x06\0\0", 4)) << 1;
}

// Whatever an EXIF block claims, only bytes inside it are read, and a
// block that holds no valid orientation leaves the picture as stored.
void PictureFilesTest::hostileExifIsPassedOver() {
    QFETCH(QByteArray, tiff);
    QFETCH(int, orientation);
    // Held in a buffer of its own size, so that a read past it is caught by
    // the address sanitizer.
    QCOMPARE(exifOrientation(QByteArray(tiff.constData(), tiff.size())), orientation);
    Sandbox sandbox;
    const QImage picture = LoadPicture(
        sandbox.writeFile("photo.jpg", spliced(jpegOf(quadrants()), exifSegment(tiff))));
    QCOMPARE(picture.width(), orientation == 6 ? 32 : 48);
}

void PictureFilesTest::maskedBitmapsLoad_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("alpha");
    QTest::newRow("56 bytes, A8R8G8B8 bit fields") << maskedBitmap(56, 3, 0xFF000000) << true;
    QTest::newRow("56 bytes, alpha bit fields") << maskedBitmap(56, 6, 0xFF000000) << true;
    QTest::newRow("56 bytes, X8R8G8B8") << maskedBitmap(56, 3, 0) << false;
    QTest::newRow("56 bytes, pixels aligned after a gap")
        << maskedBitmap(56, 3, 0xFF000000, 32, 2) << true;
    QTest::newRow("52 bytes, bit fields") << maskedBitmap(52, 3, 0) << false;
    QTest::newRow("40 bytes, alpha bit fields after it") << maskedBitmap(40, 6, 0xFF000000) << true;
    QTest::newRow("56 bytes, R5G6B5") << maskedBitmap(56, 3, 0, 16) << false;
}

// Bitmaps with colour masks in a 52- or 56-byte header load, through Browse,
// with their colours and, where the masks hold one, their alpha.
void PictureFilesTest::maskedBitmapsLoad() {
    QFETCH(QByteArray, file);
    QFETCH(bool, alpha);
    Sandbox sandbox;
    FormFixture f(sandbox);
    f.dialogs.files.push_back(sandbox.writeFile("layer.bmp", file));
    f.form->imageSource().PushButton6_Click();
    QVERIFY2(f.messages.messages.empty(), qPrintable(f.messages.texts().join('|')));
    const QImage picture = f.form->canvas->imgLogo->Picture();
    QCOMPARE(picture.size(), QSize(3, 2));
    QCOMPARE(picture.hasAlphaChannel(), alpha);
    const auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) < 8 && std::abs(qGreen(a) - qGreen(b)) < 8 &&
               std::abs(qBlue(a) - qBlue(b)) < 8 && qAlpha(a) == qAlpha(b);
    };
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
    QVERIFY(near(pixels.pixel(0, 0), qRgb(255, 0, 0)));
    QVERIFY(near(pixels.pixel(1, 0), qRgba(0, 255, 0, alpha ? 0x80 : 255)));
    QVERIFY(near(pixels.pixel(0, 1), qRgb(255, 255, 255)));
    if (file.at(28) == 32)
        QVERIFY(near(pixels.pixel(2, 0), qRgba(0, 0, 255, alpha ? 0 : 255)));
}

void PictureFilesTest::brokenMaskedBitmapsAreRefused_data() {
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = maskedBitmap(56, 3, 0xFF000000);
    QTest::newRow("pixels cut short") << good.left(good.size() - 5);
    QTest::newRow("cut inside the masks") << good.left(14 + 50);
    QTest::newRow("24 bits with bit fields") << QByteArray(good).replace(28, 1, "\x18");
    QTest::newRow("pixels said to start past the end")
        << QByteArray(good).replace(10, 4, QByteArray("\xF0\xFF\xFF\x7F", 4));
}

// Every bitmap that is not whole or not valid is still refused.
void PictureFilesTest::brokenMaskedBitmapsAreRefused() {
    QFETCH(QByteArray, file);
    Sandbox sandbox;
    try {
        LoadPicture(sandbox.writeFile("layer.bmp", file));
        QFAIL("a broken bitmap was loaded");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.description(), QStringLiteral("Invalid picture"));
    }
}

QTEST_MAIN(PictureFilesTest)
#include "test_picturefiles.moc"
