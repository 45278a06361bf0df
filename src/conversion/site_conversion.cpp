#include "site_conversion.hpp"

#include <algorithm>
#include <cassert>
#include <set>
#include <string>

#include "library_switch.hpp"
#include "script_file.hpp"
#include "upload_rewrite.hpp"

namespace kq {

namespace {

ScriptOutcome outcomeOf(const ScriptFailure& failure) {
    switch (failure.kind) {
        case FailureKind::readLoopNotFound:
        case FailureKind::notConfirmed:
        case FailureKind::folderNotConfirmed:
            return ScriptOutcome::needsCheck;
        default:
            return ScriptOutcome::notConverted;
    }
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

// How many new texts wait in their temporary files, at most, before they are put in place: few
// enough open files, many enough that the waits for the disk are shared.
constexpr std::size_t batchSize = 256;

// One run over the list. Every script's report is made once, from what the script came back
// with: at once for a script that is not staged, when its batch is put in place for one that is.
class SiteRun {
  public:
    // `finalFolder` is where the folder's own files stand, with every link followed.
    SiteRun(const NativePath& folder, const NativePath& finalFolder,
            const std::vector<NativePath>& names, const SiteOptions& options)
        : folder_(folder),
          finalFolder_(finalFolder),
          names_(names),
          options_(options),
          batch_(folder),
          reports_(names.size()) {}

    // Reads the script at `index`, and when it carries the package marker, switches the library,
    // gives the four upload scripts their upload rewrite, and stages the new text once. `target`
    // is the file the script's name leads to when that name is a link. The batch is put in place
    // first when it is full, or when it holds a new text for the very file this name leads to (a
    // link and its file both listed): that file is then read with its new text, and converted
    // once.
    void convert(std::size_t index, const std::optional<NativePath>& target);

    // Puts the last batch in place; one report per name, in list order.
    std::vector<ScriptReport> finish();

  private:
    // Whether the script is staged; one that is not is reported.
    bool stage(StagedScript script, std::string_view text);
    void commit();
    void report(StagedScript script);

    const NativePath& folder_;
    const NativePath& finalFolder_;
    const std::vector<NativePath>& names_;
    const SiteOptions& options_;
    ScriptBatch batch_;
    // Where the files staged for stand, with every link followed.
    std::set<NativePath> stagedFiles_;
    std::vector<std::optional<ScriptReport>> reports_;
};

void SiteRun::convert(std::size_t index, const std::optional<NativePath>& target) {
    const NativePath& name = names_[index];
    const NativePath file = target ? *target : joinPath(finalFolder_, name);
    if (batch_.size() == batchSize || stagedFiles_.contains(file)) {
        commit();
    }
    StagedScript script;
    script.index = index;
    script.name = name;
    auto read = readScript(folder_, name);
    if (!read) {
        script.failure = read.failure();
        return report(std::move(script));
    }
    std::string& scriptText = read.value().text;
    if (options_.onChange) {
        script.before = scriptText;
    }
    if (!hasPackageMarker(scriptText)) {
        // A script an earlier version converted gets what this version inserts instead, and
        // nothing else.
        script.updated = updateEarlierConversion(scriptText);
        read.value().close();
        if (!script.updated) {
            script.before = {};  // no change to show
            if (options_.dryRun) {
                return report(std::move(script));
            }
            // Left as it is, but its folder is flushed with the batch: an earlier run may have
            // put this script in place without learning whether that reached the disk.
            return batch_.keep(std::move(script));
        }
    } else {
        // What an earlier version inserted in it is brought up to date first, so that the
        // conversion leaves no outdated eval block for the next run to change.
        updateEarlierConversion(scriptText);
        const bool switched = switchLibrary(scriptText);
        read.value().close();
        if (!switched) {
            script.failure = ScriptFailure{name, FailureKind::noRequireBlock, {}};
            return report(std::move(script));
        }
        // The four upload scripts get their upload rewrite (by exact name: "POST.cgi" gets none)
        // before the one write, so that a failed write leaves the old script whole rather than a
        // script with the library switch but not the upload rewrite, which no later run could
        // tell from a finished one.
        if (const auto uploadRewrite = uploadRewriteOf(name, target);
            uploadRewrite != nullptr && !uploadRewrite(scriptText)) {
            script.failure = ScriptFailure{name, FailureKind::readLoopNotFound, {}};
        }
    }
    script.rewritten = true;
    if (options_.onChange) {
        script.after = scriptText;
    }
    if (options_.dryRun) {
        if (Status writable = checkWritable(folder_, name); !writable) {
            script.failure = writable.failure();
        } else if (options_.onScriptWritten) {
            options_.onScriptWritten(index);
        }
        return report(std::move(script));
    }
    if (stage(std::move(script), scriptText)) {
        stagedFiles_.insert(file);
        if (options_.onScriptWritten) {
            options_.onScriptWritten(index);
        }
    }
}

bool SiteRun::stage(StagedScript script, std::string_view text) {
    const std::optional<ScriptFailure> found = script.failure;
    std::optional<StagedScript> refused = batch_.stage(std::move(script), text);
    // On a full disk the staged texts hold room that their old contents give back once they are
    // in place: then there may be room for this one.
    if (refused && ScriptBatch::outOfRoom(*refused->failure) && batch_.size() > 0) {
        commit();
        refused->failure = found;
        refused = batch_.stage(std::move(*refused), text);
    }
    if (refused) {
        report(std::move(*refused));
        return false;
    }
    return true;
}

void SiteRun::commit() {
    for (StagedScript& script : batch_.commit()) {
        report(std::move(script));
    }
    stagedFiles_.clear();
}

void SiteRun::report(StagedScript script) {
    // The new text is in place also when only the read loop was missed, or when the disk did not
    // confirm it: the change is shown then too.
    const bool inPlace =
        script.rewritten &&
        (!script.failure || script.failure->kind == FailureKind::readLoopNotFound ||
         script.failure->kind == FailureKind::notConfirmed);
    if (inPlace && options_.onChange) {
        options_.onChange(script.name, script.before, script.after);
    }
    const ScriptOutcome outcome = script.failure     ? outcomeOf(*script.failure)
                                  : script.updated   ? ScriptOutcome::updated
                                  : script.rewritten ? ScriptOutcome::converted
                                                     : ScriptOutcome::leftAlone;
    assert(!reports_[script.index]);  // each script is reported once
    reports_[script.index].emplace(
        ScriptReport{std::move(script.name), outcome, std::move(script.failure)});
}

std::vector<ScriptReport> SiteRun::finish() {
    commit();
    std::vector<ScriptReport> reports;
    reports.reserve(reports_.size());
    for (std::optional<ScriptReport>& report : reports_) {
        reports.push_back(std::move(report).value());
    }
    return reports;
}

}  // namespace

SiteReport convertSite(const NativePath& folder, const std::vector<NativePath>& names,
                       const SiteOptions& options) {
    SiteReport site;
    const std::optional<FolderLock> lock = lockFolder(folder);
    if (!lock) {
        site.folderBusy = true;
        return site;
    }
    const NativePath finalFolder = finalPath(folder).value_or(folder);
    // A link's file is written in the folder it is in: what a killed run left there is removed
    // too, once, before the first write there. The site folder itself is tidied first.
    std::set<NativePath> tidiedFolders{finalFolder};
    if (!options.dryRun) {
        removeLeftoverTemporaries(folder);
    }
    SiteRun run(folder, finalFolder, names, options);
    for (std::size_t index = 0; index < names.size(); ++index) {
        const auto target = linkTarget(folder, names[index]);
        if (target && !options.dryRun && tidiedFolders.emplace(folderOf(*target)).second) {
            removeLeftoverTemporaries(NativePath(folderOf(*target)));
        }
        run.convert(index, target);
    }
    site.scripts = run.finish();
    return site;
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
