#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <glob.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QMutex>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.hpp"
#include "platform/error.hpp"
#include "platform/linux/autostart.hpp"
#include "platform/linux/desktop_session.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/linux/spawn.hpp"
#include "platform/linux/sway.hpp"
#include "support/environment_skip.hpp"
#include "support/qt.hpp"
#include "support/temp_dir.hpp"

// After Qt's headers: Xlib's macros (CursorShape, None, Bool) would break them.
#include "support/x11_root.hpp"

extern char** environ;

namespace ornavel::platform {
namespace {

namespace fs = std::filesystem;
using linux_desktop::Spawn;
using testing::ReadFile;
using testing::SetEnv;

// Folders whose names every desktop's quoting must carry through unchanged; the wallpaper file in
// each is "wallpaper.bmp", as the program writes it.
const std::vector<std::string> kHardFolders = {
    "wall paper/it's \"x\" \\ $HOME `id` $(id)",
    "line\nbreak\ttab #hash %25 ?q;c,d[e]*",
    "\xd0\xbe\xd0\xb1\xd0\xbe\xd0\xb8/\xe2\x80\xa8",
};
const std::string kNotUtf8 = "\xff\xfe name";

// The programs the tests read the settings back with, found wherever PATH leads the setters.
const std::string kGsettings = "/usr/bin/gsettings";
const std::string kXfconfQuery = "/usr/bin/xfconf-query";

// A daemon of the test process, stopped when the process ends.
struct Daemon {
    pid_t pid = 0;
    ~Daemon() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Starts argv with its stdout on a pipe and returns the first line it prints ("" for none).
std::string StartDaemon(Daemon& daemon, std::vector<std::string> argv, bool readLine) {
    int out[2];
    if (pipe(out) != 0) return "";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const int failed = posix_spawnp(&daemon.pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    char c;
    while (failed == 0 && readLine && read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    if (failed != 0) daemon.pid = 0;
    return line;
}

// Where the architecture's xfconfd lives, or "" when it is not installed.
std::string Xfconfd() {
    glob_t found{};
    std::string daemon;
    if (glob("/usr/lib/*/xfce4/xfconf/xfconfd", 0, nullptr, &found) == 0) {
        daemon = found.gl_pathv[0];
    }
    globfree(&found);
    return daemon;
}

// A session bus of this process's own, on which the real settings services start as on a
// desktop: dconf (GSettings' store) and, when Xfce's is installed, xfconfd. Both keep their files
// in a directory of their own, which stays the process's XDG_CONFIG_HOME.
struct PrivateBus {
    testing::TempDir home;
    Daemon bus, xfconfd;
    bool xfconf = false;
    ~PrivateBus() {
        // GIO ends a program whose session bus goes away; this one ends on its own.
        if (GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
            g_dbus_connection_set_exit_on_close(connection, FALSE);
            g_object_unref(connection);
        }
    }
    PrivateBus() {
        SetEnv("XDG_CONFIG_HOME", home.file("config"));
        SetEnv("GSETTINGS_BACKEND", "dconf");
        const std::string address = StartDaemon(
            bus, {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"},
            true);
        if (address.empty()) return;
        SetEnv("DBUS_SESSION_BUS_ADDRESS", address);
        const std::string daemon = Xfconfd();
        if (daemon.empty()) return;
        StartDaemon(xfconfd, {daemon}, false);
        // Until it answers, for up to 30 s: a loaded machine starts it slowly.
        for (int i = 0; i < 600 && !xfconf; ++i) {
            try {
                const int status = Spawn({kXfconfQuery, "-c", "xfce4-desktop", "-l"}).exitCode;
                if (status > 1) return;  // the tool itself cannot run
                xfconf = status == 0;
            } catch (const Error&) {
                return;
            }
            if (!xfconf) usleep(50000);
        }
    }
};

PrivateBus& Bus() {
    testing::App();  // QtDBus delivers through the application's threads
    static PrivateBus bus;
    return bus;
}

linux_qt::QtPicture Solid(Qt::GlobalColor color) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(color);
    return linux_qt::QtPicture(image);
}

// Every setter runs in a session named by the test, with its fake programs first on PATH and
// GSettings on dconf on the private bus.
class DesktopSetters : public testing::TempDirTest {
  protected:
    void SetUp() override {
        Bus();
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY",
                                 "SWAYSOCK", "DISPLAY", "PATH"}) {
            const char* value = std::getenv(name);
            saved_[name] = value ? value : "";
        }
        fs::create_directories(dir.path() / "bin");
        SetEnv("PATH", dir.file("bin") + ":" + saved_["PATH"]);
        SetEnv("ORNAVEL_DESKTOP_RECORD", dir.file("calls"));
        SetEnv("ORNAVEL_DESKTOP_FAIL", "");
        SetEnv("ORNAVEL_DESKTOP_WARN", "");
        SetEnv("ORNAVEL_DESKTOP_OUTPUT", "");
        for (const char* name : {"DESKTOP_SESSION", "WAYLAND_DISPLAY", "SWAYSOCK", "DISPLAY"}) {
            SetEnv(name, "");
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) SetEnv(name, value);
        SetEnv("ORNAVEL_DESKTOP_FAIL", "");
    }

    // A stand-in for a desktop's program that cannot run here without its whole desktop (the
    // screen tests run the real ones); it records how it was called.
    void Fake(const char* program) {
        fs::create_symlink(ORNAVEL_FAKE_TOOL, dir.path() / "bin" / program);
    }

    // "wallpaper.bmp" in `folder` of the test's directory, holding `content`.
    std::string Wallpaper(const std::string& folder, const std::string& content = "picture") {
        const fs::path at = dir.path() / "walls" / folder;
        fs::create_directories(at);
        testing::WriteFile((at / "wallpaper.bmp").string(), content);
        return (at / "wallpaper.bmp").string();
    }
    std::vector<std::string> HardWallpapers(bool utf8Only = false) {
        std::vector<std::string> all;
        for (const std::string& folder : kHardFolders) all.push_back(Wallpaper(folder));
        if (!utf8Only) all.push_back(Wallpaper(kNotUtf8));
        return all;
    }

    // The calls of the fake programs since the last look, each its name and arguments.
    std::vector<std::vector<std::string>> Calls() {
        std::vector<std::vector<std::string>> calls;
        const std::string record = ReadFile(dir.file("calls"));
        fs::remove(dir.file("calls"));
        std::vector<std::string> call;
        for (std::size_t at = 0; at < record.size();) {
            if (record[at] == '\n') {
                calls.push_back(call);
                call.clear();
                ++at;
                continue;
            }
            const std::size_t end = record.find('\0', at);
            call.push_back(record.substr(at, end - at));
            at = end + 1;
        }
        return calls;
    }

    // A key as another program reads it from dconf: gsettings in a process of its own.
    static std::string Key(const char* schema, const char* key) {
        const std::string printed = Spawn({kGsettings, "get", schema, key}).output;
        GVariant* value = g_variant_parse(nullptr, printed.c_str(), nullptr, nullptr, nullptr);
        if (!value) return "(unreadable: " + printed + ")";
        std::string text = g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)
                               ? g_variant_get_string(value, nullptr)
                               : "(not a string: " + printed + ")";
        g_variant_unref(value);
        return text;
    }
    static void SetKey(const char* schema, const char* key, const char* value) {
        ASSERT_EQ(Spawn({kGsettings, "set", schema, key, value}).exitCode, 0);
    }

