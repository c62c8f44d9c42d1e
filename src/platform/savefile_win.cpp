#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>

#include <windows.h>

#include "platform/savefile_impl.h"

namespace vantelo::saving {
namespace {

// Paths from this length on are handed over with the "\\?\" prefix, which
// lifts the MAX_PATH limit; CreateDirectoryW's own limit lies 12 characters
// below it.
constexpr qsizetype kPlainPathLimit = MAX_PATH - 12;
// The longest path the system takes with the prefix, and the longest name of
// one folder entry, both in UTF-16 units.
constexpr qsizetype kMaxPathUnits = 32767 - 8;
constexpr qsizetype kMaxNameUnits = 255;
// ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack.
constexpr DWORD kDiskQuotaExceeded = 1295;

// Device names the system opens instead of a file, in any folder and with any
// extension ("nul.bmp"), however the case.
bool isDeviceName(const QString& name) {
    QString base = name.section(QLatin1Char('.'), 0, 0);
    while (base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    base = base.toUpper();
    static const QStringList kDevices = {QStringLiteral("CON"),    QStringLiteral("PRN"),
                                         QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                         QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (kDevices.contains(base))
        return true;
    // COM1 to COM9 and LPT1 to LPT9, also with a superscript digit.
    if (base.size() == 4 &&
        (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT")))) {
        const char16_t digit = base[3].unicode();
        return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
               digit == u'\u00B3';
    }
    return false;
}

// A name no file of a Windows folder can have: a character the system
// refuses, a device name, or a dot or blank at its end, which the system
// would silently drop so that the file got another name than the one given.
bool isBadName(const QString& name) {
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 32 || QStringLiteral("<>:\"|?*").contains(c))
            return true;
    }
    return name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')) || isDeviceName(name);
}

// Writes all bytes to an open file; false with GetLastError() set otherwise.
bool writeAll(HANDLE file, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<qsizetype>(left, 1 << 30));
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr))
            return false;
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Closes the handle, and removes the temporary file unless it was kept.
class TemporaryFile {
public:
    explicit TemporaryFile(const QString& target) {
        const QString folder = QFileInfo(target).absolutePath();
        static constexpr char kLetters[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            QString name = folder + QStringLiteral("/.vantelo-save-");
            quint64 random = QRandomGenerator::global()->generate64();
            for (int i = 0; i < 6; ++i, random /= 62)
                name += QLatin1Char(kLetters[random % 62]);
            name_ = systemPath(name);
            // Nobody else may open it while it is written.
            handle_ = ::CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
            error_ = handle_ == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
            if (error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS)
                break;
        }
    }
    ~TemporaryFile() {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
        if (created() && !kept_)
            ::DeleteFileW(name_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool created() const { return error_ == ERROR_SUCCESS; }
    DWORD error() const { return error_; }
    HANDLE handle() const { return handle_; }
    const wchar_t* name() const { return name_.c_str(); }
    bool close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(handle) != 0;
    }
    void keep() { kept_ = true; }

private:
    std::wstring name_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DWORD error_ = ERROR_SUCCESS;
    bool kept_ = false;
};

// The last resort where the old file may be written but not replaced: the
// bytes are complete in memory, so only a crash during this one write can
// damage the file.
SaveFailure writeInPlace(const std::wstring& path, const QByteArray& bytes) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failureFromSystemError(::GetLastError());
    const bool ok = writeAll(file, bytes) && ::SetEndOfFile(file) && ::FlushFileBuffers(file);
    const DWORD error = ::GetLastError();
    const bool closed = ::CloseHandle(file) != 0;
    if (!ok)
        return failureFromSystemError(error);
    return closed ? SaveFailure::None : failureFromSystemError(::GetLastError());
}

// False when another program holds the old file open without letting it be
// deleted, which replacing it needs as much as deleting it does.
bool mayBeReplaced(const std::wstring& path) {
    const HANDLE file =
        ::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ::GetLastError() != ERROR_SHARING_VIOLATION;
    ::CloseHandle(file);
    return true;
}

// Why ReplaceFileW failed, as far as the next step is concerned.
enum class ReplaceOutcome { Failed, Move, InPlace };

ReplaceOutcome afterFailedReplace(DWORD error, const std::wstring& target) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            // The old file went away meanwhile: the new one simply moves in.
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_PARAMETER:
            // A file system that cannot replace (some network shares).
            return ReplaceOutcome::Move;
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
            // The old file may already be gone, with the new one still under
            // its temporary name.
            return ::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES
                       ? ReplaceOutcome::Move
                       : ReplaceOutcome::Failed;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
            // Another program holds the old file open without letting it be
            // deleted, or the folder lets files be written but not replaced.
            // Writing it in place fails as well when the file is read-only
            // or locked against writing.
            return ReplaceOutcome::InPlace;
        default:
            return ReplaceOutcome::Failed;
    }
}

}  // namespace

