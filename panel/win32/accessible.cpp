// SPDX-License-Identifier: MIT
#include "accessible.h"

#include "system_library.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

namespace bexen::panel::win32 {
namespace {

constexpr wchar_t kSpokenProperty[] = L"BexenSpoken";

// The calls of COM, oleacc and oleaut32 that answering a screen reader takes, looked up at its
// first question: imported, the three DLLs and COM's apartment would weigh on every run from
// its start.
struct SpeechCalls {
    decltype(&::CoInitializeEx) coInitializeEx = nullptr;
    decltype(&::CoUninitialize) coUninitialize = nullptr;
    decltype(&::CreateStdAccessibleObject) createStdAccessibleObject = nullptr;
    decltype(&::LresultFromObject) lresultFromObject = nullptr;
    decltype(&::SysAllocStringLen) sysAllocStringLen = nullptr;
    bool ready = false; // every call found, and the window's thread a single-threaded apartment
};

SpeechCalls lookUpSpeechCalls()
{
    SpeechCalls calls;
    const HMODULE ole32 = systemLibrary(L"ole32.dll");
    const HMODULE oleacc = systemLibrary(L"oleacc.dll");
    const HMODULE oleaut32 = systemLibrary(L"oleaut32.dll");
    calls.coInitializeEx = lookUp<decltype(calls.coInitializeEx)>(ole32, "CoInitializeEx");
    calls.coUninitialize = lookUp<decltype(calls.coUninitialize)>(ole32, "CoUninitialize");
    calls.createStdAccessibleObject =
            lookUp<decltype(calls.createStdAccessibleObject)>(oleacc, "CreateStdAccessibleObject");
    calls.lresultFromObject = lookUp<decltype(calls.lresultFromObject)>(oleacc, "LresultFromObject");
    calls.sysAllocStringLen = lookUp<decltype(calls.sysAllocStringLen)>(oleaut32, "SysAllocStringLen");
    calls.ready = calls.coInitializeEx && calls.coUninitialize && calls.createStdAccessibleObject
            && calls.lresultFromObject && calls.sysAllocStringLen
            && SUCCEEDED(calls.coInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    return calls;
}

// Empty until the first question. Asked only on the window's thread, whose apartment COM's is.
std::optional<SpeechCalls> &loadedSpeechCalls()
{
    static std::optional<SpeechCalls> calls;
    return calls;
}

const SpeechCalls &speechCalls()
{
    std::optional<SpeechCalls> &calls = loadedSpeechCalls();
    if (!calls)
        calls = lookUpSpeechCalls();
    return *calls;
}

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
            *name = speechCalls().sysAllocStringLen(words.data(), static_cast<UINT>(words.size()));
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
        const SpeechCalls &calls = speechCalls();
        IAccessible *standard = nullptr;
        if (calls.ready
            && SUCCEEDED(calls.createStdAccessibleObject(hwnd, OBJID_CLIENT, IID_IAccessible,
                                                         reinterpret_cast<void **>(&standard)))) {
            auto *own = new ControlAccessible(hwnd, standard);
            const LRESULT result = calls.lresultFromObject(IID_IAccessible, wParam, own);
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

void stopSpeaking()
{
    std::optional<SpeechCalls> &calls = loadedSpeechCalls();
    if (calls && calls->ready) {
        calls->coUninitialize();
        calls->ready = false;
    }
}

void Tooltips::add(HWND tool, const std::wstring &text)
{
    m_tools.emplace_back(tool, text);
    send(TTM_ADDTOOLW, tool, text);
}

void Tooltips::change(HWND tool, const std::wstring &text)
{
    const auto kept = std::find_if(m_tools.begin(), m_tools.end(), [tool](const auto &t) { return t.first == tool; });
    if (kept != m_tools.end())
        kept->second = text;
    send(TTM_UPDATETIPTEXTW, tool, text);
}

void Tooltips::pointerMoved(HWND tool, WPARAM wParam, LPARAM lParam)
{
    if (m_hwnd)
        return;
    const HMODULE comctl32 = systemLibrary(L"comctl32.dll");
    const auto initCommonControlsEx = lookUp<decltype(&::InitCommonControlsEx)>(comctl32, "InitCommonControlsEx");
    const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES};
    if (!initCommonControlsEx || !initCommonControlsEx(&classes))
        return;
    m_hwnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, ::GetParent(tool),
                               nullptr, m_instance, nullptr);
    for (const auto &[each, text] : m_tools)
        send(TTM_ADDTOOLW, each, text);
    MSG move{tool, WM_MOUSEMOVE, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
    const DWORD at = ::GetMessagePos();
    move.pt = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    ::SendMessageW(m_hwnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

void Tooltips::send(UINT message, HWND tool, const std::wstring &text) const
{
    if (!m_hwnd)
        return;
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = ::GetParent(tool);
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = const_cast<wchar_t *>(text.c_str());
    ::SendMessageW(m_hwnd, message, 0, reinterpret_cast<LPARAM>(&info));
}

} // namespace bexen::panel::win32
