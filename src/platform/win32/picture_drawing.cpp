#include <windows.h>

#include "platform/win32/controls.hpp"

// How images and picture boxes draw their picture: an image stretched to its inside, from a copy
// scaled once per size; a picture box at the picture's own size.
namespace ornavel::platform::win32 {

void PictureItem::Draw(HDC dc, int x, int y) {
    RECT rect;
    GetClientRect(hwnd_, &rect);
    OffsetRect(&rect, x, y);
    if (entry_.border == layout::Border::Sunken) {
        DrawEdge(dc, &rect, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    }
    if (icon_ != nullptr) {
        DrawIconEx(dc, rect.left, rect.top, icon_, rect.right - rect.left, rect.bottom - rect.top,
                   0, nullptr, DI_NORMAL);
        return;
    }
    if (bitmap_ == nullptr) return;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return;
    if (entry_.kind == layout::Kind::PictureBox) {
        Blit(dc, rect.left, rect.top, bitmap_->Width(), bitmap_->Height(), COLORONCOLOR);
        return;
    }
    if (scaled_ == nullptr || scaledWidth_ != width || scaledHeight_ != height) {
        DropScaled();
        HDC memory = CreateCompatibleDC(dc);
        scaled_ = CreateCompatibleBitmap(dc, width, height);
        HGDIOBJ old = SelectObject(memory, scaled_);
        Blit(memory, 0, 0, width, height, HALFTONE);
        SelectObject(memory, old);
        DeleteDC(memory);
        scaledWidth_ = width;
        scaledHeight_ = height;
    }
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, scaled_);
    BitBlt(dc, rect.left, rect.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void PictureItem::Blit(HDC dc, int x, int y, int width, int height, int mode) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bitmap_->ShownWidth();
    info.bmiHeader.biHeight = -bitmap_->ShownHeight();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, mode);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, x, y, width, height, 0, 0, bitmap_->ShownWidth(), bitmap_->ShownHeight(),
                  bitmap_->Pixels(), &info, DIB_RGB_COLORS, SRCCOPY);
}

LRESULT CALLBACK PictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* item = reinterpret_cast<PictureItem*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd, &paint);
            RECT rect;
            GetClientRect(hwnd, &rect);
            FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
            if (item != nullptr) item->Draw(dc, 0, 0);
            EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace ornavel::platform::win32
