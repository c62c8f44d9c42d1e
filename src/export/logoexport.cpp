#include "export/logoexport.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "export/contrast.h"
#include "export/imagewriters.h"
#include "export/saveasjpg.h"
#include "export/saveflow.h"
#include "export/vectorlogo.h"
#include "platform/commondialog.h"
#include "platform/runtimeerror.h"

namespace vantelo {

LogoFormat formatOfName(const QString& fileName) {
    // Only the file's own extension counts: a dot in a folder name
    // ("my.files") says nothing about the format.
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == QLatin1String("bmp"))
        return LogoFormat::Bmp;
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        return LogoFormat::Jpeg;
    if (extension == QLatin1String("png"))
        return LogoFormat::Png;
    if (extension == QLatin1String("svg"))
        return LogoFormat::Svg;
    if (extension == QLatin1String("pdf"))
        return LogoFormat::Pdf;
    return LogoFormat::Unsupported;
}

LogoDesign darkVariant(const LogoDesign& design) {
    LogoDesign dark = design;
    for (TextLineDesign& line : dark.lines) {
        const QColor colour = valueToColor(line.color);
        if (contrastRatio(colour, kDarkBackground) < kDarkTextContrast)
            line.color =
                colorToValue(readableTextColor(colour, kDarkBackground, kDarkTextContrast));
    }
    return dark;
}

KitRenderer kitRendererFor(const RenderSource& source, const RenderOptions& options) {
    KitRenderer kit;
    kit.render = [source, options](double scale, bool transparent) {
        RenderOptions at = options;
        at.scale = scale;
        at.width = 0;
        at.trim = false;
        at.transparent = transparent || options.transparent;
        return renderDesign(source, at);
    };
    kit.contentBounds = [source] { return contentBounds(source); };
    // The dark twin of logo-wide.png: the same part of the canvas, but always
    // transparent, since it is made to lie on a dark page.
    kit.renderDark = [source, options](double scale) {
        RenderSource dark = source;
        dark.design = darkVariant(source.design);
        RenderOptions at = options;
        at.scale = scale;
        at.width = 0;
        at.transparent = true;
        return renderDesign(dark, at);
    };
    kit.renderLogo = [source, options](double scale, bool opaque) {
        RenderOptions at = options;
        at.scale = scale;
        at.width = 0;
        at.transparent = options.transparent && !opaque;
        return renderDesign(source, at);
    };
    kit.renderVector = [source, options](bool pdf) {
        RenderOptions at = options;
        at.scale = 1.0;
        at.width = 0;
        const VectorLogo logo = recordDesign(source, at);
        return pdf ? encodePdf(logo) : encodeSvg(logo);
    };
    return kit;
}

QString describeSaveFailure(SaveFailure failure) {
    const auto say = [](const char* text) {
        return QCoreApplication::translate("LogoExport", text);
    };
    switch (failure) {
        case SaveFailure::None:
            return QString();
        case SaveFailure::BadName:
            return say("the name holds a character no file name may hold");
        case SaveFailure::NameTooLong:
            return say("the name is too long for this disk");
        case SaveFailure::FolderNotFound:
            return say("its folder does not exist");
        case SaveFailure::AccessDenied:
            return say("you may not write there");
        case SaveFailure::NotAFile:
            return say("a folder, pipe or device has that name");
        case SaveFailure::NotAFolder:
            return say("it is not a folder");
        case SaveFailure::DiskFull:
            return say("the disk is full");
        case SaveFailure::EncodeFailed:
            return say("the picture could not be encoded");
        case SaveFailure::WriteFailed:
            break;
    }
    return say("the system refused to write it");
}

void exportLogo(const RenderSource& source, RenderOptions options, LogoFormat format,
                const QString& fileName, FileSystem& fileSystem) {
    if (format == LogoFormat::Svg || format == LogoFormat::Pdf) {
        const VectorLogo logo = recordDesign(source, options);
        if (logo.size.isEmpty())
            throw RuntimeError(ErrOverflow);
        QByteArray bytes;
        raiseSaveFailure(writeFileAtomically(
            fileName,
            [&]() -> const QByteArray* {
                bytes = format == LogoFormat::Svg ? encodeSvg(logo) : encodePdf(logo);
                return bytes.isEmpty() ? nullptr : &bytes;
            },
            fileSystem));
        return;
    }
    if (format != LogoFormat::Png)
        options.transparent = false;
    const QImage logo = renderDesign(source, options);
    if (logo.isNull())
        throw RuntimeError(ErrOverflow);
    switch (format) {
        case LogoFormat::Png:
            raiseSaveFailure(savePng(logo, fileName, fileSystem));
            return;
        case LogoFormat::Jpeg:
            SaveJPG(logo, fileName, kLogoJpegQuality, fileSystem);
            return;
        case LogoFormat::Bmp:
            SavePicture(logo, fileName, fileSystem);
            return;
        case LogoFormat::Svg:
        case LogoFormat::Pdf:
        case LogoFormat::Unsupported:
            break;
    }
    throw RuntimeError(ErrBadFileName);
}

}  // namespace vantelo
