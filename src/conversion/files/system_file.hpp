#pragma once
// The system's primitives under script reading and writing, on which the portable part of the
// file layer (script_file.cpp, script_batch.cpp, script_list.cpp) builds the one protocol of
// reading and of putting new texts in place: one implementation per system
// (system_file_posix.cpp, system_file_windows.cpp), each a handful of system calls with no loop
// over a batch. They also implement lockFolder, linkTarget and finalPath of script_file.hpp.
// Private to the file layer.
//
// Every primitive that can fail returns a SystemResult: its value, or the kind of failure and
// the system's reason (and whether the file is held for a moment), to which the caller adds the
// script's name. Each makes one try: waiting for a held file is the caller's (HoldBudget).

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "conversion/files/file_handle.hpp"
#include "conversion/native_path.hpp"
#include "conversion/result.hpp"
#include "conversion/script_failure.hpp"

namespace kq::platform {

template <typename T>
using SystemResult = Result<T, SystemFailure>;
using SystemStatus = SystemResult<Done>;

// Every reason is reported in the system category, whether the system or this layer chose it.
inline std::error_code systemError(int code) {
    return {code, std::system_category()};
}
// The system's reason for the call that has just failed on this thread (errno, GetLastError).
std::error_code lastError();
inline SystemFailure cannotRead(std::error_code error) {
    return {FailureKind::cannotRead, error};
}
inline SystemFailure cannotWrite(std::error_code error) {
    return {FailureKind::cannotWrite, error};
}
// Done when `fine` (the call succeeded, or failed in a way that means nothing here), else the
// reason of the call that has just failed, as FailureKind::cannotWrite.
inline SystemStatus cannotWriteUnless(bool fine) {
    if (fine) {
        return Done{};
    }
    return cannotWrite(lastError());
}

// Reading.

// Opens an existing regular file, or a link to one, for reading. Never blocks, not even on a
// FIFO; anything but a regular file is refused (FailureKind::cannotRead).
SystemResult<FileHandle> openForReading(const NativePath& file);
// The size of an open file (FailureKind::cannotRead).
SystemResult<std::size_t> sizeOf(const FileHandle& file);
// Makes the pages of a large buffer present in one call where the system has one: page by page,
// their faults would cost more than the reading itself.
void makePresent(std::string& buffer);
// Reads at most `room` bytes into `into`: how many, 0 at the end (FailureKind::cannotRead).
SystemResult<std::size_t> readSome(const FileHandle& file, char* into, std::size_t room);

// Folders.

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

// Removes a file (FailureKind::cannotWrite).
SystemStatus removeFile(const NativePath& file);

// A folder that a batch writes in, opened once: the system's own. On POSIX the temporary files
// are made, renamed and flushed through it; Windows opens a folder only to flush it.
struct Folder;
// Which folder a Folder is, so that each is flushed once however many paths name it: POSIX tells
// its file system and its number there; Windows, which would have to open it to tell, names it
// by its path in the system's final spelling.
struct FolderIdentity {
    std::uint64_t fileSystem = 0;
    std::uint64_t number = 0;
    NativePath path;
    friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
};

// The folder at `path`, as the folder of a file to replace (FailureKind::cannotWrite).
SystemResult<std::shared_ptr<const Folder>> openFolder(const NativePath& path);
SystemResult<FolderIdentity> identityOf(const Folder& folder);
// Flushes a folder's entries, which makes the replacements in it durable. Done also where the
// file system flushes no folders: that error says nothing of the replacements.
SystemStatus flushFolder(const Folder& folder);

// The folders of one batch, each opened once, by its path.
class Folders {
  public:
    SystemResult<std::shared_ptr<const Folder>> open(const NativePath& path);

