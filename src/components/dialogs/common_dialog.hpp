#pragma once

#include <string>

#include "platform/window_handle.hpp"

namespace ornavel {

// The dialog component: the system's folder browser and open-file dialog behind one call each.
// It keeps no state between calls.
class CommonDialog {
  public:
    // The face shown where the component is placed on a window; the component always takes its
    // size.
    static constexpr int kFaceWidth = 36;
    static constexpr int kFaceHeight = 36;

    // The full path of the folder the user chose, or "" on cancel. Modal over WindowHwnd.
    std::string OpenFolder(const std::string& Title,
                           const platform::WindowHandle& WindowHwnd) const;

    // The full path of the file the user chose (it need not exist), or "" on cancel or failure.
    // Mask holds description and pattern pairs, each ended by a NUL character.
    std::string OpenFile(const std::string& Title, const std::string& Mask,
                         const platform::WindowHandle& WindowHwnd) const;
};

}  // namespace ornavel
