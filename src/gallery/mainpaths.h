#pragma once

#include <QString>

namespace vantelo {

class FileSystem;

// Path helpers of the module Main.

// True exactly when the path names a folder. A path that does not exist, or
// whose attributes cannot be read, is no folder; never raises.
bool IsFolder(const QString& path, FileSystem& fileSystem);

// Normalises a Windows path: a leading run of backslashes becomes exactly two
// (the network form), and after it each pair "\\" becomes "\" in one
// left-to-right pass, so three in a row become two.
QString CollapseBackslashes(const QString& path);

// The same normaliser for the program's own paths, working on "/": inner pairs
// become one, and a leading run of "/" becomes two where the system has
// network paths ("//server/share/" on Windows) and one where it has none
// (POSIX). A backslash is never touched.
QString CollapseSlashes(const QString& path);

}  // namespace vantelo
