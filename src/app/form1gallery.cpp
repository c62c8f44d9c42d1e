#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "app/form1.h"
#include "editing/designdocument.h"
#include "gallery/fillgallery.h"
#include "gallery/galleryview.h"
#include "platform/errortrap.h"
#include "platform/filesystem.h"
#include "platform/messages.h"

namespace vantelo {
namespace {

// Whether the file lies in the folder or any folder below it.
bool liesBelow(const QString& file, const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QString root = QFileInfo(folder).canonicalFilePath();
    const QString path = QFileInfo(file).canonicalFilePath();
    return !root.isEmpty() && path.startsWith(root + QLatin1Char('/'));
}

}  // namespace

void Form1::fillGallery() {
    FillLogoGallery(*ListView1, services_.applicationFolder, systemFileSystem(),
                    services_.messages);
    // An installed program keeps the user's logos outside its own folder;
    // they follow the samples, found by the same walk.
    if (!logoFolders_.userGallery.isEmpty() && QFileInfo(logoFolders_.userGallery).isDir())
        FillLogoGallery(*ListView1, logoFolders_.userGallery, systemFileSystem(),
                        services_.messages);
}

void Form1::listSavedLogo(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    if (!name.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive) ||
        name.startsWith(QLatin1Char('~')))
        return;
    if (!liesBelow(fileName, services_.applicationFolder) &&
        !liesBelow(fileName, logoFolders_.userGallery))
        return;
    if (ListView1->entries().find(QDir::toNativeSeparators(fileName)) >= 0)
        return;
    // The walk lists a folder's files in the order the folder returns them,
    // which only the walk itself knows: the gallery is walked again, as the
    // next start would walk it.
    ErrorTrap trap(services_.messages,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("FillLogoGallery")));
    trap.run(100, [this] {
        ListView1->entries().clear();
        fillGallery();
    });
    galleryShows_.clear();
    showGalleryEntry();
}

void Form1::showGalleryEntry() {
    const QString shown = Text1->text();
    if (shown == galleryShows_)
        return;
    galleryShows_ = shown;
    ListView1->showEntry(shown);
}

}  // namespace vantelo
