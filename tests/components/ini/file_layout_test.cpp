// Where a write leaves the other bytes of the file. Windows changes only the line of the key it
// writes (or adds one); Wine writes the whole file anew, so most of these cases run on Linux and
// on Windows itself, not under Wine.
#include <gtest/gtest.h>

#include <string>

#include "components/ini/ini.hpp"
#include "components/ini/wine.hpp"
#include "support/temp_dir.hpp"

namespace ornavel {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class FileLayoutTest : public testing::TempDirTest {
  protected:
    FileLayoutTest() {
        path = dir.file("options.ini");
        ini.FileName(path);
    }
    // Writes Main/Path = value into a file holding `before` and returns the file's bytes.
    std::string After(const std::string& before, const std::string& section = "Main",
                      const std::string& key = "Path", const std::string& value = "new") {
        WriteFile(path, before);
        ini.WInI(section, key, value);
        return ReadFile(path);
    }

    std::string path;
    INI ini;
};

TEST_F(FileLayoutTest, SameValueLeavesTheFileAlone) {
    const std::string text = "; settings\r\n\r\n[Main]\n   Path =  same  \n\n[X]\r\nY=1";
    EXPECT_EQ(After(text, "Main", "Path", "same"), text);
}

TEST_F(FileLayoutTest, ReplacingAValueKeepsBlankLinesCommentsAndLineEnds) {
    SKIP_UNDER_WINE();
    EXPECT_EQ(After("; comment\r\n\r\n[Main]\r\n\r\n  Path = old \r\n\r\nNext = 1\r\n"),
              "; comment\r\n\r\n[Main]\r\n\r\nPath=new\r\n\r\nNext = 1\r\n");
    // Each line keeps its own ending, the rewritten one too.
    EXPECT_EQ(After("[Main]\nPath=old\nOther=2\n"), "[Main]\nPath=new\nOther=2\n");
    EXPECT_EQ(After("[Main]\r\nPath=old"), "[Main]\r\nPath=new");
    EXPECT_EQ(After("\xEF\xBB\xBF[Main]\r\nPath=old\r\n"), "\xEF\xBB\xBF[Main]\r\nPath=new\r\n");
}

TEST_F(FileLayoutTest, NewKeyFollowsTheLastLineOfItsSection) {
    SKIP_UNDER_WINE();
    EXPECT_EQ(After("[Main]\r\nA=1\r\n; note\r\n\r\n\r\n[Other]\r\nB=2\r\n"),
              "[Main]\r\nA=1\r\n; note\r\nPath=new\r\n\r\n\r\n[Other]\r\nB=2\r\n");
    EXPECT_EQ(After("[Main]\n\n[Other]\n"), "[Main]\nPath=new\r\n\n[Other]\n");
    // The first of two sections of the same name takes the key.
    EXPECT_EQ(After("[Main]\nA=1\n\n[MAIN]\nB=2\n"), "[Main]\nA=1\nPath=new\r\n\n[MAIN]\nB=2\n");
    // A last line without an ending gets one before the new line.
    EXPECT_EQ(After("[Main]\nA=1"), "[Main]\nA=1\r\nPath=new\r\n");
    EXPECT_EQ(After("[Main]"), "[Main]\r\nPath=new\r\n");
}

TEST_F(FileLayoutTest, NewSectionStartsOnANewLineAtTheEnd) {
    SKIP_UNDER_WINE();
    EXPECT_EQ(After("[Other]\nB=2\n\n"), "[Other]\nB=2\n\n[Main]\r\nPath=new\r\n");
    EXPECT_EQ(After("[Other]\nB=2"), "[Other]\nB=2\r\n[Main]\r\nPath=new\r\n");
    EXPECT_EQ(After("  loose line\n[Broken\n"), "  loose line\n[Broken\n[Main]\r\nPath=new\r\n");
}

TEST_F(FileLayoutTest, NewLinesLoseLeadingBlanksOnly) {
    // Reading them back trims the trailing ones.
    EXPECT_EQ(After("", " Main", "  Path", "  v  "), "[Main]\r\nPath=v  \r\n");
    EXPECT_EQ(ini.RINI("Main", "Path"), "v");
}

TEST_F(FileLayoutTest, ValuesWithLineBreaksAreWrittenAsGiven) {
    // The component stores text unchanged; the second line becomes a line of its own.
    EXPECT_EQ(After("", "Main", "Path", "one\r\ntwo=2"), "[Main]\r\nPath=one\r\ntwo=2\r\n");
    EXPECT_EQ(ini.RINI("Main", "Path"), "one");
    EXPECT_EQ(ini.RINI("Main", "two"), "2");
}

}  // namespace
}  // namespace ornavel
