#include "export/exportoptions.h"

#include <cmath>

#include "design/designkeys.h"
#include "platform/commondialog.h"
#include "platform/numeric.h"
#include "platform/runtimeerror.h"
#include "platform/settingsstore.h"

namespace vantelo {
namespace {

bool storedFlag(const SettingsStore& settings, const QString& key) {
    try {
        return textToBoolean(settings.GetSetting(key, QStringLiteral("False")));
    } catch (const RuntimeError&) {
        return false;
    }
}

int storedWhole(const SettingsStore& settings, const QString& key, int fallback, int low,
                int high) {
    const double value = numberPrefix(settings.GetSetting(key, QString::number(fallback)));
    if (!std::isfinite(value) || value < low || value > high)
        return fallback;
    return static_cast<int>(value);
}

}  // namespace

RenderOptions storedExportOptions(const SettingsStore& settings) {
    RenderOptions options;
    options.scale = storedWhole(settings, keys::kExportScale, 1, 1, 3);
    options.width = storedWhole(settings, keys::kExportWidth, 0, 0, kMaximumRenderSide);
    // No width the window could have stored: counts as none chosen.
    if (options.width < kMinimumExportWidth)
        options.width = 0;
    options.transparent = storedFlag(settings, keys::kTransparentBackground);
    options.trim = storedFlag(settings, keys::kTrimToContent);
    options.background =
        valueToColor(storedWhole(settings, keys::kBackground, 0xFFFFFF, 0, 0xFFFFFF));
    return options;
}

// Only what changed is written, so a file keeps absent the keys never chosen.
void storeExportOptions(SettingsStore& settings, const RenderOptions& options) {
    const RenderOptions stored = storedExportOptions(settings);
    if (stored.scale != options.scale)
        settings.SaveSetting(keys::kExportScale, QString::number(std::lround(options.scale)));
    if (stored.width != options.width)
        settings.SaveSetting(keys::kExportWidth, QString::number(options.width));
    if (stored.transparent != options.transparent)
        settings.SaveSetting(keys::kTransparentBackground, booleanToText(options.transparent));
    if (stored.trim != options.trim)
        settings.SaveSetting(keys::kTrimToContent, booleanToText(options.trim));
    if (stored.background != options.background)
        settings.SaveSetting(keys::kBackground, QString::number(colorToValue(options.background)));
}

bool isCanvasAsShown(const RenderOptions& options) {
    return options.scale == 1.0 && options.width == 0 && !options.trim;
}

}  // namespace vantelo
