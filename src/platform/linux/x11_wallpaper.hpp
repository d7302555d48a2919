#pragma once

#include <QImage>

namespace ornavel::platform::linux_desktop {

// Makes `picture` the X11 root window's background: each monitor (the RandR monitors, else the
// Xinerama heads, else the whole screen) shows it zoomed to fill that monitor, proportions kept,
// centred and cut; transparent parts are laid over white before zooming, as the wallpaper file
// lays them. The pixmap is published as _XROOTPMAP_ID and ESETROOT_PMAP_ID so that compositors and
// terminals find it; it outlives the program, and the previous one is released. X errors are
// caught, never ending the program. Throws platform::Error when there is no X display, the
// screen's pixel format is not one of colour channels, or the X server refuses.
void SetX11RootWallpaper(const QImage& picture);

}  // namespace ornavel::platform::linux_desktop
