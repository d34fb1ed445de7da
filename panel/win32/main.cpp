// SPDX-License-Identifier: MIT
// bexen-semaphores.exe: the junction panel as a native Windows program.
#include "accessible.h"
#include "form1_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    using bexen::panel::win32::Form1Window;
    if (!Form1Window::registerClasses(instance))
        return 1;
    const HWND form1 = Form1Window::create(instance, showCommand);
    if (!form1)
        return 1;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The dialog manager moves the focus with Tab in the order of the tables' tab indexes.
        if (::IsDialogMessageW(form1, &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    bexen::panel::win32::stopSpeaking();
    return static_cast<int>(message.wParam);
}
