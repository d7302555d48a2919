#include <windows.h>

#include <cmath>
#include <string>
#include <tuple>

#include "platform/win32/bitmap.hpp"
#include "platform/win32/icon_file.hpp"
#include "platform/win32/resource_ids.h"
#include "platform/win32/text.hpp"
#include "platform/win32/win32_window.hpp"

// A window at its monitor's scale: the layout's 96-dpi positions and sizes, the fonts and the
// folder glyph at the window's DPI, and the move to a monitor of another DPI.
namespace ornavel::platform::win32 {
namespace {

int Scale(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), 96); }

// The folder glyph at the size it has at `dpi`; its icon file holds that size for the common
// scales.
HICON LoadFolderGlyph(UINT dpi) {
    HRSRC found = FindResourceW(Instance(), MAKEINTRESOURCEW(ORNAVEL_FOLDER_GLYPH), RT_RCDATA);
    if (found == nullptr) return nullptr;
    const void* file = LockResource(LoadResource(Instance(), found));
    return IconFromIcoFile(file, SizeofResource(Instance(), found), Scale(15, dpi), Scale(13, dpi));
}

}  // namespace

HFONT Win32Window::FontOf(const layout::Control& entry) {
    const layout::Font& font = entry.font.face.empty() ? layout_.font : entry.font;
    const int hundredths = static_cast<int>(std::lround(font.points * 100));
    const auto key =
        std::make_tuple(font.face, hundredths, font.bold, font.underline, static_cast<int>(dpi_));
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    // Every text of the program is Russian, so a font that names no character set asks for the
    // Cyrillic one too; the system then picks a face that can show the texts.
    const BYTE charset = font.charset == 0 ? RUSSIAN_CHARSET : static_cast<BYTE>(font.charset);
    HFONT made = CreateFontW(-MulDiv(hundredths, static_cast<int>(dpi_), 7200), 0, 0, 0,
                             font.bold ? FW_BOLD : FW_NORMAL, FALSE, font.underline, FALSE, charset,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, Wide(std::string(font.face)).c_str());
    fonts_[key] = made;
    return made;
}

void Win32Window::Place(Item& item) {
    HWND child = item.hwnd();
    if (child == nullptr) return;
    const layout::Control& entry = item.entry();
    int width = Scale(entry.width, dpi_), height = Scale(entry.height, dpi_);
    if (entry.kind == layout::Kind::Label && entry.autoSize) {
        const int length = GetWindowTextLengthW(child);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(child, text.data(), length + 1)));
        HDC dc = GetDC(child);
        HGDIOBJ old = SelectObject(dc, FontOf(entry));
        RECT rect{0, 0, 0, 0};
        DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &rect,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(child, dc);
        width = text.empty() ? 0 : rect.right;
        height = rect.bottom;
    }
    if (auto* picture = dynamic_cast<PictureItem*>(&item); picture && picture->AutoSized()) {
        width = static_cast<int>(picture->OuterWidth());
        height = static_cast<int>(picture->OuterHeight());
    }
    SetWindowPos(child, nullptr, Scale(entry.left, dpi_), Scale(entry.top, dpi_), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::LayOut() {
    for (auto& item : items_) {
        const layout::Control& entry = item->entry();
        if (item->hwnd() == nullptr) continue;
        SendMessageW(item->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(entry)), FALSE);
        if (entry.art == layout::Art::FolderGlyph) {
            HICON old = reinterpret_cast<HICON>(
                SendMessageW(item->hwnd(), BM_SETIMAGE, IMAGE_ICON,
                             reinterpret_cast<LPARAM>(LoadFolderGlyph(dpi_))));
            if (old) DestroyIcon(old);
        }
        if (entry.art == layout::Art::ProgramIcon) {
            if (auto* picture = dynamic_cast<PictureItem*>(item.get())) {
                picture->SetIcon(bigIcon_);
            }
        }
        Place(*item);
    }
    // The client area, below the menu bar, takes its size from the layout at this scale.
    RECT client{0, 0, Scale(layout_.clientWidth, dpi_), Scale(layout_.clientHeight, dpi_)};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    AdjustWindowRectExForDpi(&client, style, menu_ != nullptr, exStyle, dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps onto a second line takes more room than the estimate.
    RECT actual;
    GetClientRect(hwnd_, &actual);
    const int missing = Scale(layout_.clientHeight, dpi_) - actual.bottom;
    if (missing != 0) {
        SetWindowPos(hwnd_, nullptr, 0, 0, client.right - client.left,
                     client.bottom - client.top + missing,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32Window::ChangeDpi(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (auto& item : items_) {
        if (auto* picture = dynamic_cast<PictureItem*>(item.get())) {
            picture->DropScaled();
        }
    }
    LayOut();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

}  // namespace ornavel::platform::win32
