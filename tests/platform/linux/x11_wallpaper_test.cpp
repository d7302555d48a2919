#include "platform/linux/x11_wallpaper.hpp"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cstdlib>
#include <memory>
#include <string>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include "platform/error.hpp"
#include "support/environment_skip.hpp"
#include "support/temp_dir.hpp"
#include "support/x11_root.hpp"
#include "support/xvfb.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

using testing::RootProperty;
using testing::SetEnv;

// An X error that no trap expected fails the test, whether the test's own requests or the
// program's raised it; Xlib's own handler would end the whole test program instead.
int FailOnError(Display*, XErrorEvent* error) {
    ADD_FAILURE() << "X error " << int(error->error_code) << " on request "
                  << int(error->request_code) << "." << int(error->minor_code)
                  << ", raised outside any trap";
    return 0;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

// Asking after a freed pixmap raises BadDrawable, which is the answer here: only this request's
// errors are ignored.
bool PixmapExists(Display* display, Pixmap pixmap) {
    XSync(display, False);
    const XErrorHandler previous = XSetErrorHandler(IgnoreErrors);
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    const bool exists =
        XGetGeometry(display, pixmap, &root, &x, &y, &width, &height, &border, &depth) != 0;
    XSync(display, False);
    XSetErrorHandler(previous);
    return exists;
}

// Three bands side by side: black, a middle band red above and green below, and blue.
QImage Bands() {
    QImage image(300, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 300; ++x) {
            QColor c = x < 100 ? Qt::black : x >= 200 ? Qt::blue : y < 50 ? Qt::red : Qt::green;
            image.setPixelColor(x, y, c);
        }
    }
    return image;
}

// The wallpaper's pixels as 0xRRGGBB, read back from the pixmap the root window names.
class Shot {
  public:
    explicit Shot(Display* display) {
        const int screen = DefaultScreen(display);
        image_ = XGetImage(display, RootProperty(display, "_XROOTPMAP_ID"), 0, 0,
                           unsigned(DisplayWidth(display, screen)),
                           unsigned(DisplayHeight(display, screen)), AllPlanes, ZPixmap);
        visual_ = DefaultVisual(display, screen);
    }
    ~Shot() {
        if (image_) XDestroyImage(image_);
    }
    bool ok() const { return image_ != nullptr; }
    // Each channel scaled up to 8 bits, whatever the screen's format.
    unsigned long at(int x, int y) const {
        const unsigned long pixel = XGetPixel(image_, x, y);
        auto channel = [&](unsigned long mask) {
            const int shift = __builtin_ctzl(mask);
            const unsigned long max = mask >> shift;
            return ((pixel & mask) >> shift) * 255 / max;
        };
        return channel(visual_->red_mask) << 16 | channel(visual_->green_mask) << 8 |
               channel(visual_->blue_mask);
    }

  private:
    XImage* image_ = nullptr;
    Visual* visual_ = nullptr;  // a pixmap's image has no colour masks of its own
};

class X11WallpaperTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) SKIP_OR_FAIL_IN_CI("no X server (DISPLAY is not set)");
        XSetErrorHandler(FailOnError);
        Open();
    }
    void TearDown() override {
        if (display_) XCloseDisplay(display_);
        display_ = nullptr;
        server_.reset();
        XSetErrorHandler(nullptr);
    }
    // Connects to an X server of the test's own with this screen; false when it does not start.
    bool OwnServer(const std::string& screen) {
        server_ = std::make_unique<testing::Xvfb>(screen);
        if (server_->display().empty()) return false;
        Open();
        return display_ != nullptr;
    }
    void Open() {
        if (display_) XCloseDisplay(display_);
        display_ = XOpenDisplay(nullptr);
        if (!display_) SKIP_OR_FAIL_IN_CI("the X server cannot be reached");
    }
    int Width() const { return DisplayWidth(display_, DefaultScreen(display_)); }
    int Height() const { return DisplayHeight(display_, DefaultScreen(display_)); }

    std::unique_ptr<testing::Xvfb> server_;
    Display* display_ = nullptr;
};

