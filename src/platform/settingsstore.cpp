#include "platform/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "platform/runtimeerror.h"

namespace vantelo {

FileSettingsStore::FileSettingsStore(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

FileSettingsStore::~FileSettingsStore() = default;

QString FileSettingsStore::defaultFilePath() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tarnwick"),
                     QStringLiteral("Vantelo"))
        .fileName();
}

QString FileSettingsStore::filePath() const {
    return settings_->fileName();
}

QString FileSettingsStore::GetSetting(const QString& key, const QString& fallback) const {
    const QVariant value = settings_->value(key);
    if (!value.isValid())
        return fallback;
    // A value the file holds as a list (an unquoted comma) still reads back as
    // the text that was written.
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void FileSettingsStore::SaveSetting(const QString& key, const QString& value) {
    settings_->setValue(key, value);
    // QSettings writes through QSaveFile: the new file is flushed to disk and
    // renamed over the old one, so the old file stays whole until then.
    QDir().mkpath(QFileInfo(settings_->fileName()).absolutePath());
    settings_->sync();
    if (settings_->status() != QSettings::NoError)
        throw RuntimeError(ErrPermissionDenied);
}

}  // namespace vantelo
