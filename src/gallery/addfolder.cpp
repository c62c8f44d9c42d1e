#include "gallery/addfolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <utility>

#include "gallery/mainpaths.h"
#include "platform/errortrap.h"
#include "platform/filesystem.h"
#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

constexpr QChar kSeparator = QLatin1Char('/');

// Folders of these exact attribute values are neither read nor kept unless
// they are the root: directory + system + hidden, with and without the
// reparse point.
constexpr int kProtectedFolder = AttrDirectory | AttrSystem | AttrHidden;
constexpr int kProtectedLink = kProtectedFolder | AttrReparsePoint;

// The Unicode characters of Windows-1252 codes 128 to 159, 0 where Windows
// maps the code to the C1 control of the same value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// Lets pending window events run at the walk's event points, but not again
// within a millisecond of the last time. A look at the event queue costs a
// system call and several microseconds, and the walk passes an event point a
// few times per folder: looking every time took longer than reading the tree,
// while a look each millisecond keeps the window just as responsive. The first
// point of a walk always looks.
class EventPacer {
public:
    void letEventsRun() {
        if (sinceLastRun_.isValid() && sinceLastRun_.nsecsElapsed() < kGapNs)
            return;
        QCoreApplication::processEvents();
        sinceLastRun_.start();
    }

private:
    static constexpr qint64 kGapNs = 1000000;
    QElapsedTimer sinceLastRun_;
};

bool isProtected(int attributes) {
    return attributes == kProtectedFolder || attributes == kProtectedLink;
}

// The attribute value, or -1 when it cannot be read.
int attributesIfReadable(const QString& path, FileSystem& fileSystem) {
    try {
        return fileSystem.attributes(path);
    } catch (const RuntimeError&) {
        return -1;
    }
}

// The Windows-1252 code of a UTF-16 unit, or 63 when it has none.
int ansiCode(QChar c) {
    const char16_t unit = c.unicode();
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == unit || (kCp1252High[i] == 0 && unit == 0x80 + i))
            return 0x80 + i;
    }
    return '?';
}

bool isRemovableFailure(const RuntimeError& error) {
    return error.number() == ErrPermissionDenied || error.number() == ErrPathNotFound;
}

}  // namespace

bool HasBadNameChars(const QString& name) {
    for (const QChar c : name) {
        const int code = ansiCode(c);
        if (code < 32 || code == '?' || (code >= 127 && code <= 159))
            return true;
    }
    return false;
}

bool IsExistingFile(const QString& path, FileSystem& fileSystem) {
    return fileSystem.canOpen(path);
}

QStringList ListFolderFiles(const QString& folder, const QString& pattern, FileSystem& fileSystem) {
    const QString base = folder.endsWith(kSeparator) ? folder : folder + kSeparator;
    QStringList names{QString()};
    for (const QString& name : fileSystem.findFiles(base, pattern)) {
        if (IsExistingFile(base + name, fileSystem))
            names.append(name);
    }
    return names;
}

namespace {

// What the levels of one walk share.
struct Walk {
    FileSystem& fileSystem;
    MessageBoxes& messages;
    FolderFiles* files;
    QString pattern;
    EventPacer events;
    // The folders read so far, by device and inode.
    QSet<std::pair<quint64, quint64>> read;
    // Each folder's attribute value as its own level found it (-1 when it
    // could not be read), so that the merges of the levels above need not
    // ask the file system again.
    QHash<QString, int> values;
    // Sub-folders' attribute values that their parent's reading learnt, so
    // that their own level need not look them up by their full paths.
    QHash<QString, int> learnt;
};

// Takes the sub-folders of one folder into the level's new-folder list, and
// its matching files, when the folder has not been read before.
class LevelReader final : public FolderVisitor {
public:
    LevelReader(Walk& walk, const QString& folder, QStringList& newFolders)
        : walk_(walk), folder_(folder), newFolders_(newFolders) {}

    bool enter(quint64 device, quint64 inode) override {
        repeated = walk_.read.contains({device, inode});
        if (!repeated)
            walk_.read.insert({device, inode});
        return !repeated;
    }
    void subFolder(const QString& name, int attributes) override {
        walk_.events.letEventsRun();
        if (name.size() >= kFolderPathLimit || HasBadNameChars(name) ||
            name.contains(QLatin1Char('?')) || name == QLatin1String(".") ||
            name == QLatin1String(".."))
            return;
        QString path = folder_ + name + kSeparator;
        if (attributes >= 0)
            walk_.learnt.insert(path, attributes);
        newFolders_.append(std::move(path));
    }
    void file(const QString& name, int attributes) override {
        if (walk_.files != nullptr)
            files.append({name, attributes});
    }

