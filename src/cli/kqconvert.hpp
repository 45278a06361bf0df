#pragma once
// kqconvert: the wizard's conversion from the command line.
//
//   kqconvert [--dry-run] [--diff] [--utf8] FOLDER
//   kqconvert --help | --version
//
// Converts the .cgi scripts of FOLDER in place, exactly as the wizard does, and prints one line
// per script and a summary.

#include <exception>
#include <vector>

#include "arguments.hpp"
#include "console.hpp"
#include "report.hpp"

namespace kq::cli {

// Runs the command line `arguments` (without the program's own name), writing the report to
// `out` and messages to `errors`.
ExitStatus runKqconvert(const std::vector<NativePath>& arguments, ConsoleStream& out,
                        ConsoleStream& errors);

// The last resort when something unforeseen stopped the tool: says what (`what` may be null)
// on the error stream. Scripts are written whole or not at all, so each one holds either its old
// or its new text.
ExitStatus reportInternalError(const std::exception* what) noexcept;

}  // namespace kq::cli
