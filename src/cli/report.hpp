#pragma once
// What kqconvert tells the user after the pass: one line per listed script, a summary, and the
// exit status.

#include <string>
#include <vector>

#include "conversion/site_conversion.hpp"

namespace kq::cli {

enum class ExitStatus : int {
    allDone = 0,      // every listed script converted or left alone
    someNotDone = 1,  // a script not converted, or to be checked by hand
    cannotRun = 2,    // a usage error, a folder that cannot be listed or holds no script
};

// The line of one script (a problem names the script and its reason); in a dry run, what a real
// run would do.
std::wstring scriptLine(const ScriptReport& report, bool dryRun);

std::wstring summaryLine(const std::vector<ScriptReport>& reports, bool dryRun);

// For a conversion that ran: allDone or someNotDone.
ExitStatus exitStatusFor(const std::vector<ScriptReport>& reports);

}  // namespace kq::cli
