#pragma once
// What went wrong with one script: the value every failing engine operation hands back.

#include <system_error>

#include "conversion/native_path.hpp"

namespace kq {

enum class FailureKind {
    cannotRead,        // the script could not be opened or read
    cannotWrite,       // the new content could not be written in place; the old content stays
    readOnly,          // the script is read-only (or not writable by this user); nothing written
    noRequireBlock,    // carries the package marker but the require wrap found no require block
    readLoopNotFound,  // upload script whose read loop was not found: needs checking by hand
    // Written, but the flush of its folder failed: its new text is in place, not known to be on
    // the disk.
    notConfirmed,
    // Left as it is, but the flush of its folder failed: what an earlier run put in place there
    // is not known to be on the disk.
    folderNotConfirmed,
};

struct ScriptFailure {
    NativePath script;  // the script's name as listed, e.g. "post.cgi"
    FailureKind kind;
    std::error_code error;  // the system's reason, when a system call failed; empty otherwise
};

}  // namespace kq
