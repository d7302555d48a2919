// Qt first: Xlib's macros (None, Bool, Status) would break Qt's headers.
#include "platform/linux/runtime.hpp"

#include <X11/Xlib.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace ornavel::platform::linux_qt {

// Qt aborts when it cannot reach its display; this tells beforehand, so the program can say what
// is wrong in one line instead.
bool CanReachDisplay(std::string& problem) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool named = platform && *platform;
    if (named && std::string_view(platform).substr(0, 3) != "xcb") return true;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!named && wayland && *wayland) return true;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        problem = "переменная DISPLAY не задана";
        return false;
    }
    Display* connection = XOpenDisplay(nullptr);
    if (!connection) {
        problem = std::string("не удалось подключиться к X-серверу ") + display;
        return false;
    }
    XCloseDisplay(connection);
    return true;
}

}  // namespace ornavel::platform::linux_qt
