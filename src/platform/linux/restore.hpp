#pragma once

#include <string>

namespace ornavel::platform {

// "ornavel --restore", run when a session starts: makes the wallpaper file at `path`, the
// picture last installed, the wallpaper again the way the running session shows it, in a
// session that forgets it at logout (the X11 root window, sway). A desktop that keeps its own
// setting is left alone without a word, and so is any session while no wallpaper file exists. Opens
// no window and asks nothing, so that it never holds up a login: it gives up after a bounded time.
// Returns the exit status: 0 when done or nothing was to be done; otherwise 1, with the reason on
// the standard error.
int RestoreWallpaper(const std::string& path);

}  // namespace ornavel::platform
