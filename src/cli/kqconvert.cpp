#include "kqconvert.hpp"

#include <string>

#include "cli_texts.hpp"
#include "conversion/files/script_list.hpp"
#include "conversion/site_conversion.hpp"
#include "display_text.hpp"
#include "fill_in.hpp"
#include "progress_line.hpp"
#include "system_reason.hpp"
#include "texts/native_text.hpp"
#include "unified_diff.hpp"

namespace kq::cli {

namespace {

void writeMessage(ConsoleStream& errors, std::wstring_view text) {
    errors.write(std::wstring(texts::messagePrefix) + std::wstring(text) + L"\n");
    errors.flush();
}

ExitStatus convertFolder(const CommandLine& line, ConsoleStream& out, ConsoleStream& errors) {
    const auto files = listFolderFiles(line.folder);
    if (!files) {
        writeMessage(errors,
                     fillIn(texts::cannotListFolder,
                            {displayName(line.folder), systemReason(files.failure().error)}));
        return ExitStatus::cannotRun;
    }
    // The wizard's two checks; the folder is given once, so there is no second chance.
    const std::vector<NativePath> scripts = scriptNames(files.value());
    if (line.folder.empty() || scripts.empty()) {
        writeMessage(errors, line.folder.empty() ? texts::noFolderMessage : texts::noScriptMessage);
        writeMessage(errors, texts::nothingChanged);
        return ExitStatus::cannotRun;
    }

    // A progress line would tear the diff apart on a shared terminal, so the diff goes without.
    ProgressLine progress(errors, errors.isTerminal() && !line.diff);
    Cp936Display display;
    SiteOptions options;
    options.dryRun = line.dryRun;
    options.onScriptWritten = [&progress, count = scripts.size()](std::size_t index) {
        progress.show(index, count);
    };
    if (line.diff) {
        options.onChange = [&out, &display](const NativePath& name, std::string_view before,
                                            std::string_view after) {
            out.write(unifiedDiff(name, before, after, display));
        };
    }
    const SiteReport site = convertSite(line.folder, scripts, options);
    progress.clear();
    if (!site) {
        writeMessage(errors, fillIn(texts::folderBusy, {displayName(line.folder)}));
        return ExitStatus::cannotRun;
    }
    const std::vector<ScriptReport>& reports = site.value();

    for (const ScriptReport& report : reports) {
        out.write(scriptLine(report, line.dryRun) + L"\n");
    }
    out.write(summaryLine(reports, line.dryRun) + L"\n");
    ExitStatus status = exitStatusFor(reports);
    if (!out.flush()) {
        writeMessage(errors, texts::outputFailed);
        status = ExitStatus::someNotDone;  // the work is done, but the user has not seen it all
    }
    return status;
}

}  // namespace

ExitStatus runKqconvert(const std::vector<NativePath>& arguments, ConsoleStream& out,
                        ConsoleStream& errors) {
    if (asksForUtf8(arguments)) {
        out.useUtf8();
        errors.useUtf8();
    }
    const auto parsed = parseArguments(arguments);
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

ExitStatus reportInternalError(const std::exception* what) noexcept {
    try {
        ConsoleStream errors(StandardStream::error);
        const std::wstring detail = what != nullptr ? wideFromUtf8(what->what()) : L"?";
        writeMessage(errors, fillIn(texts::internalError, {detail}));
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to report with
    }
    return ExitStatus::cannotRun;
}

}  // namespace kq::cli
