#pragma once
// Owners of the Win32 handles the wizard window creates: one alias of the move-only resource owner
// per kind of handle. A raw handle anywhere else is borrowed and says so where it is kept.

#include <windows.h>

#include <shlobj.h>

#include "conversion/unique_resource.hpp"

namespace kq::wizard::win32 {

// A top-level window; its child windows go with it.
struct WindowTraits {
    using Value = HWND;
    static Value empty() noexcept { return nullptr; }
    static void close(Value window) noexcept { DestroyWindow(window); }
};
using UniqueHwnd = UniqueResource<WindowTraits>;

template <typename Object>
struct GdiObjectTraits {
    using Value = Object;
    static Value empty() noexcept { return nullptr; }
    static void close(Value object) noexcept { DeleteObject(object); }
};
using UniqueHfont = UniqueResource<GdiObjectTraits<HFONT>>;
using UniqueHbitmap = UniqueResource<GdiObjectTraits<HBITMAP>>;

// An item identifier list handed out by the shell; freed with the task allocator.
struct IdListTraits {
    using Value = PIDLIST_ABSOLUTE;
    static Value empty() noexcept { return nullptr; }
    static void close(Value list) noexcept { CoTaskMemFree(list); }
};
using UniqueIdList = UniqueResource<IdListTraits>;

// The device context of one window, from GetDC, given back with ReleaseDC.
class WindowDc {
  public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const noexcept { return dc_; }

  private:
    HWND window_;  // borrowed
    HDC dc_;
};

// A memory device context from CreateCompatibleDC.
struct MemoryDcTraits {
    using Value = HDC;
    static Value empty() noexcept { return nullptr; }
    static void close(Value dc) noexcept { DeleteDC(dc); }
};
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// Selects a GDI object into a device context and puts the previous one back at the end.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

  private:
    HDC dc_;            // borrowed
    HGDIOBJ previous_;  // borrowed: owned by whoever selected it first
};

}  // namespace kq::wizard::win32
