#include "platform/window.hpp"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/win32/bitmap.hpp"
#include "platform/win32/resource_ids.h"
#include "platform/win32/runtime.hpp"
#include "platform/win32/text.hpp"

namespace ornavel::platform {
namespace {

using win32::Utf8;
using win32::Wide;

constexpr wchar_t kFrameClass[] = L"OrnavelFrame";
constexpr wchar_t kPictureClass[] = L"OrnavelPicture";
constexpr int kSunken = 2;  // border width of images and picture boxes
HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

int Scale(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), 96); }

// The folder glyph at the size it has at `dpi`: the icon holds that size for the common scales.
HICON LoadFolderGlyph(UINT dpi) {
    return static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(ORNAVEL_ICON_FOLDER),
                                         IMAGE_ICON, Scale(15, dpi), Scale(13, dpi), 0));
}

class Win32Window;

// One control of a window, made from its layout entry.
class Item {
  public:
    Item(Win32Window& window, const layout::Control& spec, int id)
        : window_(window), spec_(spec), id_(id) {}
    virtual ~Item() = default;
    const layout::Control& spec() const { return spec_; }
    int id() const { return id_; }
    HWND hwnd() const { return hwnd_; }
    void set_hwnd(HWND hwnd) { hwnd_ = hwnd; }
    HWND container = nullptr;
    int containerIndex = -1;  // index of the container's item, -1 for the window

  protected:
    Win32Window& window_;
    const layout::Control& spec_;
    int id_;
    HWND hwnd_ = nullptr;
};

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

    UINT dpi() const { return dpi_; }
    HFONT FontOf(const layout::Control& spec);
    // Places a control again, after its size or the window's scale changed.
    void Place(Item& item);
    // Repaints a control together with the transparent ones that overlap it.
    void Repaint(const Item& item);
    // Draws what lies beneath `item` within its rectangle: the container's background and the
    // controls drawn before it.
    void PaintBeneath(HDC dc, const Item& item);
    LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool TabFrom(HWND focus, bool backwards);
    bool Destroyed() const { return hwnd_ == nullptr; }

  private:
    template <typename T>
    T& Get(std::string_view name) {
        for (auto& item : items_) {
            if (item->spec().name != name) continue;
            if (auto* found = dynamic_cast<T*>(item.get())) return *found;
            break;
        }
        throw std::logic_error("no such control: " + std::string(name));
    }
    Item* FindByHwnd(HWND hwnd);
    void Fire(std::string_view name);
    void BuildMenu();
    void LayOut();
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
    std::vector<std::unique_ptr<MenuEntry>> menuEntries_;
    std::map<std::tuple<std::string_view, int, bool, bool, int>, HFONT> fonts_;
    std::vector<HWND> disabled_;   // the windows a modal show disabled
    HWND focus_ = nullptr;         // the control that had the focus when the window was left
    Item* changedList_ = nullptr;  // a list whose selection changed, not yet raised
};

// The timer that raises a list's selection change. The system sends its tick only when no input,
// posted message or repaint is waiting, so a burst of changes (a held arrow key) is raised once,
// for the entry it ended on.
constexpr UINT_PTR kSelectionTimer = 1;

// ---- Controls ------------------------------------------------------------------------------

class LabelItem final : public Item, public Label {
  public:
    using Item::Item;
    void SetCaption(const std::string& caption) override {
        SetWindowTextW(hwnd_, Wide(caption).c_str());
        if (spec_.autoSize) window_.Place(*this);
        window_.Repaint(*this);
    }
    std::string Caption() const override {
        const int length = GetWindowTextLengthW(hwnd_);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), length + 1)));
        return Utf8(text);
    }
    // Draws the caption into `rect` of `dc` in the label's font, colour and alignment.
    void DrawText(HDC dc, RECT rect) {
        const int length = GetWindowTextLengthW(hwnd_);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), length + 1)));
        HGDIOBJ old = SelectObject(dc, window_.FontOf(spec_));
        SetBkMode(dc, TRANSPARENT);
        const auto& c = spec_.foreground;
        SetTextColor(dc, c ? RGB(c->red, c->green, c->blue) : GetSysColor(COLOR_BTNTEXT));
        UINT format = DT_NOPREFIX | DT_WORDBREAK;
        if (spec_.align == layout::Align::Right) format |= DT_RIGHT;
        if (spec_.align == layout::Align::Center) format |= DT_CENTER;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
        SelectObject(dc, old);
    }
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
    void Clear() override { SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0); }
    void Append(const std::string& text) override {
        SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
    }
    std::string SelectedText() const override {
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
    int Count() const override { return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)); }
};

