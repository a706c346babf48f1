// Kept apart from the windows: Xlib's macros (None, Status, ...) clash with ordinary names.
#include <X11/Xlib.h>

namespace pelmoray {

bool displayAvailable() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XCloseDisplay(display);
  return true;
}

}  // namespace pelmoray
