#include "components/ini/ini.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "components/ini/number.hpp"
#include "components/ini/wine.hpp"
#include "platform/profile.hpp"
#include "support/temp_dir.hpp"

namespace ornavel {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class IniTest : public testing::TempDirTest {
  protected:
    IniTest() {
        path = dir.file("options.ini");
        ini.FileName(path);
    }
    // Puts `text` in the settings file and reads `key` of section "Main".
    std::string ReadFrom(const std::string& text, const std::string& key = "Path") {
        WriteFile(path, text);
        return ini.RINI("Main", key);
    }

    std::string path;
    INI ini;
};

TEST(IniFileName, EmptyPathReadsNothingAndWritesNothing) {
    testing::TempDir dir;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    INI ini;
    EXPECT_EQ(ini.FileName(), "");
    ini.WInI("Main", "Path", "x");
    EXPECT_EQ(ini.RINI("Main", "Path"), "");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    std::filesystem::current_path(before);
}

TEST_F(IniTest, MissingFileReadsAsNothingAndIsNotCreated) {
    EXPECT_EQ(ini.RINI("Main", "Path"), "");
    EXPECT_FALSE(ini.RINIb("Main", "Path"));
    EXPECT_EQ(ini.RINIi("Main", "Path"), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(IniTest, FirstWriteCreatesTheFileWithSectionAndKey) {
    ini.WInI("Main", "Path", "C:\\Pictures");
    EXPECT_EQ(ReadFile(path), "[Main]\r\nPath=C:\\Pictures\r\n");
    EXPECT_EQ(ini.RINI("Main", "Path"), "C:\\Pictures");
}

TEST_F(IniTest, ReadsTheValueWithoutBlanksAndOnePairOfQuotes) {
    EXPECT_EQ(ReadFrom("[Main]\r\n  Path  =   C:\\a b  \r\n"), "C:\\a b");
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=\"quoted\"\r\n"), "quoted");
    EXPECT_EQ(ReadFrom("[Main]\r\nPath='single'\r\n"), "single");
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=\"\"inner\"\"\r\n"), "\"inner\"");
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=\" keeps blanks \"\r\n"), " keeps blanks ");
    // Quotes that do not match are part of the value.
    EXPECT_EQ(ReadFrom("[Main]\r\nPath='mixed\"\r\n"), "'mixed\"");
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=\"\r\n"), "\"");
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=a=b\r\n"), "a=b");
}

TEST_F(IniTest, NamesMatchWithoutRegardToCaseOrSurroundingBlanks) {
    WriteFile(path, "[mAiN]\r\nPATH=x\r\n[ Other ]\r\n key =y\r\n");
    EXPECT_EQ(ini.RINI("MAIN", "path"), "x");
    EXPECT_EQ(ini.RINI("other", "KEY"), "y");
    EXPECT_EQ(ini.RINI(" Main ", " Path "), "x");
    EXPECT_EQ(ini.RINI("Mai", "Path"), "");
    EXPECT_EQ(ini.RINI("Main", "Pat"), "");
}

TEST_F(IniTest, FirstOfDuplicateSectionsAndKeysWins) {
    WriteFile(path, "[Main]\r\nPath=first\r\nPath=second\r\n[main]\r\nPath=third\r\nOnly=here\r\n");
    EXPECT_EQ(ini.RINI("Main", "Path"), "first");
    // Only the first section of a name is searched.
    EXPECT_EQ(ini.RINI("Main", "Only"), "");
    ini.WInI("Main", "Path", "new");
    EXPECT_EQ(ini.RINI("Main", "Path"), "new");
    ini.WInI("Main", "Only", "added");
    EXPECT_EQ(ini.RINI("Main", "Only"), "added");
}

TEST_F(IniTest, EmptyValuesAndKeysWithoutEqualsReadAsNothing) {
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=\r\n"), "");
    EXPECT_EQ(ReadFrom("[Main]\r\nPath\r\n"), "");
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=   \r\n"), "");
    EXPECT_EQ(ReadFrom("[Other]\r\nPath=x\r\n"), "");
    EXPECT_EQ(ReadFrom(""), "");
}

