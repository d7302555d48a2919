#include "platform/environment.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace ornavel::platform {
namespace {

// Creates `path` and its missing parents with owner-only access, like mkdir -p -m 0700. Failures
// are left for the first use of the directory to report.
void MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return;
        if (slash == std::string::npos) return;
    }
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// $HOME, or the home directory of the user's account when it is not set.
std::string HomeDirectory() {
    std::string home = EnvironmentVariable("HOME");
    if (home.empty()) {
        if (const passwd* account = getpwuid(getuid()))
            home = account->pw_dir ? account->pw_dir : "";
    }
    return WithoutTrailingSlash(home);
}

// The program's folder "ornavel" in $variable when it holds an absolute path (a relative one is
// to be ignored), else in $HOME/fallback.
std::string XdgDirectory(const char* variable, const char* fallback) {
    std::string base = EnvironmentVariable(variable);
    if (base.empty() || base.front() != '/') base = HomeDirectory() + "/" + fallback;
    return WithoutTrailingSlash(base) + "/ornavel";
}

}  // namespace

std::string EnvironmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

std::string SettingsDirectory() { return XdgDirectory("XDG_CONFIG_HOME", ".config"); }

void CreateSettingsDirectory() { MakeDirectories(SettingsDirectory()); }

std::string WallpaperDirectory() {
    std::string windir = EnvironmentVariable("windir");
    if (!windir.empty()) return windir;
    return XdgDirectory("XDG_DATA_HOME", ".local/share");
}

void CreateWallpaperDirectory() {
    if (EnvironmentVariable("windir").empty()) MakeDirectories(WallpaperDirectory());
}

std::string CurrentDirectory() {
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

}  // namespace ornavel::platform
