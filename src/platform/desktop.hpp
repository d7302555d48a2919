#pragma once

#include <string>

#include "platform/picture.hpp"

namespace ornavel::platform {

// Makes the bitmap at `path`, just written from `picture`, the desktop wallpaper, saved so that it
// survives a new login where the desktop keeps such a setting, and redrawn. A desktop that draws
// the wallpaper itself is given `picture`, so the file need not be read back. Throws
// platform::Error with the reason when the desktop refuses, cannot be reached, or reports success
// without the setting having taken.
void SetSystemWallpaper(const std::string& path, const Picture& picture);

}  // namespace ornavel::platform
