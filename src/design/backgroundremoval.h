#pragma once

#include <QColor>
#include <QImage>

namespace vantelo {

// The tolerance of background removal, in per cent of the colour range; 0
// (the default) leaves the picture as it is.
inline constexpr int kMinimumBackgroundTolerance = 0;
inline constexpr int kMaximumBackgroundTolerance = 100;

// The colour the picture's border mostly has: the median of each channel
// over the outermost pixels.
QColor borderColour(const QImage& picture);

// The picture with its background made transparent: the pixels connected to
// the border whose colour lies within `tolerance` per cent of the border's
// colour. The subject's own edge, one to two pixels wide, is made partly
// transparent by how much of the old background it holds, and that share of
// the background's colour is taken out of it, so no fringe of the old colour
// shows on another background. Regions the subject encloses stay, however
// close their colour is. A tolerance of 0 or less gives the picture back.
QImage removeBackground(const QImage& picture, int tolerance);

}  // namespace vantelo
