// The settings file on disk: writes replace the file whole and under a lock, and failures are
// silent.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "platform/linux/replacement_file.hpp"
#include "platform/profile.hpp"
#include "support/temp_dir.hpp"
#include "support/unprivileged.hpp"

namespace ornavel::platform {
namespace {

namespace fs = std::filesystem;
using testing::AsUnprivilegedUser;
using testing::ReadFile;
using testing::UnprivilegedUser;
using testing::WriteFile;

// Runs `body` in a child process that is killed when it takes longer than `seconds`: a read that
// blocks fails the test instead of hanging it.
void WithinSeconds(unsigned seconds, const std::function<void()>& body) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(seconds);
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (WIFSIGNALED(status) ? "blocked until killed" : "failed");
}

// Starts a writer of `path` that is killed with its temporary file half written.
void KillAWriterMidway(const std::string& path) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ReplacementFile file(path);
        if (write(file.fd(), "[Main]\r\nPa", 10) != 10) _exit(1);
        raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
}

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

// Run as the unprivileged user, whom the folder's mode really stops: the superuser would make
// the temporary file all the same and never reach the rewrite in place.
TEST_F(SettingsFileTest, WritableFileInAFolderThatTakesNoNewFiles) {
    WriteFile(path, "[Main]\r\nPath=old\r\n");
    const testing::TestUser user = UnprivilegedUser();
    ASSERT_NE(user.uid, 0u) << "no unprivileged user to run as";
    ASSERT_EQ(chown(dir.path().c_str(), user.uid, user.gid), 0);
    ASSERT_EQ(chown(path.c_str(), user.uid, user.gid), 0);
    AsUnprivilegedUser([&] {
        ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
        ASSERT_LT(open(dir.file("probe").c_str(), O_WRONLY | O_CREAT, 0644), 0)
            << "the folder still takes new files";
        EXPECT_TRUE(WritePrivateProfile("Main", "Path", "new", path));
        EXPECT_EQ(ReadFile(path), "[Main]\r\nPath=new\r\n");
        EXPECT_EQ(chmod(dir.path().c_str(), 0755), 0);
    });
    EXPECT_EQ(ReadFile(path), "[Main]\r\nPath=new\r\n");
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

TEST_F(SettingsFileTest, PipesDevicesAndFoldersAreRefusedWithoutWaitingOrReading) {
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    const std::string zero = dir.file("zero.ini"), random = dir.file("random.ini");
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    ASSERT_EQ(symlink("/dev/urandom", random.c_str()), 0);
    fs::create_directory(dir.path() / "folder.ini");
    WithinSeconds(20, [&] {
        for (const std::string& file : {path, zero, random}) {
            EXPECT_EQ(ReadPrivateProfile("Main", "Path", "none", 255, file), "none") << file;
            EXPECT_EQ(ProfileFileProblem(file), "это не обычный файл") << file;
            EXPECT_FALSE(WritePrivateProfile("Main", "Path", "x", file)) << file;
            EXPECT_EQ(ProfileWriteProblem(file), "это не обычный файл") << file;
        }
        EXPECT_EQ(ProfileFileProblem(dir.file("folder.ini")), "это папка");
        EXPECT_EQ(ProfileWriteProblem(dir.file("folder.ini")), "это папка");
    });
    EXPECT_TRUE(fs::is_fifo(path));
    EXPECT_TRUE(fs::is_symlink(zero));
}

TEST_F(SettingsFileTest, AFileOverTheLimitIsRefusedUnread) {
    WriteFile(path, "[Main]\r\nPath=big\r\n");
    // Sparse: it costs no disk, and reading it to the end would take a while.
    ASSERT_EQ(truncate(path.c_str(), off_t{1} << 30), 0);
    EXPECT_EQ(ProfileFileProblem(path), "файл больше 4 МиБ");
    EXPECT_EQ(ReadPrivateProfile("Main", "Path", "", 255, path), "");
    EXPECT_FALSE(WritePrivateProfile("Main", "Path", "x", path));
    EXPECT_EQ(fs::file_size(path), std::uintmax_t{1} << 30);

    WriteFile(path, "[Main]\r\nPath=small\r\n");
    EXPECT_EQ(ProfileFileProblem(path), "");
    EXPECT_EQ(ProfileFileProblem(dir.file("missing.ini")), "") << "made at the first write";
}

TEST_F(SettingsFileTest, TemporariesOfKilledWritersGoAtTheNextWriteAndALiveOneStays) {
    WriteFile(path, "[Main]\r\nPath=old\r\n");
    // Each writer removes the temporary of the one killed before it.
    for (int i = 0; i < 3; ++i) KillAWriterMidway(path);
    EXPECT_EQ(EntriesInDir(), 2u);
    // Left by an earlier version, which named them so.
    WriteFile(path + ".tmp-4242-123456", "[Main]");
    WriteFile(path + ".backup", "kept");
    WriteFile(dir.file("other.ini") + kTemporaryMarker + "abcdef", "another file's");
    EXPECT_EQ(EntriesInDir(), 5u);

    // A writer that is still at work keeps its temporary. It says when its temporary is there.
    int pipeFds[2], readyFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    ASSERT_EQ(pipe(readyFds), 0);
    const pid_t live = fork();
    ASSERT_GE(live, 0);
    if (live == 0) {
        alarm(60);
        close(readyFds[0]);
        ReplacementFile file(dir.file("live.ini"));
        char go;
        if (write(file.fd(), "[Main]\r\n", 8) != 8 || write(readyFds[1], "r", 1) != 1 ||
            read(pipeFds[0], &go, 1) != 1) {
            _exit(1);
        }
        _exit(file.Commit() ? 0 : 1);
    }
    close(readyFds[1]);
    char ready;
    ASSERT_EQ(read(readyFds[0], &ready, 1), 1) << "the live writer ended before its temporary";
    close(readyFds[0]);
    ASSERT_EQ(EntriesInDir(), 6u);
    ReplacementFile(dir.file("live.ini"));  // sweeps, then is dropped unused

    EXPECT_TRUE(WritePrivateProfile("Main", "Path", "new", path));
    EXPECT_EQ(ReadFile(path), "[Main]\r\nPath=new\r\n");
    ASSERT_EQ(write(pipeFds[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(live, &status, 0), live);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the live writer lost its file";
    close(pipeFds[0]);
    close(pipeFds[1]);

    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        left.insert(entry.path().filename().string());
    }
    EXPECT_EQ(left, (std::set<std::string>{"options.ini", "options.ini.backup", "live.ini",
                                           "other.ini.ornavel-tmp-abcdef"}));
}

// The cases only a user who is not the superuser meets: files and folders that refuse them.
TEST_F(SettingsFileTest, ReadOnlyAndForeignSettingsAreNotWrittenAndSayWhy) {
    const testing::TestUser user = UnprivilegedUser();
    const fs::path own = dir.path() / "own", foreign = dir.path() / "foreign";
    fs::create_directory(own);
    fs::create_directory(foreign);
    ASSERT_EQ(chown(own.c_str(), user.uid, user.gid), 0);
    const std::string readOnly = (own / "options.ini").string();
    WriteFile(readOnly, "[Main]\r\nPath=kept\r\n");
    ASSERT_EQ(chown(readOnly.c_str(), user.uid, user.gid), 0);
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    const std::string othersFile = (own / "others.ini").string();
    WriteFile(othersFile, "[Main]\r\nPath=kept\r\n");  // the superuser's, 0644
    const std::string inForeignFolder = (foreign / "options.ini").string();

    AsUnprivilegedUser([&] {
        EXPECT_FALSE(WritePrivateProfile("Main", "Path", "x", readOnly));
        EXPECT_EQ(ProfileWriteProblem(readOnly), "файл только для чтения");
        EXPECT_FALSE(WritePrivateProfile("Main", "Path", "x", othersFile));
        EXPECT_EQ(ProfileWriteProblem(othersFile), "нет доступа");
        EXPECT_EQ(ReadPrivateProfile("Main", "Path", "", 255, othersFile), "kept");
        EXPECT_FALSE(WritePrivateProfile("Main", "Path", "x", inForeignFolder));
        EXPECT_EQ(ProfileWriteProblem(inForeignFolder),
                  "в папку «" + foreign.string() + "» нельзя записать: нет доступа");
        EXPECT_EQ(ProfileWriteProblem((own / "new.ini").string()), "");
    });
    EXPECT_EQ(ReadFile(readOnly), "[Main]\r\nPath=kept\r\n");
    EXPECT_EQ(ReadFile(othersFile), "[Main]\r\nPath=kept\r\n");
    EXPECT_FALSE(fs::exists(inForeignFolder));
}

// A folder that takes no new file: the settings are rewritten in place, and a reader at the same
// time sees the old file or the new one, never a part. The Path line comes after a long one, so
// a read during the write finds no Path at all.
TEST_F(SettingsFileTest, ReadersNeverSeeARewriteInPlaceHalfDone) {
    const testing::TestUser user = UnprivilegedUser();
    WriteFile(path, "[Main]\r\nPad=\r\nPath=x\r\n");
    ASSERT_EQ(chown(path.c_str(), user.uid, user.gid), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);

    AsUnprivilegedUser([&] {
        ASSERT_NE(access(dir.path().c_str(), W_OK), 0) << "the folder must take no new file";
        const std::string pad(1 << 20, 'p');
        const pid_t writer = fork();
        if (writer == 0) {
            bool ok = true;
            for (int i = 0; i < 60 && ok; ++i) {
                ok = WritePrivateProfile("Main", "Pad", i % 2 ? pad : "", path);
            }
            _exit(ok ? 0 : 1);
        }
        int torn = 0, reads = 0, status = 0;
        while (waitpid(writer, &status, WNOHANG) == 0) {
            if (ReadPrivateProfile("Main", "Path", "", 255, path) != "x") ++torn;
            ++reads;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writer failed";
        EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    });
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(SettingsFileTest, ValuesTheFileCannotKeepAreNamed) {
    EXPECT_EQ(ProfileValueProblem(std::string(254, 'a'), 255), "");
    EXPECT_EQ(ProfileValueProblem(std::string(255, 'a'), 255),
              "путь длиннее 254 знаков, а больше файл настроек не хранит");
    // The quotes do not count, but a quoted value gives up one more place.
    EXPECT_EQ(ProfileValueProblem("\"" + std::string(253, 'a') + "\"", 255), "");
    EXPECT_EQ(ProfileValueProblem("\"" + std::string(254, 'a') + "\"", 255),
              "путь длиннее 253 знаков, а больше файл настроек не хранит");
    EXPECT_EQ(ProfileValueProblem(std::string(254, 'a') + "ж", 255),
              "путь длиннее 254 знаков, а больше файл настроек не хранит");
    EXPECT_EQ(ProfileValueProblem("/a\nb", 255), "в имени есть перевод строки");
}

}  // namespace
}  // namespace ornavel::platform
