#pragma once

#include <string>

namespace ornavel::platform::linux_desktop {

// The name a desktop is handed for the wallpaper file: a hard link to it (a copy where the file
// system has no hard links) in the same folder, named "wallpaper-<16 hex digits>.bmp" after
// "wallpaper.bmp", with digits that differ at every install. Desktops that ignore a setting whose
// value did not change, or that do not watch the file, thus see a new name for each new picture,
// and the file the program writes stays where it is.
class WallpaperLink {
  public:
    // Makes the link for the wallpaper file at `wallpaper`. Throws platform::Error with the reason.
    explicit WallpaperLink(const std::string& wallpaper);
    // Removes the link unless it was kept.
    ~WallpaperLink();
    WallpaperLink(const WallpaperLink&) = delete;
    WallpaperLink& operator=(const WallpaperLink&) = delete;

    const std::string& path() const { return path_; }

    // Keeps this link, now that the desktop shows it, and removes the links of earlier installs.
    void Keep();

  private:
    std::string folder_, stem_, extension_, path_;
    bool kept_ = false;
};

}  // namespace ornavel::platform::linux_desktop
