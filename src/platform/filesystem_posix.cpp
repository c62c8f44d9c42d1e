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
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/descriptor.h"
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
    // Takes over an open folder descriptor.
    explicit OpenDirectory(int fd) : dir_(::fdopendir(fd)) {
        if (dir_ == nullptr) {
            const int error = errno;
            ::close(fd);
            raiseErrno(error);
        }
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

// Whether a name matches a wildcard pattern without regard to case, as
// fnmatch does; a pattern that is "*" and a plain ending (the gallery's
// "*.jpg") is compared as an ending, which spares fnmatch's character-set
// work on every name of a large folder.
class NameMatcher {
public:
    explicit NameMatcher(const QString& pattern) : pattern_(QFile::encodeName(pattern)) {
        const QByteArray rest = pattern_.mid(1);
        plainEnding_ = pattern_.startsWith('*') && !rest.isEmpty() &&
                       std::all_of(rest.begin(), rest.end(), [](char c) {
                           const auto u = static_cast<unsigned char>(c);
                           return u < 0x80 && c != '*' && c != '?' && c != '[' && c != '\\';
                       });
        if (plainEnding_)
            ending_ = rest;
    }
    bool matches(const char* name) const {
        if (!plainEnding_)
            return ::fnmatch(pattern_.constData(), name, FNM_NOESCAPE | FNM_CASEFOLD) == 0;
        const size_t length = std::strlen(name);
        const auto size = static_cast<size_t>(ending_.size());
        return length >= size && ::strcasecmp(name + length - size, ending_.constData()) == 0;
    }

private:
    QByteArray pattern_;
    QByteArray ending_;
    bool plainEnding_ = false;
};

// The decoded name, or a null string when decoding loses bytes. A name of
// plain ASCII, nearly every name, decodes exactly and needs no round trip.
QString decodeExactly(const char* raw) {
    const size_t length = std::strlen(raw);
    if (std::all_of(raw, raw + length, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(raw, static_cast<qsizetype>(length));
    const QByteArray bytes = QByteArray::fromRawData(raw, static_cast<qsizetype>(length));
    QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) != bytes)
        return QString();
    return name;
}

}  // namespace

int PosixFileSystem::attributes(const QString& path) {
    QByteArray encoded = QFile::encodeName(path);
    // Without the closing "/" a folder that is a symbolic link is seen as the
    // link itself rather than the folder it leads to.
    while (encoded.size() > 1 && encoded.endsWith('/'))
        encoded.chop(1);
    struct stat st;
    if (::lstat(encoded.constData(), &st) != 0)
        raiseErrno(errno);
    const bool link = S_ISLNK(st.st_mode);
    if (link && ::stat(encoded.constData(), &st) != 0)
        st.st_mode = 0;  // a link that leads nowhere is neither file nor folder
    const qsizetype slash = encoded.lastIndexOf('/');
    const bool hidden = encoded.size() > slash + 1 && encoded.at(slash + 1) == '.';
    return valueOf(st, link, hidden);
}

