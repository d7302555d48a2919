#pragma once

#include <thread>

namespace ornavel::platform::linux_qt {

// Fontconfig's first set-up (reading its configuration and font caches) is the largest single
// cost of showing the first window with text. It needs nothing of Qt, so it is begun on a thread
// of its own at once and runs while Qt connects to the display; Qt then finds it done.
class FontSetup {
  public:
    FontSetup();
    ~FontSetup();
    FontSetup(const FontSetup&) = delete;
    FontSetup& operator=(const FontSetup&) = delete;

    // Waits for the set-up to end. Called before the first text is measured, so that Qt does not
    // begin a second one of its own meanwhile.
    void Wait();

  private:
    std::thread thread_;
};

}  // namespace ornavel::platform::linux_qt
