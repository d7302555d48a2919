#include "platform/desktop.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QStringList>
#include <vector>

#include "platform/error.hpp"
#include "platform/linux/desktop_session.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/linux/runtime.hpp"
#include "platform/linux/spawn.hpp"
#include "platform/linux/x11_wallpaper.hpp"

namespace ornavel::platform {
namespace linux_desktop {
namespace {

using linux_qt::Q;

// Runs a program and returns what it printed (on stderr when `errors`); throws platform::Error
// naming the program when it is missing, hangs or fails.
std::string Run(const std::vector<std::string>& argv, bool errors = false) {
    const Finished finished = Spawn(argv, 10000);
    if (finished.exitCode != 0) {
        std::string error = finished.errors.substr(0, finished.errors.find('\n'));
        throw Error("программа " + argv[0] + " завершилась с ошибкой" +
                    (error.empty() ? "" : ": " + error));
    }
    return errors ? finished.errors : finished.output;
}

// gsettings reports some failures only on stderr with a zero status, the worst being a session
// without dconf, where it falls back to a memory backend and the setting is lost when it exits.
// A successful `gsettings set` prints nothing.
void GSettings(const char* schema, const char* key, const std::string& value) {
    const std::string errors = Run({"gsettings", "set", schema, key, GVariantString(value)}, true);
    if (!errors.empty()) {
        throw Error("программа gsettings не сохранила настройку: " +
                    errors.substr(0, errors.find('\n')));
    }
}

void SetGnome(const std::string& path) {
    const std::string uri = FileUri(path);
    GSettings("org.gnome.desktop.background", "picture-uri", uri);
    GSettings("org.gnome.desktop.background", "picture-uri-dark", uri);
}

void SetKde(const std::string& path) {
    if (!QStandardPaths::findExecutable("plasma-apply-wallpaperimage").isEmpty()) {
        Run({"plasma-apply-wallpaperimage", path});
        return;
    }
    const std::string script =
        "var all = desktops();\n"
        "for (var i = 0; i < all.length; i++) {\n"
        "    var d = all[i];\n"
        "    d.wallpaperPlugin = \"org.kde.image\";\n"
        "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
        "    d.writeConfig(\"Image\", " +
        ScriptString(FileUri(path)) +
        ");\n"
        "}\n";
    QDBusMessage call = QDBusMessage::createMethodCall("org.kde.plasmashell", "/PlasmaShell",
                                                       "org.kde.PlasmaShell", "evaluateScript");
    call << Q(script);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 15000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        throw Error("plasmashell не принял обои: " + linux_qt::U(reply.errorMessage()));
    }
}

void SetXfce(const std::string& path) {
    if (!IsUtf8(path)) throw Error("имя файла обоев не в кодировке UTF-8");
    const std::string listing = Run({"xfconf-query", "-c", "xfce4-desktop", "-l"});
    bool any = false;
    for (const QString& line : Q(listing).split('\n', Qt::SkipEmptyParts)) {
        const QString name = line.trimmed();
        if (name.startsWith("/backdrop/") && name.endsWith("/last-image")) {
            Run({"xfconf-query", "-c", "xfce4-desktop", "-p", linux_qt::U(name), "-s", path});
            any = true;
        }
    }
    if (!any) {
        // The first monitor of a desktop that has no backdrop yet, named as Xfce names it.
        std::string monitor = "monitor0";
        if (const QScreen* screen = QGuiApplication::primaryScreen();
            screen && !screen->name().isEmpty()) {
            monitor = "monitor" + linux_qt::U(screen->name());
        }
        Run({"xfconf-query", "-c", "xfce4-desktop", "-p",
             "/backdrop/screen0/" + monitor + "/workspace0/last-image", "-n", "-t", "string", "-s",
             path});
    }
}

void Apply(Setter setter, const std::string& path) {
    switch (setter) {
        case Setter::Gnome:
            return SetGnome(path);
        case Setter::Cinnamon:
            return GSettings("org.cinnamon.desktop.background", "picture-uri", FileUri(path));
        case Setter::Mate:
            if (!IsUtf8(path)) throw Error("имя файла обоев не в кодировке UTF-8");
            return GSettings("org.mate.background", "picture-filename", path);
        case Setter::Kde:
            return SetKde(path);
        case Setter::Xfce:
            return SetXfce(path);
        case Setter::Lxqt:
            Run({"pcmanfm-qt", "--set-wallpaper=" + path});
            return;
        case Setter::Lxde:
            Run({"pcmanfm", "--set-wallpaper=" + path});
            return;
        case Setter::Sway:
            Run({"swaymsg", "output", "*", "bg", SwayWord(path), "fill"});
            return;
        case Setter::X11:
            return SetX11RootWallpaper(path);
        case Setter::Unknown:
            break;
    }
    throw Error("установка обоев в этом сеансе не поддерживается");
}

}  // namespace
}  // namespace linux_desktop

void SetSystemWallpaper(const std::string& path) {
    const linux_desktop::Session session = linux_desktop::CurrentSession();
    const auto setter = linux_desktop::ChooseSetter(session);
    // An unknown desktop is named as the session names it.
    std::string name(linux_desktop::SetterName(setter));
    if (setter == linux_desktop::Setter::Unknown && !session.currentDesktop.empty()) {
        name = session.currentDesktop;
    }
    // Whichever setter runs, the saved picture is not kept past it.
    struct Forget {
        ~Forget() { linux_qt::ForgetSavedImage(); }
    } forget;
    try {
        linux_desktop::Apply(setter, path);
    } catch (const Error& e) {
        throw Error(name + ": " + e.what());
    }
}

}  // namespace ornavel::platform
