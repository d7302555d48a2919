#include <windows.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/win32/runtime.hpp"
#include "platform/win32/text.hpp"
#include "platform/win32/win32_window.hpp"

// The menu bar of a window, built from its layout table, and its entries.
namespace ornavel::platform::win32 {

void Win32Window::BuildMenu() {
    if (layout_.menu.empty()) return;
    menu_ = CreateMenu();
    std::map<std::string_view, HMENU> popups;
    const auto& entries = layout_.menu;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const layout::MenuEntry& entry = entries[index];
        const int id = kFirstMenuId + static_cast<int>(index);
        const std::wstring caption = Wide(std::string(entry.caption));
        if (entry.parent.empty()) {
            HMENU popup = CreatePopupMenu();
            popups[entry.name] = popup;
            AppendMenuW(menu_, MF_POPUP | (entry.enabled ? 0 : MF_GRAYED),
                        reinterpret_cast<UINT_PTR>(popup), caption.c_str());
            continue;
        }
        HMENU popup = popups.at(entry.parent);
        if (entry.caption == "-") {
            AppendMenuW(popup, MF_SEPARATOR, static_cast<UINT_PTR>(id), nullptr);
        } else {
            AppendMenuW(popup, MF_STRING | (entry.enabled ? MF_ENABLED : MF_GRAYED),
                        static_cast<UINT_PTR>(id), caption.c_str());
        }
        menuEntries_.push_back(std::make_unique<MenuItem>(entry, menu_, id));
    }
    SetMenu(hwnd_, menu_);
}

MenuEntry& Win32Window::GetMenuEntry(std::string_view name) {
    for (auto& item : menuEntries_) {
        if (item->entry().name == name) return *item;
    }
    throw std::logic_error("no such menu entry: " + std::string(name));
}

void MenuItem::SetEnabled(bool enabled) {
    EnableMenuItem(menu_, static_cast<UINT>(id_),
                   MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool MenuItem::Enabled() const {
    const UINT state = GetMenuState(menu_, static_cast<UINT>(id_), MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

}  // namespace ornavel::platform::win32
