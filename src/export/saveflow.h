#pragma once

#include <QString>

namespace vantelo {

class Canvas;
class CommonDialog;
class MessageBoxes;

// What the save flow acts on: the shared dialog, the canvas that renders the
// logo into picSave, the message boxes and the application folder.
struct SaveFlowContext {
    CommonDialog& dialog;
    Canvas& canvas;
    MessageBoxes& messages;
    QString applicationFolder;
};

// "Start Saving Logo As Image": asks for a name, renders the logo and writes it
// as BMP or JPEG, then says "Done.".
void PushButton5_Click(SaveFlowContext& context);

}  // namespace vantelo
