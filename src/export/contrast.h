#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

namespace vantelo {

// The relative luminance of a colour as WCAG 2 defines it: 0 for black, 1 for
// white. The alpha of the colour is ignored.
double relativeLuminance(const QColor& color);

// The WCAG 2 contrast ratio of two colours, from 1 (the same) to 21 (black
// and white); the order of the colours does not matter.
double contrastRatio(const QColor& a, const QColor& b);

// The contrast of the text colour against the pixels behind the text: the
// ratio that the given share of those pixels falls below (0 gives the lowest
// ratio of all; 0.1, the default, passes over a few stray pixels). Pixels that
// are not opaque count as laid on the backdrop. With a mask, a pixel is behind
// the text where the mask, laid on the picture's top left corner, is at least
// half opaque: the text painted alone onto a transparent picture is such a mask. With an
// area, every pixel of the area inside the picture counts. Where no pixel
// counts, nothing can hide the text and the result is 21.
double contrastOverPixels(const QImage& rendered, const QImage& mask, const QColor& text,
                          double share = 0.1, const QColor& backdrop = Qt::white);
double contrastOverPixels(const QImage& rendered, const QRect& area, const QColor& text,
                          double share = 0.1, const QColor& backdrop = Qt::white);

// The text colour when it stands out from the background by the minimum
// ratio; otherwise the colour of the same hue made just light enough (on a
// dark background) or dark enough (on a light one) to reach it.
QColor readableTextColor(const QColor& text, const QColor& background, double minimum = 3.0);

}  // namespace vantelo
