#include "site_conversion.hpp"

#include <algorithm>
#include <set>
#include <string>

#include "library_switch.hpp"
#include "script_file.hpp"
#include "upload_rewrite.hpp"

namespace kq {

namespace {

ScriptReport failed(const NativePath& name, ScriptFailure failure) {
    const ScriptOutcome outcome = failure.kind == FailureKind::readLoopNotFound
                                      ? ScriptOutcome::needsCheck
                                      : ScriptOutcome::notConverted;
    return {name, outcome, std::move(failure)};
}

// The upload rewrite a script gets: by its exact name, or, for a link such as "new-post.cgi" that
// leads to "post.cgi", by the name of the file it leads to. That file, listed later under its
// own name, then finds no marker any more: without this it would never get its upload rewrite,
// though the run said every script was converted.
UploadRewriteFunction uploadRewriteOf(const NativePath& name,
                                      const std::optional<NativePath>& target) {
    if (const auto rewrite = uploadRewriteFor(name)) {
        return rewrite;
    }
    return target ? uploadRewriteFor(fileNameOf(*target)) : nullptr;
}

// One script: read, and when it carries the package marker, switch the library, give the four
// upload scripts their upload rewrite, and write once. `target` is the file the script's name
// leads to when that name is a link.
ScriptReport convertOne(const NativePath& folder, std::size_t index, const NativePath& name,
                        const std::optional<NativePath>& target, const SiteOptions& options) {
    auto read = readScript(folder, name);
    if (!read) {
        return failed(name, read.failure());
    }
    OpenScript& script = read.value();
    std::string& scriptText = script.text;
    if (!hasPackageMarker(scriptText)) {
        return {name, ScriptOutcome::leftAlone, std::nullopt};
    }
    // The original bytes are kept only when someone wants to see the change.
    const std::string before = options.onChange ? scriptText : std::string();
    const bool switched = switchLibrary(scriptText);
    script.close();
    if (!switched) {
        return failed(name, ScriptFailure{name, FailureKind::noRequireBlock, {}});
    }
    // The four upload scripts get their upload rewrite (by exact name: "POST.cgi" gets none)
    // before the one write, so that a failed write leaves the old script whole rather than a
    // script with the library switch but not the upload rewrite, which no later run could tell
    // from a finished one.
    bool readLoopFound = true;
    if (const auto uploadRewrite = uploadRewriteOf(name, target)) {
        readLoopFound = uploadRewrite(scriptText);
    }
    const Status written =
        options.dryRun ? checkWritable(folder, name) : writeScript(folder, name, scriptText);
    if (!written) {
        return failed(name, written.failure());
    }
    if (options.onScriptWritten) {
        options.onScriptWritten(index);
    }
    if (options.onChange) {
        options.onChange(name, before, scriptText);
    }
    if (!readLoopFound) {
        return failed(name, ScriptFailure{name, FailureKind::readLoopNotFound, {}});
    }
    return {name, ScriptOutcome::converted, std::nullopt};
}

}  // namespace

std::vector<ScriptReport> convertSite(const NativePath& folder,
                                      const std::vector<NativePath>& names,
                                      const SiteOptions& options) {
    // A link's file is written in the folder it is in: what a killed run left there is removed
    // too, once, before the first write there.
    std::set<NativePath> tidiedFolders;
    if (!options.dryRun) {
        removeLeftoverTemporaries(folder);
    }
    std::vector<ScriptReport> reports;
    reports.reserve(names.size());
    for (std::size_t index = 0; index < names.size(); ++index) {
        const NativePath& name = names[index];
        const auto target = linkTarget(folder, name);
        if (target && !options.dryRun && tidiedFolders.emplace(folderOf(*target)).second) {
            removeLeftoverTemporaries(NativePath(folderOf(*target)));
        }
        reports.push_back(convertOne(folder, index, name, target, options));
    }
    return reports;
}

std::vector<ScriptReport> problemsOf(const std::vector<ScriptReport>& reports) {
    std::vector<ScriptReport> problems;
    std::copy_if(reports.begin(), reports.end(), std::back_inserter(problems),
                 [](const ScriptReport& r) {
                     return r.outcome == ScriptOutcome::notConverted ||
                            r.outcome == ScriptOutcome::needsCheck;
                 });
    return problems;
}

}  // namespace kq
