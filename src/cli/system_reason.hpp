#pragma once
// The system's own words for an error that a system call reported.

#include <string>
#include <system_error>

namespace kq::cli {

// Never empty. On Windows, an error of the system category is put into words by the system
// itself (FormatMessageW, in the language of its user interface).
std::wstring systemReason(const std::error_code& error);

}  // namespace kq::cli