    static std::string FromUri(const std::string& uri) {
        gchar* name = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
        std::string path = name ? name : "(not a file URI: " + uri + ")";
        g_free(name);
        return path;
    }

    static std::string Failure(const std::string& path,
                               const linux_qt::QtPicture& picture = Solid(Qt::red)) {
        try {
            SetSystemWallpaper(path, picture);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    }

    // The files "wallpaper-*" beside `wallpaper`, or only those handed to `desktop`.
    static std::vector<std::string> Handed(const std::string& wallpaper,
                                           const std::string& desktop = "") {
        const std::string prefix = "wallpaper-" + (desktop.empty() ? "" : desktop + "-");
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fs::path(wallpaper).parent_path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) == 0) names.push_back(entry.path().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::map<std::string, std::string> saved_;
};

// The desktop was handed a file of its own beside `wallpaper`, holding the same picture, and it
// is the only one there.
::testing::AssertionResult HandedFor(const std::string& wallpaper, const std::string& handed) {
    const fs::path file(handed);
    if (file.parent_path() != fs::path(wallpaper).parent_path()) {
        return ::testing::AssertionFailure() << handed << " is not beside " << wallpaper;
    }
    static const std::regex name("wallpaper-[a-z0-9]+-[0-9a-f]{16}\\.bmp");
    if (!std::regex_match(file.filename().string(), name)) {
        return ::testing::AssertionFailure() << "named " << file.filename();
    }
    if (ReadFile(handed) != ReadFile(wallpaper)) {
        return ::testing::AssertionFailure() << handed << " holds another picture";
    }
    return ::testing::AssertionSuccess();
}

TEST_F(DesktopSetters, GnomeSetsBothPicturesAsUrisThroughGioAndKeepsThePlacement) {
    SetKey("org.gnome.desktop.background", "picture-options", "'centered'");
    SetEnv("PATH", dir.file("bin"));  // no gsettings program needed
    for (const char* desktop : {"GNOME", "ubuntu:GNOME", "Budgie:GNOME", "Pantheon", "Unity"}) {
        for (const std::string& path : HardWallpapers()) {
            SetEnv("XDG_CURRENT_DESKTOP", desktop);
            ASSERT_EQ(Failure(path), "") << desktop;
            const std::string uri = Key("org.gnome.desktop.background", "picture-uri");
            EXPECT_EQ(uri.rfind("file:///", 0), 0u);
            EXPECT_TRUE(HandedFor(path, FromUri(uri)));
            EXPECT_EQ(Key("org.gnome.desktop.background", "picture-uri-dark"), uri);
        }
    }
    EXPECT_EQ(Key("org.gnome.desktop.background", "picture-options"), "centered");
}

// Desktops that ignore a setting that did not change (KDE, LXQt), or that do not see the file
// change (no file notifications on the home folder), show each new picture all the same.
TEST_F(DesktopSetters, EveryInstallHandsTheDesktopANewNameAndLeavesNoOldOnes) {
    SetEnv("XDG_CURRENT_DESKTOP", "GNOME");
    const std::string path = Wallpaper("windows", "first");
    testing::WriteFile(dir.file("walls/windows/wallpaper-old.bmp"), "the user's own");
    std::string before;
    for (const char* picture : {"first", "second", "third"}) {
        // Written as the program writes it: a new file put in the old one's place.
        testing::WriteFile(path + ".new", picture);
        fs::rename(path + ".new", path);
        ASSERT_EQ(Failure(path), "");
        const std::string handed = FromUri(Key("org.gnome.desktop.background", "picture-uri"));
        EXPECT_NE(handed, before);
        EXPECT_EQ(ReadFile(handed), picture);
        EXPECT_TRUE(HandedFor(path, handed));
        std::vector<std::string> kept = {dir.file("walls/windows/wallpaper-old.bmp"), handed};
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(Handed(path), kept) << "only the handed file of this install is kept";
        before = handed;
    }
    EXPECT_EQ(ReadFile(path), "third");
}

// One account, two desktops: each still finds the picture it was handed last when the other one
// installs, and only its own older names go.
TEST_F(DesktopSetters, EachDesktopKeepsItsLatestNameWhileAnotherInstalls) {
    Fake("plasma-apply-wallpaperimage");
    const std::string path = Wallpaper("windows");
    // A name an earlier version handed, which one of the desktops may still show.
    const std::string earlier = dir.file("walls/windows/wallpaper-00000000000000ff.bmp");
    testing::WriteFile(earlier, "shown before the update");
    auto install = [&](const char* desktop, const char* picture) {
        testing::WriteFile(path + ".new", picture);
        fs::rename(path + ".new", path);
        SetEnv("XDG_CURRENT_DESKTOP", desktop);
        EXPECT_EQ(Failure(path), "") << desktop;
    };
    auto gnomeShows = [&] { return FromUri(Key("org.gnome.desktop.background", "picture-uri")); };
    auto kdeShows = [&] {
        const auto calls = Calls();
        return calls.empty() || calls.back().size() < 2 ? std::string() : calls.back()[1];
    };

    install("GNOME", "red");
    const std::string gnome = gnomeShows();
    install("KDE", "green");
    const std::string kde = kdeShows();
    EXPECT_EQ(ReadFile(gnome), "red") << "GNOME's picture stays for its next login";
    EXPECT_EQ(ReadFile(kde), "green");

    install("GNOME", "blue");
    EXPECT_FALSE(fs::exists(gnome)) << "GNOME's older name goes";
    EXPECT_EQ(ReadFile(gnomeShows()), "blue");
    EXPECT_EQ(ReadFile(kde), "green") << "KDE's picture stays";
    std::vector<std::string> kept = {earlier, gnomeShows(), kde};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Handed(path), kept) << "one name per desktop, and the earlier version's";
}

TEST_F(DesktopSetters, APlacementOfNoPictureBecomesZoomSoThatThePictureShows) {
    struct Case {
        const char* desktop;
        const char* schema;
    };
    for (const Case c : {Case{"GNOME", "org.gnome.desktop.background"},
                         Case{"X-Cinnamon", "org.cinnamon.desktop.background"}}) {
        SetEnv("XDG_CURRENT_DESKTOP", c.desktop);
        SetKey(c.schema, "picture-options", "'none'");
        ASSERT_EQ(Failure(Wallpaper("windows")), "");
        EXPECT_EQ(Key(c.schema, "picture-options"), "zoom") << c.desktop;
        SetKey(c.schema, "picture-options", "'scaled'");
        ASSERT_EQ(Failure(Wallpaper("windows")), "");
        EXPECT_EQ(Key(c.schema, "picture-options"), "scaled") << c.desktop;
    }
}

TEST_F(DesktopSetters, CinnamonTakesAUriAndMateAPlainName) {
    for (const std::string& path : HardWallpapers()) {
        SetEnv("XDG_CURRENT_DESKTOP", "X-Cinnamon");
        ASSERT_EQ(Failure(path), "");
        EXPECT_TRUE(
            HandedFor(path, FromUri(Key("org.cinnamon.desktop.background", "picture-uri"))));
    }
    SetEnv("XDG_CURRENT_DESKTOP", "MATE");
    std::string last;
    for (const std::string& path : HardWallpapers(true)) {
        ASSERT_EQ(Failure(path), "");
        last = Key("org.mate.background", "picture-filename");
        EXPECT_TRUE(HandedFor(path, last));
    }
    // A GSettings string holds UTF-8 only: a name that is not is refused, not mangled, and the
    // picture shown before stays.
    const std::string notUtf8 = Wallpaper(kNotUtf8 + " 2");
    const std::string failure = Failure(notUtf8);
    EXPECT_EQ(failure.rfind("MATE: ", 0), 0u) << failure;
    EXPECT_EQ(Key("org.mate.background", "picture-filename"), last);
    EXPECT_TRUE(fs::exists(last));
    EXPECT_TRUE(Handed(notUtf8).empty()) << "the file made for the refused install is removed";
}

// dconf's service refuses to write when its folder cannot hold the settings: GIO accepts the
// value at first and drops it when the service says no.
TEST_F(DesktopSetters, ASettingThatDidNotTakeIsAFailure) {
    SetEnv("XDG_CURRENT_DESKTOP", "GNOME");
    const std::string path = Wallpaper("windows");
    ASSERT_EQ(Failure(path), "");
    const std::string shown = Key("org.gnome.desktop.background", "picture-uri");
    const fs::path store = Bus().home.path() / "config" / "dconf";
    fs::rename(store, store.string() + ".away");
    testing::WriteFile(store.string(), "not a folder");
    const std::string failure = Failure(path);
    fs::remove(store);
    fs::rename(store.string() + ".away", store);
    EXPECT_EQ(failure, "GNOME: настройка picture-uri не сохранилась");
    EXPECT_EQ(Key("org.gnome.desktop.background", "picture-uri"), shown);
    EXPECT_TRUE(fs::exists(FromUri(shown))) << "the picture shown stays";
    EXPECT_EQ(Handed(path), std::vector<std::string>{FromUri(shown)});
}

TEST_F(DesktopSetters, ProgramsGetThePathAsOneArgument) {
    for (const char* program :
         {"pcmanfm-qt", "pcmanfm", "swaymsg", "plasma-apply-wallpaperimage"}) {
        Fake(program);
    }
    auto handed = [&](const std::string& path, const std::vector<std::vector<std::string>>& calls,
                      std::size_t argument, const std::string& prefix) {
        EXPECT_EQ(calls.size(), 1u);
        if (calls.size() != 1 || calls[0].size() <= argument) return std::string();
        const std::string& text = calls[0][argument];
        EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
        EXPECT_TRUE(HandedFor(path, text.substr(prefix.size())));
        return text.substr(prefix.size());
    };
    for (const std::string& path : HardWallpapers()) {
        SetEnv("XDG_CURRENT_DESKTOP", "LXQt");
        ASSERT_EQ(Failure(path), "");
        auto calls = Calls();
        const std::string lxqt = handed(path, calls, 1, "--set-wallpaper=");
        EXPECT_EQ(calls[0], (std::vector<std::string>{"pcmanfm-qt", "--set-wallpaper=" + lxqt,
                                                      "--wallpaper-mode=stretch"}));

        SetEnv("XDG_CURRENT_DESKTOP", "LXDE");
        ASSERT_EQ(Failure(path), "");
        calls = Calls();
        EXPECT_NE(handed(path, calls, 1, "--set-wallpaper="), lxqt) << "a new name each time";
        EXPECT_EQ(calls[0].size(), 2u);

        SetEnv("XDG_CURRENT_DESKTOP", "KDE");
        ASSERT_EQ(Failure(path), "");
        calls = Calls();
        handed(path, calls, 1, "");
        EXPECT_EQ(calls[0].size(), 2u);

        // What sway makes of its word is checked against its parser with the quoting itself.
        SetEnv("XDG_CURRENT_DESKTOP", "sway");
        ASSERT_EQ(Failure(path), "");
        calls = Calls();
        ASSERT_EQ(calls.size(), 2u) << "the picture, then a look at the config";
        const std::vector<std::string> handedFiles = Handed(path, "sway");
        ASSERT_EQ(handedFiles.size(), 1u);
        EXPECT_EQ(calls[0],
                  (std::vector<std::string>{"swaymsg", "output", "*", "bg",
                                            linux_desktop::SwayWord(handedFiles[0]), "fill"}));
    }
}

TEST_F(DesktopSetters, FailuresNameTheDesktopAndWhatFailedAndKeepThePictureShown) {
    const std::string path = Wallpaper("windows");
    SetEnv("XDG_CURRENT_DESKTOP", "LXDE");
    Fake("pcmanfm");
    ASSERT_EQ(Failure(path), "");
    const std::vector<std::string> shown = Handed(path);
    ASSERT_EQ(shown.size(), 1u);

    SetEnv("ORNAVEL_DESKTOP_FAIL", "cannot connect");
    EXPECT_EQ(Failure(path), "LXDE: программа pcmanfm завершилась с ошибкой: cannot connect");
    EXPECT_EQ(Handed(path), shown) << "the failed install's file is removed, the shown one kept";
    SetEnv("ORNAVEL_DESKTOP_FAIL", "");

    fs::remove(dir.path() / "bin" / "pcmanfm");
    SetEnv("PATH", dir.file("bin"));
    EXPECT_EQ(Failure(path), "LXDE: программа pcmanfm не найдена");
    EXPECT_EQ(Handed(path), shown);

    SetEnv("XDG_CURRENT_DESKTOP", "Hyprland");
    SetEnv("WAYLAND_DISPLAY", "wayland-1");
    EXPECT_EQ(Failure(path), "Hyprland: установка обоев в этом сеансе не поддерживается");
    SetEnv("XDG_CURRENT_DESKTOP", "");
    SetEnv("WAYLAND_DISPLAY", "");
    EXPECT_NE(Failure(path), "") << "no desktop and no display";
    EXPECT_EQ(Handed(path), shown);
}

// sway forgets its wallpaper when it ends. After an install the user is told, once in a run, the
// config line that sets it again at every start, unless the running sway's config has it.
TEST_F(DesktopSetters, OnSwayTheLineThatKeepsTheWallpaperIsToldOnceWhenTheConfigLacksIt) {
    Fake("swaymsg");
    SetEnv("XDG_CURRENT_DESKTOP", "sway");
    const std::string line = linux_desktop::SwayRestoreLine(linux_desktop::RunningProgram());
    auto config = [](const std::string& text) {
        QJsonObject reply;
        reply["config"] = QString::fromStdString(text);
        SetEnv("ORNAVEL_DESKTOP_OUTPUT", QJsonDocument(reply).toJson().toStdString());
    };
    std::vector<std::string> told;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        told.push_back(box->text().toStdString());
        box->accept();
    });
    watch.start(20);
    const std::string path = Wallpaper("windows");

