#pragma once

#include <QString>

namespace vantelo {

class FileSystem;
class GalleryView;
class MessageBoxes;

// Lists every "*.jpg" file (the extension in any case) of the application
// folder's tree in the gallery, in the walk's folder order (the application
// folder first, then level by level), each entry's text the file's normalised
// full path. Names beginning with "~" and hidden files with the archive
// attribute alone are left out. The entries reach the view in one batch after
// the walk. No trap of its own: a failure ends the fill, keeps the entries
// found so far and raises for start-up's trap. The walk's own reports go to
// `messages`.
void FillLogoGallery(GalleryView& gallery, const QString& applicationFolder, FileSystem& fileSystem,
                     MessageBoxes& messages);

// The same over this machine's file system, reporting in message boxes over
// the gallery's window.
void FillLogoGallery(GalleryView& gallery, const QString& applicationFolder);

}  // namespace vantelo
