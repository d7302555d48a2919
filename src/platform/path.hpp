#pragma once

namespace ornavel::platform {

// The separator the platform puts between a folder and a file name.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace ornavel::platform
