// The settings file on disk: writes replace the file whole and under a lock, and failures are
// silent.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/profile.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

class SettingsFileTest : public testing::TempDirTest {
  protected:
    std::string path = dir.file("options.ini");

    static mode_t ModeOf(const std::string& file) {
        struct stat info {};
        EXPECT_EQ(stat(file.c_str(), &info), 0);
        return info.st_mode & 07777;
    }
    static ino_t InodeOf(const std::string& file) {
        struct stat info {};
        EXPECT_EQ(stat(file.c_str(), &info), 0);
        return info.st_ino;
    }
    std::size_t EntriesInDir() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
    }
};

TEST_F(SettingsFileTest, WriteReplacesTheFileWholeAndKeepsItsPermissions) {
    WriteFile(path, "[Main]\r\nPath=old\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    // A reader that opened the old file keeps seeing the old text: it is never cut in place.
    const int reader = open(path.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);

    EXPECT_TRUE(WritePrivateProfile("Main", "Path", "new", path));
    EXPECT_EQ(ReadFile(path), "[Main]\r\nPath=new\r\n");
    EXPECT_EQ(ModeOf(path), 0640u);
    char old[64] = {};
    EXPECT_EQ(pread(reader, old, sizeof old - 1, 0), 18);
    EXPECT_STREQ(old, "[Main]\r\nPath=old\r\n");
    close(reader);
    EXPECT_EQ(EntriesInDir(), 1u) << "no temporary file is left beside it";
}

TEST_F(SettingsFileTest, NewFileGetsTheUsualPermissions) {
    const mode_t mask = umask(022);
    EXPECT_TRUE(WritePrivateProfile("Main", "Path", "x", path));
    umask(mask);
    EXPECT_EQ(ModeOf(path), 0644u);
}

TEST_F(SettingsFileTest, SameValueDoesNotRewriteTheFile) {
    WriteFile(path, "[Main]\r\nPath=same\r\n");
    const ino_t before = InodeOf(path);
    EXPECT_TRUE(WritePrivateProfile("Main", "Path", "same", path));
    EXPECT_EQ(InodeOf(path), before);
}

TEST_F(SettingsFileTest, WriteThroughASymbolicLinkChangesItsTarget) {
    fs::create_directory(dir.path() / "real");
    const std::string target = dir.file("real/options.ini");
    WriteFile(target, "[Main]\r\nPath=old\r\n");
    ASSERT_EQ(symlink("real/options.ini", path.c_str()), 0);

    EXPECT_TRUE(WritePrivateProfile("Main", "Path", "new", path));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(ReadFile(target), "[Main]\r\nPath=new\r\n");
    EXPECT_EQ(ReadPrivateProfile("Main", "Path", "", 255, path), "new");

    // A link whose target does not exist yet creates the target.
    const std::string dangling = dir.file("dangling.ini");
    ASSERT_EQ(symlink(dir.file("real/created.ini").c_str(), dangling.c_str()), 0);
    EXPECT_TRUE(WritePrivateProfile("Main", "Path", "made", dangling));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(ReadFile(dir.file("real/created.ini")), "[Main]\r\nPath=made\r\n");
}

TEST_F(SettingsFileTest, TwoProcessesWritingAtOnceLoseNoKeys) {
    constexpr int kKeys = 150;
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            bool ok = true;
            for (int i = 0; i < kKeys; ++i) {
                const std::string key = "p" + std::to_string(child) + "k" + std::to_string(i);
                ok = WritePrivateProfile("Main", key, std::to_string(i), path) && ok;
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int missing = 0;
    for (int child = 0; child < 2; ++child) {
        for (int i = 0; i < kKeys; ++i) {
            const std::string key = "p" + std::to_string(child) + "k" + std::to_string(i);
            if (ReadPrivateProfile("Main", key, "", 255, path) != std::to_string(i)) ++missing;
        }
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(SettingsFileTest, FailedWritesReturnFalseAndChangeNothing) {
    EXPECT_FALSE(WritePrivateProfile("Main", "Path", "x", dir.file("missing/options.ini")));
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));

    WriteFile(path, "[Main]\r\nPath=kept\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(WritePrivateProfile("Main", "Path", "x", path));
    EXPECT_EQ(ReadFile(path), "[Main]\r\nPath=kept\r\n");

    fs::create_directory(dir.path() / "folder.ini");
    EXPECT_FALSE(WritePrivateProfile("Main", "Path", "x", dir.file("folder.ini")));
    EXPECT_EQ(EntriesInDir(), 2u);
}

TEST_F(SettingsFileTest, WritableFileInAFolderThatTakesNoNewFiles) {
    WriteFile(path, "[Main]\r\nPath=old\r\n");
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    EXPECT_TRUE(WritePrivateProfile("Main", "Path", "new", path));
    EXPECT_EQ(ReadFile(path), "[Main]\r\nPath=new\r\n");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(SettingsFileTest, UnreadableFileReadsTheDefault) {
    EXPECT_EQ(ReadPrivateProfile("Main", "Path", "dflt  ", 255, dir.file("none.ini")), "dflt");
    fs::create_directory(dir.path() / "folder.ini");
    EXPECT_EQ(ReadPrivateProfile("Main", "Path", "dflt", 255, dir.file("folder.ini")), "dflt");
}

TEST_F(SettingsFileTest, ValuesAreCutByCharactersNeverInsideOne) {
    std::string cyrillic;
    for (int i = 0; i < 300; ++i) cyrillic += "ж";
    WriteFile(path, "[Main]\r\nPath=" + cyrillic + "\r\n");
    const std::string read = ReadPrivateProfile("Main", "Path", "", 255, path);
    EXPECT_EQ(read, cyrillic.substr(0, 254 * 2));

    // Bytes that are not UTF-8 count one character each and stay as they are.
    const std::string raw = "\xFF\xC3" + std::string(260, 'a');
    WriteFile(path, "[Main]\r\nPath=" + raw + "\r\n");
    EXPECT_EQ(ReadPrivateProfile("Main", "Path", "", 255, path), raw.substr(0, 254));
    EXPECT_EQ(ReadPrivateProfile("Main", "Path", "", 3, path), "\xFF\xC3");
}

}  // namespace
}  // namespace ornavel::platform
