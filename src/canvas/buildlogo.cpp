#include "canvas/canvas.h"

namespace vantelo {

void Canvas::BuildLogo() {}

}  // namespace vantelo
