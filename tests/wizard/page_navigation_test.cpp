// Moving between the pages with next1, prev and cancel: the page shown after every click, the
// order of the changes, the clicks that change nothing, and the end of the program.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "page_check.hpp"
#include "site_scripts.hpp"
#include "wizard/form_texts.hpp"
#include "wizard_fakes.hpp"

namespace kqtest {
namespace {

using kq::wizard::Form1;

enum class Click { next1, prev, getfile, sizeChanged };

void click(Form1& form, Click what) {
    switch (what) {
        case Click::next1:
            form.next1Click();
            break;
        case Click::prev:
            form.prevClick();
            break;
        case Click::getfile:
            form.getfileClick();
            break;
        case Click::sizeChanged:
            form.sizeChanged();
            break;
    }
}

struct Move {
    Click click;
    Page after;
};

struct RoadCase {
    const char* name;
    std::vector<Move> moves;
};

// Cases show as their names in test listings.
void PrintTo(const RoadCase& c, std::ostream* out) {
    *out << c.name;
}

class PageRoad : public testing::TestWithParam<RoadCase> {};

TEST_P(PageRoad, ShowsTheExpectedPageAfterEveryClick) {
    Wizard wizard;
    expectPage(wizard.form, Page::welcome);
    for (std::size_t step = 0; step < GetParam().moves.size(); ++step) {
        SCOPED_TRACE("after click " + std::to_string(step + 1));
        click(wizard.form, GetParam().moves[step].click);
        expectPage(wizard.form, GetParam().moves[step].after);
        expectViewMirrorsForm(wizard.view, wizard.form);
    }
    EXPECT_EQ(wizard.platform.endCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Navigation, PageRoad,
    testing::Values(RoadCase{"next1_shows_the_folder_page", {{Click::next1, Page::folder}}},
                    RoadCase{"prev_goes_back_to_welcome",
                             {{Click::next1, Page::folder}, {Click::prev, Page::welcome}}},
                    RoadCase{"next1_prev_next1",
                             {{Click::next1, Page::folder},
                              {Click::prev, Page::welcome},
                              {Click::next1, Page::folder}}},
                    RoadCase{"prev_on_welcome_does_nothing",
                             {{Click::prev, Page::welcome}, {Click::prev, Page::welcome}}},
                    RoadCase{"prev_after_going_back_does_nothing",
                             {{Click::next1, Page::folder},
                              {Click::prev, Page::welcome},
                              {Click::prev, Page::welcome}}},
                    RoadCase{"cancelled_folder_choice_stays_on_the_folder_page",
                             {{Click::next1, Page::folder}, {Click::getfile, Page::folder}}},
                    RoadCase{"size_change_on_every_reachable_page",
                             {{Click::sizeChanged, Page::welcome},
                              {Click::next1, Page::folder},
                              {Click::sizeChanged, Page::folder}}}),
    CaseName());

TEST(PageChanges, WelcomeToFolderInTheirOrder) {
    Wizard wizard;
    wizard.form.next1Click();
    const EventLog expected{"show Picture1",
                            "hide Picture2",
                            "hide Welcome",
                            "show Frame2",
                            "text info2 请选择CGI文件所在路径",
                            "text info1 选择路径",
                            "enable prev"};
    EXPECT_EQ(wizard.log, expected);
}

TEST(PageChanges, FolderBackToWelcomeInTheirOrderLeavingTheHeadings) {
    Wizard wizard;
    wizard.form.next1Click();
    const std::size_t before = wizard.log.size();
    wizard.form.prevClick();
    const EventLog expected{"show Picture2", "hide Picture1", "hide Frame2", "show Welcome",
                            "disable prev"};
    EXPECT_EQ(wizard.logSince(before), expected);
    EXPECT_EQ(wizard.form.state().text(ControlId::info1), L"选择路径");
    EXPECT_EQ(wizard.form.state().text(ControlId::info2), L"请选择CGI文件所在路径");
}

TEST(PageChanges, FolderToWorkPageBeforeThePassStarts) {
    Wizard wizard;
    wizard.form.next1Click();
    const std::size_t before = wizard.log.size();
    wizard.form.next1Click();  // no folder: the pass says so and asks; the chooser is cancelled
    const EventLog expected{"hide Frame2",         "show Frame3",         "text info2 正在工作中……",
                            "text info1 工作状态", "disable prev",        "disable cancel",
                            "disable next1",       "message 请选择目录！"};
    const EventLog actual = wizard.logSince(before);
    ASSERT_GE(actual.size(), expected.size());
    EXPECT_EQ(
        EventLog(actual.begin(), actual.begin() + static_cast<std::ptrdiff_t>(expected.size())),
        expected);
}

TEST(PageChanges, ASizeChangeChangesNothing) {
    Wizard wizard;
    wizard.form.next1Click();
    const std::size_t before = wizard.log.size();
    wizard.form.sizeChanged();
    EXPECT_TRUE(wizard.logSince(before).empty());
    expectPage(wizard.form, Page::folder);
}

TEST(PageChanges, GoingBackAndForthKeepsTheFolderItsFilesAndTheScriptList) {
    ScratchFolder root;
    const auto site = root.folder("site");
    writeFiles(site, {{"a.cgi", plainScript()}, {"b.txt", "text"}, {"c.cgi", plainScript()}});
    Wizard wizard;
    wizard.platform.chooserAnswers = {site};
    wizard.form.next1Click();
    wizard.form.getfileClick();
    const std::vector<std::filesystem::path> files{"a.cgi", "b.txt", "c.cgi"};
    const std::vector<std::filesystem::path> scripts{"a.cgi", "c.cgi"};
    const auto& state = wizard.form.state();
    ASSERT_EQ(state.listLines(), scripts);

    wizard.form.prevClick();
    wizard.form.next1Click();

    expectPage(wizard.form, Page::folder);
    EXPECT_EQ(wizard.form.folderPath(), site);
    EXPECT_EQ(state.text(ControlId::Text1), kq::wideFromPath(site));
    EXPECT_EQ(state.fileListFolder(), site);
    EXPECT_EQ(state.fileListEntries(), files);
    EXPECT_EQ(state.listLines(), scripts);
    expectViewMirrorsForm(wizard.view, wizard.form);
    EXPECT_EQ(wizard.platform.chooserTitles.size(), 1U);  // the folder was not asked for again
}

// A wizard taken to each page on which cancel is live.
struct CancelCase {
    const char* name;
    Page page;
    std::function<void(Wizard&, const std::filesystem::path& site)> reach;
};

// Cases show as their names in test listings.
void PrintTo(const CancelCase& c, std::ostream* out) {
    *out << c.name;
}

class CancelEverywhere : public testing::TestWithParam<CancelCase> {};

TEST_P(CancelEverywhere, EndsTheProgramAtOnceAndChangesNothing) {
    ScratchFolder root;
    const auto site = root.folder("site");
    writeFiles(site, {{"index.cgi", packageScript()}});
    Wizard wizard;
    GetParam().reach(wizard, site);
    expectPage(wizard.form, GetParam().page);
    const std::size_t before = wizard.log.size();

    wizard.form.cancelClick();

    EXPECT_EQ(wizard.platform.endCount, 1);
    EXPECT_EQ(wizard.logSince(before), EventLog{"end"});
    expectPage(wizard.form, GetParam().page);
}

INSTANTIATE_TEST_SUITE_P(
    Navigation, CancelEverywhere,
    testing::Values(
        CancelCase{"welcome_page", Page::welcome, [](Wizard&, const std::filesystem::path&) {}},
        CancelCase{"folder_page", Page::folder,
                   [](Wizard& w, const std::filesystem::path&) { w.form.next1Click(); }},
        CancelCase{"folder_page_with_a_folder_chosen", Page::folder,
                   [](Wizard& w, const std::filesystem::path& site) {
                       w.platform.chooserAnswers = {site};
                       w.form.next1Click();
                       w.form.getfileClick();
                   }},
        CancelCase{"folder_page_after_the_pass_asked_in_vain", Page::folder,
                   [](Wizard& w, const std::filesystem::path&) {
                       w.form.next1Click();
                       w.form.next1Click();
                   }},
        CancelCase{"finish_page", Page::finish,
                   [](Wizard& w, const std::filesystem::path& site) {
                       w.platform.chooserAnswers = {site};
                       w.form.next1Click();
                       w.form.getfileClick();
                       w.form.next1Click();
                   }}),
    CaseName());

TEST(DeadClicks, Next1AndPrevDoNothingOnTheWorkAndFinishPages) {
    ScratchFolder root;
    const auto site = root.folder("site");
    writeFiles(site, {{"index.cgi", packageScript()}, {"broken.cgi", scriptWithoutRequire()}});
    Wizard wizard;
    wizard.platform.chooserAnswers = {site};
    wizard.form.next1Click();
    wizard.form.getfileClick();

    // The problem report comes while the work page is still shown.
    bool sawWorkPage = false;
    wizard.platform.onMessage = [&] {
        expectPage(wizard.form, Page::work);
        const std::size_t before = wizard.log.size();
        wizard.form.next1Click();
        wizard.form.prevClick();
        EXPECT_EQ(wizard.log.size(), before);
        expectPage(wizard.form, Page::work);
        sawWorkPage = true;
    };
    wizard.form.next1Click();
    EXPECT_TRUE(sawWorkPage);
    expectPage(wizard.form, Page::finish);

    const std::size_t before = wizard.log.size();
    wizard.form.next1Click();
    wizard.form.prevClick();
    wizard.form.sizeChanged();
    EXPECT_TRUE(wizard.logSince(before).empty());
    expectPage(wizard.form, Page::finish);
}

}  // namespace
}  // namespace kqtest
