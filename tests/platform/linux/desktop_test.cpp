#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QMutex>
#include <QScreen>
#include <QThread>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.hpp"
#include "platform/error.hpp"
#include "platform/linux/desktop_session.hpp"
#include "platform/linux/spawn.hpp"
#include "support/qt.hpp"
#include "support/temp_dir.hpp"

extern char** environ;

namespace ornavel::platform {
namespace {

using linux_desktop::Spawn;
using testing::ReadFile;
using testing::SetEnv;

const std::vector<std::string> kHardPaths = {
    "/tmp/wall paper/it's \"x\" \\ $HOME `id` $(id).bmp",
    "/tmp/line\nbreak\ttab #hash %25 ?q;c,d[e]*.bmp",
    "/tmp/\xd0\xbe\xd0\xb1\xd0\xbe\xd0\xb8/\xe2\x80\xa8.bmp",
};
const std::string kNotUtf8 = "/tmp/\xff\xfe name.bmp";

std::vector<std::string> AllHardPaths() {
    std::vector<std::string> all = kHardPaths;
    all.push_back(kNotUtf8);
    return all;
}

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

// A session bus of this process's own, with xfconfd on it when Xfce's is installed; both keep
// their files in a directory of their own.
struct PrivateBus {
    testing::TempDir home;
    Daemon bus, xfconfd;
    bool xfconf = false;
    PrivateBus() {
        const std::string address = StartDaemon(
            bus, {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"},
            true);
        if (address.empty()) return;
        SetEnv("DBUS_SESSION_BUS_ADDRESS", address);
        const char* daemon = "/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd";
        if (!std::filesystem::exists(daemon)) return;
        SetEnv("XDG_CONFIG_HOME", home.file("config"));
        StartDaemon(xfconfd, {daemon}, false);
        for (int i = 0; i < 100 && !xfconf; ++i) {
            try {
                const int status = Spawn({"xfconf-query", "-c", "xfce4-desktop", "-l"}).exitCode;
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

// Every setter runs in a session named by the test, with its fake programs first on PATH and
// GSettings on its keyfile backend in the test's directory.
class DesktopSetters : public testing::TempDirTest {
  protected:
    void SetUp() override {
        Bus();
        for (const char* name :
             {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY", "SWAYSOCK", "DISPLAY",
              "PATH", "XDG_CONFIG_HOME", "GSETTINGS_BACKEND"}) {
            const char* value = std::getenv(name);
            saved_[name] = value ? value : "";
        }
        std::filesystem::create_directories(dir.path() / "bin");
        SetEnv("PATH", dir.file("bin") + ":" + saved_["PATH"]);
        SetEnv("XDG_CONFIG_HOME", dir.file("config"));
        SetEnv("GSETTINGS_BACKEND", "keyfile");
        SetEnv("ORNAVEL_DESKTOP_RECORD", dir.file("calls"));
        SetEnv("ORNAVEL_DESKTOP_FAIL", "");
        SetEnv("ORNAVEL_DESKTOP_WARN", "");
        for (const char* name : {"DESKTOP_SESSION", "WAYLAND_DISPLAY", "SWAYSOCK", "DISPLAY"}) {
            SetEnv(name, "");
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) SetEnv(name, value);
        SetEnv("ORNAVEL_DESKTOP_FAIL", "");
    }

    void Fake(const char* program) {
        std::filesystem::create_symlink(ORNAVEL_FAKE_TOOL, dir.path() / "bin" / program);
    }

    // The calls of the fake programs since the last look, each its name and arguments.
    std::vector<std::vector<std::string>> Calls() {
        std::vector<std::vector<std::string>> calls;
        const std::string record = ReadFile(dir.file("calls"));
        std::filesystem::remove(dir.file("calls"));
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

    // A string key read back through GIO from the keyfile the gsettings program wrote.
    std::string Key(const char* schema, const char* key) {
        const std::string file = dir.file("config") + "/glib-2.0/settings/keyfile";
        GSettingsBackend* backend = g_keyfile_settings_backend_new(file.c_str(), "/", nullptr);
        GSettings* settings = g_settings_new_with_backend(schema, backend);
        gchar* value = g_settings_get_string(settings, key);
        std::string text = value;
        g_free(value);
        g_object_unref(settings);
        g_object_unref(backend);
        return text;
    }

    static std::string FromUri(const std::string& uri) {
        gchar* name = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
        std::string path = name ? name : "(not a file URI)";
        g_free(name);
        return path;
    }

    static std::string Failure(const std::string& path) {
        try {
            SetSystemWallpaper(path);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    }

  private:
    std::map<std::string, std::string> saved_;
};

TEST_F(DesktopSetters, GnomeSetsBothPicturesAsUrisAndKeepsThePlacement) {
    ASSERT_EQ(
        Spawn({"gsettings", "set", "org.gnome.desktop.background", "picture-options", "centered"})
            .exitCode,
        0);
    for (const char* desktop : {"GNOME", "ubuntu:GNOME", "Budgie:GNOME", "Pantheon", "Unity"}) {
        for (const std::string& path : AllHardPaths()) {
            SetEnv("XDG_CURRENT_DESKTOP", desktop);
            ASSERT_EQ(Failure(path), "") << desktop;
            const std::string uri = Key("org.gnome.desktop.background", "picture-uri");
            EXPECT_EQ(uri.rfind("file:///", 0), 0u);
            EXPECT_EQ(FromUri(uri), path);
            EXPECT_EQ(Key("org.gnome.desktop.background", "picture-uri-dark"), uri);
        }
    }
    EXPECT_EQ(Key("org.gnome.desktop.background", "picture-options"), "centered");
}

TEST_F(DesktopSetters, CinnamonTakesAUriAndMateAPlainName) {
    for (const std::string& path : AllHardPaths()) {
        SetEnv("XDG_CURRENT_DESKTOP", "X-Cinnamon");
        ASSERT_EQ(Failure(path), "");
        EXPECT_EQ(FromUri(Key("org.cinnamon.desktop.background", "picture-uri")), path);
    }
    SetEnv("XDG_CURRENT_DESKTOP", "MATE");
    for (const std::string& path : kHardPaths) {
        ASSERT_EQ(Failure(path), "");
        EXPECT_EQ(Key("org.mate.background", "picture-filename"), path);
    }
    // A GSettings string holds UTF-8 only: a name that is not is refused, not mangled.
    const std::string failure = Failure(kNotUtf8);
    EXPECT_EQ(failure.rfind("MATE: ", 0), 0u) << failure;
    EXPECT_EQ(Key("org.mate.background", "picture-filename"), kHardPaths.back());
}

TEST_F(DesktopSetters, ProgramsGetThePathAsOneArgument) {
    for (const char* program :
         {"pcmanfm-qt", "pcmanfm", "swaymsg", "plasma-apply-wallpaperimage"}) {
        Fake(program);
    }
    for (const std::string& path : AllHardPaths()) {
        SetEnv("XDG_CURRENT_DESKTOP", "LXQt");
        ASSERT_EQ(Failure(path), "");
        EXPECT_EQ(
            Calls(),
            (std::vector<std::vector<std::string>>{{"pcmanfm-qt", "--set-wallpaper=" + path}}));
        SetEnv("XDG_CURRENT_DESKTOP", "LXDE");
        ASSERT_EQ(Failure(path), "");
        EXPECT_EQ(Calls(),
                  (std::vector<std::vector<std::string>>{{"pcmanfm", "--set-wallpaper=" + path}}));
        SetEnv("XDG_CURRENT_DESKTOP", "KDE");
        ASSERT_EQ(Failure(path), "");
        EXPECT_EQ(Calls(),
                  (std::vector<std::vector<std::string>>{{"plasma-apply-wallpaperimage", path}}));
        // What sway makes of its word is checked against its parser with the quoting itself.
        SetEnv("XDG_CURRENT_DESKTOP", "sway");
        ASSERT_EQ(Failure(path), "");
        EXPECT_EQ(Calls(),
                  (std::vector<std::vector<std::string>>{
                      {"swaymsg", "output", "*", "bg", linux_desktop::SwayWord(path), "fill"}}));
    }
}

TEST_F(DesktopSetters, FailuresNameTheDesktopAndWhatFailed) {
    SetEnv("XDG_CURRENT_DESKTOP", "LXDE");
    SetEnv("PATH", dir.file("bin"));
    EXPECT_EQ(Failure("/tmp/a.bmp"), "LXDE: программа pcmanfm не найдена");

    Fake("gsettings");
    SetEnv("ORNAVEL_DESKTOP_FAIL", "No such schema");
    SetEnv("XDG_CURRENT_DESKTOP", "GNOME");
    EXPECT_EQ(Failure("/tmp/a.bmp"),
              "GNOME: программа gsettings завершилась с ошибкой: No such schema");

    SetEnv("ORNAVEL_DESKTOP_FAIL", "");
    SetEnv("ORNAVEL_DESKTOP_WARN", "Using the 'memory' GSettings backend.");
    EXPECT_EQ(Failure("/tmp/a.bmp"),
              "GNOME: программа gsettings не сохранила настройку: Using "
              "the 'memory' GSettings backend.");

    SetEnv("XDG_CURRENT_DESKTOP", "Hyprland");
    SetEnv("WAYLAND_DISPLAY", "wayland-1");
    EXPECT_EQ(Failure("/tmp/a.bmp"), "Hyprland: установка обоев в этом сеансе не поддерживается");
    SetEnv("XDG_CURRENT_DESKTOP", "");
    SetEnv("WAYLAND_DISPLAY", "");
    EXPECT_NE(Failure("/tmp/a.bmp"), "") << "no desktop and no display";
}

class XfceSetter : public DesktopSetters {
  protected:
    void SetUp() override {
        DesktopSetters::SetUp();
        if (!Bus().xfconf) GTEST_SKIP() << "xfconfd does not run here";
        SetEnv("XDG_CURRENT_DESKTOP", "XFCE");
        Spawn({"xfconf-query", "-c", "xfce4-desktop", "-p", "/backdrop", "-r", "-R"});
    }
    static void Create(const std::string& property, const char* type, const std::string& value) {
        ASSERT_EQ(Spawn({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-n", "-t", type,
                         "-s", value})
                      .exitCode,
                  0);
    }
    static std::string Get(const std::string& property) {
        return Spawn({"xfconf-query", "-c", "xfce4-desktop", "-p", property}).output;
    }
};

TEST_F(XfceSetter, SetsEveryMonitorsAndWorkspacesPicture) {
    const std::string a = "/backdrop/screen0/monitorHDMI-1/workspace0/last-image";
    const std::string b = "/backdrop/screen0/monitoreDP-1/workspace3/last-image";
    const std::string style = "/backdrop/screen0/monitorHDMI-1/workspace0/image-style";
    Create(a, "string", "/old/a.png");
    Create(b, "string", "/old/b.png");
    Create(style, "int", "5");
    for (const std::string& path : kHardPaths) {
        ASSERT_EQ(Failure(path), "");
        EXPECT_EQ(Get(a), path + "\n");
        EXPECT_EQ(Get(b), path + "\n");
    }
    EXPECT_EQ(Get(style), "5\n");
    EXPECT_EQ(Failure(kNotUtf8).rfind("Xfce: ", 0), 0u);
    EXPECT_EQ(Get(a), kHardPaths.back() + "\n");
}

TEST_F(XfceSetter, CreatesTheCurrentMonitorsPictureWhenThereIsNone) {
    ASSERT_EQ(Failure(kHardPaths[0]), "");
    const QScreen* screen = QGuiApplication::primaryScreen();
    const std::string monitor =
        screen && !screen->name().isEmpty() ? screen->name().toStdString() : "0";
    EXPECT_EQ(Get("/backdrop/screen0/monitor" + monitor + "/workspace0/last-image"),
              kHardPaths[0] + "\n");
}

// plasmashell's scripting interface on the private bus: records each script it is given.
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
    EXPECT_EQ(Failure("/tmp/a.bmp").rfind("KDE Plasma: plasmashell", 0), 0u)
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
    for (std::string path : AllHardPaths()) {
        path += "\"); desktops()[0].wallpaperPlugin = ('x";
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
        EXPECT_EQ(FromUri(script.substr(start + opening.size(), end - start - opening.size())),
                  path);
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

}  // namespace
}  // namespace ornavel::platform
