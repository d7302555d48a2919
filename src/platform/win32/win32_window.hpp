#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/layout.hpp"
#include "platform/win32/controls.hpp"
#include "platform/window.hpp"

// A window of the program, built from its layout table. Its parts live in files of their own:
// window.cpp builds it and dispatches its messages, window_show.cpp shows and closes it, menu.cpp
// builds its menu bar, accessible.cpp tells assistive technology about it, scaling.cpp places its
// controls and makes its fonts for the window's DPI, transparent_label.cpp paints what lies beneath
// a transparent label, keyboard.cpp moves the focus; controls.hpp holds the controls themselves.
namespace ornavel::platform::win32 {

// The window classes of frames and of images and picture boxes.
inline constexpr wchar_t kFrameClass[] = L"OrnavelFrame";
inline constexpr wchar_t kPictureClass[] = L"OrnavelPicture";

inline HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

class Win32Window final : public Window {
  public:
    Win32Window(const layout::Window& layout, WindowEvents& events);
    ~Win32Window() override;

    WindowHandle NativeHandle() const override { return reinterpret_cast<WindowHandle>(hwnd_); }
    Label& GetLabel(std::string_view name) override { return Get<Label>(name); }
    Button& GetButton(std::string_view name) override { return Get<Button>(name); }
    MenuEntry& GetMenuEntry(std::string_view name) override;
    ListBox& GetListBox(std::string_view name) override { return Get<ListBox>(name); }
    FileList& GetFileList(std::string_view name) override { return Get<FileList>(name); }
    PictureBox& GetPictureBox(std::string_view name) override { return Get<PictureBox>(name); }
    void Focus(std::string_view name) override;
    void Show() override;
    void ShowModal() override;
    void Unload() override;

    HFONT FontOf(const layout::Control& entry);
    // Places a control again, after its size or the window's scale changed.
    void Place(Item& item);
    // Repaints a control together with the transparent ones that overlap it.
    void Repaint(const Item& item);
    LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool TabFrom(HWND focus, bool backwards);
    // The keys a window handles itself, pressed on `focus`: Escape closes a dialog, Return, Enter
    // and Space press a link, Return and Enter give a list's command. True when handled.
    bool Key(HWND focus, WPARAM key);
    bool Destroyed() const { return hwnd_ == nullptr; }
    // A dialog to assistive technology, closed by Escape.
    bool IsDialog() const { return layout_.dialog; }
    // The text a control holds (a label's caption), "" for a control that is not there.
    std::wstring TextOf(std::string_view name) const;
    // Raises the control's event, as a click does.
    void Activate(std::string_view name) { RaiseClick(name); }

  private:
    template <typename T>
    T& Get(std::string_view name) {
        for (auto& item : items_) {
            if (item->entry().name != name) continue;
            if (auto* found = dynamic_cast<T*>(item.get())) return *found;
            break;
        }
        throw std::logic_error("no such control: " + std::string(name));
    }
    Item* FindByHwnd(HWND hwnd);
    void RaiseClick(std::string_view name);
    void BuildMenu();
    void PlaceLabelsBeforeTheirControls();
    void LayOut();
    // Takes the scale of the monitor the window moved to, at the position the system suggests.
    void ChangeDpi(UINT dpi, const RECT& suggested);
    // Draws a transparent label: what lies beneath it, then its caption.
    void PaintTransparent(LabelItem& label, const DRAWITEMSTRUCT& draw);
    // Draws what lies beneath `item` within its rectangle: the container's background and the
    // controls drawn before it.
    void PaintBeneath(HDC dc, const Item& item);
    void Center();
    void Destroy();
    void ReenableOthers();

    const layout::Window& layout_;
    WindowEvents& events_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    HMENU menu_ = nullptr;
    HICON bigIcon_ = nullptr, smallIcon_ = nullptr;
    UINT dpi_ = 96;
    std::vector<std::unique_ptr<Item>> items_;
    std::vector<std::unique_ptr<MenuItem>> menuEntries_;
    std::map<std::tuple<std::string_view, int, bool, bool, int>, HFONT> fonts_;
    std::vector<HWND> disabled_;   // the windows a modal show disabled
    HWND focus_ = nullptr;         // the control that had the focus when the window was left
    Item* changedList_ = nullptr;  // a list whose selection changed, not yet raised
};

// The window that `hwnd`, a top-level window of the program or one of its frames, belongs to.
Win32Window* WindowOf(HWND hwnd);

// Lets the control answer assistive technology with what its layout entry says (accessible.cpp).
void MakeAccessible(Item& item);
// The answer to WM_GETOBJECT for a control or a window: the system's proxy for it with the
// layout's role, name and description; 0 when the object asked for is not the client.
LRESULT AnswerAccessible(HWND hwnd, WPARAM wParam, LPARAM lParam);

}  // namespace ornavel::platform::win32
