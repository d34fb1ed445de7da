// SPDX-License-Identifier: MIT
#include "dpi_calls.h"

#include "system_library.h"

#include <array>

namespace bexen::panel::win32 {
namespace {

using AdjustWindowRectExForDpiCall = BOOL(WINAPI *)(RECT *, DWORD, BOOL, DWORD, UINT);
using GetDpiForSystemCall = UINT(WINAPI *)();
using GetDpiForWindowCall = UINT(WINAPI *)(HWND);
using GetSystemMetricsForDpiCall = int(WINAPI *)(int, UINT);
using GetDpiForMonitorCall = HRESULT(WINAPI *)(HMONITOR, int, UINT *, UINT *);
constexpr int kEffectiveDpi = 0; // MDT_EFFECTIVE_DPI, the one an application lays out with

struct DpiCalls {
    AdjustWindowRectExForDpiCall adjustWindowRectExForDpi = nullptr;
    GetDpiForSystemCall getDpiForSystem = nullptr;
    GetDpiForWindowCall getDpiForWindow = nullptr;
    GetSystemMetricsForDpiCall getSystemMetricsForDpi = nullptr;
    GetDpiForMonitorCall getDpiForMonitor = nullptr; // Windows 8.1's, for a system without GetDpiForWindow
};

bool lookUpsRefused()
{
    std::array<wchar_t, 4> value{};
    const DWORD length = ::GetEnvironmentVariableW(kWithoutDpiCallsVariable, value.data(),
                                                   static_cast<DWORD>(value.size()));
    return length == 1 && value[0] == L'1';
}

DpiCalls lookUpAll()
{
    DpiCalls calls;
    if (lookUpsRefused())
        return calls;
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    calls.adjustWindowRectExForDpi = lookUp<AdjustWindowRectExForDpiCall>(user32, "AdjustWindowRectExForDpi");
    calls.getDpiForSystem = lookUp<GetDpiForSystemCall>(user32, "GetDpiForSystem");
    calls.getDpiForWindow = lookUp<GetDpiForWindowCall>(user32, "GetDpiForWindow");
    calls.getSystemMetricsForDpi = lookUp<GetSystemMetricsForDpiCall>(user32, "GetSystemMetricsForDpi");
    if (!calls.getDpiForWindow) {
        const HMODULE shcore = systemLibrary(L"shcore.dll"); // Windows 7 has none
        calls.getDpiForMonitor = lookUp<GetDpiForMonitorCall>(shcore, "GetDpiForMonitor");
    }
    return calls;
}

const DpiCalls &dpiCalls()
{
    static const DpiCalls calls = lookUpAll();
    return calls;
}

} // namespace

UINT systemDpi()
{
    if (const auto call = dpiCalls().getDpiForSystem)
        return call();
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96u;
}

UINT windowDpi(HWND hwnd)
{
    if (const auto call = dpiCalls().getDpiForWindow)
        return call(hwnd);
    UINT x = 0;
    UINT y = 0;
    if (const auto call = dpiCalls().getDpiForMonitor;
        call && SUCCEEDED(call(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)))
        return x;
    // Windows 7 and 8 scale every window alike: the system DPI is the window's.
    return systemDpi();
}

void adjustWindowRect(RECT &rect, DWORD style, DWORD exStyle, UINT dpi)
{
    if (const auto call = dpiCalls().adjustWindowRectExForDpi)
        call(&rect, style, FALSE, exStyle, dpi);
    else
        ::AdjustWindowRectEx(&rect, style, FALSE, exStyle); // the frame at the system DPI
}

int systemMetric(int index, UINT dpi)
{
    if (const auto call = dpiCalls().getSystemMetricsForDpi)
        return call(index, dpi);
    return ::GetSystemMetrics(index);
}

} // namespace bexen::panel::win32
