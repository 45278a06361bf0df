#pragma once
// How a script's failure reads for the user, in the same words in the wizard and on the console.

#include <string>
#include <system_error>

#include "script_failure.hpp"

namespace kq {

// The system's own words for an error (on Windows, for a system error, in the language of the
// system's user interface); empty when it has none.
std::wstring systemMessage(const std::error_code& error);

// The reason alone, e.g. "文件为只读，未作修改" with the system's own message after it when a
// system call failed.
std::wstring failureReason(const ScriptFailure& failure);

// "post.cgi：" followed by the reason.
std::wstring describeFailure(const ScriptFailure& failure);

}  // namespace kq