    config("output * bg #000000 solid_color\n" + line + "\n");
    ASSERT_EQ(Failure(path), "");
    EXPECT_TRUE(told.empty()) << "the config has the line";

    config("output * bg #000000 solid_color\n# " + line + "\n");
    ASSERT_EQ(Failure(path), "");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("\n" + line), std::string::npos) << told[0];
    ASSERT_EQ(Failure(path), "");
    EXPECT_EQ(told.size(), 1u) << "told once";
}

TEST(SwayConfig, TheLineRunsTheProgramThroughSwayAndTheShellWhateverItsPath) {
    testing::TempDir dir;
    SetEnv("ORNAVEL_DESKTOP_RECORD", dir.file("calls"));
    for (const std::string name :
         {"ornavel", "my apps/it's \"q\" `id` $(id) %u/orn avel", "back\\slash/orn\\avel"}) {
        const fs::path program = dir.path() / name;
        fs::create_directories(program.parent_path());
        fs::create_symlink(ORNAVEL_FAKE_TOOL, program);
        std::string command = linux_desktop::SwayRestoreLine(program.string());
        ASSERT_EQ(command.rfind("exec_always ", 0), 0u) << command;
        command.erase(0, std::string("exec_always ").size());
        // sway reads backslash escapes in the line, then hands the rest to sh -c.
        command = std::regex_replace(command, std::regex("\\\\\\\\"), "\\");
        EXPECT_EQ(Spawn({"sh", "-c", command}).exitCode, 0) << command;
        const std::string record = ReadFile(dir.file("calls"));
        fs::remove(dir.file("calls"));
        EXPECT_EQ(record, program.filename().string() + '\0' + "--restore" + '\0' + "\n")
            << command;
    }
    SetEnv("ORNAVEL_DESKTOP_RECORD", "");
}

