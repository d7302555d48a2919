#include "platform/linux/x11_wallpaper.hpp"

// Qt first: Xlib's macros (None, Bool, Status) would break Qt's headers.
#include <QPainter>
#include <QRect>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include "platform/error.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

// The connection to the X server, closed on every path out.
class Connection {
  public:
    Connection() : display_(XOpenDisplay(nullptr)) {
        if (!display_) throw Error("нет подключения к X-серверу");
    }
    ~Connection() { XCloseDisplay(display_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Display* get() const { return display_; }

  private:
    Display* display_;
};

// Xlib's default error handler ends the program. While a trap is set, the first error of its
// connection is recorded instead, for the caller to report.
class ErrorTrap {
  public:
    explicit ErrorTrap(Display* display) : display_(display) {
        XSync(display_, False);
        trapped_ = display_;
        code_ = 0;
        previous_ = XSetErrorHandler(&ErrorTrap::Record);
    }
    ~ErrorTrap() {
        XSync(display_, False);
        XSetErrorHandler(previous_);
        trapped_ = nullptr;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // The first error since the last look, once the server has handled every request; 0 for none.
    int Take() {
        XSync(display_, False);
        return std::exchange(code_, 0);
    }

  private:
    static int Record(Display* display, XErrorEvent* event) {
        if (display == trapped_ && code_ == 0) code_ = event->error_code;
        return 0;
    }
    static inline Display* trapped_ = nullptr;
    static inline int code_ = 0;
    Display* display_;
    XErrorHandler previous_;
};

[[noreturn]] void Refused(int code) {
    switch (code) {
        case BadAlloc:
            throw Error("X-серверу не хватило памяти для обоев");
        case BadValue:
            throw Error("X-сервер отверг размер или значение в запросе обоев");
        case BadMatch:
            throw Error("X-сервер отверг формат изображения обоев");
        default:
            throw Error("X-сервер отказал (код ошибки " + std::to_string(code) + ")");
    }
}

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

// The monitors' places on the screen: RandR 1.5 monitors, else Xinerama heads, else the screen.
std::vector<QRect> Monitors(Display* display, Window root, const QRect& screen) {
    std::vector<QRect> monitors;
    int event = 0, error = 0, major = 0, minor = 0;
    if (XRRQueryExtension(display, &event, &error) && XRRQueryVersion(display, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int count = 0;
        if (XRRMonitorInfo* info = XRRGetMonitors(display, root, True, &count)) {
            for (int i = 0; i < count; ++i) {
                monitors.emplace_back(info[i].x, info[i].y, info[i].width, info[i].height);
            }
            XRRFreeMonitors(info);
        }
    }
    if (monitors.empty() && XineramaQueryExtension(display, &event, &error) &&
        XineramaIsActive(display)) {
        int count = 0;
        if (XineramaScreenInfo* heads = XineramaQueryScreens(display, &count)) {
            for (int i = 0; i < count; ++i) {
                monitors.emplace_back(heads[i].x_org, heads[i].y_org, heads[i].width,
                                      heads[i].height);
            }
            XFree(heads);
        }
    }
    // A monitor that holds others is their union, such as the output's own monitor left beside
    // monitors defined on parts of it: each part is filled, not the whole.
    std::vector<QRect> shown;
    for (const QRect& m : monitors) {
        const QRect part = m & screen;
        const bool holdsOthers = std::any_of(monitors.begin(), monitors.end(), [&](const QRect& o) {
            return o != m && m.contains(o);
        });
        if (!part.isEmpty() && !holdsOthers) shown.push_back(part);
    }
    if (shown.empty()) shown.push_back(screen);
    return shown;
}

// The picture zoomed to cover `size`, proportions kept, centred and cut, on white where it is
// transparent. Only the part that shows is cut out before scaling, so a picture of extreme
// proportions never grows to its full zoomed size.
QImage Filled(const QImage& picture, QSize size) {
    const double scale =
        std::max(double(size.width()) / picture.width(), double(size.height()) / picture.height());
    const int width = std::clamp(int(std::lround(size.width() / scale)), 1, picture.width());
    const int height = std::clamp(int(std::lround(size.height() / scale)), 1, picture.height());
    const int x = (picture.width() - width) / 2;
    const int y = (picture.height() - height) / 2;
    QImage part;
    if (picture.depth() == 32) {
        // A view of the rows in place: no copy of what may be nearly the whole picture.
        part = QImage(picture.constScanLine(y) + std::size_t(x) * 4, width, height,
                      picture.bytesPerLine(), picture.format());
    } else {
        part = picture.copy(x, y, width, height);
    }
    if (part.hasAlphaChannel()) {
        QImage onWhite(width, height, QImage::Format_RGB32);
        onWhite.fill(Qt::white);
        QPainter(&onWhite).drawImage(0, 0, part);
        part = std::move(onWhite);
    }
    return part.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

struct ImageFree {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

// How one colour channel of 8 bits goes into a pixel value of the screen's format.
struct Channel {
    int shift = 0, bits = 0;
    explicit Channel(unsigned long mask)
        : shift(mask ? std::countr_zero(mask) : 0), bits(std::popcount(mask)) {}
    unsigned long Put(int value) const {
        const unsigned long v =
            bits <= 8 ? unsigned(value) >> (8 - bits) : (unsigned long)(value) << (bits - 8);
        return v << shift;
    }
};

// An image of the screen's pixel format holding `screen`. Pixels of the screen's most common
// layout (32 bits, 8 per channel, red highest) are handed over as they are; other layouts of
// colour channels are converted pixel by pixel. The image owns its pixels.
XImage* ScreenImage(Display* display, int screenNumber, const QImage& screen) {
    Visual* visual = DefaultVisual(display, screenNumber);
    const int depth = DefaultDepth(display, screenNumber);
    if (visual->c_class != TrueColor && visual->c_class != DirectColor) {
        throw Error("экран X-сервера работает с палитрой цветов, такой экран не поддерживается");
    }
    int bitsPerPixel = 0, count = 0;
    if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
        for (int i = 0; i < count; ++i) {
            if (formats[i].depth == depth) bitsPerPixel = formats[i].bits_per_pixel;
        }
        XFree(formats);
    }
    const auto width = static_cast<unsigned>(screen.width());
    const auto height = static_cast<unsigned>(screen.height());
    const bool asIs = visual->c_class == TrueColor && (depth == 24 || depth == 32) &&
                      bitsPerPixel == 32 && visual->red_mask == 0xFF0000 &&
                      visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF;
    XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                 width, height, 32, 0);
    if (!image) throw Error("не хватило памяти для обоев");
    image->data = static_cast<char*>(std::malloc(std::size_t(image->bytes_per_line) * height));
    if (!image->data) {
        XDestroyImage(image);
        throw Error("не хватило памяти для обоев");
    }
    if (asIs) {
        // The rows are in this machine's byte order; Xlib turns them into the server's.
        image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
        for (unsigned y = 0; y < height; ++y) {
            std::memcpy(image->data + std::size_t(y) * image->bytes_per_line,
                        screen.constScanLine(int(y)), std::size_t(width) * 4);
        }
        return image;
    }
    const Channel red(visual->red_mask), green(visual->green_mask), blue(visual->blue_mask);
    for (unsigned y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(screen.constScanLine(int(y)));
        for (unsigned x = 0; x < width; ++x) {
            XPutPixel(
                image, int(x), int(y),
                red.Put(qRed(line[x])) | green.Put(qGreen(line[x])) | blue.Put(qBlue(line[x])));
        }
    }
    return image;
}

}  // namespace

void SetX11RootWallpaper(const QImage& picture) {
    if (picture.isNull()) throw Error("пустое изображение");
    Connection connection;
    Display* display = connection.get();
    ErrorTrap trap(display);
    const int screenNumber = DefaultScreen(display);
    const Window root = RootWindow(display, screenNumber);
    const QRect bounds(0, 0, DisplayWidth(display, screenNumber),
                       DisplayHeight(display, screenNumber));

    QImage screen(bounds.size(), QImage::Format_RGB32);
    if (screen.isNull()) throw Error("не хватило памяти для обоев");
    screen.fill(Qt::black);
    {
        QPainter painter(&screen);
        for (const QRect& monitor : Monitors(display, root, bounds)) {
            painter.drawImage(monitor.topLeft(), Filled(picture, monitor.size()));
        }
    }
    std::unique_ptr<XImage, ImageFree> image(ScreenImage(display, screenNumber, screen));
    screen = QImage();

    const Pixmap pixmap =
        XCreatePixmap(display, root, unsigned(bounds.width()), unsigned(bounds.height()),
                      unsigned(DefaultDepth(display, screenNumber)));
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image.get(), 0, 0, 0, 0, unsigned(bounds.width()),
              unsigned(bounds.height()));
    XFreeGC(display, gc);
    image.reset();
    if (const int error = trap.Take()) {
        XFreePixmap(display, pixmap);
        Refused(error);
    }

    // The previous wallpaper's pixmap is released the way the standard setters release it: by
    // ending the retained client that made it. A name left by a client long gone refers to
    // nothing, and the server's complaint about it is of no concern.
    const Atom rootId = XInternAtom(display, "_XROOTPMAP_ID", False);
    const Atom setRootId = XInternAtom(display, "ESETROOT_PMAP_ID", False);
    const Pixmap previous = RootPixmap(display, root, setRootId);
    if (previous && previous == RootPixmap(display, root, rootId)) {
        XKillClient(display, previous);
        trap.Take();
    }
    XChangeProperty(display, root, rootId, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XChangeProperty(display, root, setRootId, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XSetWindowBackgroundPixmap(display, root, pixmap);
    XClearWindow(display, root);
    if (const int error = trap.Take()) Refused(error);
    // The pixmap stays on the server after this connection closes.
    XSetCloseDownMode(display, RetainPermanent);
}

}  // namespace ornavel::platform::linux_desktop
