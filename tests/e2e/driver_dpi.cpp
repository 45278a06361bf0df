#include "driver_dpi.hpp"

namespace kq::e2e {

namespace {

template <typename Function>
Function user32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 == nullptr ? nullptr
                             : reinterpret_cast<Function>(
                                   reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

}  // namespace

void becomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    if (const auto set = user32Function<SetContext>("SetProcessDpiAwarenessContext");
        set != nullptr && set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {
        return;
    }
    SetProcessDPIAware();
}

UINT windowDpi(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    if (const auto get = user32Function<GetDpi>("GetDpiForWindow"); get != nullptr) {
        if (const UINT dpi = get(window); dpi != 0) {
            return dpi;
        }
    }
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

}  // namespace kq::e2e
