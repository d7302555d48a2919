#include "platform/linux/font_setup.hpp"

#include <fontconfig/fontconfig.h>

namespace ornavel::platform::linux_qt {

// A set-up that fails leaves Qt to fail the same way and say so; there is nothing to add here.
FontSetup::FontSetup() : thread_([] { static_cast<void>(FcInit()); }) {}

FontSetup::~FontSetup() { Wait(); }

void FontSetup::Wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace ornavel::platform::linux_qt
