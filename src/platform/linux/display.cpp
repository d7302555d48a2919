#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QList>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/linux/runtime.hpp"

namespace ornavel::platform::linux_qt {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The platforms Qt tries, in order, as it chooses them itself: QT_QPA_PLATFORM when set, else
// Wayland in a Wayland session (but not GNOME's, where Qt keeps to X11), else X11.
QList<QByteArray> QtPlatforms() {
    QByteArray named = qgetenv("QT_QPA_PLATFORM");
    if (named.isEmpty()) {
        const QByteArray desktops =
            qgetenv("XDG_CURRENT_DESKTOP").toLower() + qgetenv("XDG_SESSION_DESKTOP").toLower();
        named = qgetenv("XDG_SESSION_TYPE") == "wayland" && !desktops.contains("gnome") ? "wayland"
                                                                                        : "xcb";
    }
    QList<QByteArray> platforms;
    for (const QByteArray& entry : named.split(';')) {
        platforms.append(entry.split(':').front());  // options follow the name after a colon
    }
    return platforms;
}

bool HasWaylandPlugin() {
    for (const QString& path : QCoreApplication::libraryPaths()) {
        if (!QDir(path + "/platforms").entryList({"libqwayland*"}, QDir::Files).isEmpty()) {
            return true;
        }
    }
    return false;
}

bool CanReachX11(std::string& problem) {
    const std::string display = Env("DISPLAY");
    if (display.empty()) {
        problem = "переменная DISPLAY не задана";
        return false;
    }
    // A bare connection: its setup, one exchange with the server, tells whether Qt can reach it.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reached = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!reached) problem = "не удалось подключиться к X-серверу " + display;
    return reached;
}

// As the Wayland client library finds its compositor: WAYLAND_DISPLAY (default wayland-0), a
// socket name in XDG_RUNTIME_DIR unless it is an absolute path.
bool CanReachWayland(std::string& problem) {
    if (!HasWaylandPlugin()) {
        problem = "модуль Qt для Wayland не установлен";
        return false;
    }
    std::string name = Env("WAYLAND_DISPLAY");
    if (name.empty()) name = "wayland-0";
    std::string path = name;
    if (name.front() != '/') {
        const std::string runtime = Env("XDG_RUNTIME_DIR");
        if (runtime.empty()) {
            problem = "переменная XDG_RUNTIME_DIR не задана";
            return false;
        }
        path = runtime + "/" + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    bool reached = false;
    if (path.size() < sizeof address.sun_path) {
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0) {
            reached =
                ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
            ::close(fd);
        }
    }
    if (!reached) problem = "не удалось подключиться к композитору Wayland " + name;
    return reached;
}

}  // namespace

// Qt aborts when it cannot reach its display; this tells beforehand, so the program can say what
// is wrong in one line instead. Platforms other than X11 and Wayland are left to Qt.
bool CanReachDisplay(std::string& problem) {
    for (const QByteArray& platform : QtPlatforms()) {
        if (platform == "xcb") {
            if (CanReachX11(problem)) return true;
        } else if (platform.startsWith("wayland")) {
            if (CanReachWayland(problem)) return true;
        } else {
            return true;
        }
    }
    return false;
}

}  // namespace ornavel::platform::linux_qt
