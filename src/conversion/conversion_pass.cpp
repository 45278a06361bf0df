#include "conversion_pass.hpp"

#include <algorithm>
#include <optional>
#include <set>

#include "library_switch.hpp"
#include "pass_texts.hpp"
#include "script_file.hpp"
#include "upload_rewrite.hpp"

namespace kq {

namespace {

// Checks 1 and 2: a folder chosen and at least one script listed. After a failed check the user
// is told why and asked for the folder again, for as long as a check fails; false when the user
// cancels that choice.
bool ensureScriptsListed(PassWindow& window) {
    for (;;) {
        if (window.folderPath().empty()) {
            window.showMessage(texts::noFolderMessage);
        } else if (window.scriptCount() == 0) {
            window.showMessage(texts::noScriptMessage);
        } else {
            return true;
        }
        if (!window.chooseFolder()) {
            return false;
        }
    }
}

ScriptReport failed(const std::filesystem::path& name, ScriptFailure failure) {
    const ScriptOutcome outcome = failure.kind == FailureKind::readLoopNotFound
                                      ? ScriptOutcome::needsCheck
                                      : ScriptOutcome::notConverted;
    return {name, outcome, std::move(failure)};
}

// The upload rewrite a script gets: by its exact name, or, for a link such as "new-post.cgi" that
// leads to "post.cgi", by the name of the file it leads to. That file, listed later under its
// own name, then finds no marker any more: without this it would never get its upload rewrite,
// though the run said every script was converted.
std::optional<UploadVariant> uploadVariantOf(const std::filesystem::path& name,
                                             const std::optional<std::filesystem::path>& target) {
    if (auto variant = uploadVariantFor(name)) {
        return variant;
    }
    return target ? uploadVariantFor(target->filename()) : std::nullopt;
}

// Steps 5 to 7 for one script: read, and when it carries the package marker, switch the library,
// give the four upload scripts their upload rewrite, write once and move the bar. `target` is
// the file the script's name leads to when that name is a link.
ScriptReport convertOne(PassWindow& window, ScriptChannels& channels, std::size_t index,
                        const std::filesystem::path& name,
                        const std::optional<std::filesystem::path>& target,
                        const PassOptions& options) {
    auto read = channels.readScript(name);
    if (!read) {
        channels.closeReadChannel();
        return failed(name, read.failure());
    }
    std::string& scriptText = read.value();
    if (!hasPackageMarker(scriptText)) {
        channels.closeReadChannel();
        return {name, ScriptOutcome::leftAlone, std::nullopt};
    }
    // The original bytes are kept only when someone wants to see the change.
    const std::string before = options.onChange ? scriptText : std::string();
    // switchLibrary's rewrites, done within the buffer just read: no second copy of the script.
    const bool converted = switchLibraryInPlace(scriptText);
    channels.closeReadChannel();
    if (!converted) {
        return failed(name, ScriptFailure{name, FailureKind::noRequireBlock, {}});
    }
    // The four upload scripts get their upload rewrite (stp61's or Stp62's transformation, by
    // exact name: "POST.cgi" gets none) before the one write, so that a failed write leaves the
    // old script whole rather than a script with the library switch but not the upload rewrite,
    // which no later run could tell from a finished one.
    bool readLoopFound = true;
    if (const auto variant = uploadVariantOf(name, target)) {
        readLoopFound = rewriteUploadHandlerIn(scriptText, *variant).readLoopFound;
    }
    if (auto written = channels.writeScript(name, scriptText); !written) {
        return failed(name, written.failure());
    }
    window.setProgressValue(index);
    if (options.onChange) {
        options.onChange(name, before, scriptText);
    }
    if (!readLoopFound) {
        return failed(name, ScriptFailure{name, FailureKind::readLoopNotFound, {}});
    }
    return {name, ScriptOutcome::converted, std::nullopt};
}

}  // namespace

std::vector<ScriptReport> PassOutcome::problems() const {
    std::vector<ScriptReport> result;
    std::copy_if(scripts.begin(), scripts.end(), std::back_inserter(result),
                 [](const ScriptReport& r) {
                     return r.outcome == ScriptOutcome::notConverted ||
                            r.outcome == ScriptOutcome::needsCheck;
                 });
    return result;
}

PassOutcome convertScripts(PassWindow& window, const PassOptions& options) {
    PassOutcome outcome;
    if (!ensureScriptsListed(window)) {
        return outcome;
    }
    const std::size_t count = window.scriptCount();
    window.setProgressMaximum(count - 1);
    window.setPointer(MousePointer::busy);

    ScriptChannels channels(window.scriptFolder(), options.dryRun);
    if (!options.dryRun) {
        removeLeftoverTemporaries(window.scriptFolder());
    }
    // A link's file is written in the folder it is in: what a killed run left there is removed
    // too, once, before the first write there.
    std::set<std::filesystem::path> tidiedFolders;
    outcome.scripts.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        const std::filesystem::path name = window.scriptAt(index);
        const auto target = linkTarget(window.scriptFolder(), name);
        if (target && !options.dryRun && tidiedFolders.insert(target->parent_path()).second) {
            removeLeftoverTemporaries(target->parent_path());
        }
        outcome.scripts.push_back(convertOne(window, channels, index, name, target, options));
    }
    if (const auto problems = outcome.problems(); !problems.empty()) {
        window.reportProblems(problems);
    }

    window.clearScriptList();
    window.setPointer(MousePointer::normal);
    window.addListLine(texts::completionLine);
    window.showFinishPage();
    outcome.finished = true;
    return outcome;
}

}  // namespace kq
