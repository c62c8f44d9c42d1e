#include "platform/filesystem.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

[[noreturn]] void raiseErrno(int error) {
    throw RuntimeError(errorNumberForErrno(error));
}

// Closes the directory stream however the reading ends.
class OpenDirectory {
public:
    explicit OpenDirectory(const QString& folder) : dir_(::opendir(QFile::encodeName(folder))) {
        if (dir_ == nullptr)
            raiseErrno(errno);
    }
    ~OpenDirectory() { ::closedir(dir_); }
    OpenDirectory(const OpenDirectory&) = delete;
    OpenDirectory& operator=(const OpenDirectory&) = delete;

    // The next entry other than "." and "..", or null at the end. A read
    // error raises.
    const dirent* next() {
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir_);
            if (entry == nullptr) {
                if (errno != 0)
                    raiseErrno(errno);
                return nullptr;
            }
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            return entry;
        }
    }

    // The file type of an entry, following a symbolic link; 0 for a link that
    // leads nowhere. d_type spares a stat call for everything but links and
    // file systems that do not fill it in.
    mode_t typeOf(const dirent* entry) const {
        switch (entry->d_type) {
            case DT_DIR:
                return S_IFDIR;
            case DT_REG:
                return S_IFREG;
            case DT_LNK:
            case DT_UNKNOWN: {
                struct stat st;
                if (::fstatat(::dirfd(dir_), entry->d_name, &st, 0) != 0)
                    return 0;
                return st.st_mode & S_IFMT;
            }
            default:
                return S_IFIFO;  // a device, pipe or socket: neither file nor folder here
        }
    }

private:
    DIR* dir_;
};

// The decoded name, or a null string when decoding loses bytes.
QString decodeExactly(const char* raw) {
    const QByteArray bytes = QByteArray::fromRawData(raw, static_cast<qsizetype>(std::strlen(raw)));
    QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) != bytes)
        return QString();
    return name;
}

}  // namespace

int errorNumberForErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return ErrPermissionDenied;
        case ENOENT:
        case ENOTDIR:
        case ELOOP:
        case ENAMETOOLONG:
            return ErrPathNotFound;
        case EMFILE:
        case ENFILE:
            return ErrTooManyFiles;
        default:
            return ErrPathFileAccess;
    }
}

int PosixFileSystem::attributes(const QString& path) {
    QByteArray encoded = QFile::encodeName(path);
    // Without the closing "/" a folder that is a symbolic link is seen as the
    // link itself rather than the folder it leads to.
    while (encoded.size() > 1 && encoded.endsWith('/'))
        encoded.chop(1);
    struct stat st;
    if (::lstat(encoded.constData(), &st) != 0)
        raiseErrno(errno);
    int value = AttrNormal;
    mode_t type = st.st_mode & S_IFMT;
    if (type == S_IFLNK) {
        value |= AttrReparsePoint;
        struct stat target;
        type = 0;  // a link that leads nowhere is neither file nor folder
        if (::stat(encoded.constData(), &target) == 0) {
            st = target;
            type = st.st_mode & S_IFMT;
        }
    }
    if (type == S_IFDIR)
        value |= AttrDirectory;
    else if (type == S_IFREG)
        value |= AttrArchive;
    const qsizetype slash = encoded.lastIndexOf('/');
    if (encoded.size() > slash + 1 && encoded.at(slash + 1) == '.')
        value |= AttrHidden;
    if (!mayWrite(st))
        value |= AttrReadOnly;
    return value;
}

PosixFileSystem::PosixFileSystem() : user_(::geteuid()), group_(::getegid()) {
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        groups_.resize(static_cast<size_t>(count));
        groups_.resize(static_cast<size_t>(::getgroups(count, groups_.data())));
    }
}

// Decided from the permission bits rather than by asking the system: the
// walk reads the attributes of each folder several times, and one more system
// call per reading made the whole gallery fill a sixth slower.
bool PosixFileSystem::mayWrite(const struct stat& st) const {
    if (user_ == 0)
        return true;
    if (st.st_uid == user_)
        return (st.st_mode & S_IWUSR) != 0;
    if (st.st_gid == group_ ||
        std::find(groups_.begin(), groups_.end(), st.st_gid) != groups_.end())
        return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

bool PosixFileSystem::isRootFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    for (const QChar c : folder) {
        if (c != QLatin1Char('/'))
            return false;
    }
    return true;
}

