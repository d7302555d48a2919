#include "platform/linux/x11_wallpaper.hpp"

// Qt first: Xlib's macros (None, Bool, Status) would break Qt's headers.
#include <QImage>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/error.hpp"
#include "platform/linux/qt_picture.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

// The pixmap a root property names, or 0.
Pixmap RootPixmap(Display* display, Window root, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    Pixmap pixmap = 0;
    if (XGetWindowProperty(display, root, property, 0, 1, False, XA_PIXMAP, &type, &format, &count,
                           &remaining, &data) == Success &&
        type == XA_PIXMAP && format == 32 && count == 1 && data) {
        pixmap = *reinterpret_cast<Pixmap*>(data);
    }
    if (data) XFree(data);
    return pixmap;
}

// The picture zoomed to cover the screen, proportions kept, centred and cut to the screen.
QImage Filled(const QImage& picture, int width, int height) {
    const QImage zoomed =
        picture.scaled(width, height, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return zoomed.copy((zoomed.width() - width) / 2, (zoomed.height() - height) / 2, width, height)
        .convertToFormat(QImage::Format_RGB32);
}

}  // namespace

void SetX11RootWallpaper(const std::string& path) {
    // The picture just saved there is drawn from memory: decoding the bitmap again would cost
    // more than all the rest.
    std::optional<QImage> saved = linux_qt::TakeSavedImage(path);
    const QImage picture = saved ? std::move(*saved) : linux_qt::ReadImage(path);

    Display* display = XOpenDisplay(nullptr);
    if (!display) throw Error("нет подключения к X-серверу");
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);
    const int depth = DefaultDepth(display, screen);
    if (depth < 24) {
        XCloseDisplay(display);
        throw Error("X-сервер работает с глубиной цвета меньше 24 бит");
    }

    QImage filled = Filled(picture, width, height);
    const Pixmap pixmap =
        XCreatePixmap(display, root, static_cast<unsigned>(width), static_cast<unsigned>(height),
                      static_cast<unsigned>(depth));
    XImage* image =
        XCreateImage(display, DefaultVisual(display, screen), static_cast<unsigned>(depth), ZPixmap,
                     0, reinterpret_cast<char*>(filled.bits()), static_cast<unsigned>(width),
                     static_cast<unsigned>(height), 32, static_cast<int>(filled.bytesPerLine()));
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XFreeGC(display, gc);
    image->data = nullptr;  // the pixels belong to `filled`
    XDestroyImage(image);

    // The previous wallpaper's pixmap is released the way the standard setters release it: by
    // ending the retained client that made it.
    const Atom rootId = XInternAtom(display, "_XROOTPMAP_ID", False);
    const Atom setRootId = XInternAtom(display, "ESETROOT_PMAP_ID", False);
    const Pixmap previous = RootPixmap(display, root, setRootId);
    if (previous && previous == RootPixmap(display, root, rootId)) {
        XKillClient(display, previous);
    }
    XChangeProperty(display, root, rootId, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XChangeProperty(display, root, setRootId, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XSetWindowBackgroundPixmap(display, root, pixmap);
    XClearWindow(display, root);
    XSync(display, False);
    // The pixmap stays on the server after this connection closes.
    XSetCloseDownMode(display, RetainPermanent);
    XCloseDisplay(display);
}

}  // namespace ornavel::platform::linux_desktop
