// SPDX-License-Identifier: MIT
#pragma once

#include "win32_headers.h"

#include <array>
#include <string>

namespace bexen::panel::win32 {

// A DLL of Windows itself, loaded from the system directory by its full path: never a copy lying
// beside the program, and without LOAD_LIBRARY_SEARCH_SYSTEM32, which Windows 7 refuses unless
// its loader update is installed. Null when the system has no such DLL.
inline HMODULE systemLibrary(const wchar_t *name)
{
    std::array<wchar_t, MAX_PATH> directory{};
    const UINT length = ::GetSystemDirectoryW(directory.data(), static_cast<UINT>(directory.size()));
    if (length == 0 || length >= directory.size())
        return nullptr;
    return ::LoadLibraryW((std::wstring(directory.data(), length) + L"\\" + name).c_str());
}

// Function `name` of `module` as a `Call`, or null when the module or the function is missing.
template <typename Call>
Call lookUp(HMODULE module, const char *name)
{
    if (!module)
        return nullptr;
    // Through a function type of no arguments, which the compiler accepts any function pointer from.
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

} // namespace bexen::panel::win32
