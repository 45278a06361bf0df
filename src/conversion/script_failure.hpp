#pragma once
// What went wrong with one script: the value every failing engine operation hands back; and what
// a failed system step reports before it is known which script it concerns.

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

// What a failed system step reports: the kind of failure and the system's reason.
struct SystemFailure {
    FailureKind kind;
    std::error_code error;
    // The file is held for a moment by another program (a virus scanner, the search indexer, a
    // backup): the same step may succeed after a pause. Only Windows holds files so.
    bool held = false;
};

// The same, as the failure of the script `name`.
inline ScriptFailure failureOf(const NativePath& name, const SystemFailure& failure) {
    return {name, failure.kind, failure.error};
}

// Another run holds the site folder: nothing was read or written.
struct FolderBusy {};

}  // namespace kq
