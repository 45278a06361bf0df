// Whole runs of the wizard on real site folders: from the welcome page through the folder choice
// and the conversion to the finish page, the checks that send the user back to the chooser, and
// the report of scripts that were not converted.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "conversion/failure_text.hpp"
#include "page_check.hpp"
#include "site_scripts.hpp"
#include "wizard/form_texts.hpp"
#include "wizard/problem_report.hpp"
#include "wizard_fakes.hpp"

namespace kqtest {
namespace {

namespace fs = std::filesystem;
using kq::wizard::controlSpec;
namespace texts = kq::wizard::texts;

const std::wstring completionLine = L"\u5168\u90E8\u5B8C\u6210\uFF1A100%";  // 全部完成：100%
const std::wstring noFolderMessage = L"\u8BF7\u9009\u62E9\u76EE\u5F55\uFF01";
const std::wstring noScriptMessage =
    L"\u76EE\u5F55\u9009\u62E9\u9519\u8BEF\uFF0C\u6CA1\u6709CGI \u6587\u4EF6!";

std::vector<std::wstring> listLines(const kq::wizard::Form1& form) {
    std::vector<std::wstring> lines;
    for (const auto& line : form.state().listLines()) {
        lines.push_back(kq::wideFromPath(line));
    }
    return lines;
}

// Position of the first log entry equal to `entry`, or the log's size.
std::size_t positionOf(const EventLog& log, const std::string& entry) {
    return static_cast<std::size_t>(std::find(log.begin(), log.end(), entry) - log.begin());
}

TEST(WholeRun, ConvertsTheSiteAndEndsOnTheFinishPage) {
    ScratchFolder root;
    const auto site = root.folder("site");
    const Files before{{"help.cgi", plainScript()},
                       {"index.cgi", packageScript()},
                       {"notes.txt", packageScript()},  // not a script
                       {"OLD.CGI", packageScript()}};   // not ".cgi" exactly
    writeFiles(site, before);
    Wizard wizard;
    wizard.platform.chooserAnswers = {site};

    wizard.form.next1Click();
    expectPage(wizard.form, Page::folder);
    wizard.form.getfileClick();
    EXPECT_EQ(wizard.form.state().text(ControlId::Text1), kq::wideFromPath(site));
    EXPECT_EQ(wizard.form.state().fileListEntries().size(), 4U);
    EXPECT_EQ(listLines(wizard.form), (std::vector<std::wstring>{L"help.cgi", L"index.cgi"}));

    const std::size_t start = wizard.log.size();
    wizard.form.next1Click();

    // Work page, the pass (one converted script, at index 1 of 2), then the finish page.
    const EventLog expected{"hide Frame2",
                            "show Frame3",
                            "text info2 正在工作中……",
                            "text info1 工作状态",
                            "disable prev",
                            "disable cancel",
                            "disable next1",
                            "range pg 0 1",
                            "pointer 11",
                            "value pg 1",
                            "clear List1",
                            "pointer 1",
                            "append List1 全部完成：100%",
                            "hide Frame3",
                            "show fish",
                            "hide Picture1",
                            "show Picture2",
                            "disable next1",
                            "disable prev",
                            "enable cancel",
                            "text cancel 完成(&F)"};
    EXPECT_EQ(wizard.logSince(start), expected);
    expectPage(wizard.form, Page::finish);
    EXPECT_EQ(listLines(wizard.form), std::vector<std::wstring>{completionLine});
    EXPECT_EQ(wizard.form.state().text(ControlId::Label8), controlSpec(ControlId::Label8).text);
    EXPECT_EQ(wizard.form.state().pointer(), kq::MousePointer::normal);
    EXPECT_TRUE(wizard.platform.messages.empty());
    expectViewMirrorsForm(wizard.view, wizard.form);

    Files after = before;
    after["index.cgi"] = convertedPackageScript();
    EXPECT_EQ(readFiles(site), after);  // and no temporary file left behind

    EXPECT_EQ(wizard.platform.endCount, 0);
    wizard.form.cancelClick();
    EXPECT_EQ(wizard.platform.endCount, 1);
}

TEST(WholeRun, ASecondRunOverAConvertedSiteWritesNothing) {
    ScratchFolder root;
    const auto site = root.folder("site");
    writeFiles(site, {{"index.cgi", packageScript()}, {"topic.cgi", packageScript()}});
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        Wizard wizard;
        wizard.platform.chooserAnswers = {site};
        wizard.form.next1Click();
        wizard.form.getfileClick();
        wizard.form.next1Click();
        expectPage(wizard.form, Page::finish);
        EXPECT_TRUE(wizard.platform.messages.empty());
        const Files converted{{"index.cgi", convertedPackageScript()},
                              {"topic.cgi", convertedPackageScript()}};
        EXPECT_EQ(readFiles(site), converted);
        // The bar moves only for scripts that are converted.
        const bool moved = positionOf(wizard.log, "value pg 0") < wizard.log.size();
        EXPECT_EQ(moved, run == 1);
    }
}

// The pass's checks: a missing folder or a folder without scripts is reported, the chooser opens
// again, and a cancelled chooser leads back to the folder page.
struct CheckCase {
    const char* name;
    std::optional<const char*> chosenBefore;        // folder chosen on the folder page
    std::vector<std::optional<const char*>> asked;  // the chooser's answers during the pass
    std::vector<std::wstring> messages;
    Page endsOn;
    const char* folderAfter;  // "" for none
};

// Cases show as their names in test listings.
void PrintTo(const CheckCase& c, std::ostream* out) {
    *out << c.name;
}

class PassChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(PassChecks, ReportAskAgainAndEndWhereExpected) {
    const CheckCase& c = GetParam();
    ScratchFolder root;
    writeFiles(root.folder("site"), {{"index.cgi", packageScript()}});
    writeFiles(root.folder("empty"), {{"readme.txt", "no scripts here"}});
    Wizard wizard;
    if (c.chosenBefore) {
        wizard.platform.chooserAnswers = {root.path() / *c.chosenBefore};
    }
    wizard.form.next1Click();
    if (c.chosenBefore) {
        wizard.form.getfileClick();
    }
    for (const auto& answer : c.asked) {
        wizard.platform.chooserAnswers.push_back(answer ? std::optional(root.path() / *answer)
                                                        : std::nullopt);
    }
    int messagesOnWorkPage = 0;
    wizard.platform.onMessage = [&] {
        expectPage(wizard.form, Page::work);
        ++messagesOnWorkPage;
    };
    const std::size_t start = wizard.log.size();

