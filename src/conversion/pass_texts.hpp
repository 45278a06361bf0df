#pragma once
// The texts that the conversion pass shows, exactly as the user sees them.

#include <string_view>

namespace kq::texts {

inline constexpr std::wstring_view noFolderMessage = L"请选择目录！";
inline constexpr std::wstring_view noScriptMessage = L"目录选择错误，没有CGI 文件!";
inline constexpr std::wstring_view completionLine = L"全部完成：100%";
inline constexpr std::wstring_view finishCaption = L"完成(&F)";

}  // namespace kq::texts
