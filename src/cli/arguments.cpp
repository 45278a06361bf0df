#include "arguments.hpp"

#include <optional>
#include <string_view>

#include "cli_texts.hpp"
#include "display_text.hpp"
#include "fill_in.hpp"

#ifdef _WIN32
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include "texts/local_memory.hpp"
#endif

namespace kq::cli {

namespace {

constexpr std::string_view utf8Option = "--utf8";

}  // namespace

std::variant<CommandLine, UsageError> parseArguments(const std::vector<NativePath>& arguments) {
    CommandLine line;
    std::optional<NativePath> folder;
    bool optionsEnded = false;
    for (const NativePath& argument : arguments) {
        const bool isOption = !optionsEnded && argument.size() > 1 && argument.front() == '-';
        if (!isOption) {
            if (folder) {
                return UsageError{fillIn(texts::extraFolder, {displayName(argument)})};
            }
            folder = argument;
        } else if (argument == nativeFromAscii("--")) {
            optionsEnded = true;
        } else if (argument == nativeFromAscii("--dry-run")) {
            line.dryRun = true;
        } else if (argument == nativeFromAscii("--diff")) {
            line.diff = true;
        } else if (argument == nativeFromAscii(utf8Option)) {
            // Taken by asksForUtf8.
        } else if (argument == nativeFromAscii("--help") || argument == nativeFromAscii("-h")) {
            line.help = true;
        } else if (argument == nativeFromAscii("--version")) {
            line.version = true;
        } else {
            return UsageError{fillIn(texts::unknownOption, {displayName(argument)})};
        }
    }
    if (!folder && !line.help && !line.version) {
        return UsageError{std::wstring(texts::missingFolder)};
    }
    if (folder) {
        line.folder = std::move(*folder);
    }
    return line;
}

bool asksForUtf8(const std::vector<NativePath>& arguments) {
    for (const NativePath& argument : arguments) {
        if (argument == nativeFromAscii("--")) {
            return false;
        }
        if (argument == nativeFromAscii(utf8Option)) {
            return true;
        }
    }
    return false;
}

#ifdef _WIN32

std::vector<NativePath> programArguments(int /*argc*/, char** /*argv*/) {
    int count = 0;
    const UniqueLocalMemory<wchar_t**> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<NativePath> result;
    for (int i = 1; arguments && i < count; ++i) {
        result.emplace_back(arguments.get()[i]);
    }
    return result;
}

#else

std::vector<NativePath> programArguments(int argc, char** argv) {
    std::vector<NativePath> result;
    for (int i = 1; i < argc; ++i) {
        result.emplace_back(argv[i]);
    }
    return result;
}

#endif

}  // namespace kq::cli
