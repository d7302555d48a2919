// The test pictures of make_pictures.py through picture loading and the wallpaper file: the same
// suite runs on Linux and, under Wine, on Windows, so a picture that passes here gives the same
// wallpaper file on both.
#include "platform/picture.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/error.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform {
namespace {

using testing::ReadFile;

// The preview of the main window; every test picture is smaller, so it is held whole.
constexpr ShownSize kPreview{197, 151};

std::string Picture(const std::string& name) {
    return std::string(ORNAVEL_BINARY_DIR) + "/test-pictures/" + name;
}

std::string LoadFailure(const std::string& name) {
    try {
        LoadPicture(Picture(name), kPreview);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

// The wallpaper file a picture gives, as bytes.
std::string Wallpaper(const PicturePtr& picture, const testing::TempDir& dir) {
    const std::string out = dir.file("wallpaper.bmp");
    SavePicture(*picture, out);
    return ReadFile(out);
}

struct Rgb {
    int red, green, blue;
};

// The pixel at (x, y), 0 the top row, of a wallpaper file (24 bits, bottom-up).
Rgb PixelOf(const std::string& bmp, int x, int y) {
    const auto le = [&](std::size_t at) {
        return static_cast<std::uint32_t>(std::uint8_t(bmp[at]) | std::uint8_t(bmp[at + 1]) << 8 |
                                          std::uint8_t(bmp[at + 2]) << 16 |
                                          std::uint32_t{std::uint8_t(bmp[at + 3])} << 24);
    };
    const std::uint32_t width = le(18), height = le(22);
    const std::size_t stride = (width * 3 + 3) & ~3u;
    const std::size_t at = 54 + stride * (height - 1 - static_cast<std::uint32_t>(y)) + 3 * x;
    return {std::uint8_t(bmp[at + 2]), std::uint8_t(bmp[at + 1]), std::uint8_t(bmp[at])};
}

TEST(PictureFiles, EveryBitmapVariantGivesTheWallpaperFileWorkedOutForItToTheByte) {
    // Palettes (OS/2 headers, a palette shorter than its indices, rows top-down), run-length
    // data that skips pixels and ends early, and 16, 24 and 32 bits with every kind of mask.
    for (const char* name : {"pal1",
                             "pal1-os2",
                             "pal1-os2v2",
                             "pal4",
                             "pal4-os2",
                             "pal4-os2v2",
                             "pal8",
                             "pal8-os2",
                             "pal8-os2v2",
                             "pal8-short-palette",
                             "pal8-topdown",
                             "rle8",
                             "rle8-runoff",
                             "rle4",
                             "rgb16-555",
                             "rgb16-565",
                             "rgb16-231",
                             "rgba16-4444",
                             "rgba16-1924",
                             "rgb24",
                             "rgb24-v4",
                             "rgb32",
                             "rgb32-noise",
                             "rgb32-bitfields",
                             "rgb32-10-10-10-2",
                             "rgb32-11-11-10",
                             "rgb32-7-18-7",
                             "rgba32-v5",
                             "rgba32-alphabitfields"}) {
        SCOPED_TRACE(name);
        const std::string expected = ReadFile(Picture(std::string(name) + ".expected.bmp"));
        ASSERT_FALSE(expected.empty());
        testing::TempDir dir;
        PicturePtr picture;
        try {
            picture = LoadPicture(Picture(std::string(name) + ".bmp"), kPreview);
        } catch (const Error& e) {
            ADD_FAILURE() << "refused: " << e.what();
            continue;
        }
        EXPECT_EQ(picture->Width(), 11);
        EXPECT_EQ(picture->Height(), 6);
        // Twice, so that nothing left in memory by the first load can show in the second.
        EXPECT_EQ(Wallpaper(picture, dir), expected);
        EXPECT_EQ(Wallpaper(LoadPicture(Picture(std::string(name) + ".bmp"), {}), dir), expected);
    }
}

TEST(PictureFiles, WhatIsNotShownIsRefusedWithItsReasonInWords) {
    const std::string notShown = ", такие изображения программа не показывает";
    const std::pair<const char*, std::string> refusals[] = {
        {"pal2.bmp", "это 2-битный BMP" + notShown},
        {"rgba64.bmp", "это 64-битный BMP" + notShown},
        {"png.bmp", "это BMP со встроенным PNG" + notShown},
        {"jpeg.bmp", "это BMP со встроенным JPEG" + notShown},
        {"huffman.bmp", "это BMP со сжатием Хаффмана (OS/2)" + notShown},
        {"rle24.bmp", "это BMP со сжатием RLE24 (OS/2)" + notShown},
        {"jpeg12.jpg", "это 12-битный JPEG" + notShown},
        {"arithmetic.jpg", "это JPEG с арифметическим кодированием" + notShown},
        {"lossless.jpg", "это JPEG без потерь (lossless)" + notShown},
        {"negative-width.bmp", "файл повреждён: отрицательная ширина"},
        {"bad-masks.bmp", "файл повреждён: маски цветов заданы неверно"},
        {"cut-short.bmp", "файл повреждён или обрезан"},
        {"huge.bmp",
         "изображение слишком велико (40000 x 30000), программа открывает "
         "изображения не больше 268 миллионов точек"},
        {"text.jpg", "это не изображение или его формат программе неизвестен"},
    };
    for (const auto& [name, reason] : refusals) {
        EXPECT_EQ(LoadFailure(name), reason) << name;
    }
}

TEST(PictureFiles, EveryOrientationIsShownAndInstalledUprightWithTheUprightSize) {
    // Red, green, blue and yellow quarters, upright; JPEG moves each colour a little.
    const std::array<Rgb, 4> quarters{
        {{230, 30, 30}, {30, 200, 30}, {30, 30, 230}, {240, 220, 20}}};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::string name = "orient-" + std::to_string(orientation) + ".jpg";
        SCOPED_TRACE(name);
        testing::TempDir dir;
        // Whole, and decoded for a preview smaller than the picture.
        for (const ShownSize shown : {ShownSize{}, ShownSize{24, 16}}) {
            const PicturePtr picture = LoadPicture(Picture(name), shown);
            EXPECT_EQ(picture->Width(), 48);
            EXPECT_EQ(picture->Height(), 32);
            const std::string bmp = Wallpaper(WholePicture(picture), dir);
            for (int q = 0; q < 4; ++q) {
                const Rgb got = PixelOf(bmp, q % 2 ? 36 : 12, q / 2 ? 24 : 8);
                EXPECT_LE(std::abs(got.red - quarters[q].red), 24) << "quarter " << q;
                EXPECT_LE(std::abs(got.green - quarters[q].green), 24) << "quarter " << q;
                EXPECT_LE(std::abs(got.blue - quarters[q].blue), 24) << "quarter " << q;
            }
        }
    }
}

}  // namespace
}  // namespace ornavel::platform
