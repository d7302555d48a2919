#include "platform/linux/x11_wallpaper.hpp"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/error.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/picture.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

using testing::SetEnv;

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

Pixmap RootProperty(Display* display, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    Pixmap pixmap = 0;
    if (XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, name, False),
                           0, 1, False, XA_PIXMAP, &type, &format, &count, &remaining,
                           &data) == Success &&
        type == XA_PIXMAP && count == 1) {
        pixmap = *reinterpret_cast<Pixmap*>(data);
    }
    if (data) XFree(data);
    return pixmap;
}

bool PixmapExists(Display* display, Pixmap pixmap) {
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    return XGetGeometry(display, pixmap, &root, &x, &y, &width, &height, &border, &depth) != 0;
}

class X11WallpaperTest : public testing::TempDirTest {
  protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) GTEST_SKIP() << "no X server (DISPLAY is not set)";
        display_ = XOpenDisplay(nullptr);
        if (!display_) GTEST_SKIP() << "the X server cannot be reached";
        XSetErrorHandler(IgnoreErrors);
    }
    void TearDown() override {
        if (display_) XCloseDisplay(display_);
    }

    // Three bands side by side: black, a middle band red above and green below, and blue.
    std::string Bands(const std::string& name) {
        QImage image(300, 100, QImage::Format_RGB32);
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 300; ++x) {
                QColor c = x < 100 ? Qt::black : x >= 200 ? Qt::blue : y < 50 ? Qt::red : Qt::green;
                image.setPixelColor(x, y, c);
            }
        }
        const std::string path = dir.file(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
        return path;
    }

    Display* display_ = nullptr;
};

TEST_F(X11WallpaperTest, TheRootPixmapShowsThePictureZoomedToFillTheScreen) {
    SetX11RootWallpaper(Bands("bands.png"));
    const Pixmap pixmap = RootProperty(display_, "_XROOTPMAP_ID");
    ASSERT_NE(pixmap, 0u);
    EXPECT_EQ(RootProperty(display_, "ESETROOT_PMAP_ID"), pixmap);

    const int width = DisplayWidth(display_, DefaultScreen(display_));
    const int height = DisplayHeight(display_, DefaultScreen(display_));
    XImage* shot = XGetImage(display_, pixmap, 0, 0, static_cast<unsigned>(width),
                             static_cast<unsigned>(height), AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr) << "the pixmap outlives the connection that made it";
    // The picture is three times as wide as high; zoomed to the screen's height, its sides are
    // cut evenly, so the outer bands get narrower than the middle one.
    const int band = height;  // the middle band's width on screen
    const int side = (width - band) / 2;
    auto at = [&](int x, int y) { return XGetPixel(shot, x, y) & 0xFFFFFF; };
    EXPECT_EQ(at(side / 2, height / 2), 0x000000u);
    EXPECT_EQ(at(width / 2, height / 4), 0xFF0000u);
    EXPECT_EQ(at(width / 2, height * 3 / 4), 0x00FF00u);
    EXPECT_EQ(at(width - side / 2, height / 2), 0x0000FFu);
    EXPECT_EQ(at(side + 16, height / 4), 0xFF0000u) << "the middle band starts where it should";
    EXPECT_EQ(at(side - 16, height / 4), 0x000000u);
    XDestroyImage(shot);
}

TEST_F(X11WallpaperTest, ANewWallpaperReleasesThePreviousPixmap) {
    const std::string path = Bands("bands.png");
    SetX11RootWallpaper(path);
    const Pixmap first = RootProperty(display_, "_XROOTPMAP_ID");
    ASSERT_TRUE(PixmapExists(display_, first));
    SetX11RootWallpaper(path);
    const Pixmap second = RootProperty(display_, "_XROOTPMAP_ID");
    EXPECT_NE(second, first);
    EXPECT_FALSE(PixmapExists(display_, first));
    EXPECT_TRUE(PixmapExists(display_, second));
}

TEST_F(X11WallpaperTest, AWallpaperFileReplacedSinceItWasSavedIsShownAsItIsNow) {
    const std::string path = dir.file("wallpaper.bmp");
    QImage red(64, 64, QImage::Format_RGB32);
    red.fill(Qt::red);
    SavePicture(linux_qt::QtPicture(red), path);
    std::filesystem::rename(Bands("bands.png"), path);
    SetX11RootWallpaper(path);

    const int height = DisplayHeight(display_, DefaultScreen(display_));
    XImage* shot = XGetImage(display_, RootProperty(display_, "_XROOTPMAP_ID"), 0, height / 2, 1, 1,
                             AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(XGetPixel(shot, 0, 0) & 0xFFFFFF, 0x000000u) << "the bands, not the red square";
    XDestroyImage(shot);
}

TEST_F(X11WallpaperTest, FailuresAreReportedWithAReason) {
    const std::string path = dir.file("\xC0 \xFF bands.png");
    std::filesystem::rename(Bands("bands.png"), path);
    SetX11RootWallpaper(path);  // a name that is not UTF-8 is found all the same

    testing::WriteFile(dir.file("text.png"), "no picture");
    EXPECT_THROW(SetX11RootWallpaper(dir.file("text.png")), Error);
    EXPECT_THROW(SetX11RootWallpaper(dir.file("missing.png")), Error);

    const std::string saved = std::getenv("DISPLAY");
    SetEnv("DISPLAY", ":9999");
    try {
        SetX11RootWallpaper(path);
        ADD_FAILURE() << "no error without an X server";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "нет подключения к X-серверу");
    }
    SetEnv("DISPLAY", saved);
}

}  // namespace
}  // namespace ornavel::platform::linux_desktop
