#pragma once

class QRect;
class QWidget;

namespace vantelo {

// Places a window of fixed layout on its screen: centred when it fits the
// screen's free area; otherwise its content scrolls inside a window made to
// fit that area, with its top-left corner on the screen, so that every part
// stays within reach at any scale. A menu bar of the window stays in place.
void fitWindowToScreen(QWidget& window);
// The same for a screen whose free area, in logical pixels, is `available`.
void fitWindowToScreen(QWidget& window, const QRect& available);

}  // namespace vantelo
