#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/error.hpp"
#include "platform/picture.hpp"
#include "support/environment_skip.hpp"
#include "support/temp_dir.hpp"
#include "support/x11_root.hpp"
#include "wallpaper/install.hpp"

namespace ornavel::Module1 {
namespace {

namespace fs = std::filesystem;
using testing::SetEnv;

std::string Failure(const platform::PicturePtr& picture) {
    try {
        InstallWallpaper(picture);
    } catch (const platform::Error& e) {
        return e.what();
    }
    return "";
}

// Every install goes to a Windows directory of the test's own and, when one is asked for, to the
// plain X11 root window of the test server, never to a real desktop.
class InstallTest : public testing::TempDirTest {
  protected:
    void SetUp() override {
        for (const char* name :
             {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY", "SWAYSOCK"}) {
            SetEnv(name, "");
        }
        display_ = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
        SetEnv("DISPLAY", "");
        windir_ = dir.file("windows");
        fs::create_directories(windir_);
        SetEnv("windir", windir_);
    }
    void TearDown() override {
        SetEnv("windir", "");
        SetEnv("DISPLAY", display_);
        SetEnv("XDG_DATA_HOME", dataHome_);
    }

    platform::PicturePtr Picture(int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const std::string path = dir.file("picture.png");
        EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
        return platform::LoadPicture(path, {});
    }

    std::string display_;
    std::string windir_;
    std::string dataHome_ = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
};

TEST_F(InstallTest, WithoutAPictureNothingIsWrittenAndTheUserIsTold) {
    EXPECT_EQ(Failure(nullptr), "Нет изображения для установки. Выберите изображение в списке.");
    EXPECT_TRUE(fs::is_empty(windir_));
}

TEST_F(InstallTest, AWallpaperFileThatCannotBeWrittenIsNamedInTheMessage) {
    const auto picture = Picture(4, 3);
    testing::WriteFile(dir.file("plain"), "a file, not a folder");
    const std::string windir = dir.file("plain") + "/windows";
    SetEnv("windir", windir);
    const std::string message = Failure(picture);
    EXPECT_EQ(message.rfind("Не удалось записать файл обоев «" + windir + "/wallpaper.bmp»: ", 0),
              0u)
        << message;
}

TEST_F(InstallTest, ADesktopThatCannotBeReachedIsReportedAfterTheFileIsWritten) {
    const auto picture = Picture(4, 3);
    const std::string message = Failure(picture);
    EXPECT_EQ(message.rfind("Не удалось установить обои рабочего стола: ", 0), 0u) << message;
    EXPECT_EQ(fs::file_size(windir_ + "/wallpaper.bmp"), 54u + 3 * 12);
}

// On a fresh account the program's wallpaper folder is made by the first install, not before.
TEST_F(InstallTest, TheFirstInstallOnAFreshAccountMakesItsFolder) {
    SetEnv("windir", "");
    SetEnv("XDG_DATA_HOME", dir.file("fresh"));
    const auto picture = Picture(4, 3);
    EXPECT_EQ(WallpaperPath(), dir.file("fresh/ornavel/wallpaper.bmp"));
    EXPECT_FALSE(fs::exists(dir.file("fresh")));
    const std::string message = Failure(picture);
    EXPECT_EQ(message.rfind("Не удалось установить обои рабочего стола: ", 0), 0u) << message;
    EXPECT_EQ(fs::file_size(dir.file("fresh/ornavel/wallpaper.bmp")), 54u + 3 * 12);
}

TEST_F(InstallTest, OnAPlainX11DesktopTheRootWindowShowsTheWallpaper) {
    if (display_.empty()) SKIP_OR_FAIL_IN_CI("no X server (DISPLAY is not set)");
    SetEnv("DISPLAY", display_);
    const auto picture = Picture(640, 512);
    InstallWallpaper(picture);
    EXPECT_EQ(fs::file_size(windir_ + "/wallpaper.bmp"), 54u + 512 * 640 * 3);

    EXPECT_EQ(testing::RootWallpaperPixel(10, 10), QColor(Qt::darkCyan).rgb() & 0xFFFFFFu);
}

}  // namespace
}  // namespace ornavel::Module1
