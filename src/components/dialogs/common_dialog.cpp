#include "components/dialogs/common_dialog.hpp"

#include "platform/file_dialog.hpp"
#include "platform/folder_dialog.hpp"

namespace ornavel {

std::string CommonDialog::OpenFolder(const std::string& Title,
                                     const platform::WindowHandle& WindowHwnd) const {
    return platform::BrowseForFolder(Title, WindowHwnd);
}

std::string CommonDialog::OpenFile(const std::string& Title, const std::string& Mask,
                                   const platform::WindowHandle& WindowHwnd) const {
    return platform::BrowseForFile(Title, Mask, WindowHwnd);
}

}  // namespace ornavel
