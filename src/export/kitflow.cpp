#include "export/kitflow.h"

#include <QCoreApplication>
#include <QDir>

#include "export/logoexport.h"
#include "platform/commondialog.h"
#include "platform/messages.h"
#include "platform/userfolders.h"

namespace vantelo {
namespace {

QString say(const char* text) {
    return QCoreApplication::translate("KitFlow", text);
}

QString kitFolderName() {
    return say("Logo kit");
}

}  // namespace

QString defaultKitFolder(const QString& libraryFolder) {
    return QDir::cleanPath(libraryFolder + QLatin1Char('/') + kitFolderName());
}

QString kitReplaceQuestion(const QString& folder, const QStringList& names) {
    return say("%1 already holds files of these names that no logo kit wrote there:\n\n%2\n\n"
               "Replace them with the kit's files?")
        .arg(QDir::toNativeSeparators(folder), names.join(QLatin1Char('\n')));
}

void chooseFolderAndWriteKit(KitFlowContext& context) {
    std::optional<QString> folder;
    {
        // The logos folder of an installed program may not be made yet; it
        // stays only when the kit goes into it.
        const FolderForDialog library(context.libraryFolder);
        folder =
            context.dialogs.chooseFolder(context.libraryFolder, kitFolderName(), say("Export Kit"));
        if (folder && !folder->isEmpty())
            writeKitInto(context, *folder);
    }
}

bool writeKitInto(KitFlowContext& context, const QString& folder) {
    const KitRenderer renderer = context.renderer ? context.renderer() : KitRenderer();
    const QStringList foreign = kitFilesToReplace(folder, bool(renderer.renderDark));
    if (!foreign.isEmpty() && !context.messages.confirm(kitReplaceQuestion(folder, foreign),
                                                        say("&Replace"), applicationTitle()))
        return false;
    const KitResult result = writeLogoKit(folder, renderer, context.fileSystem);
    if (result.failure == SaveFailure::None) {
        context.messages.show(say("The logo kit is in %1.").arg(QDir::toNativeSeparators(folder)),
                              MsgOkOnly, applicationTitle());
        return true;
    }
    context.messages.show(
        say("The logo kit is not complete: %1 was not written because %2.")
            .arg(QDir::toNativeSeparators(result.failedFile), describeSaveFailure(result.failure)),
        MsgExclamation, applicationTitle());
    return false;
}

}  // namespace vantelo
