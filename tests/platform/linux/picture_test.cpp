#include "platform/picture.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <cstdint>
#include <filesystem>

#include "platform/bitmap_file_golden.hpp"
#include "platform/error.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/picture_data.hpp"
#include "support/qt.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

namespace data = picture_data;

std::string Jpeg(const QImage& image, bool progressive = false) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes.toStdString();
}

// A picture whose every pixel differs, so that a decoder's shortcut would show.
QImage Pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 7, y * 5, (x ^ y) & 0xFF));
    }
    return image;
}

std::string PutLe(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
    return out;
}

// A 4 x 2 bitmap with a two-colour palette whose pixels are run-length coded as `runs`.
std::string RunLengthBitmap(const std::string& runs, bool fourBits) {
    const std::string palette = std::string("\0\0\xFF\0", 4) + std::string("\xFF\0\0\0", 4);
    const std::uint32_t offset = 14 + 40 + 8;
    return "BM" + PutLe(offset + runs.size(), 4) + PutLe(0, 4) + PutLe(offset, 4) + PutLe(40, 4) +
           PutLe(4, 4) + PutLe(2, 4) + PutLe(1, 2) + PutLe(fourBits ? 4 : 8, 2) +
           PutLe(fourBits ? 2 : 1, 4) + PutLe(runs.size(), 4) + PutLe(0, 4) + PutLe(0, 4) +
           PutLe(2, 4) + PutLe(0, 4) + palette + runs;
}

// A 3 x 2 bitmap with the old OS/2 header, 24 bits a pixel.
std::string Os2Bitmap() {
    const std::string rows(2 * 12, '\x40');
    return "BM" + PutLe(26 + rows.size(), 4) + PutLe(0, 4) + PutLe(26, 4) + PutLe(12, 4) +
           PutLe(3, 2) + PutLe(2, 2) + PutLe(1, 2) + PutLe(24, 2) + rows;
}

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
            LoadPicture(path, {});
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
    const auto picture = LoadPicture(Save(image, "in.png", "PNG"), {});
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
    const auto back = LoadPicture(out, {});
    EXPECT_EQ(back->Width(), 5);
    EXPECT_EQ(back->Height(), 2);
}

