#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

#include "platform/descriptor.h"
#include "platform/gifreader.h"
#include "platform/picture.h"
#include "platform/runtimeerror.h"

using namespace vantelo;

namespace {

// One-frame GIF files for the table below, with the parts the reader cares
// about open to change.
struct GifFile {
    QSize screen{23, 9};
    QRect frame{0, 0, 23, 9};
    int tableBits = 2;  // a table of 2 << tableBits colours
    bool localTable = false;
    bool interlaced = false;
    int transparent = -1;
    int minimumCodeSize = 3;
    int colourLimit = 8;  // pixel indices run 0 .. colourLimit - 1
    bool clearWhenFull = true;
    int dropPixels = 0;  // pixels left out at the end of the data
    int cutBytes = 0;    // bytes cut off the end of the file
    QByteArray extensions;

    // The picture's indices: runs and repeats, so the code table fills.
    QByteArray indices() const {
        QByteArray out;
        for (int i = 0; i < frame.width() * frame.height(); ++i)
            out.append(char((i / 3 + qint64(i) * i / 7) % colourLimit));
        return out;
    }

    QByteArray bytes() const {
        const auto word = [](QByteArray& to, int value) {
            to.append(char(value & 0xFF)).append(char(value >> 8));
        };
        QByteArray out("GIF89a");
        word(out, screen.width());
        word(out, screen.height());
        out.append(char(localTable ? tableBits : 0x80 | tableBits)).append('\0').append('\0');
        QByteArray table;
        for (int i = 0; i < (2 << tableBits); ++i)
            table.append(char(i * 40)).append(char(255 - i * 30)).append(char(i * 70));
        if (!localTable)
            out += table;
        out += extensions;
        if (transparent >= 0)
            out += QByteArray("\x21\xF9\x04\x01\0\0", 6) + char(transparent) + '\0';
        out.append(',');
        word(out, frame.x());
        word(out, frame.y());
        word(out, frame.width());
        word(out, frame.height());
        out.append(char((localTable ? 0x80 | tableBits : 0) | (interlaced ? 0x40 : 0)));
        if (localTable)
            out += table;
        out.append(char(minimumCodeSize));
        QByteArray data = compressed(indices().chopped(dropPixels));
        while (!data.isEmpty()) {
            const QByteArray block = data.left(255);
            out.append(char(block.size())).append(block);
            data.remove(0, block.size());
        }
        out.append('\0').append(';');
        return out.chopped(cutBytes);
    }

    // LZW as the common encoders write it: the code grows once the table
    // holds as many entries as it can name, and a full table is cleared or,
    // with clearWhenFull off, left as it is.
    QByteArray compressed(const QByteArray& pixels) const {
        QByteArray out;
        quint32 bits = 0;
        int count = 0;
        const int clear = 1 << minimumCodeSize;
        int codeSize = minimumCodeSize + 1;
        int next = clear + 2;
        std::map<std::pair<int, int>, int> table;
        const auto put = [&](int code) {
            bits |= quint32(code) << count;
            for (count += codeSize; count >= 8; count -= 8, bits >>= 8)
                out.append(char(bits & 0xFF));
            if (next >= (1 << codeSize) && codeSize < 12)
                ++codeSize;
        };
        put(clear);
        int prefix = quint8(pixels.at(0));
        for (int i = 1; i < pixels.size(); ++i) {
            const int c = quint8(pixels.at(i));
            const auto found = table.find({prefix, c});
            if (found != table.end()) {
                prefix = found->second;
                continue;
            }
            put(prefix);
            if (next < 4096) {
                table[{prefix, c}] = next++;
            } else if (clearWhenFull) {
                put(clear);
                table.clear();
                next = clear + 2;
                codeSize = minimumCodeSize + 1;
            }
            prefix = c;
        }
        put(prefix);
        put(clear + 1);
        if (count > 0)
            out.append(char(bits & 0xFF));
        return out;
    }
};

}  // namespace

