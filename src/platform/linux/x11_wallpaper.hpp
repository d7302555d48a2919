#pragma once

#include <string>

namespace ornavel::platform::linux_desktop {

// Makes the picture at `path` the X11 root window's background, zoomed to fill the screen keeping
// its proportions, and publishes it as _XROOTPMAP_ID and ESETROOT_PMAP_ID so that compositors and
// terminals find it. The pixmap outlives the program; the previous one is released. Throws
// platform::Error when there is no X display or the picture cannot be read.
void SetX11RootWallpaper(const std::string& path);

}  // namespace ornavel::platform::linux_desktop
