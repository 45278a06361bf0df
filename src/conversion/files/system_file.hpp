#pragma once
// The system calls under script reading and writing that the portable part of the script file
// layer (script_file.cpp, script_list.cpp) builds on: one implementation per platform
// (system_file_posix.cpp, system_file_windows.cpp), which also implement lockFolder, linkTarget
// and finalPath of script_file.hpp themselves. Private to the script file layer.
//
// Every call that can fail returns a SystemResult: its value, or the kind of failure and the
// system's reason, to which the caller adds the script's name.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "conversion/files/file_handle.hpp"
#include "conversion/files/script_file.hpp"
#include "conversion/result.hpp"
#include "conversion/script_failure.hpp"

namespace kq::platform {

// What a failed system step reports.
struct SystemFailure {
    FailureKind kind;
    std::error_code error;
};

// The same, as the failure of the script `name`.
inline ScriptFailure failureOf(const NativePath& name, const SystemFailure& failure) {
    return {name, failure.kind, failure.error};
}

template <typename T>
using SystemResult = Result<T, SystemFailure>;
using SystemStatus = SystemResult<Done>;

// Opens an existing regular file, or a link to one, for reading. Never blocks, not even on a
// FIFO; anything but a regular file is refused (FailureKind::cannotRead).
SystemResult<FileHandle> openForReading(const NativePath& file);

// Room reserved beyond a script's size when it is read, so that the rewrites, which insert a
// few hundred bytes, work within the same buffer instead of copying the whole script.
inline constexpr std::size_t rewriteRoom = std::size_t{64} * 1024;

// Reads every byte of the file into a buffer of its size and room to grow, in one read where the
// system allows (FailureKind::cannotRead).
SystemResult<std::string> readToEnd(const FileHandle& file);

// Makes the checks that ScriptBatch::stage makes before it writes (and, on POSIX, that the
// folder takes a new file and that the owner can be kept), and writes nothing.
SystemStatus checkReplaceable(const NativePath& file);

// Name of the temporary file for one write attempt: temporaryPrefix and hexadecimal digits
// mixed from `processId`, the clock and `attempt`. Never ends in ".cgi".
NativePath temporaryFileName(std::uint64_t processId, unsigned attempt);

// How many names a replacement tries before it gives up on finding a free one.
inline constexpr unsigned temporaryNameAttempts = 64;

// One entry of a folder.
struct FolderEntry {
    NativePath name;
    bool regularFile;  // a regular file, or a link that leads to one
    bool plainFile;    // a regular file itself, not a link
    bool hidden;  // Windows: hidden or system attribute; elsewhere: a name that starts with "."
};

// The entries of `folder`, "." and ".." left out, in no particular order (FailureKind::cannotRead
// when the folder cannot be listed).
SystemResult<std::vector<FolderEntry>> folderEntries(const NativePath& folder);

// Removes the file if the system lets it.
void removeFile(const NativePath& file);

// The system's steps under ScriptBatch, which keeps the scripts and hands them back.

// A staged script's new text, in a temporary file beside the file it replaces, and what is known
// of that file: the platform's own. Ending it closes the temporary file and removes it, unless
// putInPlace has put it in its file's place.
struct Replacement;
struct EndReplacement {
    void operator()(Replacement* replacement) const noexcept;
};
using OwnedReplacement = std::unique_ptr<Replacement, EndReplacement>;

// One staged script of a batch, with its replacement, and the failure it met on its way into
// place, which is its failure once the batch hands it back.
struct Staged {
    StagedScript script;
    OwnedReplacement replacement;
    std::optional<SystemFailure> met;
};

#if defined(_WIN32)
// None: a folder is opened only to be flushed, and then closed.
struct OpenFolders {};
#else
// The folders that a batch writes in, each opened once, by its path as resolved: its temporary
// files are made, renamed and flushed through them.
using OpenFolders = std::map<NativePath, std::shared_ptr<const FileHandle>>;
#endif

// Makes the checks of checkReplaceable, then writes `bytes` to a new temporary file beside the
// file that `file` leads to (on POSIX with that file's owner and permission bits).
SystemResult<OwnedReplacement> writeTemporary(const NativePath& file, std::string_view bytes,
                                              OpenFolders& folders);

// Puts the replacements of the staged scripts in place, as ScriptBatch::commit describes, and
// sets what each met; flushes the folder of each kept script of `folder`, whose failure it sets
// (FailureKind::folderNotConfirmed) when that fails.
void putInPlace(std::vector<Staged>& staged, std::vector<StagedScript>& kept,
                const NativePath& folder, OpenFolders& folders);

// Whether a write failed with this error for want of room on the disk or in the user's quota.
bool outOfRoom(std::error_code error);

#if defined(_WIN32)
// The path that a file call is given for `path`, the user's: relative and ".." parts resolved by
// the system, in the form that has no length limit and no reserved names ("\\?\C:\site\x.cgi",
// "\\?\UNC\server\share\x.cgi"), so that a folder deeper than MAX_PATH works and a script named
// like a device ("nul.cgi") is an ordinary file. The last name is kept as it stands; a path
// already in that form is kept whole. Messages show the user's path, never this one.
NativePath systemPath(NativeView path);

// Whether a failed open, replacement or removal met a file that another program holds for a
// moment (a virus scanner, the search indexer, a backup or an editor): a sharing or lock
// violation, or access denied (`error`) on a file that is being deleted (`ntStatus`
// STATUS_DELETE_PENDING). Such a step is tried again after a short pause.
bool heldForAMoment(unsigned long error, long ntStatus);
#endif

#if defined(__linux__)
// Whether syncfs reports the write errors of its file system on the Linux kernel of this release
// (as uname gives it, e.g. "6.1.0-18-amd64"): from 5.8 on. Before, it reported none, and a batch
// flushes each of its files by itself.
bool syncfsReportsWriteErrors(std::string_view kernelRelease);
#endif

}  // namespace kq::platform
