#include "platform/linux/restore.hpp"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/error.hpp"
#include "platform/linux/desktop_session.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/linux/sway.hpp"
#include "platform/linux/x11_wallpaper.hpp"
#include "platform/picture.hpp"

namespace ornavel::platform {
namespace {

// Longer than any step is allowed (a desktop tool gets 15 s), short enough for a login.
constexpr unsigned kLimitSeconds = 30;

void GiveUp(int) {
    static const char message[] =
        "ornavel: обои не восстановлены: нет ответа за отведённое время\n";
    (void)!write(STDERR_FILENO, message, sizeof message - 1);
    _exit(1);
}

}  // namespace

int RestoreWallpaper(const std::string& path) {
    using namespace linux_desktop;
    const Session session = CurrentSession();
    const Setter setter = ChooseSetter(session);
    if (KeepsItsOwnSetting(setter)) return 0;
    // Nothing installed yet (a sway config may run this before the first install): nothing to
    // put back, and nothing for sway to complain about at every start.
    struct stat file {};
    if (stat(path.c_str(), &file) != 0 && errno == ENOENT) return 0;
    signal(SIGALRM, GiveUp);
    alarm(kLimitSeconds);
    int status = 0;
    try {
        switch (setter) {
            case Setter::X11:
                SetX11RootWallpaper(
                    linux_qt::QtPictureOf(*WholePicture(LoadPicture(path, {}))).Whole());
                break;
            case Setter::Sway:
                SetSwayWallpaper(path);
                break;
            default:
                throw Error("установка обоев в этом сеансе не поддерживается");
        }
    } catch (const Error& e) {
        std::string name(SetterName(setter));
        if (setter == Setter::Unknown && !session.currentDesktop.empty()) {
            name = session.currentDesktop;
        }
        std::fprintf(stderr, "ornavel: обои «%s» не восстановлены: %s: %s\n", path.c_str(),
                     name.c_str(), e.what());
        status = 1;
    }
    alarm(0);
    return status;
}

}  // namespace ornavel::platform
