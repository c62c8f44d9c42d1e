#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

#include "platform/savefile.h"

namespace vantelo {

// What the logo kit asks of a design; it needs no widget, only pictures.
struct KitRenderer {
    // The whole canvas at a scale (1.0: the canvas's own size in pixels), with
    // its background or, with `transparent`, without it.
    std::function<QImage(double scale, bool transparent)> render;
    // The part of the canvas, at scale 1.0, that the design covers. Unset or
    // empty: the whole canvas.
    std::function<QRect()> contentBounds;
    // The design made for dark backgrounds, transparent, at a scale. Unset: the
    // kit has no logo-dark.png.
    std::function<QImage(double scale)> renderDark;
    // The logo as the export choices make it (background colour or
    // transparency, trimmed or whole) at a scale; `opaque` paints the
    // background even where transparency was chosen. Unset: the whole canvas,
    // transparent unless opaque.
    std::function<QImage(double scale, bool opaque)> renderLogo;
    // The logo as the export choices make it, drawn as shapes at its own size:
    // an SVG file, or with `pdf` a PDF file. Unset: the kit has no logo.svg
    // and no logo.pdf.
    std::function<QByteArray(bool pdf)> renderVector;
};

struct KitOptions {
    QColor jpegBackground = Qt::white;  // what shows through the JPEG's transparent parts
    int jpegQuality = 85;
};

struct KitResult {
    SaveFailure failure = SaveFailure::None;
    QString failedFile;   // the full name of the file, or folder, that failed
    QStringList written;  // the full names of the files written, in order
};

// The names of the kit's files, in the order they are written; logo-dark.png
// only with a dark variant. logo.svg and logo.pdf come last.
QStringList logoKitFileNames(bool withDark);

// The design's content, `content` in the picture's pixels, smoothly scaled to
// fit a transparent square less `margin` pixels at each edge, and centred in it.
QImage fitToSquare(const QImage& rendered, const QRectF& content, int side, int margin = 0);

// The margin the square logos keep round their content: a tenth of the side.
int squareMargin(int side);

// The kit's own record of what it wrote into a folder, kept there under this
// name, so that a later kit knows its own files from the user's.
inline const QString kKitRecordName = QStringLiteral(".vantelo-kit");

// The kit's files that already exist in the folder and are not, byte for
// byte, what an earlier kit wrote there: writing the kit would replace work
// of the user's. Names only, in the order they are written.
QStringList kitFilesToReplace(const QString& folder, bool withDark);

// The picture laid on an opaque colour: 32-bit RGB, no transparency left.
QImage flattenOnto(const QImage& picture, const QColor& background);

// Writes the logo kit into the folder, creating the folder when it is missing
// (its parent must exist): favicon.ico (16, 32 and 48 pixels), the content
// fitted into transparent squares logo-64.png to logo-1024.png within their
// margin, the logo at twice its size as logo-wide.png and, from the dark
// variant, logo-dark.png (transparent), logo.jpg at the logo's own size,
// opaque (where the logo is transparent, on the JPEG background), and the
// drawings logo.svg and logo.pdf. Each
// file is written atomically, replacing a file of that name; no other file of
// the folder is touched but the kit's record. The first failure ends the kit:
// the files before it are written whole, that one stays as it was, and none
// after it is written.
KitResult writeLogoKit(const QString& folder, const KitRenderer& renderer,
                       FileSystem& fileSystem = systemFileSystem(),
                       const KitOptions& options = KitOptions());

}  // namespace vantelo
