#include "platform/filesystem.h"

#include <QFileInfo>
#include <cerrno>

#include "platform/runtimeerror.h"

namespace vantelo {

int errorNumberForErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return ErrPermissionDenied;
        case ENOENT:
        case ENOTDIR:
        case ELOOP:
        case ENAMETOOLONG:
            return ErrPathNotFound;
        case EMFILE:
        case ENFILE:
            return ErrTooManyFiles;
        default:
            return ErrPathFileAccess;
    }
}

SaveTarget FileSystem::saveTarget(const QString& path) {
    SaveTarget target;
    target.path = path;
    target.mode = 0666;
    const auto attributesOr = [this](const QString& p) {
        try {
            return attributes(p);
        } catch (const RuntimeError&) {
            return -1;
        }
    };
    const int folder = attributesOr(QFileInfo(path).absolutePath());
    if (folder < 0 || (folder & AttrDirectory) == 0)
        target.folderError = ENOENT;
    else if ((folder & AttrReadOnly) != 0)
        target.folderError = EACCES;
    if (!exists(path))
        return target;
    const int file = attributesOr(path);
    if ((file & AttrDirectory) != 0)
        target.kind = SaveTarget::Folder;
    else if (file >= 0 && (file & AttrArchive) != 0)
        target.kind = SaveTarget::File;
    else
        target.kind = SaveTarget::Other;
    if ((file & AttrReadOnly) != 0)
        target.fileError = EACCES;
    return target;
}

}  // namespace vantelo
