// SPDX-License-Identifier: MIT
#pragma once

// The Windows headers as the panel uses them: those of Windows 7, the oldest system it runs on,
// so that a call Windows 7 lacks does not compile (the build defines the same for every file), and
// no min and max macros to clash with the standard library.
#ifndef WINVER
#define WINVER 0x0601
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <windowsx.h>