TEST_F(PictureTest, TransparencyIsShownOnWhite) {
    QImage image(1, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 128));
    const auto picture = LoadPicture(Save(image, "half.png", "PNG"), {});
    SavePicture(*picture, dir.file("out.bmp"));
    const std::string bmp = ReadFile(dir.file("out.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 4);
    EXPECT_EQ(static_cast<unsigned char>(bmp[54 + 2]), 255);  // red stays
    EXPECT_NEAR(static_cast<unsigned char>(bmp[54 + 1]), 127, 1);
    EXPECT_NEAR(static_cast<unsigned char>(bmp[54 + 0]), 127, 1);
}

TEST_F(PictureTest, ATranslucentPictureIsSavedAsTheBytesBothPlatformsWrite) {
    WriteFile(dir.file("golden.png"), testing::golden::PngBytes());
    SavePicture(*WholePicture(LoadPicture(dir.file("golden.png"), {})), dir.file("wallpaper.bmp"));
    EXPECT_EQ(ReadFile(dir.file("wallpaper.bmp")), testing::golden::BitmapBytes());
}

TEST_F(PictureTest, APhotosOrientationIsApplied) {
    const QByteArray jpeg = testing::TurnedJpeg(40, 20);
    const std::string path = dir.file("turned.jpg");
    WriteFile(path, jpeg.toStdString());
    const auto picture = LoadPicture(path, {});
    EXPECT_EQ(picture->Width(), 20);
    EXPECT_EQ(picture->Height(), 40);
    // A preview smaller than the photo is upright too: red, green, blue and yellow quarters.
    for (const char* name : {"orient-3.jpg", "orient-5.jpg", "orient-6.jpg", "orient-8.jpg"}) {
        const auto photo =
            LoadPicture(std::string(ORNAVEL_BINARY_DIR "/test-pictures/") + name, {24, 16});
        const QImage& shown = linux_qt::QtPictureOf(*photo).Shown();
        ASSERT_EQ(shown.size(), QSize(24, 16)) << name;
        const QColor quarters[] = {QColor(230, 30, 30), QColor(30, 200, 30), QColor(30, 30, 230),
                                   QColor(240, 220, 20)};
        for (int q = 0; q < 4; ++q) {
            const QColor got = shown.pixelColor(q % 2 ? 18 : 6, q / 2 ? 12 : 4);
            EXPECT_NEAR(got.red(), quarters[q].red(), 32) << name << " quarter " << q;
            EXPECT_NEAR(got.green(), quarters[q].green(), 32) << name << " quarter " << q;
            EXPECT_NEAR(got.blue(), quarters[q].blue(), 32) << name << " quarter " << q;
        }
    }
}

TEST_F(PictureTest, FilesThatAreNoPictureAreRefusedWithAReason) {
    WriteFile(dir.file("text.jpg"), "just some text");
    EXPECT_EQ(Failure(dir.file("text.jpg")),
              "это не изображение или его формат программе неизвестен");
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
    const auto picture = LoadPicture(odd, {});
    EXPECT_EQ(picture->Width(), 3);
    const std::string target = dir.file("\xC0\xC1 wallpaper.bmp");
    SavePicture(*picture, target);
    EXPECT_EQ(ReadFile(target).size(), 54u + 3 * 12);
}

TEST_F(PictureTest, AFailedWriteLeavesNothingBehindAndTheOldFileIntact) {
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    const auto picture = LoadPicture(Save(image, "white.png", "PNG"), {});
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

TEST_F(PictureTest, APreviewIsDecodedAtTheShownSizeAndTheWholePictureFromTheBytesReadThen) {
    const std::string path = dir.file("photo.jpg");
    WriteFile(path, Jpeg(Pattern(2000, 1000)));
    const auto picture = LoadPicture(path, {197, 151});
    EXPECT_EQ(picture->Width(), 2000);
    EXPECT_EQ(picture->Height(), 1000);
    const auto& shown = static_cast<const linux_qt::QtPicture&>(*picture).Shown();
    EXPECT_EQ(shown.size(), QSize(197, 151)) << "only what the preview shows is held";

    // The file changes after the click: what is saved is still what was read.
    QImage other(40, 30, QImage::Format_RGB32);
    other.fill(Qt::red);
    WriteFile(path, Jpeg(other));
    const auto whole = WholePicture(picture);
    ASSERT_NE(whole, picture);
    EXPECT_EQ(whole->Width(), 2000);
    EXPECT_EQ(whole->Height(), 1000);
    const QImage& pixels = static_cast<const linux_qt::QtPicture&>(*whole).Shown();
    const QImage expected = Pattern(2000, 1000);
    for (const QPoint at : {QPoint(0, 0), QPoint(1234, 567), QPoint(1999, 999)}) {
        const QColor got = pixels.pixelColor(at), want = expected.pixelColor(at);
        EXPECT_NEAR(got.red(), want.red(), 24) << at.x();
        EXPECT_NEAR(got.green(), want.green(), 24) << at.x();
    }
    // A picture no larger than the preview is held whole, and is its own whole picture.
    const auto little = LoadPicture(Save(Pattern(50, 40), "small.bmp", "BMP"), {197, 151});
    EXPECT_EQ(WholePicture(little), little);
}

TEST_F(PictureTest, PicturesCutShortAreRefusedAndMinorDamageIsNot) {
    const std::string jpeg = Jpeg(Pattern(300, 200));
    const std::string progressive = Jpeg(Pattern(300, 200), true);
    const std::string bmp = ReadFile(Save(Pattern(30, 20), "whole.bmp", "BMP"));
    // Runs: 4 pixels of 0, end of line, 4 pixels of 1, end of bitmap.
    const std::string runs8("\x04\x00\x00\x00\x04\x01\x00\x01", 8);
    const std::string runs4("\x04\x00\x00\x00\x04\x11\x00\x01", 8);
    const std::string os2 = Os2Bitmap();
    const std::string png = ReadFile(Save(Pattern(30, 20), "whole.png", "PNG"));
    // A text chunk after the header that says it holds 1.7 GB, in a file of a few hundred bytes.
    const std::string boastful =
        png.substr(0, 33) + std::string("\x66\x79\x00\x33tEXtdate", 12) + png.substr(33);
    // One white pixel: screen, colours, a graphic control extension, the picture, the end.
    const std::string gif(
        "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
        "!\xf9\x04\x01\x00\x00\x00\x00"
        ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
        43);
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"whole.jpg", jpeg},
             {"progressive.jpg", progressive},
             {"rle8.bmp", RunLengthBitmap(runs8, false)},
             {"rle4.bmp", RunLengthBitmap(runs4, true)},
             {"os2.bmp", os2},
             {"whole.gif", gif},
             {"untrailed.gif", gif.substr(0, gif.size() - 1)},
             {"whole.png", png},
             // Stray bytes between segments, and runs that end with the last row unmarked.
             {"stray.jpg", jpeg.substr(0, 2) + "\x12\x34" + jpeg.substr(2)},
             {"unmarked.bmp", RunLengthBitmap(runs8.substr(0, 6), false)},
         }) {
        WriteFile(dir.file(name), bytes);
        EXPECT_EQ(Failure(dir.file(name)), "") << name;
    }
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"10.jpg", jpeg.substr(0, jpeg.size() / 10)},
             {"50.jpg", jpeg.substr(0, jpeg.size() / 2)},
             {"99.jpg", jpeg.substr(0, jpeg.size() * 99 / 100)},
             {"progressive.jpg", progressive.substr(0, progressive.size() * 3 / 4)},
             {"rle8.bmp", RunLengthBitmap(runs8.substr(0, 4), false)},
             {"rle4.bmp", RunLengthBitmap(runs4.substr(0, 3), true)},
             {"os2.bmp", os2.substr(0, os2.size() - 5)},
             {"24bit.bmp", bmp.substr(0, bmp.size() - 100)},
             {"50.gif", gif.substr(0, gif.size() / 2)},
             {"50.png", png.substr(0, png.size() / 2)},
             {"boastful.png", boastful},
         }) {
        WriteFile(dir.file(name), bytes);
        EXPECT_EQ(Failure(dir.file(name)), data::kCutShort) << name;
    }
}

TEST_F(PictureTest, FilesThatAreNoPlainFileOrTooLargeAreRefusedUnread) {
    // A FIFO nobody writes to would block a plain open for ever.
    ASSERT_EQ(::mkfifo(dir.file("fifo.jpg").c_str(), 0600), 0);
    EXPECT_EQ(Failure(dir.file("fifo.jpg")), data::kNotAFile);
    fs::create_symlink("/dev/zero", dir.path() / "zero.jpg");
    EXPECT_EQ(Failure(dir.file("zero.jpg")), data::kNotAFile);
    fs::create_directories(dir.path() / "folder.jpg");
    EXPECT_EQ(Failure(dir.file("folder.jpg")), data::kFolder);
    // 20 GB that start like a JPEG, sparse: refused by its size, not read.
    const std::string huge = dir.file("huge.jpg");
    WriteFile(huge, Jpeg(Pattern(16, 16)));
    ASSERT_EQ(::truncate(huge.c_str(), off_t{20} << 30), 0);
    EXPECT_EQ(Failure(huge), data::kTooLarge);
}

}  // namespace
}  // namespace ornavel::platform
