#pragma once

#include <QString>

#include <functional>

#include "export/designrenderer.h"
#include "platform/savefile.h"

namespace vantelo {

class Canvas;
class CommonDialog;
class MessageBoxes;

// What the save flow acts on: the shared dialog, the canvas that renders the
// logo into picSave, the message boxes, the folder of the user's own logos
// where the dialog starts, and what the writers ask the file system before
// they replace a file.
struct SaveFlowContext {
    CommonDialog& dialog;
    Canvas& canvas;
    MessageBoxes& messages;
    QString libraryFolder;
    FileSystem& fileSystem = systemFileSystem();
    // The design as shown and the export choices, for a logo drawn at another
    // size or as PNG; unset, the Save button writes the canvas as it is.
    std::function<RenderSource()> design = {};
    std::function<RenderOptions()> options = {};
    // Told the name of each file written.
    std::function<void(const QString& fileName)> saved = {};
};

// The quality every logo is saved at as a JPEG.
inline constexpr int kLogoJpegQuality = 85;

// The message shown instead of saving when the chosen name ends in no
// extension the program can write.
QString unsupportedNameMessage();

// "Start Saving Logo As Image": asks for a name, renders the logo and writes it
// as BMP or JPEG, as the name's extension says, then says "Done.". A write that
// fails is reported and says nothing more.
void PushButton5_Click(SaveFlowContext& context);

}  // namespace vantelo
