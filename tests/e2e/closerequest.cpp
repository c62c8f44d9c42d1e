// Kept apart from every Qt header: Xlib defines macros (Bool, None, Status,
// KeyPress) that clash with Qt's names.
#include "closerequest.h"

#include <X11/Xlib.h>

namespace e2e {
namespace {

int lastErrorCode = 0;

// Xlib's default handler ends the process on any protocol error, such as a
// window that vanished a moment ago; record the error instead.
int recordError(Display*, XErrorEvent* error) {
    lastErrorCode = error->error_code;
    return 0;
}

}  // namespace

std::string requestClose(const std::string& display, unsigned long window) {
    Display* connection = XOpenDisplay(display.c_str());
    if (connection == nullptr)
        return "cannot open display " + display;
    const auto previousHandler = XSetErrorHandler(recordError);
    lastErrorCode = 0;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(connection, window, False, NoEventMask, &event);
    XSync(connection, False);
    XCloseDisplay(connection);
    XSetErrorHandler(previousHandler);
    if (lastErrorCode != 0)
        return "the X server refused the close request (error code " +
               std::to_string(lastErrorCode) + ")";
    return {};
}

}  // namespace e2e
