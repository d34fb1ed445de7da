// SPDX-License-Identifier: MIT
// bexen-semaphores.exe: the junction panel as a native Windows program.
#include "form1_window.h"

#include <objbase.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    using bexen::panel::win32::Form1Window;
    // Screen readers ask the panel's controls for their own accessible objects, which reach them
    // through COM: the window's thread is a single-threaded apartment.
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
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
    ::CoUninitialize();
    return static_cast<int>(message.wParam);
}
