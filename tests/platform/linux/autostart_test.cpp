#include "platform/linux/autostart.hpp"

#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/error.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::SetEnv;

// Program paths whose entry must still start exactly that file: blanks, quotes, the shell's and
// the entry's own special characters, field codes, backslashes, line breaks and Cyrillic.
const std::vector<std::string> kHardPrograms = {
    "my apps/orn avel",
    "it's \"q\" `id` $HOME $(id)/orna%u %%vel",
    "back\\slash/x;y&z|<w>*?#~",
    " \xd0\xbe\xd0\xb1\xd0\xbe\xd0\xb8/line\nbreak\ttab",
};

// The entry is read back by GLib's desktop-entry code, which GNOME, Cinnamon, MATE and Xfce start
// autostart entries with.
class AutostartTest : public testing::TempDirTest {
  protected:
    void SetUp() override {
        for (const char* name : {"XDG_CONFIG_HOME", "ORNAVEL_DESKTOP_RECORD"}) {
            const char* value = std::getenv(name);
            saved_[name] = value ? value : "";
        }
        SetEnv("XDG_CONFIG_HOME", dir.file("config"));
        SetEnv("ORNAVEL_DESKTOP_RECORD", dir.file("calls"));
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) SetEnv(name, value);
    }

    // A program at `name` in the test's folder that records how it was started.
    std::string Program(const std::string& name) {
        const fs::path path = dir.path() / "programs" / name;
        fs::create_directories(path.parent_path());
        fs::create_symlink(ORNAVEL_FAKE_TOOL, path);
        return path.string();
    }

    // Starts the entry as a session does; returns its command's arguments after the program's
    // own file name, or a failure.
    std::vector<std::string> Launch(const std::string& program) {
        GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(RestoreEntryPath().c_str());
        if (!info) return {"(the entry is not valid or not to be started)"};
        GPid pid = 0;
        GError* error = nullptr;
        const gboolean started = g_desktop_app_info_launch_uris_as_manager(
            info, nullptr, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
            [](GDesktopAppInfo*, GPid child, gpointer data) { *static_cast<GPid*>(data) = child; },
            &pid, &error);
        g_object_unref(info);
        if (!started) {
            std::string reason = error->message;
            g_error_free(error);
            return {"(not started: " + reason + ")"};
        }
        waitpid(pid, nullptr, 0);
        // The stand-in writes its name, each argument and a line end, NUL-separated.
        const std::string record = ReadFile(dir.file("calls"));
        fs::remove(dir.file("calls"));
        std::vector<std::string> words;
        for (std::size_t at = 0; at < record.size() && record[at] != '\n';) {
            const std::size_t end = record.find('\0', at);
            words.push_back(record.substr(at, end - at));
            at = end + 1;
        }
        if (words.empty() || words[0] != fs::path(program).filename().string()) {
            return {"(another program ran: " + record + ")"};
        }
        words.erase(words.begin());
        return words;
    }

    std::map<std::string, std::string> saved_;
};

TEST_F(AutostartTest, TheEntryStartsExactlyTheProgramWithRestoreWhateverItsPath) {
    for (const std::string& name : kHardPrograms) {
        const std::string program = Program(name);
        WriteRestoreEntry(program);
        EXPECT_EQ(Launch(program), std::vector<std::string>{"--restore"}) << name;
    }
    EXPECT_EQ(RestoreEntryPath(), dir.file("config/autostart/ornavel-restore.desktop"));
}

TEST_F(AutostartTest, WithoutItsProgramTheEntryIsNotStarted) {
    const std::string program = Program("ornavel");
    WriteRestoreEntry(program);
    fs::remove(program);
    EXPECT_EQ(g_desktop_app_info_new_from_filename(RestoreEntryPath().c_str()), nullptr)
        << "TryExec names the program";
}

TEST_F(AutostartTest, APathNoEntryCanHoldIsRefusedAndNothingIsWritten) {
    EXPECT_THROW(WriteRestoreEntry(dir.file("\xff\xfe/ornavel")), Error);
    EXPECT_THROW(WriteRestoreEntry(dir.file("bell\a/ornavel")), Error);
    EXPECT_FALSE(fs::exists(RestoreEntryPath()));
}

TEST_F(AutostartTest, TheEntryIsReplacedWholeAndAKilledWritersLeftoverGoes) {
    const std::string first = Program("first/ornavel"), second = Program("second/ornavel");
    WriteRestoreEntry(first);
    const std::string entry = RestoreEntryPath();
    const std::string before = dir.file("before.desktop");
    fs::create_hard_link(entry, before);
    const std::string leftover = entry + ".ornavel-tmp-Ab12Cd";
    testing::WriteFile(leftover, "[Desktop Entry]\nExec=");

    WriteRestoreEntry(second);
    EXPECT_EQ(ReadFile(before), RestoreEntry(first)) << "the old entry was not written over";
    EXPECT_EQ(ReadFile(entry), RestoreEntry(second));
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_EQ(Launch(second), std::vector<std::string>{"--restore"});

    // The same entry again is left as it is.
    fs::remove(before);
    fs::create_hard_link(entry, before);
    WriteRestoreEntry(second);
    EXPECT_TRUE(fs::equivalent(entry, before));
}

TEST_F(AutostartTest, RemovingTakesOnlyTheEntryAndNoEntryIsNoFailure) {
    WriteRestoreEntry(Program("ornavel"));
    const std::string other = dir.file("config/autostart/other.desktop");
    testing::WriteFile(other, "[Desktop Entry]\n");
    RemoveRestoreEntry();
    EXPECT_FALSE(fs::exists(RestoreEntryPath()));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_NO_THROW(RemoveRestoreEntry());
}

}  // namespace
}  // namespace ornavel::platform::linux_desktop
