#include "platform/bitmap_file.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/bitmap_file_golden.hpp"
#include "platform/error.hpp"

namespace ornavel::platform {
namespace {

using ::testing::ElementsAre;

std::uint32_t Le(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// Writes a picture whose rows are `pixels` (top first, 4 bytes a pixel) to a string; `asked`
// collects the rows in the order the encoder asks for them.
std::string Encode(int width, int height, const std::vector<std::vector<std::uint8_t>>& pixels,
                   std::vector<int>* asked = nullptr) {
    std::string file;
    BitmapFile(width, height)
        .Write(
            [&](int y) {
                if (asked != nullptr) asked->push_back(y);
                return pixels.at(static_cast<std::size_t>(y)).data();
            },
            [&](const std::uint8_t* data, std::size_t size) {
                file.append(reinterpret_cast<const char*>(data), size);
            });
    return file;
}

std::string Failure(int width, int height) {
    try {
        BitmapFile file(width, height);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(BitmapFile, TheAgreedPictureIsWrittenByteForByteAskingEachRowOnceFromTheBottom) {
    std::vector<std::vector<std::uint8_t>> rows;
    for (const auto& row : testing::golden::kPixels)
        rows.emplace_back(std::begin(row), std::end(row));
    std::vector<int> asked;
    EXPECT_EQ(Encode(testing::golden::kWidth, testing::golden::kHeight, rows, &asked),
              testing::golden::BitmapBytes());
    EXPECT_THAT(asked, ElementsAre(1, 0));
}

TEST(BitmapFile, RowsAreBottomUpBlueGreenRedAndPaddedWithZerosForEveryWidth) {
    for (int width = 1; width <= 5; ++width) {
        const int height = 3;
        std::vector<std::vector<std::uint8_t>> rows(height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                rows[y].insert(rows[y].end(), {std::uint8_t(10 * x), std::uint8_t(100 + y),
                                               std::uint8_t(200 + x + y), 255});
            }
        }
        const std::string file = Encode(width, height, rows);
        const std::size_t stride = (width * 3 + 3) / 4 * 4;
        ASSERT_EQ(file.size(), 54 + stride * height) << width;
        EXPECT_EQ(file.substr(0, 2), "BM");
        EXPECT_EQ(Le(file, 2, 4), file.size());
        EXPECT_EQ(Le(file, 10, 4), 54u);
        EXPECT_EQ(Le(file, 18, 4), std::uint32_t(width));
        EXPECT_EQ(Le(file, 22, 4), std::uint32_t(height)) << "positive: bottom-up";
        EXPECT_EQ(Le(file, 28, 2), 24u);
        EXPECT_EQ(Le(file, 34, 4), stride * height);
        EXPECT_EQ(Le(file, 38, 4), 3780u);
        for (int y = 0; y < height; ++y) {
            const std::size_t row = 54 + stride * (height - 1 - y);
            for (int x = 0; x < width; ++x) {
                EXPECT_EQ(Le(file, row + 3 * x, 3),
                          10u * x | (100u + y) << 8 | (200u + x + y) << 16)
                    << width << " " << x << "," << y;
            }
            for (std::size_t pad = width * 3; pad < stride; ++pad) {
                EXPECT_EQ(file[row + pad], '\0') << width << " " << y;
            }
        }
    }
}

TEST(BitmapFile, TransparencyIsLaidOverWhiteRoundedToTheNearestValue) {
    // Blue 0, green 1, red 255: clear is white, opaque keeps the colour, half way rounds.
    const auto pixel = [](std::uint8_t alpha) {
        const std::string file = Encode(1, 1, {{0, 1, 255, alpha}});
        return Le(file, 54, 3);
    };
    EXPECT_EQ(pixel(0), 0xFFFFFFu);
    EXPECT_EQ(pixel(255), 0xFF0100u);
    EXPECT_EQ(pixel(128), 0xFF807Fu);  // green 128.0: a truncated division gives 127
}

TEST(BitmapFile, EmptyPicturesAndFilesOverFourGigabytesAreRefusedBeforeAnyWrite) {
    EXPECT_EQ(Failure(0, 10), "пустое изображение");
    EXPECT_EQ(Failure(10, 0), "пустое изображение");
    EXPECT_EQ(Failure(-1, 10), "пустое изображение");
    // Four pixels a row take 12 bytes: the largest height whose file size fits in 32 bits.
    const int tallest = (0xFFFFFFFF - 54) / 12;
    EXPECT_EQ(Failure(4, tallest), "");
    EXPECT_EQ(BitmapFile(4, tallest).FileBytes(), 54 + 12 * std::uint64_t(tallest));
    EXPECT_EQ(Failure(4, tallest + 1), "изображение слишком велико для BMP");
    EXPECT_EQ(Failure(1 << 30, 1 << 30), "изображение слишком велико для BMP");
}

TEST(BitmapFile, LargeFilesGoOutInWholeBlocksAndAFailedWriteStopsTheRows) {
    const int width = 1000, height = 400;  // 1.2 MB of pixels
    const std::vector<std::uint8_t> row(width * 4, 255);
    const BitmapFile file(width, height);
    std::vector<std::size_t> writes;
    int asked = 0;
    file.Write(
        [&](int) {
            ++asked;
            return row.data();
        },
        [&](const std::uint8_t*, std::size_t size) { writes.push_back(size); });
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], BitmapFile::kBlockBytes);
    EXPECT_EQ(writes[0] + writes[1], file.FileBytes());
    EXPECT_EQ(asked, height);

    asked = 0;
    EXPECT_THROW(file.Write(
                     [&](int) {
                         ++asked;
                         return row.data();
                     },
                     [](const std::uint8_t*, std::size_t) { throw Error("диск переполнен"); }),
                 Error);
    EXPECT_LT(asked, height) << "rows after the failed write are not read";
}

}  // namespace
}  // namespace ornavel::platform
