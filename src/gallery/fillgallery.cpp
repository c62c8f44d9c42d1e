#include "gallery/fillgallery.h"

#include <QList>
#include <QTreeWidget>

#include "gallery/addfolder.h"
#include "gallery/mainpaths.h"
#include "platform/filesystem.h"
#include "platform/messages.h"
#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

// A hidden file with the archive attribute and nothing else.
constexpr int kHiddenArchive = AttrHidden | AttrArchive;

}  // namespace

void FillLogoGallery(QTreeWidget& gallery, const QString& applicationFolder, FileSystem& fileSystem,
                     MessageBoxes& messages) {
    QStringList folders{applicationFolder + QLatin1Char('/')};
    GetSubDirectories2016(folders, true, fileSystem, messages);

    // The entries go to the view in one batch: a view that lays itself out
    // again for each of many thousand single insertions takes minutes. A
    // failure still leaves the entries found before it in the view.
    QList<QTreeWidgetItem*> entries;
    try {
        for (const QString& listed : std::as_const(folders)) {
            const QString folder = listed.left(listed.size() - 1);
            const QStringList names = ListFolderFiles(folder, QStringLiteral("*.jpg"), fileSystem);
            for (qsizetype i = 1; i < names.size(); ++i) {
                const QString& name = names.at(i);
                if (name.startsWith(QLatin1Char('~')))
                    continue;
                const QString path = folder + QLatin1Char('/') + name;
                if (IsExistingFile(path, fileSystem) &&
                    fileSystem.attributes(path) != kHiddenArchive)
                    entries.append(new QTreeWidgetItem(QStringList{CollapseSlashes(path)}));
            }
        }
    } catch (...) {
        gallery.addTopLevelItems(entries);
        throw;
    }
    gallery.addTopLevelItems(entries);
}

void FillLogoGallery(QTreeWidget& gallery, const QString& applicationFolder) {
    QtMessageBoxes messages(gallery.window());
    FillLogoGallery(gallery, applicationFolder, systemFileSystem(), messages);
}

}  // namespace vantelo
