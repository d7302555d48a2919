// The directories the program keeps its files in.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/environment.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform {
namespace {

namespace fs = std::filesystem;
using testing::SetEnv;

// Restores the variables the tests change.
class EnvironmentTest : public testing::TempDirTest {
  protected:
    ~EnvironmentTest() override {
        SetEnv("HOME", home_);
        SetEnv("XDG_CONFIG_HOME", config_);
        SetEnv("XDG_DATA_HOME", data_);
        SetEnv("windir", windir_);
    }
    static mode_t ModeOf(const std::string& path) {
        struct stat info {};
        EXPECT_EQ(stat(path.c_str(), &info), 0);
        return info.st_mode & 07777;
    }

  private:
    std::string home_ = EnvironmentVariable("HOME");
    std::string config_ = EnvironmentVariable("XDG_CONFIG_HOME");
    std::string data_ = EnvironmentVariable("XDG_DATA_HOME");
    std::string windir_ = EnvironmentVariable("windir");
};

// Asking where the files go creates nothing; the program's own folders are created, with their
// parents and for the owner only, when a file is about to be written there.
TEST_F(EnvironmentTest, SettingsDirectoryIsUnderTheConfigHomeAndMadeOnlyWhenAsked) {
    SetEnv("XDG_CONFIG_HOME", dir.file("deep/config") + "/");
    EXPECT_EQ(SettingsDirectory(), dir.file("deep/config/ornavel"));
    EXPECT_FALSE(fs::exists(dir.file("deep")));
    CreateSettingsDirectory();
    EXPECT_TRUE(fs::is_directory(dir.file("deep/config/ornavel")));
    EXPECT_EQ(ModeOf(dir.file("deep/config")), 0700u);
    EXPECT_EQ(ModeOf(dir.file("deep/config/ornavel")), 0700u);
    CreateSettingsDirectory();  // already there: nothing changes
    EXPECT_TRUE(fs::is_directory(dir.file("deep/config/ornavel")));

    // Without the variable, or with a relative one, it lies under the home directory.
    SetEnv("HOME", dir.file("home"));
    SetEnv("XDG_CONFIG_HOME", "");
    EXPECT_EQ(SettingsDirectory(), dir.file("home/.config/ornavel"));
    SetEnv("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(SettingsDirectory(), dir.file("home/.config/ornavel"));
    EXPECT_FALSE(fs::exists(dir.file("home")));
    CreateSettingsDirectory();
    EXPECT_TRUE(fs::is_directory(dir.file("home/.config/ornavel")));
    EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(EnvironmentTest, WallpaperDirectoryIsWindirOrTheDataHomeAndOnlyTheLatterIsMade) {
    SetEnv("windir", dir.file("windows") + "/");
    EXPECT_EQ(WallpaperDirectory(), dir.file("windows") + "/");
    CreateWallpaperDirectory();
    EXPECT_FALSE(fs::exists(dir.file("windows")));

    SetEnv("windir", "");
    SetEnv("XDG_DATA_HOME", dir.file("data"));
    EXPECT_EQ(WallpaperDirectory(), dir.file("data/ornavel"));
    EXPECT_FALSE(fs::exists(dir.file("data")));
    CreateWallpaperDirectory();
    EXPECT_TRUE(fs::is_directory(dir.file("data/ornavel")));
    EXPECT_EQ(ModeOf(dir.file("data/ornavel")), 0700u);
    SetEnv("XDG_DATA_HOME", "");
    SetEnv("HOME", dir.file("home"));
    EXPECT_EQ(WallpaperDirectory(), dir.file("home/.local/share/ornavel"));
    EXPECT_FALSE(fs::exists(dir.file("home")));
}

}  // namespace
}  // namespace ornavel::platform
