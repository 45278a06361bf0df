#pragma once
// A script's failure put into words: the program's own words for the kind of failure, with the
// system's words for the error when a system call failed.

#include <string>
#include <string_view>
#include <system_error>

#include "conversion/script_failure.hpp"

namespace kq {

// The words a program uses for each kind of failure, and the marks that join the pieces.
struct FailureWords {
    std::wstring_view cannotRead;
    std::wstring_view cannotWrite;
    std::wstring_view readOnly;
    std::wstring_view noRequireBlock;
    std::wstring_view readLoopNotFound;
    std::wstring_view notConfirmed;
    std::wstring_view folderNotConfirmed;
    std::wstring_view afterName;      // between the script's name and the reason
    std::wstring_view systemOpening;  // before the system's words
    std::wstring_view systemClosing;  // after them
};

// The system's own words for an error (on Windows, for a system error, in the language of the
// system's user interface); empty when it has none.
std::wstring systemMessage(const std::error_code& error);

// The script's name as the caller shows it in its other lines, then the reason in the words both
// programs use (texts::failureWords), with the system's words after it when a system call
// failed, for example "post.cgi：文件为只读，未作修改（Permission denied）".
std::wstring describeFailure(std::wstring_view shownName, const ScriptFailure& failure);

}  // namespace kq