Q_DECLARE_METATYPE(GifFile)

namespace {

QString writeGif(const QTemporaryDir& folder, const GifFile& gif,
                 const QString& name = QStringLiteral("logo.gif")) {
    const QString path = folder.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(gif.bytes());
    return path;
}

}  // namespace

class GifTest : public QObject {
    Q_OBJECT
private slots:
    void readsAsTheGeneralReaderDoes_data();
    void readsAsTheGeneralReaderDoes();
    void unpaintedScreenIsTransparent_data();
    void unpaintedScreenIsTransparent();
    void overwidePictureIsRefusedUndecoded();
};

void GifTest::readsAsTheGeneralReaderDoes_data() {
    QTest::addColumn<GifFile>("gif");
    QTest::addColumn<bool>("plain");
    const auto row = [](const char* name, bool plain, const auto& change) {
        GifFile gif;
        change(gif);
        QTest::newRow(name) << gif << plain;
    };
    const auto large = [](GifFile& gif) {
        gif.screen = QSize(160, 120);
        gif.frame = QRect(0, 0, 160, 120);
        gif.tableBits = 7;
        gif.minimumCodeSize = 8;
        gif.colourLimit = 256;
    };
    row("eight colours", true, [](GifFile&) {});
    row("256 colours, a full table cleared", true, large);
    row("256 colours, a full table kept", true, [&](GifFile& gif) {
        large(gif);
        gif.clearWhenFull = false;
    });
    row("interlaced", true, [](GifFile& gif) { gif.interlaced = true; });
    row("interlaced, four rows", false, [](GifFile& gif) {
        gif.interlaced = true;
        gif.screen = QSize(23, 4);
        gif.frame = QRect(0, 0, 23, 4);
    });
    row("transparent index", true, [](GifFile& gif) { gif.transparent = 3; });
    row("the picture's own table", true, [](GifFile& gif) { gif.localTable = true; });
    row("comment and loop blocks", true, [](GifFile& gif) {
        gif.extensions = QByteArray::fromHex("21fe036162630021ff0b") + "NETSCAPE2.0" +
                         QByteArray::fromHex("0301000000");
    });
    row("index beyond the table", false, [](GifFile& gif) { gif.tableBits = 1; });
    row("interlaced, past the screen's bottom", false, [](GifFile& gif) {
        gif.interlaced = true;
        gif.screen = QSize(23, 8);
    });
}

// Whichever reader takes a file, the program gets what the general reader
// gives, including nothing; the plain reader takes exactly the plain files.
void GifTest::readsAsTheGeneralReaderDoes() {
    QFETCH(GifFile, gif);
    QFETCH(bool, plain);
    QTemporaryDir folder;
    const QString path = writeGif(folder, gif);

    const Descriptor fd = openRegularFile(path).descriptor;
    PlainGifReader reader(fd.get());
    const QImage read = reader.readHeader().isValid() ? reader.decode() : QImage();
    QCOMPARE(!read.isNull(), plain);
    QCOMPARE(reader.whole(), plain);
    QImage loaded;
    try {
        loaded = LoadPicture(path);
    } catch (const RuntimeError&) {
    }
    QCOMPARE(loaded, QImageReader(path, "gif").read());
    if (plain && !gif.interlaced) {
        const QByteArray indices = gif.indices();
        for (int i = 0; i < indices.size(); i += 7) {
            const int index = quint8(indices.at(i));
            const QRgb colour = qRgb(index * 40, 255 - index * 30, index * 70);
            QCOMPARE(loaded.pixel(i % gif.frame.width(), i / gif.frame.width()),
                     index == gif.transparent ? colour & 0x00ffffff : colour);
        }
    }
}

