// The wallpaper file: a writer killed while it writes leaves a temporary file beside it; the next
// write removes it, so kills leave nothing that piles up.
#include <sys/resource.h>
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

    // Each writer is stopped by the system one mebibyte into its temporary file, well before the
    // 72 MB are written: the file size limit ends it with SIGXFSZ, as a kill midway would.
    for (int round = 0; round < 3; ++round) {
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            const rlimit noCore{0, 0}, oneMebibyte{1 << 20, 1 << 20};
            setrlimit(RLIMIT_CORE, &noCore);
            setrlimit(RLIMIT_FSIZE, &oneMebibyte);
            SavePicture(picture, path);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ)
            << "the writer was not stopped while writing (status " << status << ")";
    }
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
