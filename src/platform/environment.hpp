#pragma once

#include <string>

namespace ornavel::platform {

// The value of an environment variable, "" when it is not set.
std::string EnvironmentVariable(const std::string& name);

// The directory the program keeps options.ini in, without a trailing separator except at a root.
// Windows: the directory of the executable when this process can write there or an options.ini
// there can be written (a portable copy), else %APPDATA%\Ornavel, created when missing.
// Linux: $XDG_CONFIG_HOME/ornavel (default ~/.config/ornavel), created when missing so that the
// first write of a setting succeeds.
std::string ProgramDirectory();

// The directory the wallpaper file goes to. Windows: the value of "windir", taken whole, when
// this process can write there, else %LOCALAPPDATA%\Ornavel, created when missing.
// Linux: $windir when set, else $XDG_DATA_HOME/ornavel (default ~/.local/share/ornavel), created
// when missing.
std::string WindowsDirectory();

// The process's current directory.
std::string CurrentDirectory();

}  // namespace ornavel::platform
