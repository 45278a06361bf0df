#pragma once
// Reading a script whole and writing it back whole, in place, without ever leaving it cut short.
//
// Reading opens the script on the read channel, which the value it returns holds until that
// value is closed or ends. The order is always: read, rewrite in memory, close the read channel,
// stage the new text; the staged texts of a batch are put in place together.
//
// Bytes are never translated: no line-end conversion, no stop at 0x1A, no final line end added.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_handle.hpp"
#include "native_path.hpp"
#include "result.hpp"
#include "script_failure.hpp"

namespace kq {

// The prefix of the temporary files that safe writes create beside a script. Such a name never
// ends in ".cgi", so a temporary file is never taken for a script.
inline constexpr std::string_view temporaryPrefix = ".kqwizard-tmp-";

// A script read whole. Its read channel stays open, so that nobody writes the script meanwhile,
// until close() or the end of the value, whichever comes first.
struct OpenScript {
    std::string text;  // every byte of the script, with room to grow for the rewrites
    FileHandle readChannel;

    // Releases the read channel; does nothing when it is already closed.
    void close() noexcept { readChannel.reset(); }
};

// Opens the script on the read channel and reads all of its bytes. Only regular files (or links
// to them) are read; a FIFO or device is refused without waiting.
// The script's path is the folder, the system's separator and the name, joined as they stand.
Result<OpenScript> readScript(const NativePath& folder, const NativePath& name);

// One script on its way through a batch and back. The conversion makes one for every script it
// writes, or leaves as it is in a real run, and hands it down; the batch hands it back with what
// it met.
struct StagedScript {
    std::size_t index = 0;   // its place in the script list
    NativePath name;         // as listed, e.g. "post.cgi"
    bool rewritten = false;  // given a new text; otherwise left as it is
    bool updated = false;    // the new text brings an earlier version's conversion up to date
    std::string before;      // its text before and after, kept only to show the change
    std::string after;
    // Why the script is not, or is not known to be, in place. Set before staging, it is what the
    // user must check in a script that is written all the same; a failure of the batch's own
    // replaces it.
    std::optional<ScriptFailure> failure;
};

// New texts for scripts of one folder, put in place together.
//
// Staging a script writes its new text to a temporary file in the script's own folder (the
// folder of the file it finally leads to, for a link). On POSIX the temporary file is given the
// script's owner and permission bits there and then, and on Linux the disk write of a large one
// (a megabyte or more) is started at once; on Windows the script's attributes are given to it by
// commit, after its flush, and a script that another program holds for a moment is waited for.
// commit() makes every staged text durable, then renames each over its script, then flushes each
// folder of the batch once, which makes the renames durable: a script holds its old or its new
// bytes whenever the machine stops, and the work of waiting for the disk is shared by the whole
// batch. A read-only script is not staged (FailureKind::readOnly); a missing one is not created
// (FailureKind::cannotWrite). A script that is not put in place keeps its old content, and no
// temporary file remains. When a folder's flush fails (an error that only says that the file system
// flushes no folders is none), every script of the batch in that folder comes back with
// FailureKind::notConfirmed, or folderNotConfirmed for a kept one.
class ScriptBatch {
  public:
    explicit ScriptBatch(NativePath folder);
    ~ScriptBatch();
    ScriptBatch(const ScriptBatch&) = delete;
    ScriptBatch& operator=(const ScriptBatch&) = delete;

    // Writes `text`, the script's new text, to its temporary file and keeps the script. When that
    // fails the script is not kept: it comes back at once, with its failure.
    std::optional<StagedScript> stage(StagedScript script, std::string_view text);
    // Keeps a script that is left as it is: commit flushes its folder with the others, so that
    // what an earlier run put in place there is confirmed on the disk.
    void keep(StagedScript script);
    // How many scripts are staged (kept ones not counted).
    std::size_t size() const;
    // Whether staging failed for want of room, which the staged texts, once in place, may give
    // back (the old contents they replace are freed then).
    static bool outOfRoom(const ScriptFailure& failure);
    // Every staged script back, in the order staged, then the kept ones, each with the failure it
    // met; the batch is empty afterwards.
    std::vector<StagedScript> commit();

  private:
    struct State;  // the staged and kept scripts, with the platform's temporary files and folders
    NativePath folder_;
    std::unique_ptr<State> state_;
};

// Makes every check that staging makes before it writes, and writes nothing: what a dry run
// reports for a script it would write.
Status checkWritable(const NativePath& folder, const NativePath& name);

// An exclusive hold on a site folder for one conversion, released when the value ends (and by
// the system when the process ends), so that two runs never write in one folder at once.
struct FolderLock {
    FileHandle handle;  // empty where the system offers no lock: the run goes on without one
};
// The lock, or nothing when another process holds it.
std::optional<FolderLock> lockFolder(const NativePath& folder);

// Removes the temporary files that a run killed in the middle of a write left in `folder`: the
// regular files named temporaryPrefix and 16 lower-case hexadecimal digits. One that cannot be
// removed stays for the next run. Meant for the start of a pass, when no write of this program is
// under way there.
void removeLeftoverTemporaries(const NativePath& folder);

// The file that the script `name` of `folder` finally leads to when that name is a symbolic
// link (its temporary files are made in that file's folder); nullopt for any other name, and
// for a link that leads nowhere.
std::optional<NativePath> linkTarget(const NativePath& folder, const NativePath& name);

// The path of a file or folder with every link followed, in the one spelling the system gives
// it; nothing when it leads nowhere.
std::optional<NativePath> finalPath(const NativePath& path);

}  // namespace kq
