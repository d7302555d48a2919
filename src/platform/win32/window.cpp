#include "platform/window.hpp"

#include <windows.h>

#include <commctrl.h>

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/win32/resource_ids.h"
#include "platform/win32/runtime.hpp"
#include "platform/win32/text.hpp"
#include "platform/win32/win32_window.hpp"

// A window built from its layout table: its window classes, a native control made for each entry
// of the table, and the dispatch of its messages to the controls' events.
namespace ornavel::platform {
namespace win32 {
namespace {

// The timer that raises a list's selection change. The system sends its tick only when no input,
// posted message or repaint is waiting, so a burst of changes (a held arrow key) is raised once,
// for the entry it ended on.
constexpr UINT_PTR kSelectionTimer = 1;

int g_liveWindows = 0;

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (Win32Window* window = WindowOf(hwnd)) return window->Handle(hwnd, message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
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
    window.lpszClassName = kWindowClass;
    window.hIcon = LoadIconW(Instance(), MAKEINTRESOURCEW(ORNAVEL_ICON_PROGRAM));
    RegisterClassExW(&window);
    window.lpszClassName = kFrameClass;
    window.hIcon = nullptr;
    RegisterClassExW(&window);
    window.lpfnWndProc = PictureProc;
    window.lpszClassName = kPictureClass;
    RegisterClassExW(&window);
}

}  // namespace

Win32Window* WindowOf(HWND hwnd) {
    return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

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
    hwnd_ = CreateWindowExW(0, kWindowClass, Wide(std::string(layout.caption)).c_str(), style,
                            info.rcWork.left, info.rcWork.top, layout.clientWidth,
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
            const layout::Control& entry = controls[index];
            const int id = kFirstControlId + static_cast<int>(index);
            std::unique_ptr<Item> item;
            const wchar_t* className = nullptr;
            DWORD childStyle = WS_CHILD | WS_CLIPSIBLINGS;
            DWORD exStyle = 0;
            switch (entry.kind) {
                case layout::Kind::Label:
                    item = std::make_unique<LabelItem>(*this, entry, id);
                    className = L"STATIC";
                    childStyle |= SS_NOPREFIX;
                    if (entry.transparent) {
                        childStyle |= SS_OWNERDRAW;
                    } else {
                        childStyle |= entry.align == layout::Align::Right    ? SS_RIGHT
                                      : entry.align == layout::Align::Center ? SS_CENTER
                                                                             : SS_LEFT;
                    }
                    if (entry.link) childStyle |= SS_NOTIFY;
                    if (entry.border == layout::Border::Single) exStyle |= WS_EX_STATICEDGE;
                    break;
                case layout::Kind::Button:
                    item = std::make_unique<ButtonItem>(*this, entry, id);
                    className = L"BUTTON";
                    childStyle |= BS_PUSHBUTTON;
                    if (entry.art == layout::Art::FolderGlyph) childStyle |= BS_ICON;
                    break;
                case layout::Kind::Frame:
                    item = std::make_unique<PlainItem>(*this, entry, id);
                    className = kFrameClass;
                    childStyle |= WS_CLIPCHILDREN;
                    exStyle |= WS_EX_CONTROLPARENT;
                    break;
                case layout::Kind::ListBox:
                    item = std::make_unique<ListItem>(*this, entry, id);
                    className = L"LISTBOX";
                    childStyle |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | WS_VSCROLL;
                    exStyle |= WS_EX_CLIENTEDGE;
                    break;
                case layout::Kind::FileList:
                    item = std::make_unique<FileListItem>(*this, entry, id);
                    break;
                case layout::Kind::Image:
                case layout::Kind::PictureBox:
                    item = std::make_unique<PictureItem>(*this, entry, id);
                    className = kPictureClass;
                    break;
                case layout::Kind::Component:
                    item = std::make_unique<PlainItem>(*this, entry, id);
                    break;
            }
            for (std::size_t c = 0; c < index && !entry.container.empty(); ++c) {
                if (controls[c].name == entry.container) {
                    item->container = items_[c]->hwnd();
                }
            }
            if (item->container == nullptr) item->container = hwnd_;
            if (className != nullptr) {
                if (entry.visible) childStyle |= WS_VISIBLE;
                if (!entry.enabled) childStyle |= WS_DISABLED;
                if (entry.tabIndex >= 0) childStyle |= WS_TABSTOP;
                void* param = entry.kind == layout::Kind::Frame ? static_cast<void*>(this)
                                                                : static_cast<void*>(item.get());
                // A button showing a picture holds its name as its text, which it does not draw.
                const std::string_view text =
                    entry.kind == layout::Kind::Button && entry.caption.empty()
                        ? entry.accessibleName
                        : entry.caption;
                HWND child = CreateWindowExW(
                    exStyle, className, Wide(std::string(text)).c_str(), childStyle, entry.left,
                    entry.top, entry.width, entry.height, item->container,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), param);
                if (child == nullptr) throw std::runtime_error("не удалось создать элемент окна");
                item->set_hwnd(child);
                MakeAccessible(*item);
                // The first control listed lies on top within its container.
                SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                if (entry.link && tooltip_ != nullptr && !entry.tooltip.empty()) {
                    std::wstring text = Wide(std::string(entry.tooltip));  // the tooltip copies it
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
        PlaceLabelsBeforeTheirControls();
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

Item* Win32Window::FindByHwnd(HWND hwnd) {
    for (auto& item : items_) {
        if (item->hwnd() == hwnd) return item.get();
    }
    return nullptr;
}

void Win32Window::RaiseClick(std::string_view name) {
    if (Ending()) return;
    try {
        events_.Click(name);
    } catch (const std::exception& e) {
        ReportEscapedError(e.what());
    } catch (...) {
        ReportEscapedError("неизвестная ошибка");
    }
}

LRESULT Win32Window::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool top = hwnd == hwnd_;
    switch (message) {
        case WM_COMMAND: {
            const auto control = reinterpret_cast<HWND>(lParam);
            const int code = HIWORD(wParam);
            if (control == nullptr) {
                if (code != 0) break;
                for (auto& item : menuEntries_) {
                    MenuItem& menuItem = *item;
                    if (menuItem.id() == LOWORD(wParam)) {
                        // A disabled entry raises no click, however the command came.
                        if (menuItem.Enabled()) RaiseClick(menuItem.entry().name);
                        return 0;
                    }
                }
                return 0;
            }
            Item* item = FindByHwnd(control);
            if (item == nullptr || !IsWindowEnabled(control)) return 0;
            const layout::Kind kind = item->entry().kind;
            if (kind == layout::Kind::ListBox && code == LBN_SELCHANGE) {
                changedList_ = item;
                SetTimer(hwnd_, kSelectionTimer, USER_TIMER_MINIMUM, nullptr);
            } else if ((kind == layout::Kind::Button && code == BN_CLICKED) ||
                       (kind == layout::Kind::Label && item->entry().link && code == STN_CLICKED)) {
                RaiseClick(item->entry().name);
            }
            return 0;
        }
        case WM_TIMER:
            if (top && wParam == kSelectionTimer) {
                KillTimer(hwnd_, kSelectionTimer);
                Item* list = std::exchange(changedList_, nullptr);
                // A list cleared in the meantime has nothing selected to raise.
                if (list != nullptr && SendMessageW(list->hwnd(), LB_GETCURSEL, 0, 0) != LB_ERR) {
                    RaiseClick(list->entry().name);
                }
                return 0;
            }
            break;
        case WM_GETOBJECT:
            if (top && layout_.dialog) {
                if (const LRESULT answer = AnswerAccessible(hwnd, wParam, lParam)) return answer;
            }
            break;
        case WM_CTLCOLORSTATIC: {
            Item* item = FindByHwnd(reinterpret_cast<HWND>(lParam));
            auto dc = reinterpret_cast<HDC>(wParam);
            if (item != nullptr && item->entry().foreground) {
                const auto& c = *item->entry().foreground;
                SetTextColor(dc, RGB(c.red, c.green, c.blue));
            }
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_DRAWITEM: {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            auto* label = dynamic_cast<LabelItem*>(FindByHwnd(draw->hwndItem));
            if (label == nullptr) break;
            PaintTransparent(*label, *draw);
            return TRUE;
        }
        case WM_SETCURSOR: {
            Item* item = FindByHwnd(reinterpret_cast<HWND>(wParam));
            if (item != nullptr && item->entry().link) {
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
                ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
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
                if (--g_liveWindows == 0 && Running()) PostQuitMessage(EndStatus());
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::wstring Win32Window::TextOf(std::string_view name) const {
    for (const auto& item : items_) {
        if (item->entry().name != name || item->hwnd() == nullptr) continue;
        const int length = GetWindowTextLengthW(item->hwnd());
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(
            static_cast<std::size_t>(GetWindowTextW(item->hwnd(), text.data(), length + 1)));
        return text;
    }
    return {};
}

// Tools that name a control by the label before it in the Z-order find its label there. Neither
// overlaps the other, so the drawing stays the same.
void Win32Window::PlaceLabelsBeforeTheirControls() {
    for (const auto& item : items_) {
        const std::string_view labelName = item->entry().labelledBy;
        if (labelName.empty() || item->hwnd() == nullptr) continue;
        for (const auto& label : items_) {
            if (label->entry().name != labelName || label->hwnd() == nullptr) continue;
            HWND before = GetWindow(item->hwnd(), GW_HWNDPREV);
            if (before == label->hwnd()) break;
            SetWindowPos(label->hwnd(), before != nullptr ? before : HWND_TOP, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

int ControlId(const layout::Window& window, std::string_view name) {
    for (std::size_t i = 0; i < window.controls.size(); ++i) {
        if (window.controls[i].name == name) return kFirstControlId + static_cast<int>(i);
    }
    for (std::size_t i = 0; i < window.menu.size(); ++i) {
        if (window.menu[i].name == name) return kFirstMenuId + static_cast<int>(i);
    }
    return -1;
}

}  // namespace win32

std::unique_ptr<Window> LoadWindow(const layout::Window& layout, WindowEvents& events) {
    return std::make_unique<win32::Win32Window>(layout, events);
}

}  // namespace ornavel::platform
