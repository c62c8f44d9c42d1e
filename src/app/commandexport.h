#pragma once

#include <QString>
#include <memory>

namespace vantelo {

// "vantelo --export FILE" or "--export-kit FOLDER" with their choices.
struct ExportCommand {
    QString file;
    QString kitFolder;
    double scale = 1;
    int width = 0;
    bool transparent = false;
    bool trim = false;
    // A design file drawn instead of the stored design; the stored settings
    // are then neither read nor written.
    QString design;

    bool wanted() const { return !file.isEmpty() || !kitFolder.isEmpty(); }
};

// Renders the stored design without a window, on the offscreen platform
// unless another is set, and writes the file or the kit. On failure one line
// goes to standard error and nothing is left behind: exit 1 when the design
// or the file failed, 2 for a name the program cannot write. 0 on success.
int runExportCommand(const ExportCommand& command, int argc, char* argv[]);

class Form1;
class SettingsStore;
struct RenderOptions;

// A settings store held in memory only: a design file is drawn through it.
std::unique_ptr<SettingsStore> makeMemorySettingsStore();

// Shows the design file on a window started from an empty store, with its
// export choices, the command's own choices taking precedence. Returns why
// it failed, empty when it worked.
QString showDesignForExport(Form1& form, const ExportCommand& command, RenderOptions& options);

}  // namespace vantelo
