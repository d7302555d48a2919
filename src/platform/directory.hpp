#pragma once

#include <string>

namespace ornavel::platform {

// The name, as stored on disk, of the first plain file matching `path`; "" when there is none.
// A directory, device or pipe does not match.
std::string FirstFileName(const std::string& path);

}  // namespace ornavel::platform
