#pragma once

#include <string>

namespace e2e {

// Asks a top-level window to close the way a window manager's close button
// does: a WM_DELETE_WINDOW client message. Under a bare X server there is no
// window manager to send it, and destroying the window instead would not run
// the program's own close handling. Returns an empty text on success, else why.
std::string requestClose(const std::string& display, unsigned long window);

}  // namespace e2e
