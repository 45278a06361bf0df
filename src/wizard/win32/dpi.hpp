#pragma once
// Dots per inch of the wizard window and the conversions from the layout's units to pixels.
// The DPI functions of newer systems are looked up at run time, so the program still starts on
// systems without them and falls back to the screen's DPI there.

#include <windows.h>

namespace kq::wizard::win32 {

inline constexpr UINT defaultDpi = USER_DEFAULT_SCREEN_DPI;  // 96: 100 % scale

// The DPI of the monitor the window is on (GetDpiForWindow), or the screen's LOGPIXELSY.
UINT windowDpi(HWND window);

// Twips (1/1440 inch) as pixels at `dpi`, rounded to the nearest pixel.
inline int pixelsFromTwips(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

// Pixels at 96 DPI (a bitmap's own size) as pixels at `dpi`.
inline int pixelsFromDefault(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(defaultDpi));
}

// A font's cell height for CreateFont: negative, from hundredths of a point.
inline int fontHeight(int pointsTimes100, UINT dpi) {
    return -MulDiv(pointsTimes100, static_cast<int>(dpi), 7200);
}

// The outer size of a window of this style whose client area is `client` at `dpi`
// (AdjustWindowRectExForDpi where the system has it).
SIZE windowSizeForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi);

}  // namespace kq::wizard::win32