TEST(SwayConfig, TheLineCountsWhereverItRunsTheProgramAtStart) {
    using linux_desktop::HasSwayRestoreLine;
    const std::string program = "/opt/my apps/ornavel";
    const std::string line = linux_desktop::SwayRestoreLine(program);
    for (const std::string& config : std::vector<std::string>{
             line, "set $mod Mod4\n  " + line + "  \n", "exec ornavel --restore",
             "exec_always /usr/bin/ornavel --restore\n", "exec '/opt/other/ornavel' --restore"}) {
        EXPECT_TRUE(HasSwayRestoreLine(config, program)) << config;
    }
    for (const std::string& config : std::vector<std::string>{
             std::string(), "# " + line, "bindsym Mod4+w exec ornavel --restore", "exec ornavel",
             "exec other --restore", "exec_always ornavel-old --restore",
             "exec ornavel --restore-not"}) {
        EXPECT_FALSE(HasSwayRestoreLine(config, program)) << config;
    }
}

// A desktop's tool may leave a helper running in the background that keeps the tool's output
// open; the tool's own exit is what counts.
TEST(Spawn, AProgramIsDoneWhenItExitsThoughItsChildKeepsItsOutputOpen) {
    const linux_desktop::Finished finished =
        Spawn({"sh", "-c", "sleep 30 & echo started; echo complaint >&2; exit 3"}, 5000);
    EXPECT_EQ(finished.exitCode, 3);
    EXPECT_EQ(finished.output, "started\n");
    EXPECT_EQ(finished.errors, "complaint\n");
    EXPECT_THROW(Spawn({"sleep", "30"}, 200), Error) << "a program that does not exit";
}

