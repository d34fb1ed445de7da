// SPDX-License-Identifier: MIT
#pragma once

// Owners for the handles the panel makes: each handle is released exactly once, and a GDI object
// selected into a DC is selected back out before its owner deletes it.

#include "win32_headers.h"

#include <utility>

namespace bexen::panel::win32 {

template <typename Handle, typename Release>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle)
        : m_handle(handle)
    {
    }
    ~Owned() { reset(); }
    Owned(Owned &&other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr))
    {
    }
    Owned &operator=(Owned &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void reset(Handle handle = nullptr)
    {
        if (m_handle)
            Release{}(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
struct DeleteMemoryDc {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
struct DestroyIconHandle {
    void operator()(HICON icon) const { ::DestroyIcon(icon); }
};

using OwnedBrush = Owned<HBRUSH, DeleteGdiObject>;
using OwnedFont = Owned<HFONT, DeleteGdiObject>;
using OwnedBitmap = Owned<HBITMAP, DeleteGdiObject>;
using OwnedMemoryDc = Owned<HDC, DeleteMemoryDc>;
using OwnedIcon = Owned<HICON, DestroyIconHandle>;

// Selects an object into a DC for the holder's lifetime.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object)
        : m_dc(dc)
        , m_previous(::SelectObject(dc, object))
    {
    }
    ~Selected() { ::SelectObject(m_dc, m_previous); }
    Selected(const Selected &) = delete;
    Selected &operator=(const Selected &) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace bexen::panel::win32
