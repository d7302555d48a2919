// Icons made from the bytes of an .ico file, as the folder button's glyph is.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

#include "platform/win32/icon_file.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform::win32 {
namespace {

// The width and height of an icon's image, {0, 0} for none.
std::pair<int, int> SizeOf(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return {0, 0};
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
    return {bitmap.bmWidth, bitmap.bmHeight};
}

class IcoFile : public ::testing::Test {
  protected:
    const std::string file =
        ornavel::testing::ReadFile(ORNAVEL_SOURCE_DIR "/resources/folder-glyph.ico");
    HICON Icon(std::size_t size, int width, int height) const {
        return IconFromIcoFile(file.data(), size, width, height);
    }
};

TEST_F(IcoFile, TakesTheImageOfTheSizeAskedForOrScalesTheNearest) {
    ASSERT_GT(file.size(), 6u);
    EXPECT_EQ(SizeOf(Icon(file.size(), 15, 13)), std::make_pair(15, 13));
    EXPECT_EQ(SizeOf(Icon(file.size(), 23, 20)), std::make_pair(23, 20));
    EXPECT_EQ(SizeOf(Icon(file.size(), 17, 15)), std::make_pair(17, 15));
    EXPECT_EQ(SizeOf(Icon(file.size(), 90, 78)), std::make_pair(90, 78));
}

TEST_F(IcoFile, BytesCutShortOrNotAnIconGiveNone) {
    EXPECT_EQ(Icon(0, 15, 13), nullptr);
    EXPECT_EQ(Icon(5, 15, 13), nullptr);
    EXPECT_EQ(Icon(6 + 16, 15, 13), nullptr);           // the directory ends before its last entry
    EXPECT_EQ(Icon(6 + 8 * 16 + 10, 15, 13), nullptr);  // every image lies past the end
    const std::string text = "not an icon file at all, just some words";
    EXPECT_EQ(IconFromIcoFile(text.data(), text.size(), 15, 13), nullptr);
}

}  // namespace
}  // namespace ornavel::platform::win32
