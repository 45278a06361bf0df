#include "report.hpp"

#include <array>
#include <cstddef>

#include "cli_texts.hpp"
#include "display_text.hpp"
#include "fill_in.hpp"
#include "texts/failure_text.hpp"

namespace kq::cli {

std::wstring scriptLine(const ScriptReport& report, bool dryRun) {
    const std::wstring name = displayName(report.name);
    // A problem names the script and says why, in the wizard's words.
    const std::wstring problem = report.failure ? describeFailure(name, *report.failure) : name;
    switch (report.outcome) {
        case ScriptOutcome::converted:
            return fillIn(dryRun ? texts::wouldConvert : texts::converted, {name});
        case ScriptOutcome::updated:
            return fillIn(dryRun ? texts::wouldUpdate : texts::updated, {name});
        case ScriptOutcome::leftAlone:
            return fillIn(dryRun ? texts::wouldLeaveAlone : texts::leftAlone, {name});
        case ScriptOutcome::notConverted:
            return fillIn(dryRun ? texts::wouldNotConvert : texts::notConverted, {problem});
        case ScriptOutcome::needsCheck:
            return fillIn(dryRun ? texts::wouldNeedCheck : texts::needsCheck, {problem});
    }
    return fillIn(dryRun ? texts::wouldNotConvert : texts::notConverted, {problem});
}

std::wstring summaryLine(const std::vector<ScriptReport>& reports, bool dryRun) {
    // Counts by outcome, in the order converted, left alone, not converted, needs check, updated.
    std::array<std::size_t, 5> counts{};
    for (const ScriptReport& report : reports) {
        switch (report.outcome) {
            case ScriptOutcome::converted:
                ++counts[0];
                break;
            case ScriptOutcome::leftAlone:
                ++counts[1];
                break;
            case ScriptOutcome::notConverted:
                ++counts[2];
                break;
            case ScriptOutcome::needsCheck:
                ++counts[3];
                break;
            case ScriptOutcome::updated:
                ++counts[4];
                break;
        }
    }
    const std::wstring updatedCount =
        counts[4] == 0 ? std::wstring()
                       : fillIn(dryRun ? texts::wouldUpdateCount : texts::updatedCount,
                                {std::to_wstring(counts[4])});
    return fillIn(
        dryRun ? texts::dryRunSummary : texts::summary,
        {std::to_wstring(reports.size()), std::to_wstring(counts[0]), std::to_wstring(counts[1]),
         std::to_wstring(counts[2]), std::to_wstring(counts[3]), updatedCount});
}

ExitStatus exitStatusFor(const std::vector<ScriptReport>& reports) {
    return problemsOf(reports).empty() ? ExitStatus::allDone : ExitStatus::someNotDone;
}

}  // namespace kq::cli
