#pragma once
// How a script's failure reads for the user, in the same words in the wizard and on the console.

#include <string>

#include "script_failure.hpp"

namespace kq {

// The reason alone, e.g. "文件为只读，未作修改" with the system's own message after it when a
// system call failed.
std::wstring failureReason(const ScriptFailure& failure);

// "post.cgi：" followed by the reason.
std::wstring describeFailure(const ScriptFailure& failure);

}  // namespace kq
