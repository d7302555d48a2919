#include <windows.h>

#include <string>

#include "platform/win32/win32_window.hpp"

// Transparent labels: the system has no transparent static control, so such a label is drawn by
// its window, which paints what lies beneath it (the container's background and the controls
// stacked under it) and then the caption over that.
namespace ornavel::platform::win32 {

void LabelItem::DrawText(HDC dc, RECT rect) {
    const int length = GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), length + 1)));
    HGDIOBJ old = SelectObject(dc, window_.FontOf(entry_));
    SetBkMode(dc, TRANSPARENT);
    const auto& c = entry_.foreground;
    SetTextColor(dc, c ? RGB(c->red, c->green, c->blue) : GetSysColor(COLOR_BTNTEXT));
    UINT format = DT_NOPREFIX | DT_WORDBREAK;
    if (entry_.align == layout::Align::Right) format |= DT_RIGHT;
    if (entry_.align == layout::Align::Center) format |= DT_CENTER;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
    SelectObject(dc, old);
}

void Win32Window::Repaint(const Item& item) {
    if (item.hwnd() == nullptr) return;
    InvalidateRect(item.hwnd(), nullptr, TRUE);
    RECT mine;
    GetWindowRect(item.hwnd(), &mine);
    for (auto& other : items_) {
        if (other.get() == &item || other->hwnd() == nullptr || !other->entry().transparent ||
            other->container != item.container) {
            continue;
        }
        RECT theirs, overlap;
        GetWindowRect(other->hwnd(), &theirs);
        if (IntersectRect(&overlap, &mine, &theirs)) InvalidateRect(other->hwnd(), nullptr, TRUE);
    }
}

void Win32Window::PaintBeneath(HDC dc, const Item& item) {
    RECT mine;
    GetWindowRect(item.hwnd(), &mine);
    RECT client{0, 0, mine.right - mine.left, mine.bottom - mine.top};
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    // From the bottom of the container's stack up to the control itself.
    std::size_t index = items_.size();
    while (index-- > 0 && items_[index].get() != &item) {
        Item& other = *items_[index];
        if (other.hwnd() == nullptr || other.container != item.container ||
            !IsWindowVisible(other.hwnd())) {
            continue;
        }
        RECT theirs, overlap;
        GetWindowRect(other.hwnd(), &theirs);
        if (!IntersectRect(&overlap, &mine, &theirs)) continue;
        const int x = theirs.left - mine.left, y = theirs.top - mine.top;
        if (auto* picture = dynamic_cast<PictureItem*>(&other)) {
            picture->Draw(dc, x, y);
        } else if (auto* label = dynamic_cast<LabelItem*>(&other)) {
            RECT area{x, y, x + theirs.right - theirs.left, y + theirs.bottom - theirs.top};
            if (!other.entry().transparent) FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
            label->DrawText(dc, area);
        }
    }
}

void Win32Window::PaintTransparent(LabelItem& label, const DRAWITEMSTRUCT& draw) {
    // What lies beneath, then the text over it, drawn off screen first so that nothing flickers.
    const RECT& rect = draw.rcItem;
    HDC memory = CreateCompatibleDC(draw.hDC);
    HBITMAP canvas = CreateCompatibleBitmap(draw.hDC, rect.right, rect.bottom);
    HGDIOBJ old = SelectObject(memory, canvas);
    PaintBeneath(memory, label);
    label.DrawText(memory, rect);
    BitBlt(draw.hDC, 0, 0, rect.right, rect.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
}

}  // namespace ornavel::platform::win32
