#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>

#include <vector>
#endif

namespace vantelo {

// File attribute values with their Windows meanings. On Windows they are the
// file system's own attributes, of which only these six are kept (compressed,
// not indexed and the like say nothing the rules ask about). On POSIX they are
// derived so that numeric rules written against them keep their sense:
// directory for a folder, hidden for a name beginning with ".", read-only when
// the permission bits deny the user writing, archive on every regular file,
// reparse point on a symbolic link; system is never set.
enum FileAttribute : int {
    AttrNormal = 0,
    AttrReadOnly = 1,
    AttrHidden = 2,
    AttrSystem = 4,
    AttrDirectory = 16,
    AttrArchive = 32,
    AttrReparsePoint = 1024,
};

// What one reading of a folder reports, in the file system's order.
class FolderVisitor {
public:
    virtual ~FolderVisitor() = default;
    // Called once before any entry with the folder's identity (device and
    // inode; on Windows the volume serial number and the file index), however
    // the folder was reached; returning false ends the reading there.
    virtual bool enter(quint64 device, quint64 inode) = 0;
    // A sub-folder ("." and ".." are not sub-folders), with its attribute
    // value when the reading learnt it on the way (as attributes() would give
    // it for the sub-folder's path), else -1.
    virtual void subFolder(const QString& name, int attributes = -1) = 0;
    // A file whose name matches the pattern and that passed the open test,
    // with its attribute value.
    virtual void file(const QString& name, int attributes) = 0;
};

// What is at the place a file is about to be written, and what this user may
// do there, as the system answers (access(2) knows of ACLs and read-only
// mounts, which permission bits do not tell; on Windows an open with the
// rights a write needs asks the access list). The errors are errno values on
// every system: Windows' own codes are translated (errnoForSystemError).
struct SaveTarget {
    enum Kind { Missing, File, Folder, Other };  // Other: a pipe, device or socket
    Kind kind = Missing;
    // Where the bytes go: the name itself, or the file its symbolic link leads
    // to, so that a link stays a link.
    QString path;
    int lookupError = 0;  // errno of looking the name up, other than "no such file"
    int fileError = 0;    // errno of access(W_OK) on an existing file, else 0
    int folderError = 0;  // errno of access(W_OK | X_OK) on the folder that holds it
    unsigned mode = 0;    // an existing file's POSIX permission bits
};

// The file-system services of the gallery's folder walk. Paths are full paths
// with "/" between their parts (on Windows "\" is taken too); a folder path may
// end in "/". Failures raise run-time errors: 70 when access is refused, 76
// when the path or one of its folders does not exist.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The attribute value of a file or folder (on POSIX a symbolic link counts
    // as the thing it points to, plus the reparse point; on Windows a link or
    // junction has the attributes of its own entry, as Windows reports them).
    virtual int attributes(const QString& path) = 0;
    // True for the root folder of the file system (on Windows of a drive,
    // "C:/", or of a network share, "//server/share/").
    virtual bool isRootFolder(const QString& folder) = 0;
    // Reads the folder once and reports its sub-folders and the files that
    // match the wildcard `pattern` (as findFiles matches it) to `visitor`. A
    // failure part way through raises after the entries already reported.
    virtual void readFolder(const QString& folder, const QString& pattern,
                            FolderVisitor& visitor) = 0;
    // The names of the files in `folder` that match the wildcard `pattern`
    // ("*" and "?", without regard to case), hidden and system files
    // included, folders left out, in the file system's order.
    virtual QStringList findFiles(const QString& folder, const QString& pattern) = 0;
    // True when the path opens as an existing regular file (a folder, pipe or
    // device does not). Never raises.
    virtual bool canOpen(const QString& path) = 0;
    // True when something exists at the path. Never raises.
    virtual bool exists(const QString& path) = 0;
    // What the writers ask before they write a file. This version derives
    // the answer from attributes(), for file systems that only know those.
    // Never raises.
    virtual SaveTarget saveTarget(const QString& path);
};

#ifndef _WIN32
// The file system of this machine through POSIX calls. Names are read as raw
// bytes and decoded with QFile::decodeName; a name that does not decode back
// to the same bytes (invalid UTF-8) is passed over, because no path this
// program builds from it would name the same file.
class PosixFileSystem final : public FileSystem {
public:
    PosixFileSystem();
    int attributes(const QString& path) override;
    bool isRootFolder(const QString& folder) override;
    void readFolder(const QString& folder, const QString& pattern, FolderVisitor& visitor) override;
    QStringList findFiles(const QString& folder, const QString& pattern) override;
    bool canOpen(const QString& path) override;
    bool exists(const QString& path) override;
    // One lstat and an access(2) for the file and for its folder.
    SaveTarget saveTarget(const QString& path) override;
    // Reads every directory entry as of unknown type, as on file systems that
    // do not record types, so that this path can be tried on any of them.
    void setEntryTypesIgnored(bool ignored) { entryTypesIgnored_ = ignored; }

private:
    bool mayWrite(const struct stat& st) const;
    int valueOf(const struct stat& st, bool link, bool hidden) const;

    uid_t user_;
    gid_t group_;
    std::vector<gid_t> groups_;
    bool entryTypesIgnored_ = false;
};
#endif

// The file system of this machine, through the system's own calls.
FileSystem& systemFileSystem();

// The run-time error for a failed system call's errno: 70 for EACCES and
// EPERM, 76 for a path that does not resolve (ENOENT, ENOTDIR, ELOOP,
// ENAMETOOLONG), 67 when no descriptor is left, 75 otherwise.
int errorNumberForErrno(int error);

// The run-time error for the system's own error code of a failed call (errno
// on POSIX, GetLastError on Windows). On Windows: 52 for a name no file can
// have, 53 for a missing file, 76 for a missing folder, drive or share, 61
// for a full disk, 67 when no handle is left, 70 when access is refused, the
// file is locked by another program or the disk is write-protected, 75
// otherwise. On POSIX the same as errorNumberForErrno.
int errorNumberForSystemError(unsigned long error);

// The errno value closest to the system's own error code (itself on POSIX).
int errnoForSystemError(unsigned long error);

// The path in the form the system's calls take: on Windows with "\" between
// the parts (a doubled one after the start taken as one), and in the "\\?\"
// form once it has 260 characters or more; on POSIX the path unchanged.
QString systemPath(const QString& path);

// True when the last part of the path names a device rather than a file:
// on Windows CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9, with or
// without an extension, and any path in the "\\.\" form; never on POSIX,
// where a device is a file of its own kind.
bool isDeviceName(const QString& path);

// True where a path that begins with two separators names a network share
// (Windows' "//server/share/"); elsewhere a run of leading separators is the
// root.
bool hasNetworkPaths();

}  // namespace vantelo
