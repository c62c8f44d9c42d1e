#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace vantelo {

// The per-user settings store: one flat section of named text values.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored value, or `fallback` when the key was never written.
    virtual QString GetSetting(const QString& key, const QString& fallback) const = 0;
    // Creates or replaces the value. Raises a run-time error when the store
    // cannot be written.
    virtual void SaveSetting(const QString& key, const QString& value) = 0;
    // A message for the user when the stored settings could not be read at
    // start and the defaults apply; else empty.
    virtual QString unreadableNotice() const { return QString(); }
};

// The store of this system's user: the registry on Windows, an INI file
// elsewhere (FileSettingsStore::defaultFilePath()).
std::unique_ptr<SettingsStore> makeSystemSettingsStore();

// The lines of an INI file as this program reads them. Every value is text.
// Each line keeps its bytes exactly, so lines the program does not know, and
// lines it cannot read, are written back as they were. Files written by
// QSettings read back identically: its key escapes ("%20", "\\"), quoting and
// value escapes ("\n", "\x1f", "\0", "@@"). A value QSettings would have
// deserialised ("@Variant(...)", "@ByteArray(...)") is only text here.
class IniText {
public:
    // Reads the lines of a file's bytes; never fails.
    explicit IniText(const QByteArray& bytes = QByteArray());

    // The value of a key of the top-level section ("[General]"), or null.
    const QString* value(const QString& key) const;
    // Sets the value of a top-level key; the file's other lines stay as they were.
    void setValue(const QString& key, const QString& value);
    QByteArray bytes() const;

    // How a key and a value are written to the file.
    static QByteArray escapedKey(const QString& key);
    static QByteArray escapedValue(const QString& value);
    // How a line's key part and value part read ("Image%20Left", "\"a, b\"").
    static QString unescapedKey(const QByteArray& raw);
    static QString unescapedValue(const QByteArray& raw);

private:
    struct Line {
        QByteArray raw;      // the bytes of the line without its line break
        QByteArray newline;  // "\n", "\r\n" or nothing on a last line without one
        bool topLevel = false;
        bool isKey = false;  // a readable "key=value" line of the top-level section
        QString key;
        QString value;
        bool invalid = false;  // "@Invalid()": reads as missing
    };
    int find(const QString& key) const;

    std::vector<Line> lines_;
};

// The store kept in an INI file (on Linux ~/.config/Tarnwick/Vantelo.conf). The
// file is read once; every SaveSetting that changes a value writes the whole
// file anew through a temporary file beside it that is flushed to disk and
// renamed over the old one, so a program killed right after an edit keeps the
// edit and a crash never leaves half a file. A value equal to the stored one
// is not written. When the file is a symbolic link its target is replaced and
// the link stays. A file that cannot be read as text (UTF-16, mostly bytes that
// are not UTF-8, not a regular file, or absurdly large) is renamed aside to
// "Vantelo.conf.unreadable" and the store starts empty; unreadableNotice() then
// says so once.
class FileSettingsStore final : public SettingsStore {
public:
    explicit FileSettingsStore(const QString& filePath);

    // The file the per-user store of "Tarnwick"/"Vantelo" lives in.
    static QString defaultFilePath();

    QString GetSetting(const QString& key, const QString& fallback) const override;
    void SaveSetting(const QString& key, const QString& value) override;
    QString filePath() const { return filePath_; }

    // A message for the user when the file was set aside at start; else empty.
    QString unreadableNotice() const override { return notice_; }

private:
    // A settings file is a few kilobytes; anything this large is not one.
    static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

    static bool looksLikeText(const QByteArray& bytes);
    // Replaces the file's contents with the bytes, all at once or not at all,
    // creating its folders as needed; raises the run-time error of a failure.
    static void replaceFile(const QString& filePath, const QByteArray& bytes);
    void load();
    void setAside(const QString& why);

    QString filePath_;
    IniText text_;
    QString notice_;
};

#ifdef _WIN32
// The store kept in the registry, where Windows programs keep their users'
// settings: every key one REG_SZ value of a key below HKEY_CURRENT_USER,
// named as the key is ("TextLine1 Bold"). Each read asks the registry, so
// values written by another program or another copy of this one are seen.
// A value that is not a string (REG_DWORD, REG_BINARY, REG_EXPAND_SZ,
// REG_MULTI_SZ...) or is absurdly large reads as missing, and a string is read
// up to its first NUL, whether or not it ends with one. A value equal to the
// stored one is not written; values the program does not know are left alone.
class RegistrySettingsStore final : public SettingsStore {
public:
    // The key the first programs of this maker kept their settings in.
    static QString defaultKeyPath();

    // `keyPath` is below HKEY_CURRENT_USER; the key is created by the first
    // write, not by reading.
    explicit RegistrySettingsStore(const QString& keyPath = defaultKeyPath());

    QString GetSetting(const QString& key, const QString& fallback) const override;
    void SaveSetting(const QString& key, const QString& value) override;
    QString unreadableNotice() const override { return notice_; }
    QString keyPath() const { return keyPath_; }

private:
    QString keyPath_;
    QString notice_;
};
#endif

}  // namespace vantelo