TEST_F(IniTest, LongValuesAreCutTo254Characters) {
    const std::string exact(254, 'a');
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=" + exact + "\r\n"), exact);
    const std::string longer = std::string(254, 'b') + std::string(46, 'c');
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=" + longer + "\r\n"), std::string(254, 'b'));
    // A long line does not disturb the lines after it.
    EXPECT_EQ(ReadFrom("[Main]\r\nJunk=" + std::string(5000, 'j') + "\r\nPath=after\r\n"), "after");
    const std::string quoted = "\"" + std::string(300, 'q') + "\"";
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=" + quoted + "\r\n"), std::string(254, 'q'));
    EXPECT_EQ(ReadFrom("[Main]\r\nPath=\"" + std::string(200, 'q') + "\"\r\n"),
              std::string(200, 'q'));
}

TEST_F(IniTest, FilesThatAreNotWellFormedStillRead) {
    // Lines before any section, a broken section line, text after the bracket, bare lines.
    WriteFile(path,
              "Path=outside\r\n[Broken\r\nPath=broken\r\n[Main] trailing\r\nno equals here\r\n"
              ";Path=comment\r\nPath=inside\r\n");
    EXPECT_EQ(ini.RINI("Main", "Path"), "inside");
    EXPECT_EQ(ini.RINI("Broken", "Path"), "");
    // Line feeds alone and carriage returns alone end lines too.
    EXPECT_EQ(ReadFrom("[Other]\nPath=x\n[Main]\nPath=lf\n"), "lf");
    EXPECT_EQ(ReadFrom("[Other]\rPath=x\r[Main]\rPath=cr"), "cr");
    EXPECT_EQ(ReadFrom("\r\n\r\n   \r\n[Main]\r\n\r\n\tPath\t=\tx\t\r\n"), "x");
}

TEST_F(IniTest, WriteReplacesTheValueAndKeepsEverythingElse) {
    WriteFile(path, "[First]\r\nA=1\r\n[Main]\r\nPath=old\r\nB=2\r\n[Last]\r\nC=3\r\n");
    ini.WInI("Main", "Path", "new");
    EXPECT_EQ(ReadFile(path), "[First]\r\nA=1\r\n[Main]\r\nPath=new\r\nB=2\r\n[Last]\r\nC=3\r\n");
    // The key is matched without regard to case and keeps the name it has in the file.
    ini.WInI("MAIN", "path", "again");
    EXPECT_EQ(ReadFile(path), "[First]\r\nA=1\r\n[Main]\r\nPath=again\r\nB=2\r\n[Last]\r\nC=3\r\n");
}

TEST_F(IniTest, NewKeyGoesToTheEndOfItsSectionAndNewSectionToTheEnd) {
    WriteFile(path, "[Main]\r\nA=1\r\n[Other]\r\nB=2\r\n");
    ini.WInI("Main", "Path", "p");
    EXPECT_EQ(ReadFile(path), "[Main]\r\nA=1\r\nPath=p\r\n[Other]\r\nB=2\r\n");
    ini.WInI("Third", "C", "3");
    EXPECT_EQ(ReadFile(path), "[Main]\r\nA=1\r\nPath=p\r\n[Other]\r\nB=2\r\n[Third]\r\nC=3\r\n");
}

TEST_F(IniTest, EmptyValueKeepsTheKey) {
    ini.WInI("Main", "Path", "x");
    ini.WInI("Main", "Path", "");
    EXPECT_EQ(ReadFile(path), "[Main]\r\nPath=\r\n");
    EXPECT_EQ(ini.RINI("Main", "Path"), "");
}

TEST_F(IniTest, WriteIntoAMissingFolderIsSilent) {
    INI missing;
    missing.FileName((dir.path() / "no such folder" / "options.ini").string());
    missing.WInI("Main", "Path", "x");
    EXPECT_EQ(missing.RINI("Main", "Path"), "");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "no such folder"));
}

TEST_F(IniTest, WriteToAReadOnlyFileIsSilentAndChangesNothing) {
    WriteFile(path, "[Main]\r\nPath=kept\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    if (testing::RunningUnderWine()) {
        if (std::FILE* probe = std::fopen(path.c_str(), "r+b")) {
            std::fclose(probe);
            GTEST_SKIP() << "Wine run by the superuser writes read-only files";
        }
    }
    ini.WInI("Main", "Path", "changed");
    ini.WInI("Main", "Other", "added");
    EXPECT_EQ(ReadFile(path), "[Main]\r\nPath=kept\r\n");
    EXPECT_EQ(ini.RINI("Main", "Path"), "kept");
}

