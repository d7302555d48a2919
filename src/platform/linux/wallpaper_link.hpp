#pragma once

#include <string>
#include <string_view>

namespace ornavel::platform::linux_desktop {

// The name a desktop is handed for the wallpaper file: a hard link to it (a copy where the file
// system has no hard links) in the same folder, named "wallpaper-<desktop>-<16 hex digits>.bmp"
// after "wallpaper.bmp", with digits that differ at every install. Desktops that ignore a setting
// whose value did not change, or that do not watch the file, thus see a new name for each new
// picture, and the file the program writes stays where it is. Each desktop keeps its own latest
// name, so that one account's other desktops still find the picture they were handed last: at
// most one name per desktop remains, and a name of the earlier form "wallpaper-<16 hex
// digits>.bmp", which any desktop may still show, is left alone.
class WallpaperLink {
  public:
    // Makes the link for the wallpaper file at `wallpaper`, to be handed to the desktop named
    // `desktop` (lower-case letters and digits). Throws platform::Error with the reason.
    WallpaperLink(const std::string& wallpaper, std::string_view desktop);
    // Removes the link unless it was kept.
    ~WallpaperLink();
    WallpaperLink(const WallpaperLink&) = delete;
    WallpaperLink& operator=(const WallpaperLink&) = delete;

    const std::string& path() const { return path_; }

    // Keeps this link, now that the desktop shows it, and removes the links that earlier installs
    // handed to the same desktop.
    void Keep();

  private:
    std::string folder_, stem_, extension_, path_;
    bool kept_ = false;
};

}  // namespace ornavel::platform::linux_desktop
