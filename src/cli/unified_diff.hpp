#pragma once
// The change that the conversion made to one script, as a unified diff for a human reader.

#include <cstddef>
#include <string>
#include <string_view>

#include "conversion/native_path.hpp"

#include "display_text.hpp"

namespace kq::cli {

inline constexpr std::size_t diffContextLines = 3;

// Headers naming the script, then "@@ -l,s +l,s @@" hunks with three lines of context; the lines
// are decoded from code page 936 by `display`. Every line ends with "\n". Empty when the two
// texts are equal.
std::wstring unifiedDiff(const NativePath& name, std::string_view before, std::string_view after,
                         Cp936Display& display);

}  // namespace kq::cli
