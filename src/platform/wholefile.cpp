#include "platform/wholefile.h"

#include <algorithm>

#include "platform/descriptor.h"
#include "platform/filesystem.h"
#include "platform/runtimeerror.h"

namespace vantelo {

QByteArray readWholeFile(const QString& path, qint64 maxBytes) {
    const RegularFile file = openRegularFile(path);
    const int fd = file.descriptor.get();
    if (file.size > maxBytes)
        throw RuntimeError(7, QStringLiteral("Out of memory"));
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(file.size));
    qsizetype filled = 0;
    // A file that grows while it is read is still cut at the limit.
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() >= maxBytes)
                break;
            bytes.resize(std::min<qint64>(maxBytes, qint64(bytes.size()) + 65536));
        }
        const qint64 got = readAt(fd, bytes.data() + filled, bytes.size() - filled, filled);
        if (got < 0)
            throw RuntimeError(ErrPathFileAccess);
        if (got == 0)
            break;
        filled += got;
    }
    char extra = 0;
    if (filled == maxBytes && readAt(fd, &extra, 1, filled) > 0)
        throw RuntimeError(7, QStringLiteral("Out of memory"));
    bytes.truncate(filled);
    return bytes;
}

qint64 regularFileSize(const QString& path) {
    try {
        return openRegularFile(path).size;
    } catch (const RuntimeError&) {
        return -1;
    }
}

}  // namespace vantelo
