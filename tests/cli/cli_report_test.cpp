// The pieces of kqconvert's command line and printout: argument parsing, the line for each kind
// of outcome, the summary and the exit status, names shown safely, and the filling-in of texts.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "cli_arguments.hpp"
#include "cli_display_text.hpp"
#include "cli_fill_in.hpp"
#include "cli_report.hpp"
#include "conversion/native_text.hpp"

namespace {

using kq::FailureKind;
using kq::ScriptOutcome;
using kq::ScriptReport;
using kq::cli::NativeString;
namespace fs = std::filesystem;

std::vector<NativeString> arguments(const std::vector<const char*>& words) {
    std::vector<NativeString> result;
    result.reserve(words.size());
    for (const char* word : words) {
        result.push_back(fs::path(word).native());
    }
    return result;
}

TEST(KqconvertArguments, OptionsAndTheFolder) {
    struct Case {
        std::vector<const char*> words;
        bool dryRun, diff, help, version;
        const char* folder;
    };
    const std::vector<Case> cases = {
        {{"site"}, false, false, false, false, "site"},
        {{"--dry-run", "site"}, true, false, false, false, "site"},
        {{"site", "--diff"}, false, true, false, false, "site"},
        {{"--diff", "--dry-run", "site"}, true, true, false, false, "site"},
        {{"--help"}, false, false, true, false, ""},
        {{"--version"}, false, false, false, true, ""},
        {{"--", "--diff"}, false, false, false, false, "--diff"},
        {{"-"}, false, false, false, false, "-"},
        {{""}, false, false, false, false, ""},
    };
    for (const auto& c : cases) {
        const auto parsed = kq::cli::parseArguments(arguments(c.words));
        const auto* line = std::get_if<kq::cli::CommandLine>(&parsed);
        ASSERT_NE(line, nullptr) << (c.words.empty() ? "" : c.words.front());
        EXPECT_EQ(line->dryRun, c.dryRun);
        EXPECT_EQ(line->diff, c.diff);
        EXPECT_EQ(line->help, c.help);
        EXPECT_EQ(line->version, c.version);
        EXPECT_EQ(line->folder, fs::path(c.folder));
    }
}

TEST(KqconvertArguments, UsageErrorsSayWhatIsWrong) {
    struct Case {
        std::vector<const char*> words;
        std::wstring message;
    };
    const std::vector<Case> cases = {
        {{}, L"请给出网站的文件夹。"},
        {{"--dry-run"}, L"请给出网站的文件夹。"},
        {{"-x", "site"}, L"不认识的选项“-x”。"},
        {{"site", "--force"}, L"不认识的选项“--force”。"},
        {{"one", "two"}, L"只能给出一个文件夹，多余的参数“two”。"},
    };
    for (const auto& c : cases) {
        const auto parsed = kq::cli::parseArguments(arguments(c.words));
        const auto* error = std::get_if<kq::cli::UsageError>(&parsed);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->message, c.message);
    }
}

ScriptReport problem(const char* name, ScriptOutcome outcome, FailureKind kind,
                     std::error_code error = {}) {
    return {name, outcome, kq::ScriptFailure{name, kind, error}};
}

