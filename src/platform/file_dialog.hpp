#pragma once

#include <string>

#include "platform/window_handle.hpp"

namespace ornavel::platform {

// The system's open-file dialog, modal over `owner`, captioned `title`, starting in the current
// directory, single selection. `mask` holds description and pattern pairs, each text ended by a
// NUL; the first pair is selected. A typed name of a file that does not exist is accepted.
// Returns the chosen file's full path, or "" on cancel or failure.
std::string BrowseForFile(const std::string& title, const std::string& mask, WindowHandle owner);

}  // namespace ornavel::platform
