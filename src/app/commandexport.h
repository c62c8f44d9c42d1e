#pragma once

#include <QString>

namespace vantelo {

// "vantelo --export FILE" or "--export-kit FOLDER" with their choices.
struct ExportCommand {
    QString file;
    QString kitFolder;
    double scale = 1;
    int width = 0;
    bool transparent = false;
    bool trim = false;

    bool wanted() const { return !file.isEmpty() || !kitFolder.isEmpty(); }
};

// Renders the stored design without a window, on the offscreen platform
// unless another is set, and writes the file or the kit. On failure one line
// goes to standard error and nothing is left behind: exit 1 when the design
// or the file failed, 2 for a name the program cannot write. 0 on success.
int runExportCommand(const ExportCommand& command, int argc, char* argv[]);

}  // namespace vantelo
