#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace vantelo {

// Where the user's own logos live. An application folder the user may write
// (the build folder) keeps them in its own logos folder, as it always has; an
// installed program's folder belongs to the system, so they go to a Vantelo
// folder in the user's pictures folder instead.
struct LogoFolders {
    // Where Browse and Save start, without a trailing separator.
    QString library;
    // A folder the gallery walks after the application folder, or empty when
    // the library lies inside the application folder and is walked already.
    QString userGallery;
};

// Whether the user may write into the folder, as the system decides it
// (access(2): ACLs, read-only mounts and the user's own groups count; on
// Windows the folder's access list, asked by opening it with the rights that
// adding a file and a folder need).
bool mayWriteFolder(const QString& folder);

// The user's pictures folder, or the home folder when the desktop names none.
QString picturesFolder();

LogoFolders logoFolders(const QString& applicationFolder,
                        const std::function<bool(const QString& folder)>& mayWrite,
                        const QString& pictures);

// The folder itself when it exists, else its nearest existing parent.
QString existingFolderOrParent(const QString& folder);

// Where Browse starts, with a closing separator: the library, or, for a user's
// library that no save has made yet, its nearest existing parent.
QString browseFolder(const LogoFolders& folders);

// Makes the folder and any missing parents; true when it exists afterwards.
bool makeFolder(const QString& folder);

// A file dialog can only open in a folder that exists. This one makes the
// folder (with its missing parents) for the time the dialog is shown and,
// when it goes, takes away again each folder it made that is still empty, so
// that the folder is only there once something was saved into it.
class FolderForDialog {
public:
    explicit FolderForDialog(const QString& folder);
    ~FolderForDialog();
    FolderForDialog(const FolderForDialog&) = delete;
    FolderForDialog& operator=(const FolderForDialog&) = delete;

private:
    QStringList made_;  // innermost first
};

}  // namespace vantelo
