#include "export/saveflow.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <optional>

#include "canvas/canvas.h"
#include "export/exportoptions.h"
#include "export/imagewriters.h"
#include "export/logoexport.h"
#include "export/saveasjpg.h"
#include "platform/commondialog.h"
#include "platform/errortrap.h"
#include "platform/messages.h"
#include "platform/userfolders.h"

namespace vantelo {
namespace {

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
        "image, with .png to save a PNG image, with .bmp to save a bitmap, or with .svg or "
        ".pdf to save a drawing that stays sharp at any size.");
}

void PushButton5_Click(SaveFlowContext& context) {
    ErrorTrap trap(context.messages,
                   errorLocation(QStringLiteral("Form1"), QStringLiteral("PushButton5_Click")));
    CommonDialog& dialog = context.dialog;

    // The user's own library is there for the dialog, and stays only when the
    // logo was saved into it; the build folder's logos folder exists already.
    std::optional<FolderForDialog> library;
    trap.run(100, [&] {
        library.emplace(context.libraryFolder);
        dialog.InitDir = context.libraryFolder + QLatin1Char('/');
    });
    trap.run(102, [&] { dialog.FileName.clear(); });
    trap.run(104,
             [&] { dialog.DialogTitle = QCoreApplication::translate("SaveFlow", "Save Image"); });
    trap.run(106, [&] {
        dialog.Filter = QCoreApplication::translate(
            "SaveFlow",
            "JPG Files (*.jpg)|*.jpg|BMP Files (*.bmp)|*.bmp|PNG Files (*.png)|*.png|SVG Files "
            "(*.svg)|*.svg|PDF Files (*.pdf)|*.pdf");
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

    // At 1x the canvas itself is the logo, as it always was; PNG, another
    // size or a trimmed logo are drawn from the design.
    RenderOptions options;
    if (context.options)
        options = context.options();
    const bool vector = format == LogoFormat::Svg || format == LogoFormat::Pdf;
    const bool fromCanvas =
        !context.design || (format != LogoFormat::Png && !vector && isCanvasAsShown(options));
    if (fromCanvas)
        trap.run(118, [&] { context.canvas.BuildLogo(); });

    // Set by the writer's own step only when it returned, so that a failed
    // write is followed by its report and nothing else.
    bool written = false;
    const auto write = [&] {
        const QImage& canvas = context.canvas.picSave->Image();
        if (fromCanvas && format == LogoFormat::Bmp)
            SavePicture(canvas, fileName, context.fileSystem);
        else if (fromCanvas && format == LogoFormat::Jpeg)
            SaveJPG(canvas, fileName, kLogoJpegQuality, context.fileSystem);
        else if (fromCanvas)
            raiseSaveFailure(savePng(canvas, fileName, context.fileSystem));
        else
            exportLogo(context.design(), options, format, fileName, context.fileSystem);
        written = true;
        if (context.saved)
            context.saved(fileName);
    };
    if (trap.test(126, [&] { return format == LogoFormat::Bmp; }))
        trap.run(128, write);
    else if (trap.test(130, [&] { return format == LogoFormat::Jpeg; }))
        trap.run(132, write);
    else if (trap.test(136, [&] { return format == LogoFormat::Png; }))
        trap.run(138, write);
    else if (trap.test(140, [&] { return vector && context.design; }))
        trap.run(142, write);

    if (written)
        trap.run(134, [&] {
            context.messages.show(QCoreApplication::translate("SaveFlow", "Done."), MsgOkOnly,
                                  applicationTitle());
        });
}

}  // namespace vantelo
