#include "platform/userfolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vantelo {

QString picturesFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return pictures.isEmpty() ? QDir::homePath() : pictures;
}

LogoFolders logoFolders(const QString& applicationFolder,
                        const std::function<bool(const QString& folder)>& mayWrite,
                        const QString& pictures) {
    const QString own = applicationFolder + QStringLiteral("/logos");
    // A missing logos/ counts as writable when the folder that would hold it
    // is, since the save flow makes it on the first save.
    if (mayWrite(existingFolderOrParent(own)))
        return {own, QString()};
    const QString user = QDir::cleanPath(pictures + QStringLiteral("/Vantelo"));
    return {user, user};
}

QString existingFolderOrParent(const QString& folder) {
    QString path = QDir::cleanPath(folder);
    while (!QFileInfo(path).isDir()) {
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    return path;
}

QString browseFolder(const LogoFolders& folders) {
    if (folders.userGallery.isEmpty())
        return folders.library + QLatin1Char('/');
    const QString path = existingFolderOrParent(folders.library);
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

bool makeFolder(const QString& folder) {
    return QDir().mkpath(folder);
}

FolderForDialog::FolderForDialog(const QString& folder) {
    QStringList missing;
    for (QString path = QDir::cleanPath(folder); !QFileInfo::exists(path);) {
        missing << path;
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    if (makeFolder(folder))
        made_ = missing;
}

FolderForDialog::~FolderForDialog() {
    // rmdir takes only an empty folder: whatever was saved keeps its folders.
    for (const QString& path : made_) {
        if (!QDir().rmdir(path))
            break;
    }
}

}  // namespace vantelo
