#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/runtime.hpp"
#include "platform/win32/win32_window.hpp"

// The keyboard focus: the control a window gives it to, and the keys a dialog manager would
// handle: Tab and Shift+Tab move it along the layout's tab order, Enter presses the focused button,
// Escape closes a dialog; and the keys of the program's own controls, links and lists.
namespace ornavel::platform::win32 {

void Win32Window::Focus(std::string_view name) {
    for (auto& item : items_) {
        if (item->entry().name == name && item->hwnd() != nullptr) {
            focus_ = item->hwnd();
            if (IsWindowVisible(hwnd_)) SetFocus(focus_);
            return;
        }
    }
    throw std::logic_error("no such control: " + std::string(name));
}

bool Win32Window::TabFrom(HWND focus, bool backwards) {
    std::vector<Item*> order;
    for (auto& item : items_) {
        if (item->entry().tabIndex >= 0 && item->hwnd() != nullptr &&
            IsWindowVisible(item->hwnd()) && IsWindowEnabled(item->hwnd())) {
            order.push_back(item.get());
        }
    }
    if (order.empty()) return false;
    std::stable_sort(order.begin(), order.end(), [](const Item* a, const Item* b) {
        return a->entry().tabIndex < b->entry().tabIndex;
    });
    std::size_t current = order.size();
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i]->hwnd() == focus || IsChild(order[i]->hwnd(), focus)) current = i;
    }
    std::size_t next;
    if (current == order.size()) {
        next = backwards ? order.size() - 1 : 0;
    } else {
        next =
            backwards ? (current + order.size() - 1) % order.size() : (current + 1) % order.size();
    }
    SetFocus(order[next]->hwnd());
    return true;
}

bool Win32Window::Key(HWND focus, WPARAM key) {
    if (key == VK_ESCAPE) {
        if (!layout_.dialog) return false;
        Unload();
        return true;
    }
    const Item* item = FindByHwnd(focus);
    if (item == nullptr) return false;
    const layout::Control& entry = item->entry();
    if (entry.link && (key == VK_RETURN || key == VK_SPACE)) {
        RaiseClick(entry.name);
        return true;
    }
    if (!entry.returnClicks.empty() && key == VK_RETURN) {
        if (GetButton(entry.returnClicks).Enabled()) RaiseClick(entry.returnClicks);
        return true;
    }
    return false;
}

bool PreTranslate(MSG& message) {
    if (message.message != WM_KEYDOWN) return false;
    if (message.wParam != VK_TAB && message.wParam != VK_RETURN && message.wParam != VK_ESCAPE &&
        message.wParam != VK_SPACE) {
        return false;
    }
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    wchar_t name[32];
    if (root == nullptr || !GetClassNameW(root, name, 32) || lstrcmpW(name, kWindowClass) != 0) {
        return false;
    }
    Win32Window* window = WindowOf(root);
    if (window == nullptr) return false;
    if (message.wParam == VK_TAB) {
        return window->TabFrom(message.hwnd, GetKeyState(VK_SHIFT) < 0);
    }
    // Enter presses the focused button, as in a dialog.
    if (message.wParam == VK_RETURN && GetClassNameW(message.hwnd, name, 32) &&
        lstrcmpiW(name, L"Button") == 0) {
        SendMessageW(message.hwnd, BM_CLICK, 0, 0);
        return true;
    }
    return window->Key(message.hwnd, message.wParam);
}

}  // namespace ornavel::platform::win32
