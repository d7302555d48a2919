#pragma once

#include <string>

namespace ornavel::platform {

// Makes the bitmap at `path` the desktop wallpaper, saved so that it survives a new login where
// the desktop keeps such a setting, and redrawn. Throws platform::Error with the reason when the
// desktop refuses or cannot be reached.
void SetSystemWallpaper(const std::string& path);

}  // namespace ornavel::platform
