#include "conversion/site_conversion.hpp"

#include <algorithm>
#include <cassert>
#include <map>
#include <set>
#include <string>

#include "conversion/files/script_batch.hpp"
#include "conversion/files/script_file.hpp"
#include "conversion/rewrite/library_switch.hpp"
#include "conversion/rewrite/upload_rewrite.hpp"

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

// What the conversion made of one script: its new text, and what the user must check in it by
// hand though it is written.
struct Conversion {
    bool rewritten = false;  // given a new text; otherwise left as it is
    bool updated = false;    // the new text brings an earlier version's conversion up to date
    std::string before;      // its text before and after, kept only to show the change
    std::string after;
    std::optional<ScriptFailure> toCheckByHand;  // an upload script whose read loop was not found
};

// One run over the list. Every script's report is made once, from what it came back with: at
// once for a script that is not staged, when its batch is put in place for one that is.
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
    bool stage(std::size_t index, Conversion conversion, std::string_view text, HoldBudget& budget);
    void commit();
    // `met` is what reading or writing the script met.
    void report(std::size_t index, Conversion conversion, std::optional<ScriptFailure> met);

    const NativePath& folder_;
    const NativePath& finalFolder_;
    const std::vector<NativePath>& names_;
    const SiteOptions& options_;
    ScriptBatch batch_;
    // The scripts in the batch, by index, and where the files staged for stand, with every link
    // followed.
    std::map<std::size_t, Conversion> inBatch_;
    std::set<NativePath> stagedFiles_;
    std::vector<std::optional<ScriptReport>> reports_;
};

void SiteRun::convert(std::size_t index, const std::optional<NativePath>& target) {
    const NativePath& name = names_[index];
    const NativePath file = target ? *target : joinPath(finalFolder_, name);
    if (batch_.size() == batchSize || stagedFiles_.contains(file)) {
        commit();
    }
    Conversion conversion;
    HoldBudget budget;
    auto read = readScript(folder_, name, budget);
    if (!read) {
        return report(index, std::move(conversion), read.failure());
    }
    std::string& scriptText = read.value().text;
    if (options_.onChange) {
        conversion.before = scriptText;
    }
    if (!hasPackageMarker(scriptText)) {
        // A script an earlier version converted gets what this version inserts instead, and
        // nothing else.
        conversion.updated = updateEarlierConversion(scriptText);
        read.value().close();
        if (!conversion.updated) {
            conversion.before = {};  // no change to show
            if (!options_.dryRun) {
                // Left as it is, but its folder is flushed with the batch: an earlier run may have
                // put this script in place without learning whether that reached the disk.
                batch_.confirmFolderOf(index, name);
                inBatch_.emplace(index, std::move(conversion));
                return;
            }
            return report(index, std::move(conversion), std::nullopt);
        }
    } else {
        // What an earlier version inserted in it is brought up to date first, so that the
        // conversion leaves no outdated eval block for the next run to change.
        updateEarlierConversion(scriptText);
        const bool switched = switchLibrary(scriptText);
        read.value().close();
        if (!switched) {
            return report(index, std::move(conversion),
                          ScriptFailure{name, FailureKind::noRequireBlock, {}});
        }
        // The four upload scripts get their upload rewrite (by exact name: "POST.cgi" gets none)
        // before the one write, so that a failed write leaves the old script whole rather than a
        // script with the library switch but not the upload rewrite, which no later run could
        // tell from a finished one.
        if (const auto uploadRewrite = uploadRewriteOf(name, target);
            uploadRewrite != nullptr && !uploadRewrite(scriptText)) {
            conversion.toCheckByHand = ScriptFailure{name, FailureKind::readLoopNotFound, {}};
        }
    }
    conversion.rewritten = true;
    if (options_.onChange) {
        conversion.after = scriptText;
    }
    if (options_.dryRun) {
        Status writable = checkWritable(folder_, name);
        if (writable && options_.onScriptWritten) {
            options_.onScriptWritten(index);
        }
        return report(index, std::move(conversion),
                      writable ? std::nullopt : std::optional(writable.failure()));
    }
    if (stage(index, std::move(conversion), scriptText, budget)) {
        stagedFiles_.insert(file);
        if (options_.onScriptWritten) {
            options_.onScriptWritten(index);
        }
    }
}

bool SiteRun::stage(std::size_t index, Conversion conversion, std::string_view text,
                    HoldBudget& budget) {
    Status staged = batch_.stage(index, names_[index], text, budget);
    // On a full disk the staged texts hold room that their old contents give back once they are
    // in place: then there may be room for this one.
    if (!staged && ScriptBatch::outOfRoom(staged.failure()) && batch_.size() > 0) {
        commit();
        staged = batch_.stage(index, names_[index], text, budget);
    }
    if (!staged) {
        report(index, std::move(conversion), staged.failure());
        return false;
    }
    inBatch_.emplace(index, std::move(conversion));
    return true;
}

void SiteRun::commit() {
    for (BatchOutcome& outcome : batch_.commit()) {
        auto script = inBatch_.extract(outcome.index);
        report(outcome.index, std::move(script.mapped()), std::move(outcome.failure));
    }
    stagedFiles_.clear();
}

void SiteRun::report(std::size_t index, Conversion conversion, std::optional<ScriptFailure> met) {
    // The new text is in place also when the disk did not confirm it: the change is shown then
    // too, as it is when only the read loop was missed.
    const bool inPlace = conversion.rewritten && (!met || met->kind == FailureKind::notConfirmed);
    if (inPlace && options_.onChange) {
        options_.onChange(names_[index], conversion.before, conversion.after);
    }
    // What reading or writing met comes first: a script not written needs no check by hand.
    std::optional<ScriptFailure> failure =
        met ? std::move(met) : std::move(conversion.toCheckByHand);
    const ScriptOutcome outcome = failure                ? outcomeOf(*failure)
                                  : conversion.updated   ? ScriptOutcome::updated
                                  : conversion.rewritten ? ScriptOutcome::converted
                                                         : ScriptOutcome::leftAlone;
    assert(!reports_[index]);  // each script is reported once
    reports_[index].emplace(ScriptReport{names_[index], outcome, std::move(failure)});
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
    const auto lock = lockFolder(folder);
    if (!lock) {
        return lock.failure();
    }
    const auto followed = finalPath(folder);
    const NativePath finalFolder = followed ? followed.value() : folder;
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
    return run.finish();
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
