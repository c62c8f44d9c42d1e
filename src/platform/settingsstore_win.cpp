#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <string>

#include <windows.h>

#include "platform/runtimeerror.h"
#include "platform/savefile_impl.h"
#include "platform/settingsstore.h"

namespace vantelo {
namespace {

// The longest value a setting may have: a text line of half a million
// characters is no text line. Larger values are passed over unread.
constexpr DWORD kMaxValueBytes = 1 << 20;
// The longest name the registry gives a value.
constexpr qsizetype kMaxValueNameUnits = 16383;

// The reason the system gives for an error code, for a sentence of ours.
QString reasonFor(DWORD error) {
    QString reason = qt_error_string(static_cast<int>(error)).trimmed();
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return reason;
}

// ---------------------------------------------------------------------------
// The settings file

// Creates the folder and those above it; raises the error of a failure.
void makeFolders(const QString& folder) {
    const DWORD attributes = ::GetFileAttributesW(saving::systemPath(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            raiseSaveFailure(SaveFailure::NotAFolder);
        return;
    }
    const QString parent = QDir::cleanPath(QFileInfo(folder).absolutePath());
    if (parent != QDir::cleanPath(folder))
        makeFolders(parent);
    raiseSaveFailure(saving::makeOneFolder(folder));
}

// ---------------------------------------------------------------------------
// The registry

class Key {
public:
    Key() = default;
    ~Key() {
        if (handle_ != nullptr)
            ::RegCloseKey(handle_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &handle_; }
    HKEY get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

// The registry cannot hold a value of this name: a NUL would end the name
// early, and the registry takes no longer names.
bool isBadValueName(const QString& name) {
    return name.contains(QChar(0)) || name.size() > kMaxValueNameUnits;
}

// A REG_SZ value as text, up to its first NUL; false when the value is
// missing, not a string, or too large to be a setting.
bool readString(HKEY key, const QString& name, QString& text) {
    const std::wstring valueName = wide(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG status = ::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, &size);
    QByteArray data;
    // A value that grows between asking for its size and reading it is asked
    // for again, a few times at most.
    for (int attempt = 0; attempt < 3 && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA);
         ++attempt) {
        if (type != REG_SZ || size > kMaxValueBytes)
            return false;
        data.resize(size);
        DWORD got = size;
        status = ::RegQueryValueExW(key, valueName.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &got);
        if (status == ERROR_SUCCESS) {
            if (type != REG_SZ || got > size)
                return false;
            data.truncate(got);
            break;
        }
        size = got;
    }
    if (status != ERROR_SUCCESS)
        return false;
    // Whole characters only: a last odd byte is half of one.
    const auto* units = reinterpret_cast<const char16_t*>(data.constData());
    const qsizetype count = data.size() / 2;
    const qsizetype length = std::find(units, units + count, u'\0') - units;
    text = QString::fromUtf16(units, length);
    return true;
}

RuntimeError errorFromRegistry(LONG status) {
    switch (status) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_NO_SYSTEM_RESOURCES:
        case ERROR_NOT_ENOUGH_QUOTA:
            return RuntimeError(ErrDiskFull);
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return RuntimeError(ErrPermissionDenied);
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_KEY_DELETED:
            return RuntimeError(ErrPathNotFound);
        case ERROR_INVALID_PARAMETER:
        case ERROR_INVALID_NAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BADKEY:
            return RuntimeError(ErrBadFileName);
        default:
            return RuntimeError(ErrPathFileAccess);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// FileSettingsStore

void FileSettingsStore::replaceFile(const QString& filePath, const QByteArray& bytes) {
    const QString path = QDir::cleanPath(QFileInfo(filePath).absoluteFilePath());
    raiseSaveFailure(saving::checkSystemName(path));
    makeFolders(QFileInfo(path).absolutePath());
    SaveTarget target;
    target.path = path;
    const DWORD attributes = ::GetFileAttributesW(saving::systemPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        target.kind =
            (attributes & FILE_ATTRIBUTE_DIRECTORY) ? SaveTarget::Folder : SaveTarget::File;
    if (target.kind == SaveTarget::Folder)
        raiseSaveFailure(SaveFailure::NotAFile);
    raiseSaveFailure(saving::writeBytes(target, bytes, false));
}

void FileSettingsStore::load() {
    const std::wstring path = saving::systemPath(filePath_);
    // Shared in every way, so that reading never stands in another program's
    // way; FILE_FLAG_BACKUP_SEMANTICS lets a folder open, to be recognised.
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_CANT_RESOLVE_FILENAME)
            setAside(QCoreApplication::translate("FileSettingsStore",
                                                 "it is a symbolic link that loops"));
        return;  // missing or not ours to read: the defaults apply
    }
    QString problem;
    QByteArray bytes;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info)) {
        problem = QCoreApplication::translate("FileSettingsStore", "it is not a file");
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        problem = QCoreApplication::translate("FileSettingsStore", "it is a folder");
    } else if (((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow) > quint64(kMaxFileBytes)) {
        problem = QCoreApplication::translate("FileSettingsStore",
                                              "it is larger than a settings file can be");
    } else {
        // The file may grow while it is read; never past the limit.
        bytes.resize(qsizetype(info.nFileSizeLow) + 1);
        qsizetype got = 0;
        for (;;) {
            if (got == bytes.size()) {
                if (bytes.size() > kMaxFileBytes)
                    break;
                bytes.resize(std::min<qsizetype>(bytes.size() * 2, kMaxFileBytes + 1));
            }
            DWORD n = 0;
            if (!::ReadFile(file, bytes.data() + got, DWORD(bytes.size() - got), &n, nullptr) ||
                n == 0)
                break;
            got += n;
        }
        bytes.truncate(got);
        if (got > kMaxFileBytes)
            problem = QCoreApplication::translate("FileSettingsStore",
                                                  "it is larger than a settings file can be");
        else if (!looksLikeText(bytes))
            problem = QCoreApplication::translate("FileSettingsStore", "it is not UTF-8 text");
    }
    ::CloseHandle(file);
    if (!problem.isEmpty())
        setAside(problem);
    else
        text_ = IniText(bytes);
}

void FileSettingsStore::setAside(const QString& why) {
    QString aside = filePath_ + QStringLiteral(".unreadable");
    for (int n = 2; n < 1000 && ::GetFileAttributesW(saving::systemPath(aside).c_str()) !=
                                    INVALID_FILE_ATTRIBUTES;
         ++n)
        aside = filePath_ + QStringLiteral(".unreadable.") + QString::number(n);
    // A link is moved itself, never what it points to.
    if (::MoveFileExW(saving::systemPath(filePath_).c_str(), saving::systemPath(aside).c_str(),
                      0)) {
        notice_ = QCoreApplication::translate(
                      "FileSettingsStore",
                      "The settings file %1 could not be read (%2). It was renamed to "
                      "%3, and Vantelo starts with its default settings.")
                      .arg(filePath_, why, aside);
    } else {
        notice_ = QCoreApplication::translate(
                      "FileSettingsStore",
                      "The settings file %1 could not be read (%2), and it could not "
                      "be renamed aside (%3). Vantelo starts with its default "
                      "settings.")
                      .arg(filePath_, why, reasonFor(::GetLastError()));
    }
}

// ---------------------------------------------------------------------------
// RegistrySettingsStore

QString RegistrySettingsStore::defaultKeyPath() {
    return QStringLiteral("Software\\VB and VBA Program Settings\\Tarnwick\\Vantelo");
}

RegistrySettingsStore::RegistrySettingsStore(const QString& keyPath) : keyPath_(keyPath) {
    Key key;
    const LONG status =
        ::RegOpenKeyExW(HKEY_CURRENT_USER, wide(keyPath_).c_str(), 0, KEY_QUERY_VALUE, key.out());
    // A key not there yet is a first start.
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND)
        return;
    const QString why =
        status == ERROR_ACCESS_DENIED
            ? QCoreApplication::translate("RegistrySettingsStore", "this user may not read it")
            : reasonFor(static_cast<DWORD>(status));
    notice_ = QCoreApplication::translate("RegistrySettingsStore",
                                          "The settings in the registry key %1 could not be "
                                          "read (%2). Vantelo starts with its default settings.")
                  .arg(QStringLiteral("HKEY_CURRENT_USER\\") + keyPath_, why);
}

QString RegistrySettingsStore::GetSetting(const QString& key, const QString& fallback) const {
    if (isBadValueName(key))
        return fallback;
    Key handle;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, wide(keyPath_).c_str(), 0, KEY_QUERY_VALUE,
                        handle.out()) != ERROR_SUCCESS)
        return fallback;
    QString text;
    return readString(handle.get(), key, text) ? text : fallback;
}

void RegistrySettingsStore::SaveSetting(const QString& key, const QString& value) {
    if (isBadValueName(key))
        throw RuntimeError(ErrBadFileName);
    const std::wstring path = wide(keyPath_);
    {
        // Compared first, so that a key this user may only read still takes
        // the values it already holds.
        Key reading;
        QString stored;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, reading.out()) ==
                ERROR_SUCCESS &&
            readString(reading.get(), key, stored) && stored == value)
            return;
    }
    Key writing;
    LONG status =
        ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, writing.out(), nullptr);
    if (status != ERROR_SUCCESS)
        throw errorFromRegistry(status);
    // The text with its terminating NUL, as every reader of REG_SZ expects.
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(char16_t));
    status = ::RegSetValueExW(writing.get(), wide(key).c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.utf16()), bytes);
    if (status != ERROR_SUCCESS)
        throw errorFromRegistry(status);
}

std::unique_ptr<SettingsStore> makeSystemSettingsStore() {
    return std::make_unique<RegistrySettingsStore>();
}

}  // namespace vantelo
