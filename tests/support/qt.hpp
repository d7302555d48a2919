#pragma once

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace ornavel::testing {

// The application object the widget tests share; made on first use. It is never destroyed:
// at exit Qt's own statics (the input devices) may already be gone before it.
inline QApplication& App() {
    static int argc = 1;
    static char name[] = "ornavel-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Runs `act` on the next modal window to appear (a dialog, a message box, the About window),
// from within its own event loop, for as long as the returned watch lives.
[[nodiscard]] inline std::unique_ptr<QTimer> WhenModal(std::function<void(QWidget*)> act) {
    auto timer = std::make_unique<QTimer>();
    QTimer* t = timer.get();
    QObject::connect(t, &QTimer::timeout, t, [t, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        t->stop();
        act(modal);
    });
    t->start(20);
    return timer;
}

// Runs the event loop until everything queued before the call has been handled, zero-delay
// timers included (a list raises its click from one): a sentinel timer of no delay, started now,
// fires only after every timer due before it. A handler that opened a modal window has shown it
// by then. Fails the test, saying so, when the sentinel does not come within ten seconds.
inline void Settle() {
    QTimer sentinel;
    sentinel.setSingleShot(true);
    sentinel.setTimerType(Qt::PreciseTimer);
    bool fired = false;
    QObject::connect(&sentinel, &QTimer::timeout, [&fired] { fired = true; });
    sentinel.start(0);
    if (!QTest::qWaitFor([&fired] { return fired; }, 10000)) {
        ADD_FAILURE() << "the event loop did not reach a sentinel timer within 10 s";
    }
}

// A widget of the window by its control name.
template <typename T = QWidget>
T* Child(QWidget* window, const char* name) {
    return window->findChild<T*>(name);
}

// A grey JPEG of `width` x `height` stored pixels whose EXIF block, right after the
// start-of-image marker, says "turn by 90 degrees": shown upright it is `height` x `width`.
inline QByteArray TurnedJpeg(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    const char exif[] =
        "\xFF\xE1\x00\x22"
        "Exif\0\0"
        "II*\0\x08\0\0\0"
        "\x01\0"
        "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0"
        "\0\0\0\0";
    jpeg.insert(2, QByteArray(exif, sizeof exif - 1));
    return jpeg;
}

}  // namespace ornavel::testing
