#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/button.hpp"
#include "platform/file_list.hpp"
#include "platform/label.hpp"
#include "platform/layout.hpp"
#include "platform/list_box.hpp"
#include "platform/menu_entry.hpp"
#include "platform/picture_box.hpp"
#include "platform/win32/bitmap.hpp"

// The controls of a window: each made from its layout entry, each the native control behind one
// of the platform's control interfaces.
namespace ornavel::platform::win32 {

class Win32Window;

inline constexpr int kSunken = 2;  // border width of images and picture boxes

// One control of a window, made from its layout entry.
class Item {
  public:
    Item(Win32Window& window, const layout::Control& entry, int id)
        : window_(window), entry_(entry), id_(id) {}
    virtual ~Item() = default;
    const layout::Control& entry() const { return entry_; }
    Win32Window& window() const { return window_; }
    int id() const { return id_; }
    HWND hwnd() const { return hwnd_; }
    void set_hwnd(HWND hwnd) { hwnd_ = hwnd; }
    HWND container = nullptr;

  protected:
    Win32Window& window_;
    const layout::Control& entry_;
    int id_;
    HWND hwnd_ = nullptr;
};

class LabelItem final : public Item, public Label {
  public:
    using Item::Item;
    void SetCaption(const std::string& caption) override;
    std::string Caption() const override;
    // Draws the caption into `rect` of `dc` in the label's font, colour and alignment.
    void DrawText(HDC dc, RECT rect);
};

class ButtonItem final : public Item, public Button {
  public:
    using Item::Item;
    void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled); }
    bool Enabled() const override { return IsWindowEnabled(hwnd_) != FALSE; }
    void SetFocus() override { ::SetFocus(hwnd_); }
};

class ListItem final : public Item, public ListBox {
  public:
    using Item::Item;
    void Clear() override;
    void Append(const std::string& text) override;
    std::string SelectedText() const override;
    int Count() const override;
};

// A hidden control: the file list of its layout entry's pattern.
class FileListItem final : public Item, public FileList {
  public:
    FileListItem(Win32Window& window, const layout::Control& entry, int id)
        : Item(window, entry, id), FileList(std::string(entry.pattern)) {}
};

// Images and picture boxes. An image shows its picture stretched to its inside, from a copy
// scaled once; a picture box shows it at its own size and, when it sizes itself, takes that size.
class PictureItem final : public Item, public PictureBox {
  public:
    using Item::Item;
    ~PictureItem() override { DropScaled(); }
    void SetPicture(PicturePtr picture) override;
    PicturePtr Picture() const override { return picture_; }
    float OuterWidth() const override;
    float OuterHeight() const override;
    bool AutoSized() const { return entry_.autoSize && bitmap_ != nullptr; }
    int Border() const { return entry_.border == layout::Border::Sunken ? kSunken : 0; }
    void DropScaled();
    void SetIcon(HICON icon) { icon_ = icon; }

    // Draws the control with its top left corner at (x, y) of `dc`.
    void Draw(HDC dc, int x, int y);

  private:
    void Blit(HDC dc, int x, int y, int width, int height, int mode);

    PicturePtr picture_;
    std::shared_ptr<const Bitmap> bitmap_;
    HICON icon_ = nullptr;
    HBITMAP scaled_ = nullptr;
    int scaledWidth_ = 0, scaledHeight_ = 0;
};

// The window procedure of images and picture boxes: they paint their picture and let the mouse
// through to what lies beneath.
LRESULT CALLBACK PictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Frames and components have no interface of their own.
class PlainItem final : public Item {
  public:
    using Item::Item;
};

class MenuItem final : public MenuEntry {
  public:
    MenuItem(const layout::MenuEntry& entry, HMENU menu, int id)
        : entry_(entry), menu_(menu), id_(id) {}
    void SetEnabled(bool enabled) override;
    bool Enabled() const override;
    const layout::MenuEntry& entry() const { return entry_; }
    int id() const { return id_; }

  private:
    const layout::MenuEntry& entry_;
    HMENU menu_;
    int id_;
};

}  // namespace ornavel::platform::win32
