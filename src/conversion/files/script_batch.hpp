#pragma once
// Writing scripts back whole, in place, without ever leaving one cut short: new texts for scripts
// of one folder, put in place together.
//
// Staging a script writes its new text to a temporary file in the script's own folder (the
// folder of the file it finally leads to, for a link). On POSIX the temporary file is given the
// script's owner and permission bits there and then, and on Linux the disk write of a large one
// (a megabyte or more) is started at once; on Windows the script's attributes are given to it by
// commit, after its flush. commit() makes every staged text durable, then replaces each script
// with its temporary file, then flushes each folder of the batch once, which makes the
// replacements durable: a script holds its old or its new bytes whenever the machine stops, and
// the work of waiting for the disk is shared by the whole batch. A read-only script is not staged
// (FailureKind::readOnly); a missing one is not created (FailureKind::cannotWrite). A script
// that is not put in place keeps its old content, and no temporary file remains. When a folder's
// flush fails (an error that only says that the file system flushes no folders is none), every
// script of the batch in that folder comes back with FailureKind::notConfirmed, or
// folderNotConfirmed for one whose folder was only to be confirmed.

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "conversion/files/script_file.hpp"
#include "conversion/native_path.hpp"
#include "conversion/result.hpp"
#include "conversion/script_failure.hpp"

namespace kq {

// What became of one script of a batch: its number, as the caller gave it, and what its write or
// its folder's flush met (nothing when it is in place and on the disk).
struct BatchOutcome {
    std::size_t index = 0;
    std::optional<ScriptFailure> failure;
};

class ScriptBatch {
  public:
    explicit ScriptBatch(NativePath folder);
    ~ScriptBatch();
    ScriptBatch(const ScriptBatch&) = delete;
    ScriptBatch& operator=(const ScriptBatch&) = delete;
    ScriptBatch(ScriptBatch&&) = delete;
    ScriptBatch& operator=(ScriptBatch&&) = delete;

    // Writes `text`, the new text of the script `name` of the folder, to its temporary file and
    // stages the script under `index`. A hold by another program is waited for from `budget`,
    // and what is left of it the script keeps for its replacement. When that fails nothing is
    // staged, no temporary file remains, and the failure comes back.
    Status stage(std::size_t index, const NativePath& name, std::string_view text,
                 HoldBudget& budget);
    // Flushes the folder of the script `name`, which is left as it is, with the batch's own: that
    // confirms on the disk what an earlier run put in place there.
    void confirmFolderOf(std::size_t index, const NativePath& name);
    // How many scripts are staged (those whose folder is only confirmed not counted).
    std::size_t size() const;
    // Whether staging failed for want of room, which the staged texts, once in place, may give
    // back (the old contents they replace are freed then).
    static bool outOfRoom(const ScriptFailure& failure);
    // Puts the staged scripts in place and flushes the folders; every script back, in the order
    // staged, then those whose folder was to be confirmed. The batch is empty afterwards.
    std::vector<BatchOutcome> commit();

  private:
    struct State;  // the staged scripts with their temporary files, the folders of the batch
    NativePath folder_;
    std::unique_ptr<State> state_;
};

// Makes every check that staging makes before it writes, and writes nothing: what a dry run
// reports for a script it would write.
Status checkWritable(const NativePath& folder, const NativePath& name);

}  // namespace kq