    wizard.form.next1Click();

    std::vector<std::wstring> texts;
    for (const auto& message : wizard.platform.messages) {
        texts.push_back(message.text);
        EXPECT_EQ(message.caption, texts::applicationTitle);
    }
    EXPECT_EQ(texts, c.messages);
    EXPECT_EQ(messagesOnWorkPage, static_cast<int>(c.messages.size()));
    // Every message is followed at once by the chooser.
    const EventLog log = wizard.logSince(start);
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].rfind("message ", 0) == 0) {
            ASSERT_LT(i + 1, log.size());
            EXPECT_EQ(log[i + 1].rfind("chooser ", 0), 0U) << log[i + 1];
        }
    }
    expectPage(wizard.form, c.endsOn);
    const fs::path folderAfter =
        std::string_view(c.folderAfter).empty() ? fs::path() : root.path() / c.folderAfter;
    EXPECT_EQ(wizard.form.folderPath(), folderAfter);
    EXPECT_EQ(wizard.form.state().text(ControlId::Text1), kq::wideFromPath(folderAfter));
    EXPECT_EQ(wizard.form.state().pointer(), kq::MousePointer::normal);
    const bool converted =
        readBytes(root.path() / "site" / "index.cgi") == convertedPackageScript();
    EXPECT_EQ(converted, c.endsOn == Page::finish);
    expectViewMirrorsForm(wizard.view, wizard.form);
}

INSTANTIATE_TEST_SUITE_P(Checks, PassChecks,
                         testing::Values(CheckCase{"no_folder_then_cancel",
                                                   std::nullopt,
                                                   {std::nullopt},
                                                   {noFolderMessage},
                                                   Page::folder,
                                                   ""},
                                         CheckCase{"no_folder_then_a_site",
                                                   std::nullopt,
                                                   {"site"},
                                                   {noFolderMessage},
                                                   Page::finish,
                                                   "site"},
                                         CheckCase{"no_scripts_then_cancel",
                                                   "empty",
                                                   {std::nullopt},
                                                   {noScriptMessage},
                                                   Page::folder,
                                                   "empty"},
                                         CheckCase{"no_scripts_twice_then_a_site",
                                                   "empty",
                                                   {"empty", "site"},
                                                   {noScriptMessage, noScriptMessage},
                                                   Page::finish,
                                                   "site"},
                                         CheckCase{"no_folder_then_no_scripts_then_cancel",
                                                   std::nullopt,
                                                   {"empty", std::nullopt},
                                                   {noFolderMessage, noScriptMessage},
                                                   Page::folder,
                                                   "empty"}),
                         CaseName());

