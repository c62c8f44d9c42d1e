#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <string>

#include <windows.h>

#include "platform/filesystem.h"
#include "platform/runtimeerror.h"

// Not in every SDK's headers.
#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif

namespace vantelo {
namespace {

// The attributes the rules of the walk and the gallery speak of; Windows'
// values are the program's own.
constexpr DWORD kKnownAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT;
static_assert(FILE_ATTRIBUTE_READONLY == AttrReadOnly && FILE_ATTRIBUTE_HIDDEN == AttrHidden &&
              FILE_ATTRIBUTE_SYSTEM == AttrSystem && FILE_ATTRIBUTE_DIRECTORY == AttrDirectory &&
              FILE_ATTRIBUTE_ARCHIVE == AttrArchive &&
              FILE_ATTRIBUTE_REPARSE_POINT == AttrReparsePoint);

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

// Closes a handle however the scope ends.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (valid())
            ::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Ends a directory search however the reading ends.
class Search {
public:
    Search(const QString& folder, WIN32_FIND_DATAW& data)
        : handle_(::FindFirstFileExW(wide(systemPath(folder + QLatin1Char('*'))), FindExInfoBasic,
                                     &data, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH)) {}
    ~Search() {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::FindClose(handle_);
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool next(WIN32_FIND_DATAW& data) { return ::FindNextFileW(handle_, &data) != FALSE; }

private:
    HANDLE handle_;
};

// A failure of a call on a path the walk asked about. A missing last part is
// a missing path there, as on POSIX.
[[noreturn]] void raiseForPath(DWORD error) {
    throw RuntimeError(error == ERROR_FILE_NOT_FOUND ? int(ErrPathNotFound)
                                                     : errorNumberForSystemError(error));
}

bool isDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// The path with "\" between its parts and runs of separators after its start
// taken as one; two at the start (a network path) stay two.
QString collapsedNative(const QString& path) {
    QString native = QDir::toNativeSeparators(path);
    const qsizetype start = native.startsWith(QLatin1String("\\\\")) ? 2 : 0;
    qsizetype to = start;
    for (qsizetype from = start; from < native.size(); ++from) {
        const QChar c = native.at(from);
        if (c == QLatin1Char('\\') && to > start && native.at(to - 1) == QLatin1Char('\\'))
            continue;
        native[to++] = c;
    }
    native.truncate(to);
    return native;
}

// A folder path without its closing separators, except where they make the
// root ("C:\", "\").
QString withoutClosingSeparator(QString native) {
    while (native.size() > 1 && native.endsWith(QLatin1Char('\\')) &&
           !(native.size() == 3 && native.at(1) == QLatin1Char(':')))
        native.chop(1);
    return native;
}

bool sameLetter(QChar a, QChar b) {
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

// Whether a name matches a wildcard pattern ("*" and "?") without regard to
// case. The names are matched here, not by the directory search, whose
// wildcards also match the short 8.3 names ("*.jpg" would find "photo.jpeg"
// through "PHOTO~1.JPG"), so that a folder lists the same files as on POSIX.
class NameMatcher {
public:
    explicit NameMatcher(const QString& pattern) : pattern_(pattern) {
        const QStringView rest = QStringView(pattern_).mid(1);
        plainEnding_ = pattern_.startsWith(QLatin1Char('*')) && !rest.isEmpty() &&
                       !rest.contains(QLatin1Char('*')) && !rest.contains(QLatin1Char('?'));
        if (plainEnding_)
            ending_ = rest.toString();
    }
    bool matches(QStringView name) const {
        if (plainEnding_)
            return name.endsWith(ending_, Qt::CaseInsensitive);
        // A "*" that fails is retried one character further on; only the
        // latest "*" needs retrying.
        const QStringView pattern(pattern_);
        qsizetype p = 0;
        qsizetype n = 0;
        qsizetype star = -1;
        qsizetype starAt = 0;
        while (n < name.size()) {
            if (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
                star = p++;
                starAt = n;
            } else if (p < pattern.size() && (pattern.at(p) == QLatin1Char('?') ||
                                              sameLetter(pattern.at(p), name.at(n)))) {
                ++p;
                ++n;
            } else if (star >= 0) {
                p = star + 1;
                n = ++starAt;
            } else {
                return false;
            }
        }
        while (p < pattern.size() && pattern.at(p) == QLatin1Char('*'))
            ++p;
        return p == pattern.size();
    }

private:
    QString pattern_;
    QString ending_;
    bool plainEnding_ = false;
};

QString withClosingSeparator(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))
               ? folder
               : folder + QLatin1Char('/');
}

// The path a symbolic link to a file finally leads to, or an empty string
// when it leads nowhere.
QString finalPath(const QString& path) {
    const Handle file(::CreateFileW(wide(systemPath(path)), 0, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return QString();
    wchar_t buffer[MAX_PATH];
    DWORD length = ::GetFinalPathNameByHandleW(file.get(), buffer, MAX_PATH, FILE_NAME_NORMALIZED);
    QString resolved;
    if (length > 0 && length < MAX_PATH) {
        resolved = QString::fromWCharArray(buffer, int(length));
    } else if (length >= MAX_PATH) {
        std::wstring longer(length, L'\0');
        length =
            ::GetFinalPathNameByHandleW(file.get(), longer.data(), length, FILE_NAME_NORMALIZED);
        resolved = QString::fromWCharArray(longer.data(), int(length));
    }
    if (resolved.startsWith(QLatin1String("\\\\?\\UNC\\")))
        resolved = QLatin1String("\\\\") + resolved.mid(8);
    else if (resolved.startsWith(QLatin1String("\\\\?\\")))
        resolved = resolved.mid(4);
    return QDir::fromNativeSeparators(resolved);
}

// The file system of this machine through the Windows calls. Names are read
// and paths handed over as UTF-16 (the W calls), so that any name works,
// whatever the ANSI code page.
class WindowsFileSystem final : public FileSystem {
public:
    int attributes(const QString& path) override;
    bool isRootFolder(const QString& folder) override;
    void readFolder(const QString& folder, const QString& pattern, FolderVisitor& visitor) override;
    QStringList findFiles(const QString& folder, const QString& pattern) override;
    bool canOpen(const QString& path) override;
    bool exists(const QString& path) override;
    // The attributes of the file and its folder, and an open of each with the
    // rights a write needs, which asks their access lists and whether another
    // program holds the file.
    SaveTarget saveTarget(const QString& path) override;
};

int WindowsFileSystem::attributes(const QString& path) {
    const QString native = withoutClosingSeparator(collapsedNative(path));
    const DWORD value = ::GetFileAttributesW(wide(systemPath(native)));
    if (value == INVALID_FILE_ATTRIBUTES)
        raiseForPath(::GetLastError());
    return int(value & kKnownAttributes);
}

bool WindowsFileSystem::isRootFolder(const QString& folder) {
    QString native = collapsedNative(folder);
    if (native.startsWith(QLatin1String("\\\\?\\UNC\\"), Qt::CaseInsensitive))
        native = QLatin1String("\\\\") + native.mid(8);
    else if (native.startsWith(QLatin1String("\\\\?\\")))
        native = native.mid(4);
    if (native.size() > 2 && native.endsWith(QLatin1Char('\\')))
        native.chop(1);
    if (native == QLatin1String("\\"))
        return true;  // the root of the current drive
    if (native.size() == 2 && native.at(1) == QLatin1Char(':') && native.at(0).isLetter())
        return true;
    // "\\server\share": two parts after the leading pair.
    if (!native.startsWith(QLatin1String("\\\\")))
        return false;
    const QStringList parts = native.mid(2).split(QLatin1Char('\\'));
    return parts.size() == 2 && !parts.at(0).isEmpty() && !parts.at(1).isEmpty();
}

// The folder is opened first for its identity, which follows junctions and
// links to the folder they lead to; the search then lists it. Only names
// that match the pattern get the open test; the attributes come with the
// search.
void WindowsFileSystem::readFolder(const QString& folder, const QString& pattern,
                                   FolderVisitor& visitor) {
    const QString base = withClosingSeparator(folder);
    {
        const Handle self(
            ::CreateFileW(wide(systemPath(base)), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                          kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!self.valid())
            raiseForPath(::GetLastError());
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(self.get(), &info))
            raiseForPath(::GetLastError());
        if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            throw RuntimeError(ErrPathNotFound);
        const quint64 index = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        if (!visitor.enter(info.dwVolumeSerialNumber, index))
            return;
    }
    WIN32_FIND_DATAW data;
    Search search(base, data);
    if (!search.valid()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return;  // not even "." (a drive's root has none): nothing in it
        raiseForPath(error);
    }
    const NameMatcher matcher(pattern);
    do {
        if (isDot(data.cFileName))
            continue;
        const QString name = QString::fromWCharArray(data.cFileName);
        const int value = int(data.dwFileAttributes & kKnownAttributes);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            visitor.subFolder(name, value);
        else if (matcher.matches(name) && canOpen(base + name))
            visitor.file(name, value);
    } while (search.next(data));
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES)
        raiseForPath(error);
}

QStringList WindowsFileSystem::findFiles(const QString& folder, const QString& pattern) {
    QStringList names;
    WIN32_FIND_DATAW data;
    Search search(withClosingSeparator(folder), data);
    if (!search.valid()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return names;
        raiseForPath(error);
    }
    const NameMatcher matcher(pattern);
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            continue;
        const QString name = QString::fromWCharArray(data.cFileName);
        if (matcher.matches(name))
            names.append(name);
    } while (search.next(data));
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES)
        raiseForPath(error);
    return names;
}

// No access rights are asked for, so that a file another program holds
// locked still passes, as the Windows open test has it; a folder cannot be
// opened this way, and a device is no file on a disk.
bool WindowsFileSystem::canOpen(const QString& path) {
    if (path.contains(QChar(0)) || isDeviceName(path))
        return false;
    const Handle file(::CreateFileW(wide(systemPath(path)), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING,
                                    FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file.valid() && ::GetFileType(file.get()) == FILE_TYPE_DISK;
}

bool WindowsFileSystem::exists(const QString& path) {
    return !path.contains(QChar(0)) &&
           ::GetFileAttributesW(wide(systemPath(path))) != INVALID_FILE_ATTRIBUTES;
}

SaveTarget WindowsFileSystem::saveTarget(const QString& path) {
    SaveTarget target;
    target.path = path;
    target.mode = 0666;
    if (isDeviceName(path)) {
        target.kind = SaveTarget::Other;
        return target;
    }
    const DWORD value = ::GetFileAttributesW(wide(systemPath(path)));
    if (value == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            target.lookupError = errnoForSystemError(error);
    } else if ((value & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        target.kind = SaveTarget::Folder;
    } else {
        target.kind = SaveTarget::File;
        // The file a link leads to is what gets replaced, so the link stays.
        if ((value & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            const QString resolved = finalPath(path);
            if (!resolved.isEmpty())
                target.path = resolved;
        }
        if ((value & FILE_ATTRIBUTE_READONLY) != 0) {
            target.fileError = EACCES;
        } else {
            const Handle file(::CreateFileW(wide(systemPath(target.path)), GENERIC_WRITE, kShareAll,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
            if (!file.valid())
                target.fileError = errnoForSystemError(::GetLastError());
        }
    }
    if (target.lookupError == 0 && target.kind != SaveTarget::Folder) {
        const QString folder = QFileInfo(target.path).absolutePath();
        const DWORD folderValue = ::GetFileAttributesW(wide(systemPath(folder)));
        if (folderValue == INVALID_FILE_ATTRIBUTES) {
            target.folderError = ENOENT;
        } else if ((folderValue & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            target.folderError = ENOTDIR;
        } else {
            // The read-only attribute of a folder does not keep files out of
            // it; only its access list does.
            const Handle handle(::CreateFileW(
                wide(systemPath(folder)), FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY, kShareAll, nullptr,
                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            if (!handle.valid())
                target.folderError = errnoForSystemError(::GetLastError());
        }
        // A write-protected disk refuses the file as much as its folder.
        if (target.kind == SaveTarget::File && target.folderError == EROFS)
            target.fileError = EROFS;
    }
    return target;
}

}  // namespace

FileSystem& systemFileSystem() {
    static WindowsFileSystem fileSystem;
    return fileSystem;
}

int errorNumberForSystemError(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return ErrFileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_CANT_RESOLVE_FILENAME:
            return ErrPathNotFound;
        case ERROR_TOO_MANY_OPEN_FILES:
            return ErrTooManyFiles;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_NETWORK_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return ErrPermissionDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_QUOTA_EXCEEDED:
            return ErrDiskFull;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return ErrBadFileName;
        default:
            return ErrPathFileAccess;
    }
}

int errnoForSystemError(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return ENOENT;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_NETWORK_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_QUOTA_EXCEEDED:
            return ENOSPC;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return EINVAL;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        default:
            return EIO;
    }
}

// MAX_PATH counts the closing NUL: a path of 260 characters no longer fits
// the old calls. The long form takes no "." or ".." and no "/", so the path
// is made whole first.
QString systemPath(const QString& path) {
    const QString native = collapsedNative(path);
    if (native.size() < MAX_PATH || native.startsWith(QLatin1String("\\\\?\\")))
        return native;
    const QString full =
        QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QString closing = native.endsWith(QLatin1Char('\\')) && !full.endsWith(QLatin1Char('\\'))
                                ? QStringLiteral("\\")
                                : QString();
    if (full.startsWith(QLatin1String("\\\\")))
        return QLatin1String("\\\\?\\UNC\\") + full.mid(2) + closing;
    return QLatin1String("\\\\?\\") + full + closing;
}

bool hasNetworkPaths() {
    return true;
}

// Windows reads a name as a device when the part before its first "." or
// ":", less trailing blanks, is one of the reserved names, in any case and
// in any folder; and a path in the "\\.\" form names a device outright.
bool isDeviceName(const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    if (native.startsWith(QLatin1String("\\\\.\\")))
        return true;
    QString name = native.mid(native.lastIndexOf(QLatin1Char('\\')) + 1);
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name.at(i) == QLatin1Char('.') || name.at(i) == QLatin1Char(':')) {
            name.truncate(i);
            break;
        }
    }
    while (name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    name = name.toUpper();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (name == QLatin1String(device))
            return true;
    }
    if (name.size() != 4 ||
        !(name.startsWith(QLatin1String("COM")) || name.startsWith(QLatin1String("LPT"))))
        return false;
    const char16_t digit = name.at(3).unicode();
    // Superscript one, two and three count as digits here too.
    return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
           digit == u'\u00B3';
}

}  // namespace vantelo
