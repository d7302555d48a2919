#pragma once

#include <windows.h>

#include <cstddef>

namespace ornavel::platform::win32 {

// An icon of `width` x `height` from the bytes of an .ico file: the file's image of that size, or
// the nearest one scaled to it. nullptr when the bytes hold no usable image.
HICON IconFromIcoFile(const void* file, std::size_t size, int width, int height);

}  // namespace ornavel::platform::win32
