#pragma once
// A picture of a window as it is on screen, saved as a 24-bit BMP file.

#include <windows.h>

#include <filesystem>

namespace kq::e2e {

bool captureWindow(HWND window, const std::filesystem::path& file);

}  // namespace kq::e2e
