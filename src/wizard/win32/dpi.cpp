#include "dpi.hpp"

#include "unique_handle.hpp"

namespace kq::wizard::win32 {

namespace {

// A function of user32 that older systems lack, or null. user32 stays loaded for the process's
// whole life, so the module handle is borrowed.
template <typename Function>
Function user32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return nullptr;
    }
    // The detour through a function type without parameters keeps the cast well defined.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

}  // namespace

UINT windowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    if (const auto getDpiForWindow = user32Function<GetDpiForWindowFunction>("GetDpiForWindow")) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) {
            return dpi;
        }
    }
    const WindowDc dc(window);
    const int dpi = dc.get() != nullptr ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : defaultDpi;
}

SIZE windowSizeForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi) {
    RECT rect{0, 0, client.cx, client.cy};
    using AdjustForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    const auto adjustForDpi = user32Function<AdjustForDpiFunction>("AdjustWindowRectExForDpi");
    if (adjustForDpi == nullptr || !adjustForDpi(&rect, style, FALSE, exStyle, dpi)) {
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace kq::wizard::win32