void GifTest::unpaintedScreenIsTransparent_data() {
    QTest::addColumn<GifFile>("gif");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("unpainted");  // -1: some
    const auto row = [](const char* name, QSize size, int unpainted, const auto& change) {
        GifFile gif;
        change(gif);
        QTest::newRow(name) << gif << size << unpainted;
    };
    const auto inset = [](GifFile& gif) {
        gif.screen = QSize(30, 12);
        gif.frame = QRect(2, 1, 23, 9);
    };
    row("picture inside a larger screen", QSize(30, 12), 30 * 12 - 23 * 9, inset);
    // As an optimiser leaves the first frame of an animation: cropped to
    // what it draws, with a loop block and a transparent index.
    row("cropped first frame of an animation", QSize(30, 12), 30 * 12 - 23 * 9, [&](GifFile& gif) {
        inset(gif);
        gif.transparent = 2;
        gif.extensions =
            QByteArray::fromHex("21ff0b") + "NETSCAPE2.0" + QByteArray::fromHex("0301000000");
    });
    row("interlaced, with its own table", QSize(30, 12), 30 * 12 - 23 * 9, [&](GifFile& gif) {
        inset(gif);
        gif.interlaced = true;
        gif.localTable = true;
    });
    row("past the screen's right edge", QSize(20, 12), 20 * 12 - 18 * 9, [](GifFile& gif) {
        gif.screen = QSize(20, 12);
        gif.frame = QRect(2, 1, 23, 9);
    });
    row("a screen of no width", QSize(25, 12), 25 * 12 - 23 * 9, [](GifFile& gif) {
        gif.screen = QSize(0, 12);
        gif.frame = QRect(2, 1, 23, 9);
    });
    row("pixel data ends early", QSize(23, 9), 5, [](GifFile& gif) { gif.dropPixels = 5; });
    row("interlaced data ends early", QSize(23, 9), 30, [](GifFile& gif) {
        gif.interlaced = true;
        gif.dropPixels = 30;
    });
    row("file cut short", QSize(23, 9), -1, [](GifFile& gif) { gif.cutBytes = 10; });
}

// What the first picture leaves unpainted, around it or past the end of its
// data, is transparent, as a browser shows it; every pixel it paints is the
// one the general reader paints from the whole file.
void GifTest::unpaintedScreenIsTransparent() {
    QFETCH(GifFile, gif);
    QFETCH(QSize, size);
    QFETCH(int, unpainted);
    QTemporaryDir folder;
    GifFile whole = gif;
    whole.dropPixels = whole.cutBytes = 0;
    const QImage painted = QImageReader(writeGif(folder, whole, "whole.gif"), "gif").read();
    const QString path = writeGif(folder, gif);
    const Descriptor fd = openRegularFile(path).descriptor;
    PlainGifReader reader(fd.get());
    QVERIFY(reader.readHeader().isValid() && !reader.decode().isNull());
    QVERIFY(!reader.whole());
    const QImage loaded = LoadPicture(path);
    QCOMPARE(loaded.size(), size);
    QCOMPARE(painted.size(), size);
    QVERIFY(loaded.hasAlphaChannel());
    int clear = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (loaded.pixel(x, y) == painted.pixel(x, y))
                continue;
            QCOMPARE(loaded.pixel(x, y), QRgb(0));
            ++clear;
        }
    }
    if (unpainted < 0)
        QVERIFY(clear > 0 && clear < size.width() * size.height() / 2);
    else
        QCOMPARE(clear, unpainted);
}

// A plain file whose picture is wider than the program takes is refused with
// the size it declares, as the general reader's files are, not decoded.
void GifTest::overwidePictureIsRefusedUndecoded() {
    GifFile gif;
    gif.screen = QSize(33000, 2);
    gif.frame = QRect(0, 0, 33000, 2);
    QTemporaryDir folder;
    try {
        LoadPicture(writeGif(folder, gif));
        QFAIL("a picture 33000 pixels wide was loaded");
    } catch (const RuntimeError& error) {
        QVERIFY2(error.description().contains(QStringLiteral("a side longer than 32767")),
                 qPrintable(error.description()));
    }
}

QTEST_GUILESS_MAIN(GifTest)
#include "test_gif.moc"
