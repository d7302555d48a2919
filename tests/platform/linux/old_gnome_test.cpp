// GNOME before 42 has no picture of its own for the dark style: its schema lacks
// picture-uri-dark. This process runs with such a schema (GSETTINGS_SCHEMA_DIR) on GSettings'
// keyfile store, as a process's schemas and store are chosen once.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <string>

#include "platform/desktop.hpp"
#include "platform/linux/qt_picture.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform {
namespace {

namespace fs = std::filesystem;

TEST(OldGnome, InstallsWithoutTheDarkStylesPicture) {
    testing::TempDir dir;
    const std::string path = dir.file("wallpaper.bmp");
    testing::WriteFile(path, "picture");
    testing::SetEnv("XDG_CURRENT_DESKTOP", "GNOME");
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    EXPECT_NO_THROW(SetSystemWallpaper(path, linux_qt::QtPicture(image)));

    GSettings* settings = g_settings_new("org.gnome.desktop.background");
    gchar* uri = g_settings_get_string(settings, "picture-uri");
    gchar* file = g_filename_from_uri(uri, nullptr, nullptr);
    ASSERT_NE(file, nullptr) << uri;
    EXPECT_EQ(fs::path(file).parent_path(), dir.path());
    EXPECT_EQ(testing::ReadFile(file), "picture");
    g_free(file);
    g_free(uri);
    g_object_unref(settings);
}

}  // namespace
}  // namespace ornavel::platform
