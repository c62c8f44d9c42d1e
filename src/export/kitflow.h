#pragma once

#include <QString>
#include <functional>

#include "export/logokit.h"
#include "platform/savefile.h"

namespace vantelo {

class DialogPresenter;
class MessageBoxes;

// What "Export Kit…" in the window acts on: the dialogs and message boxes,
// the folder of the user's own logos, and the kit drawn from the design as it
// is when the kit is written.
struct KitFlowContext {
    DialogPresenter& dialogs;
    MessageBoxes& messages;
    QString libraryFolder;
    std::function<KitRenderer()> renderer;
    FileSystem& fileSystem = systemFileSystem();
};

// The folder a kit goes into unless the user chooses another: a folder of its
// own in the logos folder, so that the kit's logo.jpg is never taken for, nor
// written over, one of the user's logos.
QString defaultKitFolder(const QString& libraryFolder);

// The question asked before a kit replaces files it did not write.
QString kitReplaceQuestion(const QString& folder, const QStringList& names);

// "Export Kit…": asks for the folder, proposing the default one, then writes
// the kit as writeKitInto does. A cancelled dialog changes nothing.
void chooseFolderAndWriteKit(KitFlowContext& context);

// Writes the kit into the folder, making it when it is missing. When files
// the kit would write are there and no earlier kit wrote them, asks once,
// naming them; Cancel writes nothing. Says where the kit is, or which file
// failed and why. True when the kit was written whole.
bool writeKitInto(KitFlowContext& context, const QString& folder);

}  // namespace vantelo
