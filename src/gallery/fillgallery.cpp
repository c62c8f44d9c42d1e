#include "gallery/fillgallery.h"

#include <QDir>

#include "gallery/addfolder.h"
#include "gallery/galleryview.h"
#include "gallery/mainpaths.h"
#include "platform/filesystem.h"
#include "platform/messages.h"
#include "platform/runtimeerror.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vantelo {
namespace {

// A hidden file with the archive attribute and nothing else.
constexpr int kHiddenArchive = AttrHidden | AttrArchive;

// An entry as the person reads it and the picture box shows it: with the
// system's own separators (backslashes on Windows).
QString shownPath(const QString& path) {
    return QDir::toNativeSeparators(CollapseSlashes(path));
}

bool isListed(const QString& name, int attributes) {
    return !name.startsWith(QLatin1Char('~')) && attributes != kHiddenArchive;
}

// The listing step for one folder, from the files its reading kept, or by
// searching it when the walk did not read it to the end.
void listFolder(const QString& listed, const FolderFiles& kept, const QString& pattern,
                FileSystem& fileSystem, QStringList& entries) {
    const QString folder = listed.left(listed.size() - 1);
    const auto found = kept.constFind(listed);
    if (found != kept.cend()) {
        for (const ListedFile& file : found.value()) {
            if (isListed(file.name, file.attributes))
                entries.append(shownPath(folder + QLatin1Char('/') + file.name));
        }
        return;
    }
    const QStringList names = ListFolderFiles(folder, pattern, fileSystem);
    for (qsizetype i = 1; i < names.size(); ++i) {
        const QString& name = names.at(i);
        if (name.startsWith(QLatin1Char('~')))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        if (IsExistingFile(path, fileSystem) && isListed(name, fileSystem.attributes(path)))
            entries.append(shownPath(path));
    }
}

// Hands the memory of a large walk's lists back to the system: the window
// then idles at the size it needs for the entries alone. A small walk leaves
// too little to be worth it: trimming walks the whole heap, and the pages it
// hands back are faulted in again by the next allocations.
void releaseFreedMemory(qsizetype listedNames) {
#if defined(__GLIBC__)
    constexpr qsizetype kWorthTrimming = 4096;
    if (listedNames >= kWorthTrimming)
        ::malloc_trim(0);
#else
    Q_UNUSED(listedNames);
#endif
}

}  // namespace

void FillLogoGallery(GalleryView& gallery, const QString& applicationFolder, FileSystem& fileSystem,
                     MessageBoxes& messages) {
    const QString pattern = QStringLiteral("*.jpg");
    QStringList entries;
    qsizetype listedNames = 0;
    {
        QStringList folders{applicationFolder + QLatin1Char('/')};
        FolderFiles kept;
        GetSubDirectories2016(folders, true, fileSystem, messages, &kept, pattern);
        // A failure still leaves the entries found before it in the view.
        try {
            for (const QString& listed : std::as_const(folders))
                listFolder(listed, kept, pattern, fileSystem, entries);
            listedNames = folders.size() + entries.size();
        } catch (...) {
            gallery.entries().append(entries);
            throw;
        }
    }
    // One insertion for the whole list: a view that lays itself out again for
    // each of many thousand single insertions takes minutes.
    gallery.entries().append(entries);
    entries = QStringList();
    releaseFreedMemory(listedNames);
}

void FillLogoGallery(GalleryView& gallery, const QString& applicationFolder) {
    QtMessageBoxes messages(gallery.window());
    FillLogoGallery(gallery, applicationFolder, systemFileSystem(), messages);
}

}  // namespace vantelo
