#include "export/saveflow.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "canvas/canvas.h"
#include "export/saveasjpg.h"
#include "platform/commondialog.h"
#include "platform/errortrap.h"
#include "platform/messages.h"
#include "platform/userfolders.h"

namespace vantelo {
namespace {

enum class LogoFormat { Unsupported, Bmp, Jpeg };

// Only the file's own extension counts: a dot in a folder name ("my.files")
// says nothing about the format.
LogoFormat formatOfName(const QString& fileName) {
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == QLatin1String("bmp"))
        return LogoFormat::Bmp;
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        return LogoFormat::Jpeg;
    return LogoFormat::Unsupported;
}

// Asked by the Save dialog before it would ask to replace a file: a name the
// flow will not write is taken without that question, and a file the writers
// would refuse is refused in the dialog, where the user can choose again.
SaveNameVerdict checkChosenName(const QString& path, FileSystem& fileSystem) {
    if (formatOfName(path) == LogoFormat::Unsupported)
        return {SaveNameVerdict::Take, {}};
    const QString name = QFileInfo(path).fileName();
    switch (checkSaveName(path, fileSystem)) {
        case SaveFailure::NameTooLong:
            return {SaveNameVerdict::Refuse,
                    QCoreApplication::translate(
                        "SaveFlow",
                        "The name is too long for this disk: a file name may have at "
                        "most 255 bytes. Choose a shorter name.")};
        case SaveFailure::AccessDenied:
            return {
                SaveNameVerdict::Refuse,
                QCoreApplication::translate("SaveFlow",
                                            "You may not write \"%1\" here. Choose another name or "
                                            "another folder.")
                    .arg(name)};
        case SaveFailure::NotAFile:
            return {SaveNameVerdict::Refuse,
                    QCoreApplication::translate(
                        "SaveFlow",
                        "\"%1\" is not a file the logo can be saved in (it is a "
                        "folder, a pipe or a device). Choose another name.")
                        .arg(name)};
        default:
            // Anything else is the writer's to report.
            return {SaveNameVerdict::Ask, {}};
    }
}

}  // namespace

QString unsupportedNameMessage() {
    return QCoreApplication::translate(
        "SaveFlow",
        "The logo was not saved. End the file name with .jpg or .jpeg to save a JPEG "
        "image, or with .bmp to save a bitmap.");
}

void PushButton5_Click(SaveFlowContext& context) {
    ErrorTrap trap(context.messages,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("PushButton5_Click")));
    CommonDialog& dialog = context.dialog;

    // The user's own library is made at the first save; the build folder's
    // logos folder exists already.
    trap.run(100, [&] {
        makeFolder(context.libraryFolder);
        dialog.InitDir = context.libraryFolder + QLatin1Char('/');
    });
    trap.run(102, [&] { dialog.FileName.clear(); });
    trap.run(104,
             [&] { dialog.DialogTitle = QCoreApplication::translate("SaveFlow", "Save Image"); });
    trap.run(106, [&] {
        dialog.Filter = QCoreApplication::translate(
            "SaveFlow", "JPG Files (*.jpg)|*.jpg|BMP Files (*.bmp)|*.bmp");
    });
    // The dialog asks before it returns the name of a file that exists, once
    // the name has passed the check.
    trap.run(108, [&] {
        struct CheckWhileShown {
            CommonDialog& dialog;
            ~CheckWhileShown() { dialog.SaveCheck = nullptr; }
        } guard{dialog};
        dialog.SaveCheck = [&context](const QString& path) {
            return checkChosenName(path, context.fileSystem);
        };
        dialog.ShowSave();
    });
    if (trap.test(110, [&] { return dialog.FileName.isEmpty(); }))
        return;

    QString fileName;
    trap.run(112, [&] { fileName = dialog.FileName; });
    LogoFormat format = LogoFormat::Unsupported;
    trap.run(114, [&] { format = formatOfName(fileName); });
    if (trap.test(116, [&] { return format == LogoFormat::Unsupported; })) {
        context.messages.show(unsupportedNameMessage(), MsgExclamation, applicationTitle());
        return;
    }

    trap.run(118, [&] { context.canvas.BuildLogo(); });

    // Set by the writer's own step only when it returned, so that a failed
    // write is followed by its report and nothing else.
    bool written = false;
    if (trap.test(126, [&] { return format == LogoFormat::Bmp; })) {
        trap.run(128, [&] {
            SavePicture(context.canvas.picSave->Image(), fileName, context.fileSystem);
            written = true;
        });
    } else if (trap.test(130, [&] { return format == LogoFormat::Jpeg; })) {
        trap.run(132, [&] {
            SaveJPG(context.canvas.picSave->Image(), fileName, kLogoJpegQuality,
                    context.fileSystem);
            written = true;
        });
    }

    if (written)
        trap.run(134, [&] {
            context.messages.show(QCoreApplication::translate("SaveFlow", "Done."), MsgOkOnly,
                                  applicationTitle());
        });
}

}  // namespace vantelo