TEST_F(X11WallpaperTest, TheRootPixmapShowsThePictureZoomedToFillTheScreen) {
    SetX11RootWallpaper(Bands());
    const Pixmap pixmap = RootProperty(display_, "_XROOTPMAP_ID");
    ASSERT_NE(pixmap, 0u);
    EXPECT_EQ(RootProperty(display_, "ESETROOT_PMAP_ID"), pixmap);

    const Shot shot(display_);
    ASSERT_TRUE(shot.ok()) << "the pixmap outlives the connection that made it";
    // The picture is three times as wide as high; zoomed to the screen's height, its sides are
    // cut evenly, so the outer bands get narrower than the middle one.
    const int width = Width(), height = Height();
    const int band = height;  // the middle band's width on screen
    const int side = (width - band) / 2;
    EXPECT_EQ(shot.at(side / 2, height / 2), 0x000000u);
    EXPECT_EQ(shot.at(width / 2, height / 4), 0xFF0000u);
    EXPECT_EQ(shot.at(width / 2, height * 3 / 4), 0x00FF00u);
    EXPECT_EQ(shot.at(width - side / 2, height / 2), 0x0000FFu);
    EXPECT_EQ(shot.at(side + 16, height / 4), 0xFF0000u)
        << "the middle band starts where it should";
    EXPECT_EQ(shot.at(side - 16, height / 4), 0x000000u);
}

TEST_F(X11WallpaperTest, ANewWallpaperReleasesThePreviousPixmap) {
    SetX11RootWallpaper(Bands());
    const Pixmap first = RootProperty(display_, "_XROOTPMAP_ID");
    ASSERT_TRUE(PixmapExists(display_, first));
    SetX11RootWallpaper(Bands());
    const Pixmap second = RootProperty(display_, "_XROOTPMAP_ID");
    EXPECT_NE(second, first);
    EXPECT_FALSE(PixmapExists(display_, first));
    EXPECT_TRUE(PixmapExists(display_, second));
}

// A wallpaper name left by a client that is gone makes the X server refuse to free it; Xlib's
// own handler of that refusal would end the program.
TEST_F(X11WallpaperTest, AStaleWallpaperNameLeftByAnotherProgramIsNoObstacle) {
    const Pixmap stale = 0x1FE00001;  // in the range of a client that never connected
    for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
        XChangeProperty(display_, DefaultRootWindow(display_), XInternAtom(display_, name, False),
                        XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&stale), 1);
    }
    XSync(display_, False);
    QImage green(8, 8, QImage::Format_RGB32);
    green.fill(Qt::green);
    SetX11RootWallpaper(green);
    EXPECT_NE(RootProperty(display_, "_XROOTPMAP_ID"), stale);
    const Shot shot(display_);
    ASSERT_TRUE(shot.ok());
    EXPECT_EQ(shot.at(Width() / 2, Height() / 2), 0x00FF00u);
}

// Pictures far longer than wide, or wider than long, show their middle across the whole screen;
// zoomed whole, they would need more memory than there is.
TEST_F(X11WallpaperTest, PicturesOfExtremeProportionsFillTheScreenWithTheirMiddle) {
    struct Case {
        int width, height;
    };
    for (const Case c : {Case{1, 65500}, Case{65500, 1}, Case{16000, 2}}) {
        QImage picture(c.width, c.height, QImage::Format_RGB32);
        picture.fill(Qt::red);
        // Green around the middle, where the screen's part of the picture is.
        const int long_side = std::max(c.width, c.height);
        for (int i = long_side / 2 - 8; i < long_side / 2 + 8; ++i) {
            for (int j = 0; j < std::min(c.width, c.height); ++j) {
                picture.setPixelColor(c.width > c.height ? i : j, c.width > c.height ? j : i,
                                      Qt::green);
            }
        }
        SetX11RootWallpaper(picture);
        const Shot shot(display_);
        ASSERT_TRUE(shot.ok());
        for (const auto& [x, y] :
             {std::pair{0, 0}, {Width() - 1, Height() - 1}, {Width() / 2, Height() / 2}}) {
            EXPECT_EQ(shot.at(x, y), 0x00FF00u)
                << c.width << " x " << c.height << " at " << x << ", " << y;
        }
    }
}

