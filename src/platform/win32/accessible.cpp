#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <string>

#include "platform/win32/text.hpp"
#include "platform/win32/win32_window.hpp"

// What a control tells assistive technology. The system's proxy for the control's class answers
// most questions; a wrapper around it, handed out in answer to WM_GETOBJECT, adds what the proxy
// cannot know: the role of a picture or a link, a name taken from a label, a description, and
// that a drawn-only control is no control at all to a screen reader.
namespace ornavel::platform::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 1;
// The property that holds a control's Item.
constexpr wchar_t kItemProperty[] = L"OrnavelItem";
// Posted to a link to press it on its own thread.
constexpr UINT kPress = WM_APP + 19;

// The control's Item while its window lives, else null.
Item* ItemOf(HWND hwnd) { return static_cast<Item*>(GetPropW(hwnd, kItemProperty)); }

// What differs from the proxy's answers, worked out afresh at every question.
struct Facts {
    long role = -1;  // -1: the proxy's
    bool named = false;
    std::wstring name;
    bool described = false;
    std::wstring description;
    bool decorative = false;
    bool link = false;
    int entries = -1;         // a list: how many entries it holds, its children 1 to `entries`
    int selected = -1;        // a list: the selected entry, from 0
    int describedEntry = -1;  // a list: the selected entry, which `entryDescription` describes
    std::wstring entryDescription;

    bool IsEntry(const VARIANT& child) const {
        return entries >= 0 && child.vt == VT_I4 && child.lVal >= 1 && child.lVal <= entries;
    }
};

std::wstring EntryText(HWND list, long index) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return text;
}

long RoleOf(const layout::Control& entry) {
    switch (entry.kind) {
        case layout::Kind::Button:
            return ROLE_SYSTEM_PUSHBUTTON;
        case layout::Kind::ListBox:
            return ROLE_SYSTEM_LIST;
        case layout::Kind::Label:
            return entry.link ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_STATICTEXT;
        case layout::Kind::Image:
        case layout::Kind::PictureBox:
            return ROLE_SYSTEM_GRAPHIC;
        case layout::Kind::Frame:
            return ROLE_SYSTEM_GROUPING;
        case layout::Kind::FileList:
        case layout::Kind::Component:
            break;
    }
    return -1;
}

