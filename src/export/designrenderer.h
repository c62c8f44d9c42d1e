#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include "design/logodesign.h"

class QPainter;

namespace vantelo {

class Canvas;

// What a logo is drawn from: the design, the picture at its own size as the
// logo shows it (its background removed) and the canvas's size in pixels; with the picture's smooth
// copy at the design's scale when the canvas has made it already.
struct RenderSource {
    LogoDesign design;
    QImage picture;
    QSize canvas;
    QImage shown = QImage();
    // The picture's own size when `picture` is a reduced copy of it, as the
    // checks on the screen draw from; empty when it is the picture itself.
    QSize pictureSize = QSize();
};

struct RenderOptions {
    // How many output pixels a canvas pixel becomes.
    double scale = 1.0;
    // A width in pixels for the whole logo; when set it decides the scale.
    int width = 0;
    // The canvas is left transparent instead of painted in `background`.
    bool transparent = false;
    QColor background = Qt::white;
    // Only the visible objects and a margin round them, not the whole canvas.
    bool trim = false;
    // Only this part of the canvas, in canvas pixels, when it is not empty.
    QRect part;
    // A quick bilinear picture will do where its smooth copy is not made yet:
    // for checks on the screen, never for a file.
    bool quick = false;
};

// The largest side a rendered logo may have, in pixels.
inline constexpr int kMaximumRenderSide = 16384;
// The narrowest logo a width in pixels may ask for, in the window and on the
// command line alike.
inline constexpr int kMinimumExportWidth = 16;
// The margin "Trim to content" keeps round the objects, in canvas pixels.
inline constexpr int kTrimMargin = 8;

// The design of the canvas as it is now, for rendering: from the picture's
// full pixels, decoded now if the canvas shows a reduced copy.
RenderSource renderSourceOf(const Canvas& canvas, const LogoDesign& design);

// The same from the pixels the canvas holds, decoding nothing more: for the
// checks made on the screen with quick options, never for a file.
RenderSource shownSourceOf(const Canvas& canvas, const LogoDesign& design);

// The part of the canvas (in canvas pixels) the visible objects cover, cut
// to the canvas; empty when nothing shows.
QRect contentBounds(const RenderSource& source);

// Draws the design. At scale 1 on an opaque background it gives exactly the
// pixels the canvas shows. At other scales the text is drawn again at the
// larger size and the picture resampled from its own pixels. Returns a null
// image when the result would exceed kMaximumRenderSide.
QImage renderDesign(const RenderSource& source, const RenderOptions& options = RenderOptions());

// The part of the canvas, in canvas pixels, that the options draw.
QRect renderedArea(const RenderSource& source, const RenderOptions& options);

// The output's size for that part at that scale; empty when a side would
// exceed kMaximumRenderSide.
QSize renderedSize(const QRect& area, double scale);

// How the picture reaches the output: resampled into the output's pixels, or
// handed to the painter at its own resolution with the place it takes (vector
// files keep it that way, so it stays as sharp as the picture is).
enum class PictureDrawing { Resampled, OwnPixels };

// Draws the design's part `area` at `scale` onto a painter whose origin is the
// output's top left corner; the background is the caller's.
void paintDesign(QPainter& painter, const RenderSource& source, const RenderOptions& options,
                 const QRect& area, double scale, PictureDrawing pictureDrawing);

// A text line's outline and shadow, and the rectangle its label takes on the
// canvas, in canvas pixels.
struct CaptionLook lookOf(const TextLineDesign& line);
QRect textLineRect(const TextLineDesign& line);

// The scale the options give for that much of the canvas.
double renderScale(const RenderOptions& options, const QRect& area);

}  // namespace vantelo
