#pragma once
// The conversion of a site: the listed scripts of one folder, in list order. Every script that
// belongs to the forum package gets the library switch, the four upload scripts their upload
// rewrite, and each is written back once, whole. Folder and names in, a report per script out.
//
// New texts are staged as the scripts are converted and put in place in batches, each made
// durable as a whole before any of its scripts is replaced. In a real run the folder of every
// script, written or left alone, is flushed after its batch, so that a run confirms on the disk
// also what an earlier run put in place there: when the conversion returns, everything is on the
// disk, or the scripts it may be missing for are reported.

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "conversion/native_path.hpp"
#include "conversion/result.hpp"
#include "conversion/script_failure.hpp"

namespace kq {

enum class ScriptOutcome {
    converted,     // written once with the library switch (and the upload rewrite, for the four)
    updated,       // converted by an earlier version: what that version inserted brought up to date
    leftAlone,     // no package marker: only read
    notConverted,  // a failure: the script keeps its old content
    // The user must look at it: converted, but the upload read loop was not found; or its folder
    // could not be flushed, so that its new text (or, for one left alone, what an earlier run
    // wrote there) is not known to be on the disk.
    needsCheck,
};

struct ScriptReport {
    NativePath name;
    ScriptOutcome outcome;
    std::optional<ScriptFailure> failure;  // set for notConverted and needsCheck
};

struct SiteOptions {
    bool dryRun = false;  // write nothing; report what a real run would do
    // Called with the script's index in the list each time a script's new text has been written
    // to its temporary file (in a dry run: each time one would be), before the next script is
    // read.
    std::function<void(std::size_t index)> onScriptWritten;
    // Called for every script that changed, with its bytes before and after, once it is in place.
    std::function<void(const NativePath& name, std::string_view before, std::string_view after)>
        onChange;
};

// One report per name, in the same order; or FolderBusy when another run was converting the
// folder, and nothing was read or written.
using SiteReport = Result<std::vector<ScriptReport>, FolderBusy>;

// Converts the scripts `names` of `folder`, in order, holding the folder against other runs. A
// failing script keeps its old content and the others are still converted. What a run killed in
// the middle of a write left behind is removed first.
SiteReport convertSite(const NativePath& folder, const std::vector<NativePath>& names,
                       const SiteOptions& options = {});

// The scripts the user must hear about: not converted, or to be checked by hand.
std::vector<ScriptReport> problemsOf(const std::vector<ScriptReport>& reports);

}  // namespace kq
