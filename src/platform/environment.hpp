#pragma once

#include <string>

namespace ornavel::platform {

// The value of an environment variable, "" when it is not set.
std::string EnvironmentVariable(const std::string& name);

// The directory the program keeps options.ini in, without a trailing separator except at a root.
// Windows: the directory of the executable when this process can write there or an options.ini
// there can be written (a portable copy), else %APPDATA%\Ornavel.
// Linux: $XDG_CONFIG_HOME/ornavel (default ~/.config/ornavel).
// Only asks: the directory may not exist yet (see CreateSettingsDirectory).
std::string SettingsDirectory();

// Creates the directory SettingsDirectory() names when it is the program's own folder and
// missing, so that the first write of a setting succeeds; on Linux with its missing parents,
// owner-only. A directory the program does not own (the executable's) is never created.
// A failure is left for the write that follows to report.
void CreateSettingsDirectory();

// The directory the wallpaper file goes to. Windows: the value of "windir", taken whole, when
// this process can write there, else %LOCALAPPDATA%\Ornavel.
// Linux: $windir when set, else $XDG_DATA_HOME/ornavel (default ~/.local/share/ornavel).
// Only asks: the directory may not exist yet (see CreateWallpaperDirectory).
std::string WallpaperDirectory();

// Creates the directory WallpaperDirectory() names when it is the program's own folder and
// missing, as CreateSettingsDirectory does; the Windows directory ("windir") is never created.
void CreateWallpaperDirectory();

// The process's current directory.
std::string CurrentDirectory();

}  // namespace ornavel::platform
