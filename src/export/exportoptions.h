#pragma once

#include "export/designrenderer.h"

namespace vantelo {

class SettingsStore;

// The export choices as stored. A value that cannot be read counts as absent.
RenderOptions storedExportOptions(const SettingsStore& settings);
void storeExportOptions(SettingsStore& settings, const RenderOptions& options);

// Whether the options ask for nothing but the canvas as it is shown: then
// JPEG and BMP are written from the canvas exactly as they always were.
bool isCanvasAsShown(const RenderOptions& options);

}  // namespace vantelo
