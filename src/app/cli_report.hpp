#pragma once
// What kqconvert tells the user after the pass: one line per listed script, a summary, and the
// exit status.

#include <string>

#include "conversion/conversion_pass.hpp"

namespace kq::cli {

enum class ExitStatus : int {
    allDone = 0,      // every listed script converted or left alone
    someNotDone = 1,  // a script not converted, or to be checked by hand
    cannotRun = 2,    // a usage error, a folder that cannot be listed or holds no script
};

// "已转换：post.cgi", "未转换：x.cgi：<reason>"...; in a dry run, what a real run would do.
std::wstring scriptLine(const ScriptReport& report, bool dryRun);

std::wstring summaryLine(const PassOutcome& outcome, bool dryRun);

// For a finished pass: allDone or someNotDone.
ExitStatus exitStatusFor(const PassOutcome& outcome);

}  // namespace kq::cli