void PosixFileSystem::forEachSubFolder(const QString& folder,
                                       const std::function<void(const QString& name)>& visit) {
    OpenDirectory dir(folder);
    while (const dirent* entry = dir.next()) {
        if (dir.typeOf(entry) != S_IFDIR)
            continue;
        const QString name = decodeExactly(entry->d_name);
        if (!name.isNull())
            visit(name);
    }
}

QStringList PosixFileSystem::findFiles(const QString& folder, const QString& pattern) {
    const QByteArray encodedPattern = QFile::encodeName(pattern);
    QStringList names;
    OpenDirectory dir(folder);
    while (const dirent* entry = dir.next()) {
        // A leading "." is matched like any other character (hidden files are
        // searched too) and a backslash is an ordinary character.
        if (::fnmatch(encodedPattern.constData(), entry->d_name, FNM_NOESCAPE) != 0)
            continue;
        if (dir.typeOf(entry) != S_IFREG)
            continue;
        const QString name = decodeExactly(entry->d_name);
        if (!name.isNull())
            names.append(name);
    }
    return names;
}

bool PosixFileSystem::canOpen(const QString& path) {
    // O_NONBLOCK keeps a pipe that happens to carry the name from blocking.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

bool PosixFileSystem::exists(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

SaveTarget FileSystem::saveTarget(const QString& path) {
    SaveTarget target;
    target.path = path;
    target.mode = 0666;
    const auto attributesOr = [this](const QString& p) {
        try {
            return attributes(p);
        } catch (const RuntimeError&) {
            return -1;
        }
    };
    const int folder = attributesOr(QFileInfo(path).absolutePath());
    if (folder < 0 || (folder & AttrDirectory) == 0)
        target.folderError = ENOENT;
    else if ((folder & AttrReadOnly) != 0)
        target.folderError = EACCES;
    if (!exists(path))
        return target;
    const int file = attributesOr(path);
    if ((file & AttrDirectory) != 0)
        target.kind = SaveTarget::Folder;
    else if (file >= 0 && (file & AttrArchive) != 0)
        target.kind = SaveTarget::File;
    else
        target.kind = SaveTarget::Other;
    if ((file & AttrReadOnly) != 0)
        target.fileError = EACCES;
    return target;
}

SaveTarget PosixFileSystem::saveTarget(const QString& path) {
    SaveTarget target;
    target.path = path;
    QByteArray encoded = QFile::encodeName(path);
    struct stat st;
    if (::lstat(encoded.constData(), &st) != 0) {
        if (errno != ENOENT)
            target.lookupError = errno;
    } else {
        if (S_ISLNK(st.st_mode)) {
            // The file the link leads to is what gets replaced; a link that
            // leads nowhere yet creates its target.
            if (char* resolved = ::realpath(encoded.constData(), nullptr)) {
                encoded = resolved;
                std::free(resolved);
                if (::stat(encoded.constData(), &st) != 0)
                    st.st_mode = 0;
            } else {
                char link[PATH_MAX];
                errno = 0;
                const ssize_t n = ::readlink(encoded.constData(), link, sizeof link);
                if (n <= 0 || n >= ssize_t(sizeof link)) {
                    target.lookupError = errno != 0 ? errno : ELOOP;
                    return target;
                }
                const QByteArray to(link, n);
                encoded = to.startsWith('/') ? to : encoded.left(encoded.lastIndexOf('/') + 1) + to;
                st.st_mode = 0;
            }
            target.path = QFile::decodeName(encoded);
        }
        if (S_ISREG(st.st_mode))
            target.kind = SaveTarget::File;
        else if (S_ISDIR(st.st_mode))
            target.kind = SaveTarget::Folder;
        else if (st.st_mode != 0)
            target.kind = SaveTarget::Other;
        target.mode = st.st_mode & 07777;
    }
    if (target.kind == SaveTarget::File && ::access(encoded.constData(), W_OK) != 0)
        target.fileError = errno;
    if (target.lookupError == 0 && target.kind != SaveTarget::Folder) {
        const qsizetype slash = encoded.lastIndexOf('/');
        const QByteArray folder = slash < 0    ? QByteArray(".")
                                  : slash == 0 ? QByteArray("/")
                                               : encoded.left(slash);
        if (::access(folder.constData(), W_OK | X_OK) != 0)
            target.folderError = errno;
    }
    return target;
}

FileSystem& systemFileSystem() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

}  // namespace vantelo
