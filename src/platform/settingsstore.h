#pragma once

#include <QString>
#include <memory>

class QSettings;

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
};

// The store kept in an INI file (on Linux ~/.config/Tarnwick/Vantelo.conf).
// Every SaveSetting writes the whole file anew through an atomic replace and
// waits until it is on disk, so a program killed right after an edit keeps the
// edit and a crash never leaves half a file.
class FileSettingsStore final : public SettingsStore {
public:
    explicit FileSettingsStore(const QString& filePath);
    ~FileSettingsStore() override;

    // The file the per-user store of "Tarnwick"/"Vantelo" lives in.
    static QString defaultFilePath();

    QString GetSetting(const QString& key, const QString& fallback) const override;
    void SaveSetting(const QString& key, const QString& value) override;
    QString filePath() const;

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace vantelo
