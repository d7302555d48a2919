#include "platform/picture.hpp"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <cstdint>
#include <filesystem>

#include "platform/error.hpp"
#include "support/qt.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

std::uint32_t Le(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

class PictureTest : public testing::TempDirTest {
  protected:
    void SetUp() override { testing::App(); }

    std::string Save(const QImage& image, const char* name, const char* format) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), format));
        return path;
    }

    std::string Failure(const std::string& path) {
        try {
            LoadPicture(path);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    }
};

TEST_F(PictureTest, TheWallpaperFileIsA24BitBottomUpBitmapOfThePicturesOwnSize) {
    // Five pixels a row: 15 bytes padded to 16.
    QImage image(5, 2, QImage::Format_RGB32);
    image.fill(QColor(10, 20, 30));
    image.setPixelColor(0, 0, QColor(255, 0, 0));
    image.setPixelColor(4, 1, QColor(0, 0, 255));
    const auto picture = LoadPicture(Save(image, "in.png", "PNG"));
    EXPECT_EQ(picture->Width(), 5);
    EXPECT_EQ(picture->Height(), 2);
    const std::string out = dir.file("wallpaper.bmp");
    SavePicture(*picture, out);
    const std::string bmp = ReadFile(out);
    ASSERT_EQ(bmp.size(), 54u + 2 * 16);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(Le(bmp, 2, 4), bmp.size());
    EXPECT_EQ(Le(bmp, 10, 4), 54u);
    EXPECT_EQ(Le(bmp, 14, 4), 40u);
    EXPECT_EQ(Le(bmp, 18, 4), 5u);
    EXPECT_EQ(Le(bmp, 22, 4), 2u) << "a positive height: rows run bottom-up";
    EXPECT_EQ(Le(bmp, 28, 2), 24u);
    EXPECT_EQ(Le(bmp, 30, 4), 0u) << "no compression";
    // The last row of the picture comes first, blue green red.
    EXPECT_EQ(bmp.substr(54 + 12, 3), std::string("\xFF\x00\x00", 3));
    EXPECT_EQ(bmp.substr(54 + 16, 3), std::string("\x00\x00\xFF", 3));
    EXPECT_EQ(bmp.substr(54 + 16 + 3, 3), std::string("\x1E\x14\x0A", 3));
    EXPECT_EQ(bmp[54 + 15], '\0') << "row padding";

    // The file reads back as the same picture.
    const auto back = LoadPicture(out);
    EXPECT_EQ(back->Width(), 5);
    EXPECT_EQ(back->Height(), 2);
}

TEST_F(PictureTest, TransparencyIsShownOnWhite) {
    QImage image(1, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 128));
    const auto picture = LoadPicture(Save(image, "half.png", "PNG"));
    SavePicture(*picture, dir.file("out.bmp"));
    const std::string bmp = ReadFile(dir.file("out.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 4);
    EXPECT_EQ(static_cast<unsigned char>(bmp[54 + 2]), 255);  // red stays
    EXPECT_NEAR(static_cast<unsigned char>(bmp[54 + 1]), 127, 1);
    EXPECT_NEAR(static_cast<unsigned char>(bmp[54 + 0]), 127, 1);
}

TEST_F(PictureTest, APhotosOrientationIsApplied) {
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    // An EXIF block saying "turn by 90 degrees" right after the start-of-image marker.
    const char exif[] =
        "\xFF\xE1\x00\x22"
        "Exif\0\0"
        "II*\0\x08\0\0\0"
        "\x01\0"
        "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0"
        "\0\0\0\0";
    jpeg.insert(2, QByteArray(exif, sizeof exif - 1));
    const std::string path = dir.file("turned.jpg");
    WriteFile(path, jpeg.toStdString());
    const auto picture = LoadPicture(path);
    EXPECT_EQ(picture->Width(), 20);
    EXPECT_EQ(picture->Height(), 40);
}

TEST_F(PictureTest, FilesThatAreNoPictureAreRefusedWithAReason) {
    WriteFile(dir.file("text.jpg"), "just some text");
    EXPECT_EQ(Failure(dir.file("text.jpg")), "файл повреждён или не является изображением");
    EXPECT_NE(Failure(dir.file("missing.jpg")), "");
    fs::create_directories(dir.path() / "folder.bmp");
    EXPECT_NE(Failure(dir.file("folder.bmp")), "");

    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::green);
    const std::string whole = ReadFile(Save(image, "whole.bmp", "BMP"));
    WriteFile(dir.file("cut.bmp"), whole.substr(0, 60));
    EXPECT_NE(Failure(dir.file("cut.bmp")), "");

    // A header that promises 100000 x 100000 pixels is refused before anything is decoded.
    std::string huge = whole.substr(0, 54);
    for (int i = 0; i < 4; ++i) {
        huge[18 + i] = static_cast<char>((100000 >> (8 * i)) & 0xFF);
        huge[22 + i] = static_cast<char>((100000 >> (8 * i)) & 0xFF);
    }
    WriteFile(dir.file("huge.bmp"), huge);
    EXPECT_NE(Failure(dir.file("huge.bmp")), "");
}

TEST_F(PictureTest, NamesThatAreNotUtf8StillLoadAndSave) {
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    const std::string odd = dir.file("caf\xE9 \xFF.bmp");
    WriteFile(odd, bytes.toStdString());
    const auto picture = LoadPicture(odd);
    EXPECT_EQ(picture->Width(), 3);
    const std::string target = dir.file("\xC0\xC1 wallpaper.bmp");
    SavePicture(*picture, target);
    EXPECT_EQ(ReadFile(target).size(), 54u + 3 * 12);
}

TEST_F(PictureTest, AFailedWriteLeavesNothingBehindAndTheOldFileIntact) {
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    const auto picture = LoadPicture(Save(image, "white.png", "PNG"));
    // A directory in the way of the final name: the rename fails after the data was written.
    fs::create_directories(dir.path() / "out" / "wallpaper.bmp");
    WriteFile(dir.file("out/wallpaper.bmp/keep"), "old");
    EXPECT_THROW(SavePicture(*picture, dir.file("out/wallpaper.bmp")), Error);
    EXPECT_EQ(ReadFile(dir.file("out/wallpaper.bmp/keep")), "old");
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(dir.path() / "out")) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "no temporary file is left";
    EXPECT_THROW(SavePicture(*picture, dir.file("no/such/folder/wallpaper.bmp")), Error);
}

}  // namespace
}  // namespace ornavel::platform
