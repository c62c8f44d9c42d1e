#include "export/saveflow.h"

namespace vantelo {

void PushButton5_Click(SaveFlowContext&) {}

}  // namespace vantelo
