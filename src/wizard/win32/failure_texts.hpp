#pragma once
// The two messages of the window layer itself, for what the program does not foresee: the
// window cannot be made, or a handler meets an unexpected error. Both end the program.

#include <string_view>

namespace kq::wizard::win32::texts {

inline constexpr std::wstring_view internalFailure = L"内部错误，程序将退出：";
inline constexpr std::wstring_view windowNotCreated = L"无法创建向导窗口，系统错误代码 ";

}  // namespace kq::wizard::win32::texts
