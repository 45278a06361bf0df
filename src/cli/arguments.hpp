#pragma once
// The command line of kqconvert: kqconvert [--dry-run] [--diff] [--utf8] FOLDER, --help,
// --version.

#include <string>
#include <variant>
#include <vector>

#include "conversion/native_path.hpp"

namespace kq::cli {

struct CommandLine {
    bool dryRun = false;
    bool diff = false;
    bool help = false;
    bool version = false;
    NativePath folder;  // exactly as given; not needed with --help or --version
};

struct UsageError {
    std::wstring message;
};

// `arguments` without the program's own name. "--" ends the options, so that a folder whose
// name starts with "-" can be given.
std::variant<CommandLine, UsageError> parseArguments(const std::vector<NativePath>& arguments);

// Whether the options ask for UTF-8 output (--utf8). Decided before the command line is checked,
// so that a usage message, too, comes in the encoding asked for.
bool asksForUtf8(const std::vector<NativePath>& arguments);

// The arguments the program was started with, without its own name: on Windows as UTF-16 from
// the process's command line (so that any folder name arrives intact), elsewhere argv's bytes.
std::vector<NativePath> programArguments(int argc, char** argv);

}  // namespace kq::cli