class XfceSetter : public DesktopSetters {
  protected:
    void SetUp() override {
        DesktopSetters::SetUp();
        if (!Bus().xfconf) SKIP_OR_FAIL_IN_CI("xfconfd does not run here");
        SetEnv("XDG_CURRENT_DESKTOP", "XFCE");
        Spawn({kXfconfQuery, "-c", "xfce4-desktop", "-p", "/backdrop", "-r", "-R"});
    }
    static void Create(const std::string& property, const char* type, const std::string& value) {
        ASSERT_EQ(Spawn({kXfconfQuery, "-c", "xfce4-desktop", "-p", property, "-n", "-t", type,
                         "-s", value})
                      .exitCode,
                  0);
    }
    static std::string Get(const std::string& property) {
        std::string value = Spawn({kXfconfQuery, "-c", "xfce4-desktop", "-p", property}).output;
        if (!value.empty() && value.back() == '\n') value.pop_back();
        return value;
    }
};

TEST_F(XfceSetter, SetsEveryMonitorsAndWorkspacesPictureOverTheBus) {
    const std::string a = "/backdrop/screen0/monitorHDMI-1/workspace0/last-image";
    const std::string b = "/backdrop/screen0/monitoreDP-1/workspace3/last-image";
    const std::string style = "/backdrop/screen0/monitorHDMI-1/workspace0/image-style";
    Create(a, "string", "/old/a.png");
    Create(b, "string", "/old/b.png");
    Create(style, "int", "5");
    const std::vector<std::string> paths = HardWallpapers(true);
    SetEnv("PATH", dir.file("bin"));  // no xfconf-query program needed
    std::string last;
    for (const std::string& path : paths) {
        ASSERT_EQ(Failure(path), "");
        last = Get(a);
        EXPECT_TRUE(HandedFor(path, last));
        EXPECT_EQ(Get(b), last);
    }
    EXPECT_EQ(Get(style), "5");
    EXPECT_EQ(Failure(Wallpaper(kNotUtf8)).rfind("Xfce: ", 0), 0u);
    EXPECT_EQ(Get(a), last);
}