class FileListItem final : public Item, public FileList {
  public:
    FileListItem(Win32Window& window, const layout::Control& spec, int id)
        : Item(window, spec, id), FileList(std::string(spec.pattern)) {}
};

// Images and picture boxes. An image shows its picture stretched to its inside, from a copy
// scaled once; a picture box shows it at its own size and, when it sizes itself, takes that size.
class PictureItem final : public Item, public PictureBox {
  public:
    using Item::Item;
    ~PictureItem() override { DropScaled(); }
    void SetPicture(PicturePtr picture) override {
        picture_ = std::move(picture);
        bitmap_ = std::dynamic_pointer_cast<const win32::Bitmap>(picture_);
        DropScaled();
        if (spec_.autoSize) window_.Place(*this);
        window_.Repaint(*this);
    }
    PicturePtr Picture() const override { return picture_; }
    float OuterWidth() const override {
        return static_cast<float>(AutoSized() ? bitmap_->Width() + 2 * Border() : spec_.width);
    }
    float OuterHeight() const override {
        return static_cast<float>(AutoSized() ? bitmap_->Height() + 2 * Border() : spec_.height);
    }
    bool AutoSized() const { return spec_.autoSize && bitmap_ != nullptr; }
    int Border() const { return spec_.border == layout::Border::Sunken ? kSunken : 0; }
    void DropScaled() {
        if (scaled_ != nullptr) DeleteObject(scaled_);
        scaled_ = nullptr;
    }
    void SetIcon(HICON icon) { icon_ = icon; }

