#include <QCoreApplication>
#include <QDir>
#include <map>

#include "app/commandexport.h"
#include "app/form1.h"
#include "editing/designdocument.h"
#include "export/designfile.h"
#include "platform/settingsstore.h"

namespace vantelo {
namespace {

class MemorySettingsStore final : public SettingsStore {
public:
    QString GetSetting(const QString& key, const QString& fallback) const override {
        const auto found = values_.find(key);
        return found == values_.end() ? fallback : found->second;
    }
    void SaveSetting(const QString& key, const QString& value) override { values_[key] = value; }

private:
    std::map<QString, QString> values_;
};

}  // namespace

std::unique_ptr<SettingsStore> makeMemorySettingsStore() {
    return std::make_unique<MemorySettingsStore>();
}

QString showDesignForExport(Form1& form, const ExportCommand& command, RenderOptions& options) {
    DesignFile file;
    QImage picture;
    try {
        file = readDesignFile(command.design);
        picture = decodeDesignPicture(file);
    } catch (const DesignFileError& error) {
        return QCoreApplication::translate("main", "cannot open the design file %1: %2.")
            .arg(QDir::toNativeSeparators(command.design), error.why);
    }
    // The picture is drawn from the file's own bytes; nothing is written
    // beside the user's logos.
    file.design.picture.path = file.pictureName;
    form.document().restore(file.design, true, picture, "Form_Load");
    const RenderOptions chosen = options;
    options = file.exportOptions;
    if (chosen.scale != 1 || chosen.width != 0) {
        options.scale = chosen.scale;
        options.width = chosen.width;
    }
    options.transparent = options.transparent || chosen.transparent;
    options.trim = options.trim || chosen.trim;
    return QString();
}

}  // namespace vantelo