bool FactsOf(HWND hwnd, Facts& facts) {
    if (!IsWindow(hwnd)) return false;
    const Item* item = ItemOf(hwnd);
    if (item == nullptr) {
        // A window of the program itself.
        const Win32Window* window = WindowOf(hwnd);
        if (window == nullptr) return false;
        if (window->IsDialog()) facts.role = ROLE_SYSTEM_DIALOG;
        return true;
    }
    const layout::Control& entry = item->entry();
    Win32Window& window = item->window();
    facts.role = RoleOf(entry);
    facts.link = entry.link;
    if (entry.decorative) {
        facts.decorative = facts.named = facts.described = true;
        return true;
    }
    if (!entry.accessibleName.empty()) {
        facts.named = true;
        facts.name = Wide(std::string(entry.accessibleName));
        // A label named otherwise offers its caption as its description.
        if (entry.kind == layout::Kind::Label) {
            facts.described = true;
            facts.description = window.TextOf(entry.name);
        }
    } else if (!entry.labelledBy.empty()) {
        facts.named = true;
        facts.name = window.TextOf(entry.labelledBy);
    }
    if (entry.link && !entry.tooltip.empty()) {
        facts.described = true;
        facts.description = Wide(std::string(entry.tooltip));
    }
    if (entry.kind == layout::Kind::ListBox) {
        // Its entries, which the system's generic proxy (Wine's) does not list.
        facts.entries = static_cast<int>(SendMessageW(hwnd, LB_GETCOUNT, 0, 0));
        facts.selected = static_cast<int>(SendMessageW(hwnd, LB_GETCURSEL, 0, 0));
    }
    if (!entry.describedBy.empty()) {
        if (entry.kind == layout::Kind::ListBox) {
            if (facts.selected >= 0) {
                facts.describedEntry = facts.selected;
                facts.entryDescription = window.TextOf(entry.describedBy);
            }
        } else {
            facts.described = true;
            facts.description = window.TextOf(entry.describedBy);
        }
    }
    return true;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT Give(const std::wstring& text, BSTR* out) {
    if (out == nullptr) return E_INVALIDARG;
    *out = text.empty() ? nullptr : SysAllocString(text.c_str());
    return text.empty() ? S_FALSE : S_OK;
}

class Accessible final : public IAccessible {
  public:
    Accessible(HWND hwnd, IAccessible* proxy) : hwnd_(hwnd), proxy_(proxy) {}
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            proxy_->Release();
            delete this;
        }
        return left;
    }

    // IDispatch: the proxy's.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return proxy_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return proxy_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return proxy_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argument) override {
        return proxy_->Invoke(id, iid, locale, flags, params, result, exception, argument);
    }

    // IAccessible: what the facts say, else the proxy's answer.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        Facts facts;
        if (!FactsOf(hwnd_, facts)) return RPC_E_DISCONNECTED;
        if (IsSelf(child) && facts.named) return Give(facts.name, name);
        if (facts.IsEntry(child)) return Give(EntryText(hwnd_, child.lVal - 1), name);
        return proxy_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        Facts facts;
        if (!FactsOf(hwnd_, facts)) return RPC_E_DISCONNECTED;
        if (IsSelf(child) && facts.described) return Give(facts.description, description);
        if (child.vt == VT_I4 && facts.describedEntry >= 0 &&
            child.lVal == facts.describedEntry + 1) {
            return Give(facts.entryDescription, description);
        }
        return proxy_->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        Facts facts;
        if (!FactsOf(hwnd_, facts)) return RPC_E_DISCONNECTED;
        if ((IsSelf(child) && facts.role >= 0) || facts.IsEntry(child)) {
            if (role == nullptr) return E_INVALIDARG;
            VariantInit(role);
            role->vt = VT_I4;
            role->lVal = IsSelf(child) ? facts.role : ROLE_SYSTEM_LISTITEM;
            return S_OK;
        }
        return proxy_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        Facts facts;
        if (!FactsOf(hwnd_, facts)) return RPC_E_DISCONNECTED;
        if (facts.IsEntry(child)) {
            if (state == nullptr) return E_INVALIDARG;
            VariantInit(state);
            state->vt = VT_I4;
            state->lVal = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
            if (child.lVal - 1 == facts.selected) {
                state->lVal |= STATE_SYSTEM_SELECTED;
                if (GetFocus() == hwnd_) state->lVal |= STATE_SYSTEM_FOCUSED;
            }
            return S_OK;
        }
        const HRESULT result = proxy_->get_accState(child, state);
        if (FAILED(result) || !IsSelf(child) || state->vt != VT_I4) return result;
        if (facts.decorative) state->lVal |= STATE_SYSTEM_INVISIBLE;
        if (facts.link) {
            state->lVal |= STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;
            if (GetFocus() == hwnd_) state->lVal |= STATE_SYSTEM_FOCUSED;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        Facts facts;
        if (!FactsOf(hwnd_, facts)) return RPC_E_DISCONNECTED;
        if (IsSelf(child) && facts.link) return Give(L"Перейти", action);
        return proxy_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        Facts facts;
        if (!FactsOf(hwnd_, facts)) return RPC_E_DISCONNECTED;
        if (IsSelf(child) && facts.link) {
            return PostMessageW(hwnd_, kPress, 0, 0) ? S_OK : E_FAIL;
        }
        return proxy_->accDoDefaultAction(child);
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return proxy_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        Facts facts;
        if (!FactsOf(hwnd_, facts)) return RPC_E_DISCONNECTED;
        if (facts.entries >= 0) {
            if (count == nullptr) return E_POINTER;
            *count = facts.entries;
            return S_OK;
        }
        return proxy_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override {
        return proxy_->get_accChild(child, dispatch);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return proxy_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return proxy_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return proxy_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return proxy_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return proxy_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return proxy_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return proxy_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        return proxy_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return proxy_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return proxy_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return proxy_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return proxy_->put_accValue(child, value);
    }

  private:
    ~Accessible() = default;

    LONG references_ = 1;
    HWND hwnd_;
    IAccessible* proxy_;
};

LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR data) {
    auto* item = reinterpret_cast<Item*>(data);
    switch (message) {
        case WM_GETOBJECT:
            if (const LRESULT answer = AnswerAccessible(hwnd, wParam, lParam)) return answer;
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (item->entry().link) InvalidateRect(hwnd, nullptr, TRUE);
            break;
        case WM_PAINT:
            // A link with the focus is drawn as always, with a focus frame around it.
            if (item->entry().link && GetFocus() == hwnd) {
                const LRESULT painted = DefSubclassProc(hwnd, message, wParam, lParam);
                HDC dc = GetDC(hwnd);
                RECT rect;
                GetClientRect(hwnd, &rect);
                DrawFocusRect(dc, &rect);
                ReleaseDC(hwnd, dc);
                return painted;
            }
            break;
        case kPress:
            item->window().Activate(item->entry().name);
            return 0;
        case WM_NCDESTROY:
            RemovePropW(hwnd, kItemProperty);
            RemoveWindowSubclass(hwnd, ControlProc, kSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

LRESULT AnswerAccessible(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
    // The answer is marshalled through COM, on the window's thread, for the program's life.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAccessible* proxy = nullptr;
    if (FAILED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&proxy)))) {
        return 0;
    }
    auto* accessible = new Accessible(hwnd, proxy);
    const LRESULT answer = LresultFromObject(__uuidof(IAccessible), wParam, accessible);
    accessible->Release();
    return answer < 0 ? 0 : answer;
}

void MakeAccessible(Item& item) {
    SetPropW(item.hwnd(), kItemProperty, &item);
    SetWindowSubclass(item.hwnd(), ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(&item));
}

}  // namespace ornavel::platform::win32
