// SPDX-License-Identifier: MIT
#pragma once

// The Windows headers as the panel uses them: the per-monitor DPI calls of Windows 10, and no
// min and max macros to clash with the standard library.
#ifndef WINVER
#define WINVER 0x0A00
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <windowsx.h>
