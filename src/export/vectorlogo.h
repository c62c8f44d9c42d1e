#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QRectF>
#include <QSize>

#include "export/designrenderer.h"

namespace vantelo {

// One thing a vector logo draws, in output pixels.
struct VectorItem {
    enum Kind { Fill, Stroke, Image };
    Kind kind = Fill;
    QPainterPath path;  // Fill and Stroke; its fill rule is kept
    QColor color;       // Fill and Stroke, with its alpha
    double strokeWidth = 0;
    Qt::PenCapStyle cap = Qt::SquareCap;
    Qt::PenJoinStyle join = Qt::BevelJoin;
    QImage image;  // Image: the pixels, drawn into `target`
    QRectF target;
    int clip = -1;  // index into VectorLogo::clips, or -1 for none
};

// A logo as shapes and pictures rather than pixels: what the renderer draws,
// recorded. Text arrives as the outlines of its glyphs, so a file made from
// it needs no font.
struct VectorLogo {
    QSize size;
    QList<QPainterPath> clips;
    QList<VectorItem> items;
};

// Records the design as the renderer draws it, with the picture at its own
// resolution, cropped to what the canvas shows. The size is empty when the
// logo would exceed kMaximumRenderSide, as renderDesign's image would.
VectorLogo recordDesign(const RenderSource& source, const RenderOptions& options);

// An SVG 1.1 document of the logo: one user unit a pixel at 96 dots per inch,
// with a viewBox, glyphs as paths and pictures as embedded PNG or JPEG data.
QByteArray encodeSvg(const VectorLogo& logo);

// A one-page PDF document of the logo, the page the logo's size at 96 dots
// per inch. Empty when the logo is empty.
QByteArray encodePdf(const VectorLogo& logo);

}  // namespace vantelo
