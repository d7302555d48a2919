#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

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

// A widget of the window by its control name.
template <typename T = QWidget>
T* Child(QWidget* window, const char* name) {
    return window->findChild<T*>(name);
}

}  // namespace ornavel::testing
