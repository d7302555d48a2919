#pragma once

#include <string>
#include <string_view>

// sway: the wallpaper it shows, which lasts as long as the compositor runs, and the one line of
// its config that shows it again whenever sway starts.
namespace ornavel::platform::linux_desktop {

// Shows the picture at `path` on every output, zoomed to fill it. Throws platform::Error.
void SetSwayWallpaper(const std::string& path);

// The config line that runs `program --restore` whenever sway starts or reloads its config
// (exec_always: a reload drops a wallpaper set since the start, and the line sets it again).
// sway hands the command to the shell, so the path is one shell word.
std::string SwayRestoreLine(const std::string& program);

// True when `config`, the text of a sway config, has a line that starts a program of the same
// file name as `program` with --restore: SwayRestoreLine's, or the same written another way
// ("exec ornavel --restore" for a program on PATH). Comments do not count.
bool HasSwayRestoreLine(std::string_view config, const std::string& program);

// What the user is told once the running sway's config lacks the line (Russian): the line to
// add; "" when the config has it or the running sway cannot be asked for its config.
std::string SwayRestoreNote(const std::string& program);

}  // namespace ornavel::platform::linux_desktop
