#pragma once

#include "platform/layout.hpp"

namespace ornavel {

// The main window: the preview, the image list, the folder button, the status line and the menus.
extern const layout::Window kMainLayout;

// Borders of Image1 and Picture2: 2 pixels on each side.
inline constexpr int kSunkenBorder = 2;

}  // namespace ornavel
