#pragma once
// Puts names, reasons and numbers into the texts of cli_texts.hpp.

#include <initializer_list>
#include <string>
#include <string_view>

namespace kq::cli {

// `pattern` with "%1" replaced by the first value, "%2" by the second, and so on up to "%9".
// A "%" not followed by the number of a given value stays as it is.
std::wstring fillIn(std::wstring_view pattern, std::initializer_list<std::wstring_view> values);

}  // namespace kq::cli