TEST_F(XfceSetter, CreatesTheCurrentMonitorsPictureWhenThereIsNone) {
    const std::string path = Wallpaper("windows");
    ASSERT_EQ(Failure(path), "");
    const QScreen* screen = QGuiApplication::primaryScreen();
    const std::string monitor =
        screen && !screen->name().isEmpty() ? screen->name().toStdString() : "0";
    EXPECT_TRUE(
        HandedFor(path, Get("/backdrop/screen0/monitor" + monitor + "/workspace0/last-image")));
}

// plasmashell's scripting interface on the private bus: records each script it is given. The
// real plasmashell needs a whole Plasma session; the screen tests run it.
class FakePlasmaShell : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override {
        return "<interface name=\"org.kde.PlasmaShell\"><method name=\"evaluateScript\">"
               "<arg name=\"script\" type=\"s\" direction=\"in\"/></method></interface>";
    }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "evaluateScript") return false;
        {
            QMutexLocker lock(&mutex_);
            scripts_.push_back(message.arguments().value(0).toString().toStdString());
        }
        connection.send(message.createReply());
        return true;
    }
    std::vector<std::string> Scripts() {
        QMutexLocker lock(&mutex_);
        return std::exchange(scripts_, {});
    }

  private:
    QMutex mutex_;
    std::vector<std::string> scripts_;
};

