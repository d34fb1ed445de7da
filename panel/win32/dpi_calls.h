// SPDX-License-Identifier: MIT
#pragma once

#include "win32_headers.h"

namespace bexen::panel::win32 {

// The DPI calls the panel lays itself out with. Windows 10 1607 and later have them in user32;
// a program that imported them would not even start on the Windows 7 and 8 machines of many labs,
// so they are looked up when first needed, and where a system lacks one the panel does what
// Microsoft's high-DPI guidance gives for it: the system DPI from the screen's device context,
// the monitor's DPI from shcore on Windows 8.1, and the frame and metrics of the system DPI.

// The DPI the panel's first frame is sized for, before it has a window.
UINT systemDpi();
// The DPI the window is shown at: its monitor's on systems that scale per monitor.
UINT windowDpi(HWND hwnd);
// The frame around a client area of `rect` for a window of these styles at `dpi`.
void adjustWindowRect(RECT &rect, DWORD style, DWORD exStyle, UINT dpi);
// A system metric (SM_CXICON, ...) at `dpi`.
int systemMetric(int index, UINT dpi);

// The tests' switch (never the users'): with this environment variable set to 1 the panel finds
// none of the newer calls, as on Windows 7, although Wine has them all.
inline constexpr wchar_t kWithoutDpiCallsVariable[] = L"BEXEN_TEST_WITHOUT_DPI_CALLS";

} // namespace bexen::panel::win32
