#pragma once

#include <string>

#include "platform/window_handle.hpp"

namespace ornavel::platform {

// The system's folder browser, modal over `owner`, with `title` shown. Only existing file-system
// folders can be chosen. Returns the folder's full path without a trailing separator except at a
// root, or "" when the user cancels.
std::string BrowseForFolder(const std::string& title, WindowHandle owner);

}  // namespace ornavel::platform
