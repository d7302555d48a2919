// The Windows system services and pictures, on the real API (under Wine in the cross build).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "pictures.hpp"
#include "platform/bitmap_file_golden.hpp"
#include "platform/directory.hpp"
#include "platform/environment.hpp"
#include "platform/error.hpp"
#include "platform/file_list.hpp"
#include "platform/picture.hpp"
#include "platform/win32/bitmap.hpp"
#include "platform/win32/text.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform {
namespace {

using ornavel::testing::BmpInfo;
using ornavel::testing::Encode;
using ornavel::testing::ReadBmp;
using ornavel::testing::ReadFile;
using ornavel::testing::TempDirTest;
using ornavel::testing::WriteFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

// ---- Environment and directory queries ------------------------------------------------------

TEST(Environment, SettingsDirectoryIsTheExecutablesFolderWithoutSeparator) {
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::string expected = win32::Utf8(std::filesystem::path(module).parent_path().wstring());
    EXPECT_EQ(SettingsDirectory(), expected);
    EXPECT_NE(SettingsDirectory().back(), '\\');
}

TEST(Environment, VariablesReadWholeAndMissingOnesAreEmpty) {
    const std::string longValue(3000, 'x');
    SetEnvironmentVariableW(L"ORNAVEL_TEST_LONG", win32::Wide(longValue).c_str());
    SetEnvironmentVariableW(L"ORNAVEL_TEST_RU", L"C:\\Обои");
    EXPECT_EQ(EnvironmentVariable("ORNAVEL_TEST_LONG"), longValue);
    EXPECT_EQ(EnvironmentVariable("ORNAVEL_TEST_RU"), "C:\\Обои");
    EXPECT_EQ(EnvironmentVariable("ORNAVEL_TEST_NOT_SET"), "");
}

class UserFolders : public TempDirTest {
  protected:
    void SetUp() override {
        for (const wchar_t* name : {L"windir", L"LOCALAPPDATA"}) {
            wchar_t value[MAX_PATH] = L"";
            GetEnvironmentVariableW(name, value, MAX_PATH);
            saved_.emplace_back(name, value);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) SetEnvironmentVariableW(name, value.c_str());
    }
    std::vector<std::pair<const wchar_t*, std::wstring>> saved_;
};

TEST_F(UserFolders, TheWallpaperGoesToTheUsersFolderWhenTheWindowsDirectoryCannotBeWritten) {
    const std::filesystem::path windows = dir.path() / "Win dows", local = dir.path() / "local";
    std::filesystem::create_directories(windows);
    std::filesystem::create_directories(local);
    SetEnvironmentVariableW(L"LOCALAPPDATA", local.c_str());
    SetEnvironmentVariableW(L"windir", windows.c_str());
    EXPECT_EQ(WallpaperDirectory(), win32::Utf8(windows.wstring()));
    EXPECT_THAT(
        std::vector<std::filesystem::path>(std::filesystem::directory_iterator(windows), {}),
        IsEmpty());  // the probe leaves nothing behind

    CreateWallpaperDirectory();  // the Windows directory is never made nor changed
    EXPECT_THAT(
        std::vector<std::filesystem::path>(std::filesystem::directory_iterator(windows), {}),
        IsEmpty());

    // A Windows directory that is not there stands for one this process may not write. Asking
    // creates nothing; the user's folder is made before the wallpaper is written there.
    SetEnvironmentVariableW(L"windir", (dir.path() / "missing").c_str());
    EXPECT_EQ(WallpaperDirectory(), win32::Utf8((local / "Ornavel").wstring()));
    EXPECT_FALSE(std::filesystem::exists(local / "Ornavel"));
    CreateWallpaperDirectory();
    EXPECT_TRUE(std::filesystem::is_directory(local / "Ornavel"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
    EXPECT_EQ(WallpaperDirectory(), win32::Utf8((local / "Ornavel").wstring()));
}

// A user whose name the ANSI code page cannot hold: the folder is named so that the ANSI calls
// (settings file, wallpaper setting) reach it.
TEST_F(UserFolders, AUserFolderNamedBeyondTheCodePageIsGivenInItsShortForm) {
    const std::filesystem::path local = dir.path() / L"用户 Ünïcødé";
    std::filesystem::create_directories(local);
    SetEnvironmentVariableW(L"LOCALAPPDATA", local.c_str());
    SetEnvironmentVariableW(L"windir", (dir.path() / "missing").c_str());
    const std::string folder = WallpaperDirectory();
    EXPECT_TRUE(win32::AnsiHolds(folder)) << folder;
    CreateWallpaperDirectory();
    EXPECT_TRUE(std::filesystem::equivalent(win32::Wide(folder), local / "Ornavel")) << folder;
}

class DirectoryQuery : public TempDirTest {};

TEST_F(DirectoryQuery, NamesAsStoredAndOnlyPlainFiles) {
    WriteFile(dir.file("Wallpaper.BMP"), "x");
    std::filesystem::create_directory(dir.path() / "folder.bmp");
    // The system compares without regard to case and reports the stored spelling.
    EXPECT_EQ(FirstFileName(dir.file("wallpaper.bmp")), "Wallpaper.BMP");
    EXPECT_EQ(FirstFileName(dir.file("folder.bmp")), "");
    EXPECT_EQ(FirstFileName(dir.file("missing.bmp")), "");
    EXPECT_EQ(FirstFileName(dir.file("nowhere\\x.bmp")), "");
    WriteFile(dir.file("hidden.bmp"), "x");
    SetFileAttributesW(win32::Wide(dir.file("hidden.bmp")).c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(FirstFileName(dir.file("hidden.bmp")), "");
}

TEST_F(DirectoryQuery, CurrentDirectoryFollowsTheProcess) {
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(dir.path().wstring().c_str());
    EXPECT_TRUE(std::filesystem::equivalent(CurrentDirectory(), dir.path()));
    SetCurrentDirectoryW(before);
}

// ---- File list -----------------------------------------------------------------------------

class FileListing : public TempDirTest {};

TEST_F(FileListing, MatchesEitherPatternWithoutRegardToCaseAndOnlyFiles) {
    for (const wchar_t* name : {L"a.jpg", L"B.JPG", L"c.Bmp", L"d.png", L"e.jpeg", L"f.jpg.txt",
                                L"g.bmpx", L"Фото.jpg"}) {
        std::ofstream(dir.path() / name) << "x";
    }
    std::filesystem::create_directory(dir.path() / "folder.jpg");
    EXPECT_THAT(ListFiles(dir.path().string(), "*.jpg;*.bmp"),
                UnorderedElementsAre("a.jpg", "B.JPG", "c.Bmp", "Фото.jpg"));
}

TEST_F(FileListing, PatternsInTurnEachFileOnce) {
    WriteFile(dir.file("one.bmp"), "x");
    WriteFile(dir.file("two.jpg"), "x");
    // The .jpg pattern is listed first; a file matching both patterns appears once.
    EXPECT_THAT(ListFiles(dir.path().string(), "*.jpg;*.bmp"), ElementsAre("two.jpg", "one.bmp"));
    EXPECT_THAT(ListFiles(dir.path().string(), "*.bmp;o*"), ElementsAre("one.bmp"));
    EXPECT_THAT(ListFiles(dir.path().string(), ";;*.bmp;"), ElementsAre("one.bmp"));
}

TEST_F(FileListing, EmptyFolderTextAndEmptyFolderListNothing) {
    EXPECT_THAT(ListFiles("", "*.jpg;*.bmp"), IsEmpty());
    EXPECT_THAT(ListFiles(dir.path().string(), "*.jpg;*.bmp"), IsEmpty());
    // A drive root keeps its separator and still lists.
    EXPECT_NO_THROW(ListFiles("C:\\", "*.jpg;*.bmp"));
}

TEST_F(FileListing, MissingFolderOrFileIsAnErrorWithAReason) {
    try {
        ListFiles(dir.file("gone"), "*.jpg;*.bmp");
        FAIL() << "no error for a missing folder";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "папка не существует");
    }
    WriteFile(dir.file("plain.txt"), "x");
    EXPECT_THROW(ListFiles(dir.file("plain.txt"), "*.jpg"), Error);
}

// ---- Pictures ------------------------------------------------------------------------------

class Pictures : public TempDirTest {};

TEST_F(Pictures, LoadsBmpJpegGifAndPngInTheirOwnPixelSize) {
    Encode(dir.file("p.bmp"), GUID_ContainerFormatBmp, 800, 600, 0xFF0000FF);
    Encode(dir.file("p.jpg"), GUID_ContainerFormatJpeg, 641, 479, 0xFF00FF00);
    Encode(dir.file("p.gif"), GUID_ContainerFormatGif, 33, 17, 0xFFFF0000);
    Encode(dir.file("p.png"), GUID_ContainerFormatPng, 1, 1, 0x00000000);
    for (auto [name, w, h] : {std::tuple{"p.bmp", 800, 600}, std::tuple{"p.jpg", 641, 479},
                              std::tuple{"p.gif", 33, 17}, std::tuple{"p.png", 1, 1}}) {
        const PicturePtr picture = LoadPicture(dir.file(name), {});
        ASSERT_NE(picture, nullptr) << name;
        EXPECT_EQ(picture->Width(), w) << name;
        EXPECT_EQ(picture->Height(), h) << name;
    }
}

TEST_F(Pictures, APhotoIsTurnedUprightByItsOrientationTag) {
    Encode(dir.file("plain.jpg"), GUID_ContainerFormatJpeg, 40, 20, 0xFF808080);
    const std::string jpeg = ReadFile(dir.file("plain.jpg"));
    // An EXIF block saying "turn a quarter clockwise" right after the start marker.
    const std::string tiff("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 26);
    const std::string exif = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = exif.size() + 2;
    const std::string segment = std::string("\xFF\xE1") + static_cast<char>(length >> 8) +
                                static_cast<char>(length & 0xFF) + exif;
    WriteFile(dir.file("turned.jpg"), jpeg.substr(0, 2) + segment + jpeg.substr(2));
    // A picture without the tag loads as stored; the tag is read from the file's own bytes, so
    // also where the system's decoder reports no metadata (Wine's).
    EXPECT_EQ(LoadPicture(dir.file("plain.jpg"), {})->Width(), 40);
    const PicturePtr turned = LoadPicture(dir.file("turned.jpg"), {});
    EXPECT_EQ(turned->Width(), 20);
    EXPECT_EQ(turned->Height(), 40);
    // A preview smaller than the photo is upright too: red, green, blue and yellow quarters.
    for (const char* name : {"orient-3.jpg", "orient-5.jpg", "orient-6.jpg", "orient-8.jpg"}) {
        const PicturePtr photo =
            LoadPicture(std::string(ORNAVEL_BINARY_DIR "/test-pictures/") + name, {24, 16});
        const auto& shown = dynamic_cast<const win32::Bitmap&>(*photo);
        ASSERT_EQ(shown.ShownWidth(), 24) << name;
        ASSERT_EQ(shown.ShownHeight(), 16) << name;
        const int quarters[4][3] = {{230, 30, 30}, {30, 200, 30}, {30, 30, 230}, {240, 220, 20}};
        for (int q = 0; q < 4; ++q) {
            const std::uint8_t* pixel =
                shown.Pixels() + 4 * ((q / 2 ? 12 : 4) * 24 + (q % 2 ? 18 : 6));
            EXPECT_NEAR(pixel[2], quarters[q][0], 32) << name << " quarter " << q;
            EXPECT_NEAR(pixel[1], quarters[q][1], 32) << name << " quarter " << q;
            EXPECT_NEAR(pixel[0], quarters[q][2], 32) << name << " quarter " << q;
        }
    }
}

TEST_F(Pictures, FilesThatAreNotPicturesAreErrorsWithAReason) {
    WriteFile(dir.file("text.jpg"), "this is not a picture");
    Encode(dir.file("whole.bmp"), GUID_ContainerFormatBmp, 300, 200, 0xFF808080);
    WriteFile(dir.file("cut.bmp"), ReadFile(dir.file("whole.bmp")).substr(0, 60));
    WriteFile(dir.file("empty.bmp"), "");
    for (const char* name : {"text.jpg", "cut.bmp", "empty.bmp", "missing.bmp"}) {
        try {
            LoadPicture(dir.file(name), {});
            ADD_FAILURE() << "no error for " << name;
        } catch (const Error& e) {
            EXPECT_THAT(std::string(e.what()), Not(IsEmpty())) << name;
        }
    }
    try {
        LoadPicture(dir.file("missing.bmp"), {});
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "файл не существует");
    }
}

TEST_F(Pictures, SavesAJpegAsABitmapOfItsOwnSizeReplacingTheOldFile) {
    Encode(dir.file("photo.jpg"), GUID_ContainerFormatJpeg, 333, 222, 0xFF2040C0);
    const std::string jpeg = ReadFile(dir.file("photo.jpg"));
    WriteFile(dir.file("wallpaper.bmp"), "old contents");
    SavePicture(*LoadPicture(dir.file("photo.jpg"), {}), dir.file("wallpaper.bmp"));
    const BmpInfo bmp = ReadBmp(dir.file("wallpaper.bmp"));
    ASSERT_TRUE(bmp.valid);
    EXPECT_EQ(bmp.width, 333);
    EXPECT_EQ(bmp.height, 222);
    EXPECT_EQ(bmp.bits, 24);
    EXPECT_NEAR(bmp.firstRed, 0x20, 8);
    EXPECT_NEAR(bmp.firstGreen, 0x40, 8);
    EXPECT_NEAR(bmp.firstBlue, 0xC0, 8);
    // The source is never touched, and nothing is left beside the target.
    EXPECT_EQ(ReadFile(dir.file("photo.jpg")), jpeg);
    EXPECT_THAT(ListFiles(dir.path().string(), "*.part"), IsEmpty());
    // A second save of the same picture gives the same file.
    const std::string first = ReadFile(dir.file("wallpaper.bmp"));
    SavePicture(*LoadPicture(dir.file("photo.jpg"), {}), dir.file("wallpaper.bmp"));
    EXPECT_EQ(ReadFile(dir.file("wallpaper.bmp")), first);
}

TEST_F(Pictures, TransparencyIsLaidOverWhite) {
    Encode(dir.file("clear.png"), GUID_ContainerFormatPng, 4, 4, 0x00000000);
    SavePicture(*LoadPicture(dir.file("clear.png"), {}), dir.file("out.bmp"));
    const BmpInfo bmp = ReadBmp(dir.file("out.bmp"));
    ASSERT_TRUE(bmp.valid);
    EXPECT_EQ(bmp.firstRed, 255);
    EXPECT_EQ(bmp.firstGreen, 255);
    EXPECT_EQ(bmp.firstBlue, 255);
}

TEST_F(Pictures, ATranslucentPictureIsSavedAsTheBytesBothPlatformsWrite) {
    WriteFile(dir.file("golden.png"), testing::golden::PngBytes());
    SavePicture(*WholePicture(LoadPicture(dir.file("golden.png"), {})), dir.file("wallpaper.bmp"));
    EXPECT_EQ(ReadFile(dir.file("wallpaper.bmp")), testing::golden::BitmapBytes());
}

TEST_F(Pictures, AFailedSaveLeavesTheOldFileAndReportsWhy) {
    Encode(dir.file("p.bmp"), GUID_ContainerFormatBmp, 10, 10, 0xFF000000);
    const PicturePtr picture = LoadPicture(dir.file("p.bmp"), {});
    try {
        SavePicture(*picture, dir.file("no such folder\\wallpaper.bmp"));
        FAIL() << "no error for a missing folder";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "папка не существует");
    }
    // A target that cannot be replaced (a folder of that name) keeps its place.
    std::filesystem::create_directory(dir.path() / "taken.bmp");
    EXPECT_THROW(SavePicture(*picture, dir.file("taken.bmp")), Error);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "taken.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "taken.bmp.part"));
}

// A 4 x 2 bitmap with a two-colour palette whose pixels are run-length coded as `runs`.
std::string RunLengthBitmap(const std::string& runs) {
    auto le = [](std::uint32_t value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
        return out;
    };
    const std::uint32_t offset = 14 + 40 + 8;
    return "BM" + le(offset + static_cast<std::uint32_t>(runs.size()), 4) + le(0, 4) +
           le(offset, 4) + le(40, 4) + le(4, 4) + le(2, 4) + le(1, 2) + le(8, 2) + le(1, 4) +
           le(static_cast<std::uint32_t>(runs.size()), 4) + le(0, 4) + le(0, 4) + le(2, 4) +
           le(0, 4) + std::string("\0\0\xFF\0\xFF\0\0\0", 8) + runs;
}

std::string LoadFailure(const std::string& path) {
    try {
        LoadPicture(path, {});
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST_F(Pictures, PicturesCutShortAreRefusedAndMinorDamageIsNot) {
    Encode(dir.file("p.jpg"), GUID_ContainerFormatJpeg, 300, 200, 0xFF3080C0);
    const std::string jpeg = ReadFile(dir.file("p.jpg"));
    const std::string runs("\x04\x00\x00\x00\x04\x01\x00\x01", 8);
    WriteFile(dir.file("stray.jpg"), jpeg.substr(0, 2) + "\x12\x34" + jpeg.substr(2));
    WriteFile(dir.file("rle.bmp"), RunLengthBitmap(runs));
    for (const char* name : {"p.jpg", "stray.jpg", "rle.bmp"}) {
        EXPECT_EQ(LoadFailure(dir.file(name)), "") << name;
    }
    WriteFile(dir.file("10.jpg"), jpeg.substr(0, jpeg.size() / 10));
    WriteFile(dir.file("50.jpg"), jpeg.substr(0, jpeg.size() / 2));
    WriteFile(dir.file("99.jpg"), jpeg.substr(0, jpeg.size() * 99 / 100));
    WriteFile(dir.file("cut.bmp"), RunLengthBitmap(runs.substr(0, 4)));
    for (const char* name : {"10.jpg", "50.jpg", "99.jpg", "cut.bmp"}) {
        EXPECT_EQ(LoadFailure(dir.file(name)), "файл повреждён или обрезан") << name;
    }
}

TEST_F(Pictures, WhatIsNoPlainFileOrTooLargeIsRefusedUnread) {
    EXPECT_EQ(LoadFailure("NUL"), "это не обычный файл (канал, сокет или устройство)");
    std::filesystem::create_directory(dir.path() / "folder.jpg");
    EXPECT_EQ(LoadFailure(dir.file("folder.jpg")), "это папка, а не файл");
    // 20 GB that start like a picture, sparse where the file system allows.
    Encode(dir.file("huge.bmp"), GUID_ContainerFormatBmp, 4, 4, 0xFF000000);
    HANDLE file = CreateFileW(win32::Wide(dir.file("huge.bmp")).c_str(), GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = std::int64_t{20} << 30;
    EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(LoadFailure(dir.file("huge.bmp")), "файл слишком велик (больше 512 МБ)");
}

TEST_F(Pictures, APreviewIsDecodedAtTheShownSizeAndTheWholePictureFromTheBytesReadThen) {
    Encode(dir.file("photo.jpg"), GUID_ContainerFormatJpeg, 2000, 1000, 0xFF2040C0);
    const PicturePtr picture = LoadPicture(dir.file("photo.jpg"), {197, 151});
    EXPECT_EQ(picture->Width(), 2000);
    EXPECT_EQ(picture->Height(), 1000);
    const auto& bitmap = dynamic_cast<const win32::Bitmap&>(*picture);
    EXPECT_EQ(bitmap.ShownWidth(), 197) << "only what the preview shows is held";
    EXPECT_EQ(bitmap.ShownHeight(), 151);
    // The file changes after the click: what is saved is still what was read.
    Encode(dir.file("photo.jpg"), GUID_ContainerFormatBmp, 30, 20, 0xFFFF0000);
    SavePicture(*WholePicture(picture), dir.file("wallpaper.bmp"));
    const BmpInfo bmp = ReadBmp(dir.file("wallpaper.bmp"));
    ASSERT_TRUE(bmp.valid);
    EXPECT_EQ(bmp.width, 2000);
    EXPECT_EQ(bmp.height, 1000);
    EXPECT_NEAR(bmp.firstRed, 0x20, 8);
    EXPECT_NEAR(bmp.firstBlue, 0xC0, 8);
}

}  // namespace
}  // namespace ornavel::platform
