#pragma once

#include <QString>

#include "export/designrenderer.h"
#include "export/logokit.h"
#include "platform/savefile.h"

namespace vantelo {

// The formats a logo is written in, by the file name's own extension.
enum class LogoFormat { Unsupported, Bmp, Jpeg, Png, Svg, Pdf };
LogoFormat formatOfName(const QString& fileName);

// The contrast below which the window warns that a text line is hard to read.
inline constexpr double kLegibleContrast = 3.0;
// The background the dark variant is made for, and the contrast its text
// lines reach on it: that asked of body text, since a logo's lines are often
// small.
inline const QColor kDarkBackground = QColor(0x20, 0x20, 0x20);
inline constexpr double kDarkTextContrast = 4.5;

// The design for dark backgrounds: each text colour whose contrast on the dark
// background is below kDarkTextContrast lightened until it reaches it.
LogoDesign darkVariant(const LogoDesign& design);

// The logo kit drawn from a design.
KitRenderer kitRendererFor(const RenderSource& source, const RenderOptions& options);

// Renders the design for the format (JPEG and BMP have no transparency: they
// get the background colour; SVG and PDF are drawn as shapes) and writes it. Raises the error the
// Save button reports: 6 when the logo would be too large, 52, 61, 70, 75, 76 as the writers do,
// and the JPEG writer's own errors.
void exportLogo(const RenderSource& source, RenderOptions options, LogoFormat format,
                const QString& fileName, FileSystem& fileSystem = systemFileSystem());

// Why a file was not written, in a sentence for the user.
QString describeSaveFailure(SaveFailure failure);

}  // namespace vantelo