std::wstring systemPath(const QString& path) {
    QString native = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (native.size() >= kPlainPathLimit && !native.startsWith(QLatin1String("\\\\?\\"))) {
        if (native.startsWith(QLatin1String("\\\\")))
            native = QStringLiteral("\\\\?\\UNC\\") + native.mid(2);
        else
            native = QStringLiteral("\\\\?\\") + native;
    }
    return native.toStdWString();
}

SaveFailure failureFromSystemError(unsigned long error) {
    switch (error) {
        case ERROR_SUCCESS:
            return SaveFailure::None;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case kDiskQuotaExceeded:
        case ERROR_FILE_TOO_LARGE:
            return SaveFailure::DiskFull;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_NETWORK_ACCESS_DENIED:
        case ERROR_USER_MAPPED_FILE:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
            return SaveFailure::AccessDenied;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:
            return SaveFailure::FolderNotFound;
        case ERROR_FILENAME_EXCED_RANGE:
            return SaveFailure::NameTooLong;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return SaveFailure::BadName;
        default:
            return SaveFailure::WriteFailed;
    }
}

SaveFailure checkSystemName(const QString& absolutePath) {
    const QString path = QDir::toNativeSeparators(QDir::cleanPath(absolutePath));
    if (path.size() > kMaxPathUnits)
        return SaveFailure::NameTooLong;
    // The drive ("C:") or the server and share ("\\server\share") are not
    // names of this path's own.
    qsizetype start = 0;
    if (path.startsWith(QLatin1String("\\\\"))) {
        start = path.indexOf(QLatin1Char('\\'), 2);
        start = start < 0 ? path.size() : path.indexOf(QLatin1Char('\\'), start + 1);
        if (start < 0)
            start = path.size();
    } else if (path.size() >= 2 && path[1] == QLatin1Char(':')) {
        start = 2;
    }
    const QStringList parts = path.mid(start).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (isBadName(part))
            return SaveFailure::BadName;
    }
    for (const QString& part : parts) {
        if (part.size() > kMaxNameUnits)
            return SaveFailure::NameTooLong;
    }
    return SaveFailure::None;
}

SaveFailure writeBytes(const SaveTarget& target, const QByteArray& bytes, bool inPlace) {
    const std::wstring path = systemPath(target.path);
    DWORD oldAttributes = 0;
    if (target.kind == SaveTarget::File) {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        oldAttributes = attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes;
        // The read-only attribute refuses every writer, even one the access
        // list would let through.
        if ((oldAttributes & FILE_ATTRIBUTE_READONLY) != 0)
            return SaveFailure::AccessDenied;
        // Asked before anything is written: a failed ReplaceFileW may leave
        // files of its own behind.
        if (!mayBeReplaced(path))
            inPlace = true;
    }
    if (inPlace)
        return writeInPlace(path, bytes);
    TemporaryFile temporary(target.path);
    if (!temporary.created()) {
        // A folder where this user may write the file but not create one.
        if (target.kind == SaveTarget::File && temporary.error() == ERROR_ACCESS_DENIED)
            return writeInPlace(path, bytes);
        return failureFromSystemError(temporary.error());
    }
    if (!writeAll(temporary.handle(), bytes) || !::FlushFileBuffers(temporary.handle()))
        return failureFromSystemError(::GetLastError());
    if (!temporary.close())
        return failureFromSystemError(::GetLastError());
    // The old file's hidden and system marks stay, whichever way the new file
    // takes its place.
    const DWORD kept = oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (kept != 0)
        ::SetFileAttributesW(temporary.name(), kept);
    if (target.kind == SaveTarget::File) {
        // ReplaceFileW keeps what belongs to the old file rather than to its
        // contents: its attributes, access list, creation time and streams.
        if (::ReplaceFileW(path.c_str(), temporary.name(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                           nullptr)) {
            temporary.keep();
            return SaveFailure::None;
        }
        const DWORD error = ::GetLastError();
        switch (afterFailedReplace(error, path)) {
            case ReplaceOutcome::Failed:
                return failureFromSystemError(error);
            case ReplaceOutcome::InPlace:
                return writeInPlace(path, bytes);
            case ReplaceOutcome::Move:
                break;
        }
    }
    // MOVEFILE_REPLACE_EXISTING for a file that appeared meanwhile; the move
    // returns only once it is on the disk.
    if (!::MoveFileExW(temporary.name(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failureFromSystemError(::GetLastError());
    temporary.keep();
    return SaveFailure::None;
}

SaveFailure makeOneFolder(const QString& folder) {
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    if (const SaveFailure problem = checkSystemName(absolute); problem != SaveFailure::None)
        return problem;
    const std::wstring path = systemPath(absolute);
    if (::CreateDirectoryW(path.c_str(), nullptr))
        return SaveFailure::None;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        // Followed through a junction or link, as the files are written
        // through it.
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                   ? SaveFailure::None
                   : SaveFailure::NotAFolder;
    }
    return failureFromSystemError(error);
}

}  // namespace vantelo::saving
