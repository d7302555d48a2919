// The file list control both front ends hold: what it lists once a folder is set, and what it
// gives for an index outside the list. The same suite runs on Linux and, under Wine, on Windows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/error.hpp"
#include "platform/file_list.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform {
namespace {

using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using testing::WriteFile;

class FileListControl : public testing::TempDirTest {
  protected:
    static std::vector<std::string> Entries(const FileList& list) {
        std::vector<std::string> names;
        for (int i = 0; i < list.Count(); ++i) names.push_back(list.Entry(i));
        return names;
    }
};

TEST_F(FileListControl, ListsTheFolderWithItsPatternAndRescansOnEverySet) {
    for (const char* name : {"a.jpg", "b.BMP", "c.png"}) WriteFile(dir.file(name), "x");
    std::filesystem::create_directory(dir.path() / "d.jpg");
    FileList list("*.jpg;*.bmp");
    EXPECT_EQ(list.Count(), 0);
    list.SetFolder(dir.path().string());
    EXPECT_EQ(list.Folder(), dir.path().string());
    EXPECT_THAT(Entries(list), UnorderedElementsAre("a.jpg", "b.BMP"));

    std::filesystem::remove(dir.path() / "a.jpg");
    WriteFile(dir.file("e.jpg"), "x");
    list.SetFolder(dir.path().string());
    EXPECT_THAT(Entries(list), UnorderedElementsAre("b.BMP", "e.jpg"));
}

TEST_F(FileListControl, AnIndexOutsideTheListReadsEmpty) {
    WriteFile(dir.file("one.jpg"), "x");
    FileList list("*.jpg");
    EXPECT_EQ(list.Entry(0), "");
    list.SetFolder(dir.path().string());
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Entry(0), "one.jpg");
    for (const int outside : {1, -1, INT_MAX, INT_MIN}) {
        EXPECT_EQ(list.Entry(outside), "") << outside;
    }
}

TEST_F(FileListControl, AFolderThatCannotBeReadLeavesTheListEmptyAndBoundToIt) {
    WriteFile(dir.file("one.jpg"), "x");
    FileList list("*.jpg");
    list.SetFolder(dir.path().string());
    ASSERT_EQ(list.Count(), 1);
    const std::string missing = dir.file("gone");
    EXPECT_THROW(list.SetFolder(missing), Error);
    EXPECT_EQ(list.Folder(), missing);
    EXPECT_THAT(Entries(list), IsEmpty());
    EXPECT_EQ(list.Entry(0), "");
}

}  // namespace
}  // namespace ornavel::platform
