// The file list of a folder: which entries it takes and the order it gives them in.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/directory.hpp"
#include "platform/error.hpp"
#include "platform/file_list.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::WriteFile;

class FileListTest : public testing::TempDirTest {
  protected:
    void Touch(const std::vector<std::string>& names) {
        for (const std::string& name : names) WriteFile(dir.file(name), "x");
    }
    std::vector<std::string> List(const std::string& pattern = "*.jpg;*.bmp") {
        return ListFiles(dir.path().string(), pattern);
    }
};

TEST_F(FileListTest, NaturalOrderComparesNumbersByValueThenIgnoresCase) {
    Touch({"img10.jpg", "img2.jpg", "img1.jpg", "IMG3.bmp", "b.jpg", "A.jpg", "img02.jpg",
           "x1y10.jpg", "x1y9.jpg", "a.jpg"});
    EXPECT_THAT(List(), ElementsAre("A.jpg", "a.jpg", "b.jpg", "img1.jpg", "img02.jpg", "img2.jpg",
                                    "IMG3.bmp", "img10.jpg", "x1y9.jpg", "x1y10.jpg"));
}

TEST_F(FileListTest, HugeNumbersInNamesStillCompareByValue) {
    Touch({"p99999999999999999999999.jpg", "p100000000000000000000000.jpg", "p7.jpg"});
    EXPECT_THAT(List(), ElementsAre("p7.jpg", "p99999999999999999999999.jpg",
                                    "p100000000000000000000000.jpg"));
}

// Many names, the order decided by any byte: in the first characters, far past them, or only by
// case.
TEST_F(FileListTest, AFolderOfManyNamesComesInNaturalOrder) {
    std::vector<std::string> expected;
    for (int i = 0; i < 700; ++i) expected.push_back("DSC_" + std::to_string(i) + ".jpg");
    for (const char* name : {"holiday at the sea, day 2.bmp", "holiday at the sea, day 10.bmp",
                             "Holiday at the sea, Day 10.bmp", "holiday at the sea, day 10.jpg"}) {
        expected.push_back(name);
    }
    for (auto it = expected.rbegin(); it != expected.rend(); ++it) Touch({*it});
    Touch({"DSC_1.txt", "holiday at the sea, day 3.png"});
    std::vector<std::string> sorted = expected;
    std::swap(sorted[702], sorted[701]);  // "Holiday" comes before "holiday", as bytes do
    EXPECT_EQ(List(), sorted);
}

TEST_F(FileListTest, TakesPlainFilesAndLinksToThemMatchingAnyPattern) {
    Touch({"photo.JPG", "scan.Bmp", "notes.txt", "archive.jpg.gz", "jpg", ".jpg"});
    fs::create_directory(dir.path() / "folder.jpg");
    ASSERT_EQ(mkfifo(dir.file("pipe.jpg").c_str(), 0600), 0);
    ASSERT_EQ(symlink("photo.JPG", dir.file("link.jpg").c_str()), 0);
    ASSERT_EQ(symlink("missing.jpg", dir.file("dangling.jpg").c_str()), 0);
    ASSERT_EQ(symlink("folder.jpg", dir.file("dirlink.jpg").c_str()), 0);
    EXPECT_THAT(List(), ElementsAre(".jpg", "link.jpg", "photo.JPG", "scan.Bmp"));
}

TEST_F(FileListTest, WildcardsAndCyrillicCase) {
    Touch({"a1.png", "a12.png", "ФОТО.JPG", "фото2.jpg", "b.png"});
    EXPECT_THAT(List("a?.png"), ElementsAre("a1.png"));
    EXPECT_THAT(List("a*;;b.*"), ElementsAre("a1.png", "a12.png", "b.png"));
    EXPECT_THAT(List("фото*"), ElementsAre("ФОТО.JPG", "фото2.jpg"));
    EXPECT_THAT(List(""), IsEmpty());
}

TEST_F(FileListTest, NamesThatAreNotUtf8AreKeptAsBytes) {
    const std::string name = "caf\xE9 \xFF.jpg";
    Touch({name, "cafe.jpg"});
    const std::vector<std::string> names = List();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "cafe.jpg");
    EXPECT_EQ(names[1], name);
}

TEST_F(FileListTest, EmptyFolderTextListsNothing) {
    EXPECT_THAT(ListFiles("", "*.jpg"), IsEmpty());
}

TEST_F(FileListTest, UnreadableFolderThrowsWithTheReason) {
    try {
        ListFiles(dir.file("missing"), "*.jpg");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "файл или папка не существует");
    }
    Touch({"file.jpg"});
    try {
        ListFiles(dir.file("file.jpg"), "*.jpg");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "это не папка");
    }
}

TEST_F(FileListTest, FirstFileNameFindsOnlyAPlainFileAtThatPath) {
    Touch({"wallpaper.bmp"});
    fs::create_directory(dir.path() / "folder.bmp");
    EXPECT_EQ(FirstFileName(dir.file("wallpaper.bmp")), "wallpaper.bmp");
    EXPECT_EQ(FirstFileName(dir.file("WALLPAPER.BMP")), "");
    EXPECT_EQ(FirstFileName(dir.file("folder.bmp")), "");
    EXPECT_EQ(FirstFileName(dir.file("none.bmp")), "");
    EXPECT_EQ(FirstFileName(""), "");
}

}  // namespace
}  // namespace ornavel::platform
