#include "platform/win32/controls.hpp"

#include <utility>

#include "platform/win32/text.hpp"
#include "platform/win32/win32_window.hpp"

namespace ornavel::platform::win32 {

// ---- Label ---------------------------------------------------------------------------------

void LabelItem::SetCaption(const std::string& caption) {
    SetWindowTextW(hwnd_, Wide(caption).c_str());
    if (entry_.autoSize) window_.Place(*this);
    window_.Repaint(*this);
}

std::string LabelItem::Caption() const {
    const int length = GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), length + 1)));
    return Utf8(text);
}

// ---- List box ------------------------------------------------------------------------------

void ListItem::Clear() { SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0); }

void ListItem::Append(const std::string& text) {
    SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

std::string ListItem::SelectedText() const {
    const LRESULT index = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return {};
    const LRESULT length = SendMessageW(hwnd_, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(hwnd_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return Utf8(text);
}

int ListItem::Count() const { return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)); }

// ---- Image and picture box -----------------------------------------------------------------

void PictureItem::SetPicture(PicturePtr picture) {
    picture_ = std::move(picture);
    bitmap_ = std::dynamic_pointer_cast<const Bitmap>(picture_);
    DropScaled();
    if (entry_.autoSize) window_.Place(*this);
    window_.Repaint(*this);
}

float PictureItem::OuterWidth() const {
    return static_cast<float>(AutoSized() ? bitmap_->Width() + 2 * Border() : entry_.width);
}

float PictureItem::OuterHeight() const {
    return static_cast<float>(AutoSized() ? bitmap_->Height() + 2 * Border() : entry_.height);
}

void PictureItem::DropScaled() {
    if (scaled_ != nullptr) DeleteObject(scaled_);
    scaled_ = nullptr;
}

}  // namespace ornavel::platform::win32
