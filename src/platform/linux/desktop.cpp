#include "platform/desktop.hpp"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QScreen>
#include <QStandardPaths>
#include <QStringList>
#include <vector>

#include "platform/error.hpp"
#include "platform/linux/autostart.hpp"
#include "platform/linux/desktop_session.hpp"
#include "platform/linux/gsettings.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/linux/runtime.hpp"
#include "platform/linux/spawn.hpp"
#include "platform/linux/sway.hpp"
#include "platform/linux/wallpaper_link.hpp"
#include "platform/linux/x11_wallpaper.hpp"
#include "platform/message_box.hpp"

namespace ornavel::platform {
namespace linux_desktop {
namespace {

using linux_qt::Q;

constexpr int kTimeoutMs = 15000;

// The line that keeps sway's wallpaper is told once in a run of the program.
bool toldSwayLine = false;

// A desktop whose placement setting says "no picture" would show none: the picture is then
// zoomed to fill the screen. Set after the picture, so that the old one never shows.
void ShowPicture(const char* schema) {
    if (Setting(schema, "picture-options") == "none") {
        SetSetting(schema, "picture-options", "zoom");
    }
}

void SetGnome(const std::string& path) {
    const char* schema = "org.gnome.desktop.background";
    const std::string uri = FileUri(path);
    SetSetting(schema, "picture-uri", uri);
    // The picture for the dark style came with GNOME 42.
    SetSetting(schema, "picture-uri-dark", uri, Key::IfPresent);
    ShowPicture(schema);
}

// A call to a desktop's service on the session bus; throws platform::Error with `refused` and
// the service's reason when it fails or does not answer.
QDBusMessage Call(const QDBusMessage& call, const std::string& refused) {
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        throw Error(refused + ": " + linux_qt::U(reply.errorMessage()));
    }
    return reply;
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
    Call(call, "plasmashell не принял обои");
}

// Xfce's settings service, xfconfd. Asking for properties there are none of is no failure:
// the reply is then empty.
QDBusMessage Xfconf(const char* method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall("org.xfce.Xfconf", "/org/xfce/Xfconf",
                                                       "org.xfce.Xfconf", method);
    call.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage &&
        reply.errorName() != "org.xfce.Xfconf.Error.PropertyNotFound") {
        throw Error("служба настроек Xfce отказала: " + linux_qt::U(reply.errorMessage()));
    }
    return reply;
}

QString XfconfString(const QString& property) {
    const QDBusMessage reply = Xfconf("GetProperty", {"xfce4-desktop", property});
    QVariant value = reply.arguments().value(0);
    if (value.canConvert<QDBusVariant>()) value = value.value<QDBusVariant>().variant();
    return value.toString();
}

void SetXfce(const std::string& path) {
    if (!IsUtf8(path)) throw Error("имя файла обоев не в кодировке UTF-8");
    const QString file = Q(path);
    const QDBusMessage reply = Xfconf("GetAllProperties", {"xfce4-desktop", "/backdrop"});
    QVariantMap all;
    const QVariant listing = reply.arguments().value(0);
    if (listing.canConvert<QDBusArgument>()) listing.value<QDBusArgument>() >> all;
    QStringList images;
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        if (it.key().endsWith("/last-image")) images << it.key();
    }
    if (images.isEmpty()) {
        // The first monitor of a desktop that has no backdrop yet, named as Xfce names it.
        QString monitor = "monitor0";
        if (const QScreen* screen = QGuiApplication::primaryScreen();
            screen && !screen->name().isEmpty()) {
            monitor = "monitor" + screen->name();
        }
        images << "/backdrop/screen0/" + monitor + "/workspace0/last-image";
    }
    for (const QString& image : images) {
        Xfconf("SetProperty", {"xfce4-desktop", image, QVariant::fromValue(QDBusVariant(file))});
        if (XfconfString(image) != file) {
            throw Error("настройка " + linux_qt::U(image) + " не сохранилась");
        }
    }
}

// Sets the picture at `path`, a name the desktop has not seen before.
void Apply(Setter setter, const std::string& path) {
    switch (setter) {
        case Setter::Gnome:
            return SetGnome(path);
        case Setter::Cinnamon:
            SetSetting("org.cinnamon.desktop.background", "picture-uri", FileUri(path));
            return ShowPicture("org.cinnamon.desktop.background");
        case Setter::Mate:
            return SetSetting("org.mate.background", "picture-filename", path);
        case Setter::Kde:
            return SetKde(path);
        case Setter::Xfce:
            return SetXfce(path);
        case Setter::Lxqt:
            // pcmanfm-qt started without LXQt's settings has no wallpaper mode and shows no
            // picture: it gets LXQt's own default mode along with the picture (version 1.2 takes
            // "zoom" on its command line but ignores it).
            Run({"pcmanfm-qt", "--set-wallpaper=" + path, "--wallpaper-mode=stretch"});
            return;
        case Setter::Lxde:
            Run({"pcmanfm", "--set-wallpaper=" + path});
            return;
        case Setter::Sway:
            return SetSwayWallpaper(path);
        case Setter::X11:
        case Setter::Unknown:
            break;
    }
}

}  // namespace
}  // namespace linux_desktop

void SetSystemWallpaper(const std::string& path, const Picture& picture) {
    using namespace linux_desktop;
    const Session session = CurrentSession();
    const Setter setter = ChooseSetter(session);
    // An unknown desktop is named as the session names it.
    std::string name(SetterName(setter));
    if (setter == Setter::Unknown && !session.currentDesktop.empty()) {
        name = session.currentDesktop;
    }
    std::string note;
    try {
        switch (setter) {
            case Setter::Unknown:
                throw Error("установка обоев в этом сеансе не поддерживается");
            case Setter::X11:
                SetX11RootWallpaper(linux_qt::QtPictureOf(picture).Whole());
                // The root window forgets its picture when the X server ends.
                WriteRestoreEntry(RunningProgram());
                return;
            default: {
                // The desktop is handed a name of its own for this picture; the link of the
                // picture it showed before goes only once it has taken the new one.
                WallpaperLink link(path, SetterTag(setter));
                Apply(setter, link.path());
                link.Keep();
            }
        }
        if (KeepsItsOwnSetting(setter)) {
            RemoveRestoreEntry();
        } else if (setter == Setter::Sway && !toldSwayLine) {
            note = SwayRestoreNote(RunningProgram());
        }
    } catch (const Error& e) {
        throw Error(name + ": " + e.what());
    }
    if (!note.empty()) {
        toldSwayLine = true;
        ShowMessage(linux_qt::HandleFromWidget(QApplication::activeWindow()), note);
    }
}

}  // namespace ornavel::platform
