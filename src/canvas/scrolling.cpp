#include "canvas/canvas.h"

namespace vantelo {

void Canvas::SetScrollBars() {
    pArea->place().setTop(0);
    pArea->place().setLeft(0);
}

void Canvas::HScroll1_Change() {}

void Canvas::VScroll1_Change() {}

}  // namespace vantelo
