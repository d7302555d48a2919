#pragma once

#include <cstdint>

namespace ornavel::platform {

// A window as the system's dialogs know it: an HWND on Windows, the window's widget on Linux.
using WindowHandle = std::uintptr_t;

}  // namespace ornavel::platform
