// SPDX-License-Identifier: MIT
#pragma once

#include "win32_headers.h"

#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace bexen::panel::win32 {

// What a screen reader is told about one of the panel's controls, asked afresh at every
// question, so that it always hears what the window shows now.
struct Spoken {
    long role;                          // ROLE_SYSTEM_CHECKBUTTON, ROLE_SYSTEM_GRAPHIC, ...
    std::function<std::wstring()> name;
    std::function<long()> state;        // STATE_SYSTEM_ flags beyond focus, which is asked of Windows
};

// From now on `control` answers WM_GETOBJECT (OBJID_CLIENT) with the panel's own IAccessible,
// which says `spoken` and leaves place, parent and navigation to the system's own object for the
// window. Owner-drawn buttons would otherwise reach screen readers as push buttons, and the
// light images as nameless panes. The description goes with the window. COM, oleacc and oleaut32
// come into the process at the first question, from a reader most runs never meet.
void speakFor(HWND control, Spoken spoken);

// Ends COM on the window's thread, if a screen reader's question started it.
void stopSpeaking();

// Tells listening screen readers that what `control` says has changed (EVENT_OBJECT_NAMECHANGE,
// EVENT_OBJECT_STATECHANGE).
void spokenChanged(HWND control, DWORD event);

// The panel's tooltips: one tooltip control over the images, each image a tool of its own that
// shows its text while the pointer rests on it. The control, and comctl32 with it, is made when
// the pointer first moves over an image; until then the tools' words are only kept.
class Tooltips {
public:
    explicit Tooltips(HINSTANCE instance)
        : m_instance(instance)
    {
    }

    void add(HWND tool, const std::wstring &text);
    void change(HWND tool, const std::wstring &text);
    // From a tool's WM_MOUSEMOVE: the first makes the control, with every tool, and hands it the
    // move, as the control's own hook on the tools hands it every later one.
    void pointerMoved(HWND tool, WPARAM wParam, LPARAM lParam);

private:
    // Tells the tooltip control about `tool`, one of the form's images, and its text.
    void send(UINT message, HWND tool, const std::wstring &text) const;

    HINSTANCE m_instance;
    std::vector<std::pair<HWND, std::wstring>> m_tools;
    HWND m_hwnd = nullptr; // owned by the form's window, which destroys it with itself
};

} // namespace bexen::panel::win32
