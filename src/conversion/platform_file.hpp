#pragma once
// The system calls under script reading and writing: one implementation per platform
// (script_file_posix.cpp, script_file_windows.cpp). Private to the script file layer.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "file_handle.hpp"
#include "script_failure.hpp"

namespace kq::platform {

// What a failed system step reports: the script layer adds the script's name.
struct SystemFailure {
    FailureKind kind;
    std::error_code error;
};

// Opens an existing regular file, or a link to one, for reading. Never blocks, not even on a
// FIFO; anything but a regular file is refused. Returns an empty handle and sets `error` on
// failure.
FileHandle openForReading(const NativePath& file, std::error_code& error);

// Room reserved beyond a script's size when it is read, so that the rewrites, which insert a
// few hundred bytes, work within the same buffer instead of copying the whole script.
inline constexpr std::size_t rewriteRoom = std::size_t{64} * 1024;

// Reads every byte of the file into a buffer of its size and room to grow, in one read where the
// system allows; sets `error` on failure.
std::string readToEnd(const FileHandle& file, std::error_code& error);

// Makes the checks that ReplacementBatch::add makes before it writes (and, on POSIX, that the
// folder takes a new file and that the owner can be kept), and writes nothing.
std::optional<SystemFailure> checkReplaceable(const NativePath& file);

// New contents for existing regular files, put in place together. Each added file's bytes go to
// a temporary file in the same folder as the file (the final target when it is a link), which
// receives the file's permissions and owner (attributes on Windows) and starts to be written
// out. commit() then makes every temporary file durable, renames each one over its file, and
// makes the renames durable, each folder once: a file holds its old or its new bytes whenever
// the machine stops. A temporary file that is not renamed is removed.
class ReplacementBatch {
  public:
    ReplacementBatch();
    ~ReplacementBatch();
    ReplacementBatch(const ReplacementBatch&) = delete;
    ReplacementBatch& operator=(const ReplacementBatch&) = delete;

    // Nothing is added when it fails; the file keeps its old content.
    std::optional<SystemFailure> add(const NativePath& file, std::string_view bytes);
    // One result per added file, in the order added; the batch is empty afterwards.
    std::vector<std::optional<SystemFailure>> commit();

  private:
    struct Item;
    std::vector<std::unique_ptr<Item>> items_;
    // The folders the batch writes in, opened once each (on POSIX; unused on Windows).
    std::map<std::string, std::shared_ptr<const FileHandle>> folders_;
};

// An exclusive lock on `folder`, held as long as the handle and released by the system when the
// process ends; sets `error` when it cannot be had.
FileHandle lockFolder(const NativePath& folder, std::error_code& error);
// Whether that error means that another process holds the lock.
bool heldByAnother(const std::error_code& error);

// Whether a write failed for want of room on the disk.
bool outOfRoom(const std::error_code& error);

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

// The entries of `folder`, "." and ".." left out, in no particular order; sets `error` when the
// folder cannot be listed.
std::vector<FolderEntry> folderEntries(const NativePath& folder, std::error_code& error);

// Removes the file if the system lets it.
void removeFile(const NativePath& file);

// The file that `file` finally leads to when it is a symbolic link; nullopt for any other file
// and for a link that leads nowhere.
std::optional<NativePath> linkTarget(const NativePath& file);

// The path of a file or folder with every link followed, in the one spelling the system gives
// it; nullopt when it leads nowhere.
std::optional<NativePath> finalPath(const NativePath& path);

}  // namespace kq::platform
