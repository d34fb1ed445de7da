// SPDX-License-Identifier: MIT
#include "accessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <memory>
#include <utility>

namespace bexen::panel::win32 {
namespace {

constexpr wchar_t kSpokenProperty[] = L"BexenSpoken";

// A control's description and the window procedure it had before the panel took its
// WM_GETOBJECT, kept with the window until it goes.
struct Speaking {
    Spoken spoken;
    WNDPROC previous;
};

Speaking *speakingOf(HWND hwnd)
{
    return static_cast<Speaking *>(::GetPropW(hwnd, kSpokenProperty));
}

// The control as a screen reader sees it. Role, state and name are the panel's; the rest comes
// from the system's object for the same window, so the control stands where it stands on the
// screen and in the window's tree. A reader may keep this object after the window has gone:
// every answer looks the window's description up again and fails once it has gone.
class ControlAccessible final : public IAccessible {
public:
    ControlAccessible(HWND hwnd, IAccessible *standard)
        : m_hwnd(hwnd)
        , m_standard(standard)
    {
    }
    ~ControlAccessible() { m_standard->Release(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
            *out = static_cast<IAccessible *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = ::InterlockedDecrement(&m_references);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: readers use the IAccessible methods themselves, never a type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *,
                                     UINT *) override
    {
        return E_NOTIMPL;
    }

    // What the panel says.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR *name) override
    {
        return answer(child, [name](const Spoken &spoken) {
            const std::wstring words = spoken.name();
            *name = ::SysAllocStringLen(words.data(), static_cast<UINT>(words.size()));
            return *name ? S_OK : E_OUTOFMEMORY;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT *role) override
    {
        return answer(child, [role](const Spoken &spoken) {
            role->vt = VT_I4;
            role->lVal = spoken.role;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT *state) override
    {
        return answer(child, [this, state](const Spoken &spoken) {
            long flags = spoken.state();
            if (::GetFocus() == m_hwnd)
                flags |= STATE_SYSTEM_FOCUSED;
            if (!::IsWindowVisible(m_hwnd))
                flags |= STATE_SYSTEM_INVISIBLE;
            state->vt = VT_I4;
            state->lVal = flags;
            return S_OK;
        });
    }

    // The rest, as the system says it for this window.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch **parent) override { return m_standard->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long *count) override { return m_standard->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch **out) override
    {
        return m_standard->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR *value) override
    {
        return m_standard->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR *description) override
    {
        return m_standard->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR *help) override { return m_standard->get_accHelp(child, help); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR *file, VARIANT child, long *topic) override
    {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR *shortcut) override
    {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT *focus) override { return m_standard->get_accFocus(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT *selection) override
    {
        return m_standard->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR *action) override
    {
        return m_standard->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return m_standard->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(long *left, long *top, long *width, long *height, VARIANT child) override
    {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT *end) override
    {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT *child) override
    {
        return m_standard->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return m_standard->accDoDefaultAction(child); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    // Answers from the panel's description of the control itself, which goes with the window;
    // the control has no children to ask about.
    template <typename Answer>
    HRESULT answer(const VARIANT &child, const Answer &answerFrom) const
    {
        const Speaking *speaking = speakingOf(m_hwnd);
        if (!speaking)
            return CO_E_OBJNOTCONNECTED;
        if (child.vt != VT_I4 || child.lVal != CHILDID_SELF)
            return E_INVALIDARG;
        return answerFrom(speaking->spoken);
    }

    LONG m_references = 1;
    HWND m_hwnd;
    IAccessible *m_standard;
};

LRESULT CALLBACK speakingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Speaking *speaking = speakingOf(hwnd);
    const WNDPROC previous = speaking->previous;
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
        IAccessible *standard = nullptr;
        if (SUCCEEDED(::CreateStdAccessibleObject(hwnd, OBJID_CLIENT, IID_IAccessible,
                                                  reinterpret_cast<void **>(&standard)))) {
            auto *own = new ControlAccessible(hwnd, standard);
            const LRESULT result = ::LresultFromObject(IID_IAccessible, wParam, own);
            own->Release(); // LresultFromObject holds its own reference
            return result;
        }
    }
    // The window's last message: the description goes with it (the procedure stays, as a
    // tooltip's own subclass may lie above it).
    if (message == WM_NCDESTROY)
        std::unique_ptr<Speaking> gone(static_cast<Speaking *>(::RemovePropW(hwnd, kSpokenProperty)));
    return ::CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

} // namespace

void speakFor(HWND control, Spoken spoken)
{
    auto speaking = std::make_unique<Speaking>(Speaking{std::move(spoken), nullptr});
    if (!::SetPropW(control, kSpokenProperty, speaking.get()))
        return;
    Speaking *kept = speaking.release();
    kept->previous = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&speakingProc)));
}

void spokenChanged(HWND control, DWORD event)
{
    ::NotifyWinEvent(event, control, OBJID_CLIENT, CHILDID_SELF);
}

void Tooltips::make(HWND owner, HINSTANCE instance)
{
    const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&classes);
    m_hwnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                               instance, nullptr);
}

void Tooltips::send(UINT message, HWND tool, const std::wstring &text) const
{
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = ::GetParent(tool);
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = const_cast<wchar_t *>(text.c_str());
    ::SendMessageW(m_hwnd, message, 0, reinterpret_cast<LPARAM>(&info));
}

} // namespace bexen::panel::win32
