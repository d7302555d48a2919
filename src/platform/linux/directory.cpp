#include "platform/directory.hpp"

#include <sys/stat.h>

namespace ornavel::platform {

// Linux names match exactly, so the name stored on disk is the last part of the path itself.
std::string FirstFileName(const std::string& path) {
    struct stat info;
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return "";
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace ornavel::platform