TEST_F(X11WallpaperTest, TransparentPartsShowWhiteAsInTheBitmapFile) {
    QImage picture(4, 4, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    SetX11RootWallpaper(picture);
    const Shot shot(display_);
    ASSERT_TRUE(shot.ok());
    EXPECT_EQ(shot.at(Width() / 2, Height() / 2), 0xFFFFFFu);
}

// Each monitor gets the whole picture's middle, as a monitor of its own; stretched across both,
// the left monitor would show the picture's left band.
TEST_F(X11WallpaperTest, EveryMonitorIsFilledOnItsOwn) {
    if (!OwnServer("1280x1024x24")) SKIP_OR_FAIL_IN_CI("Xvfb does not start here");
    const Window root = DefaultRootWindow(display_);
    // As `xrandr --setmonitor NAME GEOMETRY none` makes them: on no output, so the screen's one
    // output keeps its own monitor, which holds both.
    for (int half = 0; half < 2; ++half) {
        XRRMonitorInfo* monitor = XRRAllocateMonitor(display_, 0);
        monitor->name = XInternAtom(display_, half ? "RIGHT" : "LEFT", False);
        monitor->x = half * 640;
        monitor->y = 0;
        monitor->width = 640;
        monitor->height = 1024;
        monitor->mwidth = 170;
        monitor->mheight = 270;
        XRRSetMonitor(display_, root, monitor);
        XRRFreeMonitors(monitor);
    }
    XSync(display_, False);
    int count = 0;
    XRRFreeMonitors(XRRGetMonitors(display_, root, True, &count));
    ASSERT_EQ(count, 3) << "the monitors are defined beside the output's own";

    SetX11RootWallpaper(Bands());
    const Shot shot(display_);
    ASSERT_TRUE(shot.ok());
    for (const int left : {0, 640}) {
        EXPECT_EQ(shot.at(left + 4, 4), 0xFF0000u) << "monitor at " << left;
        EXPECT_EQ(shot.at(left + 635, 4), 0xFF0000u) << "monitor at " << left;
        EXPECT_EQ(shot.at(left + 4, 1019), 0x00FF00u) << "monitor at " << left;
        EXPECT_EQ(shot.at(left + 635, 1019), 0x00FF00u) << "monitor at " << left;
    }
}

// A screen of 16 bits per pixel gets the picture converted to its own pixel layout.
TEST_F(X11WallpaperTest, AScreenOfAnotherPixelFormatGetsThePictureConverted) {
    if (!OwnServer("320x240x16")) SKIP_OR_FAIL_IN_CI("Xvfb does not start here");
    SetX11RootWallpaper(Bands());
    const Shot shot(display_);
    ASSERT_TRUE(shot.ok());
    EXPECT_EQ(shot.at(160, 10), 0xFF0000u);
    EXPECT_EQ(shot.at(160, 230), 0x00FF00u);
    EXPECT_EQ(shot.at(2, 120), 0x000000u);
    EXPECT_EQ(shot.at(317, 120), 0x0000FFu);
}

// A screen of 256 colours from a palette has no colour channels to convert to.
TEST_F(X11WallpaperTest, AScreenWithAPaletteIsRefusedWithAReason) {
    if (!OwnServer("320x240x8")) SKIP_OR_FAIL_IN_CI("Xvfb does not start here");
    try {
        SetX11RootWallpaper(Bands());
        ADD_FAILURE() << "a palette screen took the picture";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(),
                     "экран X-сервера работает с палитрой цветов, такой экран не поддерживается");
    }
    EXPECT_EQ(RootProperty(display_, "_XROOTPMAP_ID"), 0u);
}

TEST_F(X11WallpaperTest, FailuresAreReportedWithAReason) {
    EXPECT_THROW(SetX11RootWallpaper(QImage()), Error);
    const std::string saved = std::getenv("DISPLAY");
    SetEnv("DISPLAY", ":9999");
    try {
        SetX11RootWallpaper(Bands());
        ADD_FAILURE() << "no error without an X server";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "нет подключения к X-серверу");
    }
    SetEnv("DISPLAY", saved);
}

}  // namespace
}  // namespace ornavel::platform::linux_desktop