TEST_F(DesktopSetters, KdeWithoutItsToolScriptsPlasmashell) {
    SetEnv("XDG_CURRENT_DESKTOP", "KDE");
    SetEnv("PATH", dir.file("bin"));  // no plasma-apply-wallpaperimage
    EXPECT_EQ(Failure(Wallpaper("windows")).rfind("KDE Plasma: plasmashell", 0), 0u)
        << "no plasmashell on the bus";

    QThread thread;
    thread.start();
    FakePlasmaShell shell;
    shell.moveToThread(&thread);
    QDBusConnection bus = QDBusConnection::connectToBus(
        QString::fromStdString(std::getenv("DBUS_SESSION_BUS_ADDRESS")), "fake-plasmashell");
    ASSERT_TRUE(bus.registerService("org.kde.plasmashell"));
    ASSERT_TRUE(bus.registerVirtualObject("/PlasmaShell", &shell));

    std::string plain;
    for (std::string folder : kHardFolders) {
        folder += "\"); desktops()[0].wallpaperPlugin = ('x";
        const std::string path = Wallpaper(folder);
        ASSERT_EQ(Failure(path), "");
        const std::vector<std::string> scripts = shell.Scripts();
        ASSERT_EQ(scripts.size(), 1u);
        const std::string& script = scripts[0];
        EXPECT_NE(script.find("wallpaperPlugin = \"org.kde.image\""), std::string::npos);
        EXPECT_NE(script.find("[\"Wallpaper\", \"org.kde.image\", \"General\"]"),
                  std::string::npos);
        const std::string opening = "writeConfig(\"Image\", \"";
        const std::size_t start = script.find(opening);
        ASSERT_NE(start, std::string::npos);
        const std::size_t end = script.find('"', start + opening.size());
        EXPECT_TRUE(HandedFor(
            path, FromUri(script.substr(start + opening.size(), end - start - opening.size()))));
        // Apart from the name, the script is the same for every picture.
        std::string rest = script.substr(0, start) + script.substr(end);
        if (plain.empty()) plain = rest;
        EXPECT_EQ(rest, plain);
    }
    bus.unregisterObject("/PlasmaShell");
    bus.unregisterService("org.kde.plasmashell");
    QDBusConnection::disconnectFromBus("fake-plasmashell");
    thread.quit();
    thread.wait();
}

