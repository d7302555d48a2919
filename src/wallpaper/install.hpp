#pragma once

#include <string>

#include "platform/picture.hpp"

namespace ornavel::Module1 {

// The file the wallpaper is written to: the Windows directory, a separator and "wallpaper.bmp".
std::string WallpaperPath();

// Makes the bitmap at `path`, written from `picture`, the desktop wallpaper, saved and broadcast.
// Throws platform::Error with the reason when the desktop refuses or cannot be reached.
void SetDesktopWallpaper(const std::string& path, const platform::Picture& picture);

// Writes `picture` as the wallpaper file, checks that the file is there under its name, and makes
// it the desktop wallpaper. Throws platform::Error with a complete message for the user when
// there is no picture or any step fails; nothing is changed when there is no picture.
void InstallWallpaper(const platform::PicturePtr& picture);

}  // namespace ornavel::Module1
