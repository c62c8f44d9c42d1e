#pragma once

#include <QIODevice>
#include <memory>

namespace vantelo {

// The library's bitmap reader takes info headers of 12, 40, 64, 108 and 124
// bytes, and colour masks only without an alpha mask or inside the larger
// headers. A valid bitmap with a 52- or 56-byte header (the colour masks, the
// alpha mask included, in the header) or with its masks marked as holding an
// alpha mask (BI_ALPHABITFIELDS) is presented to it as the same bitmap with a
// 108-byte header: the same masks, palette and pixels, read from `file` as
// they are needed. Null when the bitmap needs no such change, or when its
// header is cut short, which the reader refuses on its own. `file` is read
// from its start and must outlive the device.
std::unique_ptr<QIODevice> widenedBitmap(QIODevice& file);

}  // namespace vantelo