    // Draws the control with its top left corner at (x, y) of `dc`.
    void Draw(HDC dc, int x, int y) {
        RECT rect;
        GetClientRect(hwnd_, &rect);
        OffsetRect(&rect, x, y);
        if (spec_.border == layout::Border::Sunken) {
            DrawEdge(dc, &rect, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        }
        if (icon_ != nullptr) {
            DrawIconEx(dc, rect.left, rect.top, icon_, rect.right - rect.left,
                       rect.bottom - rect.top, 0, nullptr, DI_NORMAL);
            return;
        }
        if (bitmap_ == nullptr) return;
        const int width = rect.right - rect.left, height = rect.bottom - rect.top;
        if (width <= 0 || height <= 0) return;
        if (spec_.kind == layout::Kind::PictureBox) {
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

  private:
    void Blit(HDC dc, int x, int y, int width, int height, int mode) {
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

    PicturePtr picture_;
    std::shared_ptr<const win32::Bitmap> bitmap_;
    HICON icon_ = nullptr;
    HBITMAP scaled_ = nullptr;
    int scaledWidth_ = 0, scaledHeight_ = 0;
};

// Frames and components have no interface of their own.
class PlainItem final : public Item {
  public:
    using Item::Item;
};

class MenuItem final : public MenuEntry {
  public:
    MenuItem(const layout::MenuEntry& spec, HMENU menu, int id)
        : spec_(spec), menu_(menu), id_(id) {}
    void SetEnabled(bool enabled) override {
        EnableMenuItem(menu_, static_cast<UINT>(id_),
                       MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
    bool Enabled() const override {
        const UINT state = GetMenuState(menu_, static_cast<UINT>(id_), MF_BYCOMMAND);
        return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
    }
    const layout::MenuEntry& spec() const { return spec_; }
    int id() const { return id_; }

  private:
    const layout::MenuEntry& spec_;
    HMENU menu_;
    int id_;
};

// ---- Window procedures ---------------------------------------------------------------------

Win32Window* WindowOf(HWND hwnd) {
    return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (Win32Window* window = WindowOf(hwnd)) return window->Handle(hwnd, message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
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

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSEXW window{};
    window.cbSize = sizeof window;
    window.lpfnWndProc = ContainerProc;
    window.hInstance = Instance();
    window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window.lpszClassName = win32::kWindowClass;
    window.hIcon = LoadIconW(Instance(), MAKEINTRESOURCEW(ORNAVEL_ICON_PROGRAM));
    RegisterClassExW(&window);
    window.lpszClassName = kFrameClass;
    window.hIcon = nullptr;
    RegisterClassExW(&window);
    window.lpfnWndProc = PictureProc;
    window.lpszClassName = kPictureClass;
    RegisterClassExW(&window);
}

// ---- The window ----------------------------------------------------------------------------

int g_liveWindows = 0;

Win32Window::Win32Window(const layout::Window& layout, WindowEvents& events)
    : layout_(layout), events_(events) {
    RegisterClasses();
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    if (layout.minimizeBox) style |= WS_MINIMIZEBOX;
    // Made on the primary monitor, where it will be centred, so that it takes that monitor's
    // scale from the start.
    POINT origin{0, 0};
    HMONITOR monitor = MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    hwnd_ = CreateWindowExW(0, win32::kWindowClass, Wide(std::string(layout.caption)).c_str(),
                            style, info.rcWork.left, info.rcWork.top, layout.clientWidth,
                            layout.clientHeight, nullptr, nullptr, Instance(), this);
    if (hwnd_ == nullptr) throw std::runtime_error("не удалось создать окно");
    ++g_liveWindows;
    dpi_ = GetDpiForWindow(hwnd_);
    if (dpi_ == 0) dpi_ = 96;

    if (layout.icon == layout::Art::ProgramIcon) {
        bigIcon_ = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(ORNAVEL_ICON_PROGRAM),
                                                 IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), 0));
        smallIcon_ = static_cast<HICON>(
            LoadImageW(Instance(), MAKEINTRESOURCEW(ORNAVEL_ICON_PROGRAM), IMAGE_ICON,
                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        if (bigIcon_) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
        if (smallIcon_) {
            SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
        }
    }
    // A control that cannot be made takes the window with it.
    try {
        BuildMenu();

        tooltip_ =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, Instance(), nullptr);

        const auto& controls = layout.controls;
        for (std::size_t index = 0; index < controls.size(); ++index) {
            const layout::Control& spec = controls[index];
            const int id = win32::kFirstControlId + static_cast<int>(index);
            std::unique_ptr<Item> item;
            const wchar_t* className = nullptr;
            DWORD childStyle = WS_CHILD | WS_CLIPSIBLINGS;
            DWORD exStyle = 0;
            switch (spec.kind) {
                case layout::Kind::Label:
                    item = std::make_unique<LabelItem>(*this, spec, id);
                    className = L"STATIC";
                    childStyle |= SS_NOPREFIX;
                    if (spec.transparent) {
                        childStyle |= SS_OWNERDRAW;
                    } else {
                        childStyle |= spec.align == layout::Align::Right    ? SS_RIGHT
                                      : spec.align == layout::Align::Center ? SS_CENTER
                                                                            : SS_LEFT;
                    }
                    if (spec.link) childStyle |= SS_NOTIFY;
                    if (spec.border == layout::Border::Single) exStyle |= WS_EX_STATICEDGE;
                    break;
                case layout::Kind::Button:
                    item = std::make_unique<ButtonItem>(*this, spec, id);
                    className = L"BUTTON";
                    childStyle |= BS_PUSHBUTTON;
                    if (spec.art == layout::Art::FolderGlyph) childStyle |= BS_ICON;
                    break;
                case layout::Kind::Frame:
                    item = std::make_unique<PlainItem>(*this, spec, id);
                    className = kFrameClass;
                    childStyle |= WS_CLIPCHILDREN;
                    exStyle |= WS_EX_CONTROLPARENT;
                    break;
                case layout::Kind::ListBox:
                    item = std::make_unique<ListItem>(*this, spec, id);
                    className = L"LISTBOX";
                    childStyle |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | WS_VSCROLL;
                    exStyle |= WS_EX_CLIENTEDGE;
                    break;
                case layout::Kind::FileList:
                    item = std::make_unique<FileListItem>(*this, spec, id);
                    break;
                case layout::Kind::Image:
                case layout::Kind::PictureBox:
                    item = std::make_unique<PictureItem>(*this, spec, id);
                    className = kPictureClass;
                    break;
                case layout::Kind::Component:
                    item = std::make_unique<PlainItem>(*this, spec, id);
                    break;
            }
            for (std::size_t c = 0; c < index && !spec.container.empty(); ++c) {
                if (controls[c].name == spec.container) {
                    item->container = items_[c]->hwnd();
                    item->containerIndex = static_cast<int>(c);
                }
            }
            if (item->container == nullptr) item->container = hwnd_;
            if (className != nullptr) {
                if (spec.visible) childStyle |= WS_VISIBLE;
                if (!spec.enabled) childStyle |= WS_DISABLED;
                if (spec.tabIndex >= 0) childStyle |= WS_TABSTOP;
                void* param = spec.kind == layout::Kind::Frame ? static_cast<void*>(this)
                                                               : static_cast<void*>(item.get());
                HWND child = CreateWindowExW(
                    exStyle, className, Wide(std::string(spec.caption)).c_str(), childStyle,
                    spec.left, spec.top, spec.width, spec.height, item->container,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), param);
                if (child == nullptr) throw std::runtime_error("не удалось создать элемент окна");
                item->set_hwnd(child);
                // The first control listed lies on top within its container.
                SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                if (spec.link && tooltip_ != nullptr && !spec.tooltip.empty()) {
                    std::wstring text = Wide(std::string(spec.tooltip));  // the tooltip copies it
                    TTTOOLINFOW tool{};
                    tool.cbSize = TTTOOLINFOW_V2_SIZE;
                    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
                    tool.hwnd = item->container;
                    tool.uId = reinterpret_cast<UINT_PTR>(child);
                    tool.lpszText = text.data();
                    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
                }
            }
            items_.push_back(std::move(item));
        }
        LayOut();
    } catch (...) {
        DestroyWindow(hwnd_);
        throw;
    }
}

Win32Window::~Win32Window() {
    Destroy();
    for (auto& [key, font] : fonts_) DeleteObject(font);
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
}

void Win32Window::BuildMenu() {
    if (layout_.menu.empty()) return;
    menu_ = CreateMenu();
    std::map<std::string_view, HMENU> popups;
    const auto& entries = layout_.menu;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const layout::MenuEntry& entry = entries[index];
        const int id = win32::kFirstMenuId + static_cast<int>(index);
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
    for (auto& entry : menuEntries_) {
        if (static_cast<MenuItem&>(*entry).spec().name == name) return *entry;
    }
    throw std::logic_error("no such menu entry: " + std::string(name));
}

HFONT Win32Window::FontOf(const layout::Control& spec) {
    const layout::Font& font = spec.font.face.empty() ? layout_.font : spec.font;
    const int hundredths = static_cast<int>(font.points * 100 + 0.5);
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
    const layout::Control& spec = item.spec();
    int width = Scale(spec.width, dpi_), height = Scale(spec.height, dpi_);
    if (spec.kind == layout::Kind::Label && spec.autoSize) {
        const int length = GetWindowTextLengthW(child);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(child, text.data(), length + 1)));
        HDC dc = GetDC(child);
        HGDIOBJ old = SelectObject(dc, FontOf(spec));
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
    if (spec.kind == layout::Kind::Image && spec.art == layout::Art::None) {
        // Loaded pictures are decoded at the size this image shows them.
        const int border = spec.border == layout::Border::Sunken ? 2 * kSunken : 0;
        win32::NoteShownSize(width - border, height - border);
    }
    SetWindowPos(child, nullptr, Scale(spec.left, dpi_), Scale(spec.top, dpi_), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::LayOut() {
    for (auto& item : items_) {
        const layout::Control& spec = item->spec();
        if (item->hwnd() == nullptr) continue;
        SendMessageW(item->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(spec)), FALSE);
        if (spec.art == layout::Art::FolderGlyph) {
            HICON old = reinterpret_cast<HICON>(
                SendMessageW(item->hwnd(), BM_SETIMAGE, IMAGE_ICON,
                             reinterpret_cast<LPARAM>(LoadFolderGlyph(dpi_))));
            if (old) DestroyIcon(old);
        }
        if (spec.art == layout::Art::ProgramIcon) {
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

void Win32Window::Center() {
    RECT rect;
    GetWindowRect(hwnd_, &rect);
    // Centred on the primary monitor's work area.
    POINT origin{0, 0};
    HMONITOR monitor = MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const int x = info.rcWork.left + (info.rcWork.right - info.rcWork.left - width) / 2;
    const int y = info.rcWork.top + (info.rcWork.bottom - info.rcWork.top - height) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::Focus(std::string_view name) {
    for (auto& item : items_) {
        if (item->spec().name == name && item->hwnd() != nullptr) {
            focus_ = item->hwnd();
            if (IsWindowVisible(hwnd_)) SetFocus(focus_);
            return;
        }
    }
    throw std::logic_error("no such control: " + std::string(name));
}

void Win32Window::Show() {
    Center();
    if (focus_ == nullptr && !layout_.initialFocus.empty()) Focus(layout_.initialFocus);
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    SetForegroundWindow(hwnd_);
    if (focus_ != nullptr) SetFocus(focus_);
}

void Win32Window::ShowModal() {
    // Every other window of the program takes no input until this one is unloaded.
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND other, LPARAM self) -> BOOL {
            auto* window = reinterpret_cast<Win32Window*>(self);
            wchar_t name[32];
            if (other != window->hwnd_ && IsWindowEnabled(other) &&
                GetClassNameW(other, name, 32) && lstrcmpW(name, win32::kWindowClass) == 0) {
                EnableWindow(other, FALSE);
                window->disabled_.push_back(other);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
    Show();
    while (!Destroyed() && !win32::Ending()) {
        if (!win32::PumpOne()) break;
    }
    Destroy();
}

void Win32Window::Unload() { Destroy(); }

void Win32Window::ReenableOthers() {
    for (HWND other : disabled_) {
        if (IsWindow(other)) EnableWindow(other, TRUE);
    }
    disabled_.clear();
}

void Win32Window::Destroy() {
    if (hwnd_ == nullptr) return;
    // The windows a modal show disabled take input again before this one goes, so that the
    // system gives the activation back to them.
    HWND previous = disabled_.empty() ? nullptr : disabled_.front();
    ReenableOthers();
    if (previous != nullptr && IsWindow(previous) && !win32::Ending()) {
        SetActiveWindow(previous);
    }
    HWND hwnd = hwnd_;
    DestroyWindow(hwnd);
}

Item* Win32Window::FindByHwnd(HWND hwnd) {
    for (auto& item : items_) {
        if (item->hwnd() == hwnd) return item.get();
    }
    return nullptr;
}

void Win32Window::Fire(std::string_view name) {
    if (win32::Ending()) return;
    try {
        events_.Click(name);
    } catch (const std::exception& e) {
        win32::ReportEscapedError(e.what());
    } catch (...) {
        win32::ReportEscapedError("неизвестная ошибка");
    }
}

void Win32Window::Repaint(const Item& item) {
    if (item.hwnd() == nullptr) return;
    InvalidateRect(item.hwnd(), nullptr, TRUE);
    RECT mine;
    GetWindowRect(item.hwnd(), &mine);
    for (auto& other : items_) {
        if (other.get() == &item || other->hwnd() == nullptr || !other->spec().transparent ||
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
            if (!other.spec().transparent) FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
            label->DrawText(dc, area);
        }
    }
}

bool Win32Window::TabFrom(HWND focus, bool backwards) {
    std::vector<Item*> order;
    for (auto& item : items_) {
        if (item->spec().tabIndex >= 0 && item->hwnd() != nullptr &&
            IsWindowVisible(item->hwnd()) && IsWindowEnabled(item->hwnd())) {
            order.push_back(item.get());
        }
    }
    if (order.empty()) return false;
    std::stable_sort(order.begin(), order.end(), [](const Item* a, const Item* b) {
        return a->spec().tabIndex < b->spec().tabIndex;
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

LRESULT Win32Window::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool top = hwnd == hwnd_;
    switch (message) {
        case WM_COMMAND: {
            const auto control = reinterpret_cast<HWND>(lParam);
            const int code = HIWORD(wParam);
            if (control == nullptr) {
                if (code != 0) break;
                for (auto& entry : menuEntries_) {
                    auto& menuItem = static_cast<MenuItem&>(*entry);
                    if (menuItem.id() == LOWORD(wParam)) {
                        // A disabled entry raises no click, however the command came.
                        if (menuItem.Enabled()) Fire(menuItem.spec().name);
                        return 0;
                    }
                }
                return 0;
            }
            Item* item = FindByHwnd(control);
            if (item == nullptr || !IsWindowEnabled(control)) return 0;
            const layout::Kind kind = item->spec().kind;
            if (kind == layout::Kind::ListBox && code == LBN_SELCHANGE) {
                changedList_ = item;
                SetTimer(hwnd_, kSelectionTimer, USER_TIMER_MINIMUM, nullptr);
            } else if ((kind == layout::Kind::Button && code == BN_CLICKED) ||
                       (kind == layout::Kind::Label && item->spec().link && code == STN_CLICKED)) {
                Fire(item->spec().name);
            }
            return 0;
        }
        case WM_TIMER:
            if (top && wParam == kSelectionTimer) {
                KillTimer(hwnd_, kSelectionTimer);
                Item* list = std::exchange(changedList_, nullptr);
                // A list cleared in the meantime has nothing selected to raise.
                if (list != nullptr && SendMessageW(list->hwnd(), LB_GETCURSEL, 0, 0) != LB_ERR) {
                    Fire(list->spec().name);
                }
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC: {
            Item* item = FindByHwnd(reinterpret_cast<HWND>(lParam));
            auto dc = reinterpret_cast<HDC>(wParam);
            if (item != nullptr && item->spec().foreground) {
                const auto& c = *item->spec().foreground;
                SetTextColor(dc, RGB(c.red, c.green, c.blue));
            }
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_DRAWITEM: {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            auto* label = dynamic_cast<LabelItem*>(FindByHwnd(draw->hwndItem));
            if (label == nullptr) break;
            // Transparent labels: what lies beneath, then the text over it, drawn off screen
            // first so that nothing flickers.
            const RECT& rect = draw->rcItem;
            HDC memory = CreateCompatibleDC(draw->hDC);
            HBITMAP canvas = CreateCompatibleBitmap(draw->hDC, rect.right, rect.bottom);
            HGDIOBJ old = SelectObject(memory, canvas);
            PaintBeneath(memory, *label);
            label->DrawText(memory, rect);
            BitBlt(draw->hDC, 0, 0, rect.right, rect.bottom, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteObject(canvas);
            DeleteDC(memory);
            return TRUE;
        }
        case WM_SETCURSOR: {
            Item* item = FindByHwnd(reinterpret_cast<HWND>(wParam));
            if (item != nullptr && item->spec().link) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        }
        case WM_PAINT:
            if (!top) {
                // A frame without caption: an etched line around it.
                PAINTSTRUCT paint;
                HDC dc = BeginPaint(hwnd, &paint);
                RECT rect;
                GetClientRect(hwnd, &rect);
                DrawEdge(dc, &rect, EDGE_ETCHED, BF_RECT);
                EndPaint(hwnd, &paint);
                return 0;
            }
            break;
        case WM_ACTIVATE:
            if (top && LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(hwnd_, focus)) focus_ = focus;
            }
            break;
        case WM_SETFOCUS:
            if (top && focus_ != nullptr && IsWindow(focus_)) {
                SetFocus(focus_);
                return 0;
            }
            break;
        case WM_DPICHANGED:
            if (top) {
                dpi_ = HIWORD(wParam);
                const auto* suggested = reinterpret_cast<const RECT*>(lParam);
                SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                for (auto& item : items_) {
                    if (auto* picture = dynamic_cast<PictureItem*>(item.get())) {
                        picture->DropScaled();
                    }
                }
                LayOut();
                InvalidateRect(hwnd_, nullptr, TRUE);
                return 0;
            }
            break;
        case WM_CLOSE:
            if (top) {
                Destroy();
                return 0;
            }
            break;
        case WM_DESTROY:
            if (top) {
                hwnd_ = nullptr;
                menu_ = nullptr;  // destroyed with the window
                if (--g_liveWindows == 0 && win32::Running()) PostQuitMessage(win32::EndStatus());
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

namespace win32 {

int ControlId(const layout::Window& window, std::string_view name) {
    for (std::size_t i = 0; i < window.controls.size(); ++i) {
        if (window.controls[i].name == name) return kFirstControlId + static_cast<int>(i);
    }
    for (std::size_t i = 0; i < window.menu.size(); ++i) {
        if (window.menu[i].name == name) return kFirstMenuId + static_cast<int>(i);
    }
    return -1;
}

bool PreTranslate(MSG& message) {
    if (message.message != WM_KEYDOWN) return false;
    if (message.wParam != VK_TAB && message.wParam != VK_RETURN) return false;
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
    if (GetClassNameW(message.hwnd, name, 32) && lstrcmpiW(name, L"Button") == 0) {
        SendMessageW(message.hwnd, BM_CLICK, 0, 0);
        return true;
    }
    return false;
}

bool PumpOne() {
    MSG message;
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        PostQuitMessage(got == 0 ? static_cast<int>(message.wParam) : 1);
        return false;
    }
    if (!PreTranslate(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

}  // namespace win32

std::unique_ptr<Window> LoadWindow(const layout::Window& layout, WindowEvents& events) {
    return std::make_unique<Win32Window>(layout, events);
}

}  // namespace ornavel::platform
