// "ornavel --restore" as a login runs it: the real program in a process of its own, on an X
// server of the test's own or with a stand-in for swaymsg, which needs a running sway.
#include "platform/linux/restore.hpp"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/desktop_session.hpp"
#include "platform/linux/spawn.hpp"
#include "support/temp_dir.hpp"
#include "support/xvfb.hpp"

// After Qt's headers: Xlib's macros would break them.
#include "support/x11_root.hpp"

namespace ornavel::platform {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::SetEnv;

class RestoreTest : public testing::TempDirTest {
  protected:
    void SetUp() override {
        for (const char* name :
             {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY", "SWAYSOCK", "DISPLAY",
              "PATH", "XDG_DATA_HOME", "windir", "QT_QPA_PLATFORM", "ORNAVEL_DESKTOP_RECORD",
              "ORNAVEL_DESKTOP_FAIL"}) {
            const char* value = std::getenv(name);
            saved_[name] = value ? value : "";
            SetEnv(name, "");
        }
        SetEnv("PATH", dir.file("bin") + ":" + saved_["PATH"]);
        SetEnv("XDG_DATA_HOME", dir.file("data"));
        // A program that made a window, or the application object for one, would end at once:
        // Qt has no platform of that name.
        SetEnv("QT_QPA_PLATFORM", "no-window-at-login");
        SetEnv("ORNAVEL_DESKTOP_RECORD", dir.file("calls"));
        fs::create_directories(dir.path() / "bin");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) SetEnv(name, value);
    }

    // The wallpaper file the program last wrote, in one colour.
    std::string Wallpaper(QColor colour) {
        fs::create_directories(dir.path() / "data/ornavel");
        QImage image(64, 40, QImage::Format_RGB32);
        image.fill(colour);
        const std::string path = dir.file("data/ornavel/wallpaper.bmp");
        image.save(QString::fromStdString(path), "BMP");
        return path;
    }

    static linux_desktop::Finished Restore() {
        return linux_desktop::Spawn({ORNAVEL_PROGRAM, "--restore"}, 60000);
    }

    std::map<std::string, std::string> saved_;
};

TEST_F(RestoreTest, OnPlainX11TheLastPictureFillsTheRootWindowAgainWithoutAWindow) {
    testing::Xvfb x("320x200x24");
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    Wallpaper(Qt::green);
    const linux_desktop::Finished run = Restore();
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.output + run.errors, "");
    EXPECT_EQ(testing::RootWallpaperPixel(5, 5), 0x00FF00u);
    EXPECT_EQ(testing::RootWallpaperPixel(315, 195), 0x00FF00u);
}

TEST_F(RestoreTest, DesktopsThatKeepTheirOwnSettingAreLeftAloneWithoutAWord) {
    testing::Xvfb x("320x200x24");
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    Wallpaper(Qt::red);
    ASSERT_EQ(Restore().exitCode, 0);
    const std::string path = Wallpaper(Qt::blue);
    for (const bool file : {true, false}) {
        if (!file) fs::remove(path);
        for (const char* desktop : {"GNOME", "X-Cinnamon", "MATE", "KDE", "XFCE", "LXQt", "LXDE"}) {
            SetEnv("XDG_CURRENT_DESKTOP", desktop);
            const linux_desktop::Finished run = Restore();
            EXPECT_EQ(run.exitCode, 0) << desktop;
            EXPECT_EQ(run.output + run.errors, "") << desktop;
        }
    }
    EXPECT_EQ(testing::RootWallpaperPixel(5, 5), 0xFF0000u) << "the root window was not touched";
}

// A sway config may hold the line before anything was installed: sway would complain at every
// start about a missing background file.
TEST_F(RestoreTest, BeforeTheFirstInstallThereIsNothingToDoAndNothingToSay) {
    testing::Xvfb x("320x200x24");
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    fs::create_symlink(ORNAVEL_FAKE_TOOL, dir.path() / "bin/swaymsg");
    for (const bool sway : {false, true}) {
        SetEnv("WAYLAND_DISPLAY", sway ? "wayland-1" : "");
        SetEnv("SWAYSOCK", sway ? dir.file("sway-ipc.sock") : "");
        const linux_desktop::Finished run = Restore();
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(run.output + run.errors, "");
    }
    EXPECT_FALSE(fs::exists(dir.file("calls"))) << "swaymsg was not asked";
    EXPECT_EQ(testing::RootWallpaperPixel(5, 5), std::nullopt);
}

TEST_F(RestoreTest, OnSwayTheLastPictureIsSetAgainOnEveryOutput) {
    fs::create_symlink(ORNAVEL_FAKE_TOOL, dir.path() / "bin/swaymsg");
    SetEnv("WAYLAND_DISPLAY", "wayland-1");
    SetEnv("SWAYSOCK", dir.file("sway-ipc.sock"));
    const std::string path = Wallpaper(Qt::green);
    const linux_desktop::Finished run = Restore();
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.output + run.errors, "");
    std::string expected = std::string("swaymsg") + '\0' + "output" + '\0' + "*" + '\0' + "bg" +
                           '\0' + linux_desktop::SwayWord(path) + '\0' + "fill" + '\0' + "\n";
    EXPECT_EQ(ReadFile(dir.file("calls")), expected);
}

TEST_F(RestoreTest, ProblemsAreOneLineOnStandardErrorAndAFailingStatus) {
    struct Case {
        const char* what;
        std::string display, wayland, sway, fail;
        const char* reason;
    };
    testing::Xvfb x("320x200x24");
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    fs::create_symlink(ORNAVEL_FAKE_TOOL, dir.path() / "bin/swaymsg");
    testing::WriteFile(Wallpaper(Qt::green), "no picture");
    const std::string sock = dir.file("sway-ipc.sock");
    for (const Case& c : {
             Case{"a wallpaper file that is no picture", x.display(), "", "", "", "X11: "},
             Case{"swaymsg fails", "", "wayland-1", sock, "no sway here", "swaymsg"},
             Case{"an unknown Wayland desktop", "", "wayland-1", "", "", "не поддерживается"},
             Case{"no display at all", "", "", "", "", "не поддерживается"},
         }) {
        SetEnv("DISPLAY", c.display);
        SetEnv("WAYLAND_DISPLAY", c.wayland);
        SetEnv("SWAYSOCK", c.sway);
        SetEnv("ORNAVEL_DESKTOP_FAIL", c.fail);
        const linux_desktop::Finished run = Restore();
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_EQ(run.output, "") << c.what;
        EXPECT_NE(run.errors.find(c.reason), std::string::npos) << c.what << ": " << run.errors;
        EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << c.what << ": " << run.errors;
    }
}

}  // namespace
}  // namespace ornavel::platform
