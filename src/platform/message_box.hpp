#pragma once

#include <string>

#include "platform/window_handle.hpp"

namespace ornavel::platform {

// Shows `text` in a modal warning box over `owner` (0: no owner) with an OK button, titled with
// the program's name, and returns when the user has closed it.
void ShowMessage(WindowHandle owner, const std::string& text);

}  // namespace ornavel::platform