TEST_F(IniTest, YesNoValuesAreTrueOrFalseExactly) {
    ini.WInIb("Main", "Flag", true);
    EXPECT_EQ(ReadFile(path), "[Main]\r\nFlag=True\r\n");
    EXPECT_TRUE(ini.RINIb("Main", "Flag"));
    ini.WInIb("Main", "Flag", false);
    EXPECT_EQ(ini.RINI("Main", "Flag"), "False");
    EXPECT_FALSE(ini.RINIb("Main", "Flag"));

    for (const char* text : {"true", "TRUE", "1", "-1", "Yes", "", "True!"}) {
        WriteFile(path, std::string("[Main]\r\nFlag=") + text + "\r\n");
        EXPECT_FALSE(ini.RINIb("Main", "Flag")) << text;
    }
    WriteFile(path, "[Main]\r\nFlag=  True  \r\n");
    EXPECT_TRUE(ini.RINIb("Main", "Flag"));
    WriteFile(path, "[Main]\r\nFlag=\"True\"\r\n");
    EXPECT_TRUE(ini.RINIb("Main", "Flag"));
}

TEST_F(IniTest, IntegersAreWrittenInDecimalAndReadBack) {
    for (const std::int16_t value : {0, 42, -5, 32767, -32768}) {
        ini.WInIi("Main", "N", value);
        EXPECT_EQ(ini.RINI("Main", "N"), std::to_string(value));
        EXPECT_EQ(ini.RINIi("Main", "N"), value);
    }
    EXPECT_EQ(ReadFrom("[Main]\r\nN=2.5\r\n", "N"), "2.5");
    EXPECT_EQ(ini.RINIi("Main", "N"), 2);
    WriteFile(path, "[Main]\r\nN=3.5\r\n");
    EXPECT_EQ(ini.RINIi("Main", "N"), 4);
    WriteFile(path, "[Main]\r\nN=12abc\r\n");
    EXPECT_EQ(ini.RINIi("Main", "N"), 12);
    WriteFile(path, "[Main]\r\nN=abc\r\n");
    EXPECT_EQ(ini.RINIi("Main", "N"), 0);
    WriteFile(path, "[Main]\r\nN=&HFFFF\r\n");
    EXPECT_EQ(ini.RINIi("Main", "N"), -1);
    WriteFile(path, "[Main]\r\nN=40000\r\n");
    EXPECT_THROW(ini.RINIi("Main", "N"), OverflowError);
}

TEST_F(IniTest, CyrillicTextRoundTrips) {
    if (!testing::CyrillicSurvivesAnsi()) GTEST_SKIP() << "the ANSI code page is not Cyrillic";
    ini.WInI("Main", "Path", "C:\\Картинки\\Лето");
    EXPECT_EQ(ini.RINI("Main", "Path"), "C:\\Картинки\\Лето");
    ini.WInI("Настройки", "Папка", "да");
    EXPECT_EQ(ini.RINI("Настройки", "Папка"), "да");
}

TEST_F(IniTest, CyrillicNamesMatchWithoutRegardToCase) {
    if (!testing::CyrillicSurvivesAnsi()) GTEST_SKIP() << "the ANSI code page is not Cyrillic";
    if (testing::RunningUnderWine()) GTEST_SKIP() << "Wine folds the case of ASCII letters only";
    ini.WInI("Настройки", "Ёлка", "да");
    EXPECT_EQ(ini.RINI("НАСТРОЙКИ", "ёЛКА"), "да");
    EXPECT_EQ(ini.RINI("настройки", "елка"), "");
}

TEST_F(IniTest, ShortBuffersCutTheValue) {
    WriteFile(path, "[Main]\r\nPath=abcdef\r\nQ=\"abcdef\"\r\n");
    EXPECT_EQ(platform::ReadPrivateProfile("Main", "Path", "", 4, path), "abc");
    EXPECT_EQ(platform::ReadPrivateProfile("Main", "Path", "", 1, path), "");
    EXPECT_EQ(platform::ReadPrivateProfile("Main", "Q", "", 4, path), "abc");
    EXPECT_EQ(platform::ReadPrivateProfile("Main", "Missing", "fallback", 255, path), "fallback");
    EXPECT_EQ(platform::ReadPrivateProfile("Main", "Missing", "fallback", 5, path), "fall");
}

}  // namespace
}  // namespace ornavel
