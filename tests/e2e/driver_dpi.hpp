#pragma once
// The driver sees the wizard's windows in real pixels: it runs per-monitor DPI aware itself.

#include <windows.h>

namespace kq::e2e {

// Makes this process per-monitor DPI aware (v2 where the system has it).
void becomeDpiAware();

// The DPI a window runs at (GetDpiForWindow where the system has it, else the screen's).
UINT windowDpi(HWND window);

}  // namespace kq::e2e
