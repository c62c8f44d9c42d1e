#include <QFile>

#include <unistd.h>

#include "platform/userfolders.h"

namespace vantelo {

bool mayWriteFolder(const QString& folder) {
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

}  // namespace vantelo
