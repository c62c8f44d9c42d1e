// Feeds each input to the program's own picture loader as a file on disk, so
// the type, size and completeness checks run before the decoder, as they do
// when a person chooses a picture.
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>

#include <fcntl.h>

#include "../guiapplication.h"
#include "platform/descriptor.h"
#include "platform/exiforientation.h"
#include "platform/picture.h"
#include "platform/runtimeerror.h"
#include "platform/scaleddecode.h"

namespace {

// The loader's own limits, scaled down so that one input cannot ask for more
// memory than the fuzzer allows a run; the checks are the same.
const vantelo::PictureLimits kLimits{qint64(16) << 20, 4096, 64, qint64(1) << 20, {}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ensureGuiApplication();
    static QTemporaryDir folder;
    static const QString path = folder.path() + QStringLiteral("/input.jpg");

    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    // The orientation is looked for only in a JPEG that decoded, which few
    // inputs are; the readers of the segments and of an EXIF block are fed
    // every input as it stands.
    const vantelo::Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() >= 0)
        (void)vantelo::jpegOrientation(fd.get());
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)vantelo::exifOrientation(bytes);
    // The canvas's own JPEG decoding, at the scale the input's length picks,
    // whole or down to a row it picks too.
    (void)vantelo::decodeJpeg(bytes, 1 << (size % 4), kLimits.decodeMegabytes,
                              size % 3 == 0 ? -1 : int(size % 64));
    try {
        // The checks made ahead of a later decode must not crash either.
        vantelo::CheckPicture(path, kLimits);
    } catch (const vantelo::RuntimeError&) {
    }
    try {
        const QImage image = vantelo::LoadPicture(path, kLimits);
        if (image.isNull())
            __builtin_trap();  // a picture that loads is never empty
    } catch (const vantelo::RuntimeError&) {
    }
    return 0;
}