TEST(PassChecks, BackOnTheFolderPageTheUserCanChooseAndRunAgain) {
    ScratchFolder root;
    const auto site = root.folder("site");
    writeFiles(site, {{"index.cgi", packageScript()}});
    Wizard wizard;
    wizard.form.next1Click();
    wizard.form.next1Click();  // no folder; the chooser the pass opens is cancelled
    expectPage(wizard.form, Page::folder);
    const std::size_t start = wizard.log.size();
    ASSERT_GE(start, 9U);
    const EventLog backToFolder(wizard.log.end() - 9, wizard.log.end());
    const EventLog expected{"hide Frame3",
                            "show Frame2",
                            "show Picture1",
                            "text info2 请选择CGI文件所在路径",
                            "text info1 选择路径",
                            "enable prev",
                            "enable next1",
                            "enable cancel",
                            "pointer 1"};
    EXPECT_EQ(backToFolder, expected);

    wizard.platform.chooserAnswers = {site};
    wizard.form.getfileClick();
    wizard.form.next1Click();
    expectPage(wizard.form, Page::finish);
    EXPECT_EQ(readBytes(site / "index.cgi"), convertedPackageScript());
    EXPECT_EQ(wizard.platform.messages.size(), 1U);  // only the first "请选择目录！"
}

TEST(ProblemReport, NamesEveryFailedScriptBeforeTheFinishPageAndTheFinishTextSaysSo) {
    ScratchFolder root;
    const auto site = root.folder("site");
    const Files before{{"a.cgi", packageScript()},
                       {"broken.cgi", scriptWithoutRequire()},  // marker, no require statement
                       {"post.cgi", packageScript()},           // upload script without read loop
                       {"z.cgi", packageScript()}};
    writeFiles(site, before);
    Wizard wizard;
    wizard.platform.chooserAnswers = {site};
    wizard.form.next1Click();
    wizard.form.getfileClick();
    wizard.platform.onMessage = [&] { expectPage(wizard.form, Page::work); };
    const std::size_t start = wizard.log.size();

    wizard.form.next1Click();

    ASSERT_EQ(wizard.platform.messages.size(), 1U);
    const auto& message = wizard.platform.messages[0];
    EXPECT_EQ(message.caption, texts::applicationTitle);
    const std::wstring expectedText =
        std::wstring(texts::problemsIntro) + L"\n" +
        kq::describeFailure({"broken.cgi", kq::FailureKind::noRequireBlock, {}}) + L"\n" +
        kq::describeFailure({"post.cgi", kq::FailureKind::readLoopNotFound, {}});
    EXPECT_EQ(message.text, expectedText);

    // The report comes before the completion steps, and the finish page says what happened.
    const EventLog log = wizard.logSince(start);
    EXPECT_LT(positionOf(log, "message " + utf8(expectedText)), positionOf(log, "show fish"));
    EXPECT_LT(positionOf(log, "text Label8 " + utf8(texts::label8WithProblems)),
              positionOf(log, "show fish"));
    expectPage(wizard.form, Page::finish);
    EXPECT_EQ(wizard.form.state().text(ControlId::Label8), texts::label8WithProblems);
    EXPECT_NE(wizard.form.state().text(ControlId::Label8), controlSpec(ControlId::Label8).text);
    EXPECT_EQ(listLines(wizard.form), std::vector<std::wstring>{completionLine});
    expectViewMirrorsForm(wizard.view, wizard.form);

    // The scripts around the failing ones are converted; the one without require is untouched;
    // the upload script keeps the library switch and waits for a check by hand.
    Files after = before;
    after["a.cgi"] = convertedPackageScript();
    after["post.cgi"] = convertedPackageScript();
    after["z.cgi"] = convertedPackageScript();
    EXPECT_EQ(readFiles(site), after);
}

TEST(ProblemReport, AScriptWithoutARecordedFailureIsStillNamed) {
    const std::vector<kq::ScriptReport> problems{
        {"first.cgi", kq::ScriptOutcome::notConverted, std::nullopt},
        {"second.cgi", kq::ScriptOutcome::notConverted,
         kq::ScriptFailure{"second.cgi", kq::FailureKind::cannotRead, {}}}};
    EXPECT_EQ(kq::wizard::problemMessage(problems),
              std::wstring(texts::problemsIntro) + L"\nfirst.cgi\uFF1A" +
                  std::wstring(texts::unknownProblem) + L"\n" +
                  kq::describeFailure({"second.cgi", kq::FailureKind::cannotRead, {}}));
}

}  // namespace
}  // namespace kqtest
