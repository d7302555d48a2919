#include "platform/linux/wallpaper_link.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/error.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

constexpr std::size_t kDigits = 16;

std::string Hex(unsigned long long value) {
    char digits[kDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", value);
    return digits;
}

// Copies `from` to `to`, which must not exist yet. False, with errno set, on failure.
bool CopyFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        errno = error;
        return false;
    }
    bool ok = true;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno != EINTR) ok = false;
            if (w > 0) done += w;
        }
        if (!ok) break;
    }
    const int error = errno;
    ::close(in);
    if (::close(out) != 0) ok = false;
    if (!ok) {
        ::unlink(to.c_str());
        errno = error;
    }
    return ok;
}

}  // namespace

WallpaperLink::WallpaperLink(const std::string& wallpaper, std::string_view desktop) {
    const std::size_t slash = wallpaper.rfind('/');
    folder_ = slash == std::string::npos ? "" : wallpaper.substr(0, slash + 1);
    const std::string name = wallpaper.substr(folder_.size());
    const std::size_t dot = name.rfind('.');
    stem_ = name.substr(0, dot) + "-" + std::string(desktop);
    extension_ = dot == std::string::npos ? "" : name.substr(dot);

    // The clock makes the name differ from every earlier one; a name still taken is skipped.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    auto stamp = static_cast<unsigned long long>(now.tv_sec) * 1000000000ULL +
                 static_cast<unsigned long long>(now.tv_nsec);
    for (int attempt = 0;; ++attempt, ++stamp) {
        path_ = folder_ + stem_ + "-" + Hex(stamp) + extension_;
        if (::link(wallpaper.c_str(), path_.c_str()) == 0) return;
        if (errno != EEXIST && CopyFile(wallpaper, path_)) return;
        if (errno != EEXIST || attempt == 100) {
            const int error = errno;
            path_.clear();
            throw Error("не удалось создать файл «" + folder_ + stem_ + "-…" + extension_ +
                        "» для рабочего стола: " + ReasonFromErrno(error));
        }
    }
}

WallpaperLink::~WallpaperLink() {
    if (!kept_ && !path_.empty()) ::unlink(path_.c_str());
}

void WallpaperLink::Keep() {
    kept_ = true;
    DIR* folder = ::opendir(folder_.empty() ? "." : folder_.c_str());
    if (!folder) return;
    const std::string prefix = stem_ + "-";
    const std::string mine = path_.substr(folder_.size());
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == mine || name.size() != prefix.size() + kDigits + extension_.size() ||
            name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - extension_.size(), extension_.size(), extension_) != 0) {
            continue;
        }
        const std::string digits = name.substr(prefix.size(), kDigits);
        if (digits.find_first_not_of("0123456789abcdef") != std::string::npos) continue;
        ::unlink((folder_ + name).c_str());
    }
    ::closedir(folder);
}

}  // namespace ornavel::platform::linux_desktop
