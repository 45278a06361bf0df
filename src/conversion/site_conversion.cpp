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

// How many new texts wait in their temporary files, at most, before they are put in place: few
// enough open files, many enough that the waits for the disk are shared.
constexpr std::size_t batchSize = 256;

// One run over the list: the batch of staged texts, and what each staged script is waiting for.
class SiteRun {
  public:
    // `finalFolder` is where the folder's own files stand, with every link followed. `reports`
    // receives the report of each script, in list order, from the caller.
    SiteRun(const NativePath& folder, const NativePath& finalFolder, const SiteOptions& options,
            std::vector<ScriptReport>& reports)
        : folder_(folder),
          finalFolder_(finalFolder),
          options_(options),
          reports_(reports),
          batch_(folder) {}

    // Read, and when the script carries the package marker, switch the library, give the four
    // upload scripts their upload rewrite, and stage the new text once. `target` is the file the
    // script's name leads to when that name is a link. A file that a name before it in the list
    // staged a new text for (a link and its file both listed) is read once that text is in
    // place, so that it is converted once.
    ScriptReport convert(std::size_t index, const NativePath& name,
                         const std::optional<NativePath>& target);

    std::size_t staged() const { return staged_.size(); }
    // Puts the staged texts in place and mends the reports of scripts that then failed.
    void commit();

  private:
    struct Staged {
        std::size_t index;
        std::string before;  // kept only for onChange
        std::string after;
    };

    Status stage(const NativePath& name, std::string_view text);

    const NativePath& folder_;
    const NativePath& finalFolder_;
    const SiteOptions& options_;
    std::vector<ScriptReport>& reports_;
    ScriptBatch batch_;
    std::vector<Staged> staged_;
    // Where the files staged for stand, with every link followed.
    std::set<NativePath> stagedFiles_;
};

ScriptReport SiteRun::convert(std::size_t index, const NativePath& name,
                              const std::optional<NativePath>& target) {
    const NativePath file = target ? *target : joinPath(finalFolder_, name);
    if (stagedFiles_.contains(file)) {
        commit();
    }
    auto read = readScript(folder_, name);
    if (!read) {
        return failed(name, read.failure());
    }
    OpenScript& script = read.value();
    std::string& scriptText = script.text;
    if (!hasPackageMarker(scriptText)) {
        return {name, ScriptOutcome::leftAlone, std::nullopt};
    }
    std::string before = options_.onChange ? scriptText : std::string();
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
    const Status written = options_.dryRun ? checkWritable(folder_, name) : stage(name, scriptText);
    if (!written) {
        return failed(name, written.failure());
    }
    if (options_.onScriptWritten) {
        options_.onScriptWritten(index);
    }
    if (!options_.dryRun) {
        stagedFiles_.insert(file);
        staged_.push_back(
            {index, std::move(before), options_.onChange ? scriptText : std::string()});
    } else if (options_.onChange) {
        options_.onChange(name, before, scriptText);
    }
    if (!readLoopFound) {
        return failed(name, ScriptFailure{name, FailureKind::readLoopNotFound, {}});
    }
    return {name, ScriptOutcome::converted, std::nullopt};
}

Status SiteRun::stage(const NativePath& name, std::string_view text) {
    Status staged = batch_.stage(name, text);
    // On a full disk the staged texts hold room that their old contents give back once they are
    // in place: then there may be room for this one.
    if (!staged && ScriptBatch::outOfRoom(staged.failure()) && !staged_.empty()) {
        commit();
        staged = batch_.stage(name, text);
    }
    return staged;
}

void SiteRun::commit() {
    const std::vector<Status> committed = batch_.commit();
    for (std::size_t i = 0; i < committed.size(); ++i) {
        ScriptReport& report = reports_[staged_[i].index];
        if (!committed[i]) {
            report = failed(report.name, committed[i].failure());
        } else if (options_.onChange) {
            options_.onChange(report.name, staged_[i].before, staged_[i].after);
        }
    }
    staged_.clear();
    stagedFiles_.clear();
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
    SiteRun run(folder, finalFolder, options, site.scripts);
    site.scripts.reserve(names.size());
    for (std::size_t index = 0; index < names.size(); ++index) {
        const NativePath& name = names[index];
        const auto target = linkTarget(folder, name);
        if (target && !options.dryRun && tidiedFolders.emplace(folderOf(*target)).second) {
            removeLeftoverTemporaries(NativePath(folderOf(*target)));
        }
        site.scripts.push_back(run.convert(index, name, target));
        if (run.staged() == batchSize) {
            run.commit();
        }
    }
    run.commit();
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
