#pragma once
// Reading a script whole, and what a run needs of a site folder besides: its lock, the tidying of
// what a killed run left, and where links lead. Writing scripts back is script_batch.hpp's.
//
// Reading opens the script on the read channel, which the value it returns holds until that
// value is closed or ends. The order is always: read, rewrite in memory, close the read channel,
// stage the new text; the staged texts of a batch are put in place together.
//
// Bytes are never translated: no line-end conversion, no stop at 0x1A, no final line end added.
// A function that can fail returns a Result: its value, or what it met. Two say why they need
// none: removeLeftoverTemporaries and linkTarget.

#include <optional>
#include <string>
#include <string_view>

#include "conversion/files/file_handle.hpp"
#include "conversion/native_path.hpp"
#include "conversion/result.hpp"
#include "conversion/script_failure.hpp"

namespace kq {

// The prefix of the temporary files that safe writes create beside a script. Such a name never
// ends in ".cgi", so a temporary file is never taken for a script.
inline constexpr std::string_view temporaryPrefix = ".kqwizard-tmp-";

// How long one script may wait, in all, for another program that holds it for a moment (a virus
// scanner, the search indexer, a backup or sync client, an editor): about two seconds, spent on
// whichever of its steps meets the hold (the open of its reading, its replacement, the removal
// of its temporary file), in pauses that grow from 10 ms to 320 ms. Only Windows holds files so.
class HoldBudget {
  public:
    // Runs `step` (which returns a Result whose failure is a SystemFailure) again after a pause
    // while it fails on a held file and the budget lasts; its last result.
    template <typename Step>
    auto untilReleased(Step step) {
        auto result = step();
        while (!result && result.failure().held && pause()) {
            result = step();
        }
        return result;
    }

  private:
    // Pauses and counts the pause as spent; false, without a pause, once all is spent.
    bool pause();

    unsigned leftMilliseconds_ = 2000;
    unsigned nextMilliseconds_ = 10;
};

// A script read whole. Its read channel stays open, so that nobody writes the script meanwhile,
// until close() or the end of the value, whichever comes first.
struct OpenScript {
    std::string text;  // every byte of the script, with room to grow for the rewrites
    FileHandle readChannel;

    // Releases the read channel; does nothing when it is already closed.
    void close() noexcept { readChannel.reset(); }
};

// Opens the script on the read channel and reads all of its bytes. Only regular files (or links
// to them) are read; a FIFO or device is refused without waiting. A script held by another
// program is waited for from `budget`.
// The script's path is the folder, the system's separator and the name, joined as they stand.
Result<OpenScript> readScript(const NativePath& folder, const NativePath& name, HoldBudget& budget);

// An exclusive hold on a site folder for one conversion, released when the value ends (and by
// the system when the process ends), so that two runs never write in one folder at once.
struct FolderLock {
    FileHandle handle;  // empty where the system offers no lock: the run goes on without one
};
// The lock, or FolderBusy when another process holds it.
Result<FolderLock, FolderBusy> lockFolder(const NativePath& folder);

// Removes the temporary files that a run killed in the middle of a write left in `folder`: the
// regular files named temporaryPrefix and 16 lower-case hexadecimal digits. One that cannot be
// removed (or a folder that cannot be listed) stays as it is for the next run: what a killed run
// left is harmless, never taken for a script. Meant for the start of a pass, when no write of
// this program is under way there.
void removeLeftoverTemporaries(const NativePath& folder);

// The file that the script `name` of `folder` finally leads to when that name is a symbolic
// link (its temporary files are made in that file's folder); nothing for any other name, and
// for a link that leads nowhere.
std::optional<NativePath> linkTarget(const NativePath& folder, const NativePath& name);

// The path of a file or folder with every link followed, in the one spelling the system gives
// it; the failure (FailureKind::cannotRead) when it leads nowhere.
Result<NativePath, SystemFailure> finalPath(const NativePath& path);

}  // namespace kq