TEST(KqconvertReport, OneLinePerScriptSaysWhatWasDoneOrWouldBeDone) {
    const ScriptReport converted{"post.cgi", ScriptOutcome::converted, std::nullopt};
    const ScriptReport leftAlone{"help.cgi", ScriptOutcome::leftAlone, std::nullopt};
    EXPECT_EQ(kq::cli::scriptLine(converted, false), L"已转换：post.cgi");
    EXPECT_EQ(kq::cli::scriptLine(converted, true), L"将转换：post.cgi");
    EXPECT_EQ(kq::cli::scriptLine(leftAlone, false), L"未改动：help.cgi（没有 KQCGI 标记）");
    EXPECT_EQ(kq::cli::scriptLine(leftAlone, true), L"不改动：help.cgi（没有 KQCGI 标记）");

    const std::error_code denied = std::make_error_code(std::errc::permission_denied);
    const std::vector<std::pair<ScriptReport, std::wstring>> problems = {
        {problem("a.cgi", ScriptOutcome::notConverted, FailureKind::readOnly, denied),
         L"未转换：a.cgi："},
        {problem("b.cgi", ScriptOutcome::notConverted, FailureKind::noRequireBlock),
         L"未转换：b.cgi："},
        {problem("c.cgi", ScriptOutcome::notConverted, FailureKind::cannotRead, denied),
         L"未转换：c.cgi："},
        {problem("post.cgi", ScriptOutcome::needsCheck, FailureKind::readLoopNotFound),
         L"需手工检查：post.cgi："},
    };
    for (const auto& [report, start] : problems) {
        const std::wstring line = kq::cli::scriptLine(report, false);
        SCOPED_TRACE(kq::utf8FromWide(line));
        EXPECT_EQ(line.rfind(start, 0), 0U);
        EXPECT_GT(line.size(), start.size());  // a reason follows
        if (report.failure->error) {
            EXPECT_NE(line.find(kq::wideFromUtf8(denied.message())), std::wstring::npos);
        }
    }
    EXPECT_EQ(kq::cli::scriptLine(problems[0].first, true).rfind(L"不能转换：a.cgi：", 0), 0U);
    EXPECT_EQ(kq::cli::scriptLine(problems[3].first, true).rfind(L"将需手工检查：post.cgi：", 0),
              0U);
}

TEST(KqconvertReport, SummaryCountsEachOutcomeAndTheExitStatusFollowsTheProblems) {
    kq::PassOutcome outcome;
    outcome.finished = true;
    outcome.scripts = {{"a.cgi", ScriptOutcome::converted, std::nullopt},
                       {"b.cgi", ScriptOutcome::converted, std::nullopt},
                       {"c.cgi", ScriptOutcome::leftAlone, std::nullopt}};
    EXPECT_EQ(kq::cli::summaryLine(outcome, false),
              L"共 3 个脚本：已转换 2 个，未改动 1 个，未转换 0 个，需手工检查 0 个。");
    EXPECT_EQ(kq::cli::exitStatusFor(outcome), kq::cli::ExitStatus::allDone);

    outcome.scripts.push_back(
        problem("d.cgi", ScriptOutcome::needsCheck, FailureKind::readLoopNotFound));
    outcome.scripts.push_back(
        problem("e.cgi", ScriptOutcome::notConverted, FailureKind::noRequireBlock));
    EXPECT_EQ(kq::cli::summaryLine(outcome, true),
              L"试运行，没有写入任何文件。共 5 个脚本：将转换 2 个，不改动 1 个，不能转换 1 个，"
              L"将需手工检查 1 个。");
    EXPECT_EQ(kq::cli::exitStatusFor(outcome), kq::cli::ExitStatus::someNotDone);
}

TEST(KqconvertDisplay, NamesAreShownAsTheUserKnowsThem) {
    EXPECT_EQ(kq::cli::displayName(kq::pathFromWide(L"论坛.cgi")), L"论坛.cgi");
#ifndef _WIN32
    // Bytes that are not UTF-8 (a name in code page 936, say) are shown, not dropped.
    EXPECT_EQ(kq::cli::displayName(fs::path("\xC2\xDB.cgi")), L"\\xC2\\xDB.cgi");
    EXPECT_EQ(kq::cli::displayName(fs::path("a\x1B.cgi")), L"a\\x1B.cgi");
#endif
}

TEST(KqconvertTexts, FillInPutsEachValueAtItsNumber) {
    using kq::cli::fillIn;
    EXPECT_EQ(fillIn(L"%2 和 %1", {L"甲", L"乙"}), L"乙 和 甲");
    EXPECT_EQ(fillIn(L"%1%1", {L"x"}), L"xx");
    EXPECT_EQ(fillIn(L"100% %3 %", {L"x"}), L"100% %3 %");  // no such value: left as it is
    EXPECT_EQ(fillIn(L"%1", {L"%1"}), L"%1");               // a value is never filled in again
}

}  // namespace
