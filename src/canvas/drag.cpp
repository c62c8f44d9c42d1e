#include "canvas/canvas.h"

namespace vantelo {

void Canvas::DragControl(CanvasObject&, int, int, float, float) {}
void Canvas::imgLogo_MouseDown(int, float, float) {}
void Canvas::imgLogo_MouseMove(int, float, float) {}
void Canvas::imgLogo_MouseUp(int, float, float) {}
void Canvas::lblA_MouseDown(int, int, float, float) {}
void Canvas::lblA_MouseMove(int, int, float, float) {}
void Canvas::lblA_MouseUp(int, int, float, float) {}

}  // namespace vantelo
