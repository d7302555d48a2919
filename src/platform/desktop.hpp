#pragma once

#include <string>

#include "platform/picture.hpp"

namespace ornavel::platform {

// Makes the bitmap at `path`, just written from `picture`, the desktop wallpaper, saved so that it
// survives a new login, and redrawn. Where the session itself forgets the wallpaper at logout,
// the next login is made to set it again, or the user is told once how to have that done. A desktop
// that draws the wallpaper itself is given `picture`, so the file need not be read back. Throws
// platform::Error with the reason when the desktop refuses, cannot be reached, or reports success
// without the setting having taken.
void SetSystemWallpaper(const std::string& path, const Picture& picture);

}  // namespace ornavel::platform
