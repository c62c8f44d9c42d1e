// Holds the plain GIF reader to the general image reader: whenever it takes a
// file whose first picture fills the screen with all its pixels, its picture
// must be the one the general reader makes of the same bytes, pixel for pixel
// and in the same format. Where the picture leaves part of the screen
// unpainted, the plain reader keeps that part transparent and the general
// reader does not; there every pixel the plain reader paints opaque must
// still be the general reader's, on a screen of the same size. A difference
// is a crash.
#include <QFile>
#include <QImageReader>
#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

#include "../guiapplication.h"
#include "platform/descriptor.h"
#include "platform/gifreader.h"

namespace {

// Pictures beyond this are left alone, so that one input cannot ask for more
// memory than a run allows.
constexpr qint64 kMaxPixels = qint64(4) << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ensureGuiApplication();

    const vantelo::Descriptor fd(::memfd_create("input.gif", MFD_CLOEXEC));
    if (fd.get() < 0 || ::write(fd.get(), data, size) != ssize_t(size))
        return 0;
    vantelo::PlainGifReader plain(fd.get());
    const QSize declared = plain.readHeader();
    if (!declared.isValid() || qint64(declared.width()) * declared.height() > kMaxPixels)
        return 0;
    const QImage ours = plain.decode();
    if (ours.isNull())
        return 0;
    vantelo::Descriptor copy(::dup(fd.get()));
    QFile file;
    if (!file.open(copy.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return 0;
    copy.release();
    if (!file.seek(0))
        return 0;
    QImageReader general(&file, "gif");
    const QImage theirs = general.read();
    if (plain.whole()) {
        if (ours != theirs)
            __builtin_trap();
        return 0;
    }
    if (theirs.isNull())
        return 0;
    if (theirs.size() != ours.size() || !ours.hasAlphaChannel())
        __builtin_trap();
    for (int y = 0; y < ours.height(); ++y) {
        for (int x = 0; x < ours.width(); ++x) {
            const QRgb pixel = ours.pixel(x, y);
            if (qAlpha(pixel) == 255 ? pixel != theirs.pixel(x, y) : qAlpha(pixel) != 0)
                __builtin_trap();
        }
    }
    return 0;
}
