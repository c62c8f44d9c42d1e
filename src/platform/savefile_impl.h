#pragma once

#include <QByteArray>
#include <QString>
#ifdef _WIN32
#include <string>
#endif

#include "platform/savefile.h"

// The parts of writing a file that each system does its own way, in
// savefile_posix.cpp and savefile_win.cpp. Only the writers of the platform
// layer use them.
namespace vantelo::saving {

// The failure a SaveTarget's errno stands for.
SaveFailure failureFromErrno(int error);

// The system's own rules for a full path: the characters and names it
// refuses, and how long one name and the whole path may be.
SaveFailure checkSystemName(const QString& absolutePath);

// Writes the bytes to target.path, a file that exists (kind File) or not yet
// (kind Missing): into a temporary file in the same folder that is flushed
// to disk and then takes the old file's place, or, with `inPlace`, over the
// old file itself. On failure the temporary file is gone and the old file as
// it was (unless written in place).
SaveFailure writeBytes(const SaveTarget& target, const QByteArray& bytes, bool inPlace);

// Creates one folder whose parent exists; a folder already there is fine.
SaveFailure makeOneFolder(const QString& folder);

#ifdef _WIN32
// A path as the Windows file functions take it: absolute, cleaned of "." and
// "..", with "\" between its parts, and with the "\\?\" prefix once it
// is long enough for the MAX_PATH limit to matter.
std::wstring systemPath(const QString& path);

// The failure a GetLastError() code of a file function stands for.
SaveFailure failureFromSystemError(unsigned long error);
#endif

}  // namespace vantelo::saving
