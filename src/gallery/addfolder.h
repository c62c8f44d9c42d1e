#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace vantelo {

class FileSystem;
class MessageBoxes;

// The folder-walk module AddFolder. Folder paths end in "/"; a sub-folder's
// path is its parent's path, its name and "/".

// Paths of this length or more are not read, and sub-folder names of this
// length or more are not taken.
inline constexpr int kFolderPathLimit = 260;

// A file found while a folder was read, with its attribute value.
struct ListedFile {
    QString name;
    int attributes;
};

// For each folder the walk read to the end (its path as listed, with the
// closing "/"), the files matching the walk's pattern that passed the open
// test, in the order the directory search returned them.
using FolderFiles = QHash<QString, QList<ListedFile>>;

// Appends to `folders` every folder below its entries, level by level: first
// all sub-folders of the listed folders (grouped by parent, each parent's in
// the file system's order), then all of theirs, and so on; with `recurse`
// false only the direct sub-folders. A listed folder that cannot be read
// (error 70 or 76) is removed from `folders` without a message; other failures
// before the first folder is read are reported through `messages`. Pending
// window events get their turn as each folder is read, each sub-folder seen
// and each folder merged (at most once a millisecond), so the window stays
// responsive on a large tree. A folder (device and inode) that the walk has
// already read is not read again and is dropped from the list, so symbolic
// links that lead back up the tree end. When `files` is given, the reading of
// each folder also keeps its files matching `pattern` there.
void GetSubDirectories2016(QStringList& folders, bool recurse, FileSystem& fileSystem,
                           MessageBoxes& messages, FolderFiles* files = nullptr,
                           const QString& pattern = QString());

// The names of the files in `folder` matching `pattern` that pass the open
// test, in the order the directory search returns them. Element 0 is unused
// (empty), so the names sit at 1 to size() - 1 and an empty result still has
// the one element 0. A refused search raises to the caller.
QStringList ListFolderFiles(const QString& folder, const QString& pattern, FileSystem& fileSystem);

// The open test: true when the path opens as an existing file. Never raises.
bool IsExistingFile(const QString& path, FileSystem& fileSystem);

// True when a folder name holds a character whose Windows-1252 code is below
// 32, is 63 ("?") or lies from 127 to 159. A character that Windows-1252
// cannot write counts as 63.
bool HasBadNameChars(const QString& name);

}  // namespace vantelo
