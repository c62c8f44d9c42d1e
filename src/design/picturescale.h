#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

namespace vantelo {

// The size of a picture shown at a scale in per cent: each side rounded, at
// least one pixel. Worked out without touching the pixels.
QSize scaledPictureSize(const QSize& original, int percent);

// Whether a picture is resampled whole, once, to its scaled size (as a reduced
// or slightly enlarged copy, no larger than the picture itself or a few
// megapixels), or, when that copy would be larger, resampled part by part:
// only what is painted is ever made.
bool resampledWhole(const QSize& original, const QSize& scaled);

// The part `part` (in the scaled picture's pixels) of the picture resampled
// to `scaled`, by bilinear interpolation of the original's pixels. A pixel's
// value depends only on its place, never on which part it was made in, so
// parts made apart join without a seam. The cost is that of the part alone.
QImage resampledPart(const QImage& original, const QSize& scaled, const QRect& part);

}  // namespace vantelo
