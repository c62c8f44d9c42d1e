#include "gallery/mainpaths.h"

#include "platform/filesystem.h"
#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

// Replaces each pair of separators by one in a single left-to-right pass
// over non-overlapping pairs.
QString halvePairs(QString text, QChar separator) {
    const QString pair(2, separator);
    return text.replace(pair, QString(separator));
}

QString collapse(const QString& path, QChar separator, int leadingCount) {
    if (!path.startsWith(separator))
        return halvePairs(path, separator);
    qsizetype k = 1;
    while (k < path.size() && path.at(k) == separator)
        ++k;
    return QString(leadingCount, separator) + halvePairs(path.mid(k), separator);
}

}  // namespace

bool IsFolder(const QString& path, FileSystem& fileSystem) {
    try {
        return (fileSystem.attributes(path) & AttrDirectory) != 0;
    } catch (const RuntimeError&) {
        return false;
    }
}

QString CollapseBackslashes(const QString& path) {
    return collapse(path, QLatin1Char('\\'), 2);
}

QString CollapseSlashes(const QString& path) {
    return collapse(path, QLatin1Char('/'), hasNetworkPaths() ? 2 : 1);
}

}  // namespace vantelo