  private:
    std::map<NativePath, std::shared_ptr<const Folder>> open_;
};

// The folder of the file that `file` finally leads to (FailureKind::cannotWrite).
SystemResult<NativePath> finalFolderOf(const NativePath& file);

// Replacing a script.

// A script's final file, its folder and what the system says of it, and the temporary file made
// beside it: the system's own. Ending it closes the temporary file if it is open; removing it is
// the protocol's step (removeTemporary).
struct Replacement;
struct EndReplacement {
    void operator()(Replacement* replacement) const noexcept;
};
using OwnedReplacement = std::unique_ptr<Replacement, EndReplacement>;

// The checks made before anything is written: finds the file `file` finally leads to and its
// folder (opened through `folders`), and refuses a file that is missing (this replaces a
// script, it never creates one) or no regular file (FailureKind::cannotWrite), or read-only
// (FailureKind::readOnly).
SystemResult<OwnedReplacement> examine(const NativePath& file, Folders& folders);
// What a dry run checks beyond examine: on POSIX, that the folder takes a new file and that the
// file's owner can be kept.
SystemStatus checkReplaceable(const Replacement& replacement);

// This process's number, which temporary file names mix in.
std::uint64_t processId();
// Name of the temporary file for one write attempt: temporaryPrefix and hexadecimal digits
// mixed from `processId`, the clock and `attempt`. Never ends in ".cgi".
NativePath temporaryFileName(std::uint64_t processId, unsigned attempt);
// How many names a replacement tries before it gives up on finding a free one.
inline constexpr unsigned temporaryNameAttempts = 64;
// Creates the temporary file `name` beside the file to replace, new and open for writing
// (FailureKind::cannotWrite; the system's own error when the name is taken: alreadyExists).
SystemStatus createTemporary(Replacement& replacement, const NativePath& name);
bool alreadyExists(std::error_code error);
// Writes some of `bytes` to the temporary file: how many (FailureKind::cannotWrite).
SystemResult<std::size_t> writeSome(const Replacement& replacement, std::string_view bytes);
// On POSIX gives the written temporary file the script's owner, then its permission bits
// (changing the owner may clear the set-user and set-group bits); elsewhere nothing.
SystemStatus keepOwnerAndMode(const Replacement& replacement);
// On Linux starts the disk write of a large temporary file of `size` bytes at once, while the
// next scripts are converted; elsewhere nothing.
void startWriteBack(const Replacement& replacement, std::size_t size);

// The file system the temporary file is on.
std::uint64_t fileSystemOf(const Replacement& replacement);
// Flushes the file system the temporary file is on, where one flush reports every write error
// on it since the files were opened (syncfs, from Linux 5.8 on): then it serves every file of a
// batch there. A failure where there is no such flush.
SystemStatus flushFileSystem(const Replacement& replacement);
// Flushes the temporary file by itself.
SystemStatus flushTemporary(const Replacement& replacement);
// Closes the temporary file, checked: the last chance for a delayed write error to show.
SystemStatus closeTemporary(Replacement& replacement);
// On Windows gives the closed temporary file the script's attributes; elsewhere nothing.
SystemStatus giveAttributes(const Replacement& replacement);
// Puts the temporary file in the place of its file: renamed (POSIX), or moved with write-through
// (Windows). A failure with FailureKind::notConfirmed means that it is in place all the same,
// not known to be on the disk.
SystemStatus replace(Replacement& replacement);
// The folder the file and its temporary file stand in.
const Folder& targetFolder(const Replacement& replacement);
// Closes the temporary file if it is open, and removes it (FailureKind::cannotWrite).
SystemStatus removeTemporary(Replacement& replacement);

// Whether a write failed with this error for want of room on the disk or in the user's quota.
bool outOfRoom(std::error_code error);

#if defined(_WIN32)
// The path that a file call is given for `path`, the user's: relative and ".." parts resolved by
// the system, in the form that has no length limit and no reserved names ("\\?\C:\site\x.cgi",
// "\\?\UNC\server\share\x.cgi"), so that a folder deeper than MAX_PATH works and a script named
// like a device ("nul.cgi") is an ordinary file. The last name is kept as it stands; a path
// already in that form is kept whole. Messages show the user's path, never this one.
NativePath systemPath(NativeView path);
#endif

#if defined(__linux__)
// Whether syncfs reports the write errors of its file system on the Linux kernel of this release
// (as uname gives it, e.g. "6.1.0-18-amd64"): from 5.8 on. Before, it reported none, and a batch
// flushes each of its files by itself.
bool syncfsReportsWriteErrors(std::string_view kernelRelease);
#endif

}  // namespace kq::platform
