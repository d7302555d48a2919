#include "wallpaper/install.hpp"

#include <algorithm>

#include "platform/desktop.hpp"
#include "platform/directory.hpp"
#include "platform/environment.hpp"
#include "platform/error.hpp"
#include "platform/path.hpp"

namespace ornavel::Module1 {
namespace {

constexpr const char* kWallpaperName = "wallpaper.bmp";

// File names on Windows compare without regard to case; on Linux the query is for this exact
// path, so the name it returns never differs in case.
bool SameName(const std::string& a, const std::string& b) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::string WallpaperPath() {
    return platform::WallpaperDirectory() + platform::kPathSeparator + kWallpaperName;
}

void SetDesktopWallpaper(const std::string& path, const platform::Picture& picture) {
    platform::SetSystemWallpaper(path, picture);
}

void InstallWallpaper(const platform::PicturePtr& picture) {
    if (!picture) {
        throw platform::Error("Нет изображения для установки. Выберите изображение в списке.");
    }
    const std::string path = WallpaperPath();
    // The whole picture, decoded from the bytes read when it was previewed, exists only for the
    // length of the install.
    platform::PicturePtr whole;
    try {
        whole = platform::WholePicture(picture);
        // On a fresh account the program's own wallpaper folder does not exist yet.
        platform::CreateWallpaperDirectory();
        platform::SavePicture(*whole, path);
    } catch (const platform::Error& e) {
        throw platform::Error("Не удалось записать файл обоев «" + path + "»: " + e.what());
    }
    if (!SameName(platform::FirstFileName(path), kWallpaperName)) {
        throw platform::Error("Файл обоев «" + path + "» не найден после записи.");
    }
    try {
        SetDesktopWallpaper(path, *whole);
    } catch (const platform::Error& e) {
        throw platform::Error("Не удалось установить обои рабочего стола: " +
                              std::string(e.what()));
    }
}

}  // namespace ornavel::Module1