    bool repeated = false;
    QList<ListedFile> files;

private:
    Walk& walk_;
    const QString& folder_;
    QStringList& newFolders_;
};

// Removes the first entry equal to the folder at `i` and keeps `i` on the
// entry that followed it.
void dropFolder(QStringList& folders, qsizetype& i, const QString& folder) {
    const qsizetype at = folders.indexOf(folder);
    if (at >= 0) {
        folders.removeAt(at);
        if (at <= i)
            --i;
    }
}

// One level of the walk; the nested call for the next level shares the walk.
void walkLevel(QStringList& folders, bool recurse, Walk& walk) {
    FileSystem& fileSystem = walk.fileSystem;
    ErrorTrap report(walk.messages, errorLocation(QStringLiteral("AddFolder"),
                                                  QStringLiteral("GetSubDirectories2016"),
                                                  QString::fromLatin1(kFolderWalkProjectTag)));
    // Until a folder first passes the attribute test, a failing step is
    // reported and the walk resumes after it. From then until the nested walk
    // has returned, a failure silently ends the work on the current folder.
    bool skipping = false;
    const auto step = [&](int line, auto&& statement) {
        if (skipping)
            statement();
        else
            report.run(line, statement);
    };
    const auto test = [&](int line, auto&& condition) -> bool {
        return skipping ? condition() : report.test(line, condition);
    };

    QStringList newFolders;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const QString folder = folders.at(i);
        try {
            // One reading of the attributes serves the folder test, the folder
            // object and the attribute test.
            const auto fromParent = walk.learnt.constFind(folder);
            const int value = fromParent != walk.learnt.cend()
                                  ? fromParent.value()
                                  : attributesIfReadable(folder, fileSystem);
            walk.values.insert(folder, value);
            if (!test(108, [&] { return value >= 0 && (value & AttrDirectory) != 0; }))
                continue;
            if (!test(110, [&] { return folder.size() < kFolderPathLimit; }))
                continue;
            step(112, [&] {
                if (value < 0)
                    throw RuntimeError(ErrPathNotFound);
            });
            step(114, [&] { walk.events.letEventsRun(); });
            if (!test(116, [&] { return !isProtected(value) || fileSystem.isRootFolder(folder); }))
                continue;
            skipping = true;
            LevelReader reader(walk, folder, newFolders);
            fileSystem.readFolder(folder, walk.pattern, reader);
            if (reader.repeated)
                dropFolder(folders, i, folder);
            else if (walk.files != nullptr)
                walk.files->insert(folder, std::move(reader.files));
        } catch (const RuntimeError& error) {
            // Only the skip handler lets an error through to here. Sub-folders
            // found before the failure stay in the new-folder list.
            if (isRemovableFailure(error))
                dropFolder(folders, i, folder);
        }
    }

    if (recurse && !newFolders.isEmpty())
        walkLevel(newFolders, true, walk);
    skipping = false;

    // Each level merges every folder below it. The attribute value that the
    // folder's own level read serves both tests of every merge; only a level
    // that was not walked is asked for now. A folder whose attributes cannot be
    // read is no folder, as in IsFolder.
    for (const QString& candidate : std::as_const(newFolders)) {
        const auto known = walk.values.constFind(candidate);
        const int value = known != walk.values.cend() ? known.value()
                                                      : attributesIfReadable(candidate, fileSystem);
        if (test(154, [&] { return value >= 0 && (value & AttrDirectory) != 0; })) {
            step(156, [&] { walk.events.letEventsRun(); });
            if (test(158,
                     [&] { return !isProtected(value) || fileSystem.isRootFolder(candidate); }))
                step(160, [&] { folders.append(candidate); });
        }
    }
}

}  // namespace

void GetSubDirectories2016(QStringList& folders, bool recurse, FileSystem& fileSystem,
                           MessageBoxes& messages, FolderFiles* files, const QString& pattern) {
    Walk walk{fileSystem, messages, files, pattern, {}, {}, {}, {}};
    walkLevel(folders, recurse, walk);
}

}  // namespace vantelo
