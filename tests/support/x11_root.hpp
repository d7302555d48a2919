#pragma once

#include <optional>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ornavel::testing {

// The pixmap the root window's property `name` (_XROOTPMAP_ID, ESETROOT_PMAP_ID) names, as a
// root-window wallpaper setter leaves it; 0 when there is none.
inline Pixmap RootProperty(Display* display, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    Pixmap pixmap = 0;
    if (XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, name, False),
                           0, 1, False, XA_PIXMAP, &type, &format, &count, &remaining,
                           &data) == Success &&
        type == XA_PIXMAP && count == 1) {
        pixmap = *reinterpret_cast<Pixmap*>(data);
    }
    if (data) XFree(data);
    return pixmap;
}

// The pixel at (x, y) of the wallpaper the root window holds (_XROOTPMAP_ID) on the display
// DISPLAY names, as 0xRRGGBB on a 24-bit screen; nothing when there is no display or wallpaper.
inline std::optional<unsigned long> RootWallpaperPixel(int x, int y) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return std::nullopt;
    std::optional<unsigned long> pixel;
    if (const Pixmap pixmap = RootProperty(display, "_XROOTPMAP_ID")) {
        if (XImage* shot = XGetImage(display, pixmap, x, y, 1, 1, AllPlanes, ZPixmap)) {
            pixel = XGetPixel(shot, 0, 0) & 0xFFFFFF;
            XDestroyImage(shot);
        }
    }
    XCloseDisplay(display);
    return pixel;
}

}  // namespace ornavel::testing
