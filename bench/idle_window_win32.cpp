// SPDX-License-Identifier: MIT
// The yardstick for the Windows panel's idle cost: a bare Win32 window of the panel's size and
// frame with the same 100 ms timer, whose every tick makes the tick's eight port accesses
// (seven READ_IO_BYTE, one WRITE_IO_BYTE of port 150) through the same channel and nothing else.
// scripts/bench.sh --windows runs it under Wine in turns with the panel. Never a test.

#include "form1_tables.h"
#include "port_channel.h"
#include "twips.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// The panel's order: the value boxes' three ports, light 1's, the four lights again, then the
// sensors (nothing is ticked here, so 0).
void tick()
{
    constexpr std::int32_t kReads[] = {161, 162, 163, 160, 161, 162, 163};
    for (const std::int32_t port : kReads)
        bexen::io::READ_IO_BYTE(port);
    bexen::io::WRITE_IO_BYTE(150, 0);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        tick();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = ::BeginPaint(hwnd, &ps);
        ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        ::KillTimer(hwnd, kTimerId);
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.lpszClassName = L"BareWindow";
    if (!::RegisterClassExW(&wc))
        return 1;
    RECT frame{0, 0, bexen::panel::toPixels(bexen::panel::kFormWidthTwips),
               bexen::panel::toPixels(bexen::panel::kFormHeightTwips)};
    ::AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    const HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"Bare window", kStyle, CW_USEDEFAULT,
                                        CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                        nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    ::SetTimer(hwnd, kTimerId, bexen::panel::kTimer1IntervalMs, nullptr);
    ::ShowWindow(hwnd, showCommand);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
