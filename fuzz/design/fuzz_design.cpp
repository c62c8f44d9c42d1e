// The design-file reader on arbitrary bytes: it either refuses them with a
// reason or gives a design that writes back and reads again as the same, and
// the picture inside goes through the picture loader's own checks.
#include <QByteArray>
#include <cstdint>

#include "../guiapplication.h"
#include "export/designfile.h"

namespace {

// The loader's limits scaled down, as for the picture target.
const vantelo::PictureLimits kLimits{qint64(16) << 20, 4096, 64, qint64(1) << 20, {}};

bool sameFile(const vantelo::DesignFile& a, const vantelo::DesignFile& b) {
    const auto& x = a.exportOptions;
    const auto& y = b.exportOptions;
    return a.design == b.design && a.pictureName == b.pictureName &&
           a.pictureBytes == b.pictureBytes && x.scale == y.scale && x.width == y.width &&
           x.transparent == y.transparent && x.trim == y.trim && x.background == y.background;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureGuiApplication();
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    vantelo::DesignFile file;
    try {
        file = vantelo::decodeDesignFile(bytes, kLimits);
    } catch (const vantelo::DesignFileError& error) {
        if (error.why.isEmpty())
            __builtin_trap();  // every refusal says why
        return 0;
    }
    try {
        if (!sameFile(vantelo::decodeDesignFile(vantelo::encodeDesignFile(file), kLimits), file))
            __builtin_trap();
    } catch (const vantelo::DesignFileError&) {
        __builtin_trap();  // what was read is written so that it reads again
    }
    try {
        if (vantelo::decodeDesignPicture(file, kLimits).isNull())
            __builtin_trap();
    } catch (const vantelo::DesignFileError&) {
    }
    return 0;
}