int PosixFileSystem::valueOf(const struct stat& st, bool link, bool hidden) const {
    int value = link ? AttrReparsePoint : AttrNormal;
    if (S_ISDIR(st.st_mode))
        value |= AttrDirectory;
    else if (S_ISREG(st.st_mode))
        value |= AttrArchive;
    if (hidden)
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

namespace {

// Opens a name of the folder as the open test does: read only, not waiting
// on a pipe, no terminal taken over.
int openForTest(int folder, const char* name) {
    return ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}

// The entries of an open folder straight from getdents64 into one buffer:
// unlike fdopendir and readdir, no stream is allocated and the descriptor's
// flags are not asked for again.
class DirectoryEntries {
public:
    explicit DirectoryEntries(int fd) : fd_(fd) {}

    // The next entry other than "." and "..", or null at the end. A read
    // error raises.
    const dirent64* next() {
        for (;;) {
            if (at_ >= filled_) {
                const ssize_t n = ::getdents64(fd_, buffer_, sizeof buffer_);
                if (n < 0)
                    raiseErrno(errno);
                if (n == 0)
                    return nullptr;
                filled_ = static_cast<size_t>(n);
                at_ = 0;
            }
            const auto* entry = reinterpret_cast<const dirent64*>(buffer_ + at_);
            at_ += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            return entry;
        }
    }

private:
    int fd_;
    size_t filled_ = 0;
    size_t at_ = 0;
    alignas(dirent64) char buffer_[32768];
};

}  // namespace

// One pass over the directory serves both the sub-folders and the files. The
// entry's type from the directory spares a stat call except for links and
// file systems that do not record it; a matching name gets exactly one open,
// whose descriptor also tells its type and attributes. Everything is looked
// up relative to the folder's own descriptor, not by its full path.
void PosixFileSystem::readFolder(const QString& folder, const QString& pattern,
                                 FolderVisitor& visitor) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        raiseErrno(errno);
    const Descriptor folderFd(fd);
    struct stat self;
    if (::fstat(fd, &self) != 0)
        raiseErrno(errno);
    if (!visitor.enter(quint64(self.st_dev), quint64(self.st_ino)))
        return;
    const NameMatcher matcher(pattern);
    DirectoryEntries entries(fd);
    while (const dirent64* entry = entries.next()) {
        const char* raw = entry->d_name;
        const unsigned char type =
            entryTypesIgnored_ ? static_cast<unsigned char>(DT_UNKNOWN) : entry->d_type;
        if (type != DT_DIR && type != DT_REG && type != DT_LNK && type != DT_UNKNOWN)
            continue;  // a device, pipe or socket: neither file nor folder here
        const bool matches = type != DT_DIR && matcher.matches(raw);
        struct stat st;
        bool link = type == DT_LNK;
        bool known = false;
        if (type == DT_UNKNOWN && matches) {
            if (::fstatat(fd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            link = S_ISLNK(st.st_mode);
            known = !link;
        }
        if (matches) {
            const Descriptor file(openForTest(fd, raw));
            if (file.get() >= 0) {
                known = ::fstat(file.get(), &st) == 0;
                if (known && S_ISREG(st.st_mode)) {
                    const QString name = decodeExactly(raw);
                    if (!name.isNull())
                        visitor.file(name, valueOf(st, link, raw[0] == '.'));
                    continue;
                }
            } else {
                known = false;
            }
        }
        // Whether the entry is a folder: its recorded type, or what the open
        // told, or else one stat through the link.
        bool isFolder = type == DT_DIR;
        if (isFolder) {
            known = ::fstatat(fd, raw, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        } else if (type == DT_LNK || type == DT_UNKNOWN) {
            if (!known && ::fstatat(fd, raw, &st, 0) != 0)
                continue;
            known = true;
            isFolder = S_ISDIR(st.st_mode);
        }
        if (isFolder) {
            const QString name = decodeExactly(raw);
            // The attribute value as a stat of the full path would give it,
            // when this reading learnt both the type through any link and
            // whether the entry is a link; the walk then need not look the
            // folder up by its full path.
            const bool linkKnown = type != DT_UNKNOWN || matches;
            if (!name.isNull())
                visitor.subFolder(name, known && linkKnown ? valueOf(st, link, raw[0] == '.') : -1);
        }
    }
}

QStringList PosixFileSystem::findFiles(const QString& folder, const QString& pattern) {
    const QByteArray encodedPattern = QFile::encodeName(pattern);
    QStringList names;
    OpenDirectory dir(folder);
    while (const dirent* entry = dir.next()) {
        // A leading "." is matched like any other character (hidden files are
        // searched too) and a backslash is an ordinary character.
        if (::fnmatch(encodedPattern.constData(), entry->d_name, FNM_NOESCAPE | FNM_CASEFOLD) != 0)
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

SaveTarget PosixFileSystem::saveTarget(const QString& path) {
    SaveTarget target;
    target.path = path;
    QByteArray encoded = QFile::encodeName(path);
    struct stat st {};
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
    // The owner's own write bit decides for the owner (an access list cannot
    // take it away), so only a file of another needs the system asked.
    const bool ownWritable =
        target.kind == SaveTarget::File && st.st_uid == ::geteuid() && (st.st_mode & S_IWUSR) != 0;
    if (target.kind == SaveTarget::File && !ownWritable && ::access(encoded.constData(), W_OK) != 0)
        target.fileError = errno;
    if (target.lookupError == 0 && target.kind != SaveTarget::Folder) {
        const qsizetype slash = encoded.lastIndexOf('/');
        const QByteArray folder = slash < 0    ? QByteArray(".")
                                  : slash == 0 ? QByteArray("/")
                                               : encoded.left(slash);
        if (::access(folder.constData(), W_OK | X_OK) != 0)
            target.folderError = errno;
        // A read-only file system refuses the file as much as its folder.
        if (target.kind == SaveTarget::File && target.folderError == EROFS)
            target.fileError = EROFS;
    }
    return target;
}

FileSystem& systemFileSystem() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

int errorNumberForSystemError(unsigned long error) {
    return errorNumberForErrno(int(error));
}

int errnoForSystemError(unsigned long error) {
    return int(error);
}

QString systemPath(const QString& path) {
    return path;
}

bool hasNetworkPaths() {
    return false;
}

bool isDeviceName(const QString&) {
    return false;
}

}  // namespace vantelo
