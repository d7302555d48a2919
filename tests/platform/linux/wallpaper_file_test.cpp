// The wallpaper file: a writer killed while it writes leaves a temporary file beside it; the next
// write removes it, so kills leave nothing that piles up.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "platform/linux/qt_picture.hpp"
#include "platform/linux/replacement_file.hpp"
#include "platform/picture.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class WallpaperFileTest : public testing::TempDirTest {};

TEST_F(WallpaperFileTest, WritersKilledMidwayLeaveNothingAfterTheNextWrite) {
    QImage image(6000, 4000, QImage::Format_RGB32);
    image.fill(QColor(10, 120, 240));
    const linux_qt::QtPicture picture(image);
    const std::string path = dir.file("wallpaper.bmp");
    SavePicture(picture, path);

    int killed = 0;
    for (int round = 0; round < 3; ++round) {
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            SavePicture(picture, path);
            _exit(0);
        }
        // Killed as soon as its temporary file is there, well before the 72 MB are written.
        while (Names(dir.path()).size() < 2 && waitpid(writer, nullptr, WNOHANG) == 0) {
            usleep(200);
        }
        kill(writer, SIGKILL);
        int status = 0;
        waitpid(writer, &status, 0);
        if (WIFSIGNALED(status)) ++killed;
    }
    ASSERT_GT(killed, 0) << "no writer was caught while writing";
    const std::vector<std::string> litter = Names(dir.path());
    ASSERT_GT(litter.size(), 1u);
    for (const std::string& name : litter) {
        if (name != "wallpaper.bmp") {
            EXPECT_TRUE(name.starts_with(std::string("wallpaper.bmp") + kTemporaryMarker)) << name;
        }
    }

    SavePicture(picture, path);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"wallpaper.bmp"});
    EXPECT_EQ(fs::file_size(path), 54u + 6000u * 3u * 4000u);
}

}  // namespace
}  // namespace ornavel::platform
