// Holds the plain GIF reader to the general image reader: whenever it takes a
// file, its picture must be the one the general reader makes of the same
// bytes, pixel for pixel and in the same format; a difference is a crash.
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
    if (ours != general.read())
        __builtin_trap();
    return 0;
}
