// kqconvert: the wizard's conversion pass from the command line.
//
//   kqconvert [--dry-run] [--diff] FOLDER
//
// Converts the .cgi scripts of FOLDER in place, exactly as the wizard does, and prints one line
// per script and a summary. Exit status: 0 every script converted or left alone, 1 a script not
// converted or to be checked by hand, 2 nothing could be done (usage, folder, no script).

#include <exception>
#include <string>
#include <system_error>
#include <vector>

#include "cli_arguments.hpp"
#include "cli_console.hpp"
#include "cli_display_text.hpp"
#include "cli_fill_in.hpp"
#include "cli_report.hpp"
#include "cli_system_reason.hpp"
#include "cli_texts.hpp"
#include "cli_unified_diff.hpp"
#include "cli_window.hpp"
#include "conversion/conversion_pass.hpp"
#include "conversion/native_text.hpp"
#include "conversion/script_list.hpp"

#ifndef _WIN32
#include <csignal>
#endif

namespace kq::cli {

namespace {

void writeMessage(ConsoleStream& errors, std::wstring_view text) {
    errors.write(std::wstring(texts::messagePrefix) + std::wstring(text) + L"\n");
    errors.flush();
}

ExitStatus convertFolder(const CommandLine& line, ConsoleStream& out, ConsoleStream& errors) {
    std::error_code listError;
    const std::vector<std::filesystem::path> files = listFolderFiles(line.folder, listError);
    if (listError) {
        writeMessage(errors, fillIn(texts::cannotListFolder,
                                    {displayName(line.folder), systemReason(listError)}));
        return ExitStatus::cannotRun;
    }
    // A progress line would tear the diff apart on a shared terminal, so the diff goes without.
    ConsolePassWindow window(line.folder, scriptNames(files), errors,
                             errors.isTerminal() && !line.diff);
    Cp936Display display;
    PassOptions options;
    options.dryRun = line.dryRun;
    if (line.diff) {
        options.onChange = [&out, &display](const std::filesystem::path& name,
                                            std::string_view before, std::string_view after) {
            out.write(unifiedDiff(name, before, after, display));
        };
    }
    const PassOutcome outcome = convertScripts(window, options);
    if (!outcome.finished) {
        writeMessage(errors, texts::nothingChanged);
        return ExitStatus::cannotRun;
    }
    for (const ScriptReport& report : outcome.scripts) {
        out.write(scriptLine(report, line.dryRun) + L"\n");
    }
    out.write(summaryLine(outcome, line.dryRun) + L"\n");
    ExitStatus status = exitStatusFor(outcome);
    if (!out.flush()) {
        writeMessage(errors, texts::outputFailed);
        status = ExitStatus::someNotDone;  // the work is done, but the user has not seen it all
    }
    return status;
}

ExitStatus tryMain(int argc, char** argv) {
#ifndef _WIN32
    // A reader that goes away (kqconvert ... | head) must not stop the pass between two scripts:
    // writes to it fail instead, and the pass runs to its end.
    std::signal(SIGPIPE, SIG_IGN);
    // A file size limit (ulimit -f) smaller than a converted script must fail that one write,
    // which is then reported and the script kept whole, not end the tool half-way in silence.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    ConsoleStream out(StandardStream::output);
    ConsoleStream errors(StandardStream::error);
    const auto parsed = parseArguments(programArguments(argc, argv));
    if (const auto* usageError = std::get_if<UsageError>(&parsed)) {
        writeMessage(errors, usageError->message);
        errors.write(std::wstring(texts::usage) + std::wstring(texts::usageHint));
        errors.flush();
        return ExitStatus::cannotRun;
    }
    const auto& line = std::get<CommandLine>(parsed);
    if (line.help) {
        out.write(std::wstring(texts::usage) + L"\n" + std::wstring(texts::help));
        return out.flush() ? ExitStatus::allDone : ExitStatus::cannotRun;
    }
    if (line.version) {
        out.write(fillIn(texts::version, {wideFromUtf8(KQ_VERSION)}));
        return out.flush() ? ExitStatus::allDone : ExitStatus::cannotRun;
    }
    return convertFolder(line, out, errors);
}

// Last resort: tells what stopped the tool. Scripts are written whole or not at all, so each one
// holds either its old or its new text.
ExitStatus reportStop(const std::exception* what) noexcept {
    try {
        ConsoleStream errors(StandardStream::error);
        const std::wstring detail = what != nullptr ? wideFromUtf8(what->what()) : L"?";
        writeMessage(errors, fillIn(texts::internalError, {detail}));
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to report with
    }
    return ExitStatus::cannotRun;
}

}  // namespace

}  // namespace kq::cli

int main(int argc, char** argv) {
    try {
        return static_cast<int>(kq::cli::tryMain(argc, argv));
    } catch (const std::exception& e) {
        return static_cast<int>(kq::cli::reportStop(&e));
    } catch (...) {
        return static_cast<int>(kq::cli::reportStop(nullptr));
    }
}
