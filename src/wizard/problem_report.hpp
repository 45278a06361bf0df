#pragma once
// The message that tells the user, after a run, which scripts were not converted or must be
// checked by hand, and why.

#include <string>
#include <vector>

#include "conversion/conversion_pass.hpp"

namespace kq::wizard {

// The intro line, then one line per script in list order: its name and the reason.
std::wstring problemMessage(const std::vector<ScriptReport>& problems);

}  // namespace kq::wizard
