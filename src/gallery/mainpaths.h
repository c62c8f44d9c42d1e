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

// The same normaliser for POSIX paths, working on "/": a leading run of "/"
// becomes one, since POSIX has no network form, and inner pairs become one.
// A backslash is an ordinary character in a POSIX name and is never touched.
QString CollapseSlashes(const QString& path);

}  // namespace vantelo