// The plain X11 root window shows the picture handed over, without reading the file back.
TEST_F(DesktopSetters, OnPlainX11ThePictureHandedOverIsShown) {
    if (saved_["DISPLAY"].empty()) SKIP_OR_FAIL_IN_CI("no X server (DISPLAY is not set)");
    SetEnv("DISPLAY", saved_["DISPLAY"]);
    const std::string path = Wallpaper("windows", "not a bitmap at all");
    ASSERT_EQ(Failure(path, Solid(Qt::green)), "");
    EXPECT_TRUE(Handed(path).empty()) << "the root window needs no file";
    EXPECT_EQ(testing::RootWallpaperPixel(5, 5), 0x00FF00u);
}

// The root window forgets its picture with the X server: the next login puts it back through
// the autostart entry, which goes again once a desktop that keeps its own setting has the
// wallpaper.
TEST_F(DesktopSetters, OnPlainX11TheNextLoginRestoresUntilADesktopKeepsItsOwn) {
    if (saved_["DISPLAY"].empty()) GTEST_SKIP() << "no X server (DISPLAY is not set)";
    const std::string entry = linux_desktop::RestoreEntryPath();
    fs::remove(entry);
    SetEnv("DISPLAY", saved_["DISPLAY"]);
    const std::string path = Wallpaper("windows");
    ASSERT_EQ(Failure(path), "");
    EXPECT_EQ(ReadFile(entry), linux_desktop::RestoreEntry(linux_desktop::RunningProgram()))
        << "an entry that starts this very program";

    SetEnv("XDG_CURRENT_DESKTOP", "GNOME");
    ASSERT_EQ(Failure(path), "");
    EXPECT_FALSE(fs::exists(entry));
}

}  // namespace
}  // namespace ornavel::platform
