// The folder choice: what the chooser is asked, what Text1, File1 and List1 show afterwards, and
// what a cancelled choice keeps.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "page_check.hpp"
#include "site_scripts.hpp"
#include "wizard_fakes.hpp"

namespace kqtest {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> paths(std::initializer_list<const char*> names) {
    std::vector<fs::path> result;
    for (const char* name : names) {
        result.emplace_back(name);
    }
    return result;
}

TEST(FolderChoice, AsksWithItsTitleAndShowsListsAndFiltersInThatOrder) {
    Wizard wizard;
    const fs::path chosen = "site";
    wizard.platform.chooserAnswers = {chosen};
    wizard.platform.listing =
        paths({"z.cgi", "a.cgi", "B.CGI", "c.cgi.bak", "d.pl", ".cgi", "x.Cgi", "cgi", "y.cgi"});

    EXPECT_TRUE(wizard.form.chooseFolder());

    EXPECT_EQ(
        wizard.platform.chooserTitles,
        std::vector<std::wstring>{L"\u8BF7\u9009\u62E9\u7F51\u7AD9\u7684\u6587\u4EF6\u5939\uFF01"});
    const auto& state = wizard.form.state();
    EXPECT_EQ(wizard.form.folderPath(), chosen);
    EXPECT_EQ(state.text(ControlId::Text1), L"site");
    EXPECT_EQ(state.fileListFolder(), chosen);
    EXPECT_EQ(state.fileListEntries(), *wizard.platform.listing);
    // Exactly the names ending in ".cgi", in the file list's order, not sorted.
    EXPECT_EQ(state.listLines(), paths({"z.cgi", "a.cgi", ".cgi", "y.cgi"}));
    EXPECT_EQ(wizard.form.scriptCount(), 4U);
    EXPECT_EQ(wizard.form.scriptAt(2), fs::path(".cgi"));
    const EventLog expected{"chooser 请选择网站的文件夹！",
                            "text Text1 site",
                            "files File1 site (9)",
                            "clear List1",
                            "append List1 z.cgi",
                            "append List1 a.cgi",
                            "append List1 .cgi",
                            "append List1 y.cgi"};
    EXPECT_EQ(wizard.log, expected);
    expectViewMirrorsForm(wizard.view, wizard.form);
}

TEST(FolderChoice, ListsTheOrdinaryCgiFilesOfARealFolder) {
    ScratchFolder root;
    const auto site = root.folder("site");
    writeFiles(site, {{"a.cgi", plainScript()},
                      {"B.CGI", plainScript()},
                      {"c.cgi.bak", plainScript()},
                      {"d.pl", plainScript()}});
    root.folder("site/e.cgi");
#ifndef _WIN32
    writeFiles(site, {{".f.cgi", plainScript()}});  // hidden
#endif
    Wizard wizard;
    wizard.platform.chooserAnswers = {site};
    wizard.form.getfileClick();

    EXPECT_EQ(wizard.form.state().listLines(), paths({"a.cgi"}));
    EXPECT_EQ(wizard.form.state().fileListEntries().size(), 4U);  // no folder, no hidden file
    EXPECT_EQ(wizard.form.scriptFolder(), site);
}

TEST(FolderChoice, KeepsThePathExactlyAsTheChooserGaveIt) {
    ScratchFolder root;
    const auto site = root.folder("site");
    writeFiles(site, {{"a.cgi", plainScript()}});
    // With a separator at the end, as a chooser gives a drive's root.
    const fs::path withSeparator = fs::path(site.native() + fs::path::preferred_separator);
    Wizard wizard;
    wizard.platform.chooserAnswers = {withSeparator};
    wizard.form.getfileClick();

    EXPECT_EQ(wizard.form.folderPath().native(), withSeparator.native());
    EXPECT_EQ(wizard.form.state().text(ControlId::Text1), kq::wideFromPath(withSeparator));
    EXPECT_EQ(wizard.form.state().fileListFolder().native(), withSeparator.native());
    EXPECT_EQ(wizard.form.state().listLines(), paths({"a.cgi"}));
}

TEST(FolderChoice, AChineseFolderArrivesAsItsCharacters) {
    ScratchFolder root;
    const auto site = root.folder(kq::pathFromWide(L"\u7F51\u7AD9 \u5907\u4EFD"));  // 网站 备份
    writeFiles(site, {{"\xE8\xAE\xBA\xE5\x9D\x9B.cgi", plainScript()}});            // 论坛.cgi
    Wizard wizard;
    wizard.platform.chooserAnswers = {site};
    wizard.form.getfileClick();

    const std::wstring text1 = wizard.form.state().text(ControlId::Text1);
    EXPECT_EQ(text1, kq::wideFromPath(site));
    EXPECT_EQ(text1.substr(text1.size() - 5), L"\u7F51\u7AD9 \u5907\u4EFD");
    ASSERT_EQ(wizard.form.state().listLines().size(), 1U);
    EXPECT_EQ(kq::wideFromPath(wizard.form.state().listLines()[0]), L"\u8BBA\u575B.cgi");
    EXPECT_EQ(wizard.view.listLines, std::vector<std::wstring>{L"\u8BBA\u575B.cgi"});
}

// Runs the working folder elsewhere for one test, and puts it back.
class CurrentFolder {
  public:
    explicit CurrentFolder(const fs::path& folder) : saved_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~CurrentFolder() {
        std::error_code ignored;
        fs::current_path(saved_, ignored);
    }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;
    CurrentFolder(CurrentFolder&&) = delete;
    CurrentFolder& operator=(CurrentFolder&&) = delete;

  private:
    fs::path saved_;
};

TEST(FolderChoice, CancelledBeforeAnyChoiceListsNothingNotEvenTheCurrentFolder) {
    ScratchFolder root;
    writeFiles(root.path(), {{"here.cgi", plainScript()}});
    const CurrentFolder inRoot(root.path());
    Wizard wizard;

    EXPECT_FALSE(wizard.form.chooseFolder());

    const auto& state = wizard.form.state();
    EXPECT_TRUE(wizard.form.folderPath().empty());
    EXPECT_EQ(state.text(ControlId::Text1), L"");
    EXPECT_TRUE(state.fileListFolder().empty());
    EXPECT_TRUE(state.fileListEntries().empty());
    EXPECT_TRUE(state.listLines().empty());
    EXPECT_EQ(wizard.platform.listedFolders, std::vector<fs::path>{fs::path()});
}

// Choices one after the other; every choice (confirmed or cancelled) lists the folder afresh.
struct ChoiceCase {
    const char* name;
    std::vector<const char*> answers;  // folder names under the site root; nullptr = cancel
    std::vector<bool> confirmed;
    const char* folderAfter;
    std::vector<const char*> scriptsAfter;
};

// Cases show as their names in test listings.
void PrintTo(const ChoiceCase& c, std::ostream* out) {
    *out << c.name;
}

class FolderChoices : public testing::TestWithParam<ChoiceCase> {};

TEST_P(FolderChoices, LeaveTheLastConfirmedFolderAndExactlyItsScripts) {
    ScratchFolder root;
    writeFiles(root.folder("A"), {{"a1.cgi", plainScript()}, {"a2.cgi", plainScript()}});
    writeFiles(root.folder("B"), {{"b1.cgi", plainScript()}, {"notes.txt", "notes"}});
    Wizard wizard;
    for (const char* answer : GetParam().answers) {
        wizard.platform.chooserAnswers.push_back(
            answer != nullptr ? std::optional(root.path() / answer) : std::nullopt);
    }
    std::vector<bool> confirmed;
    for (std::size_t i = 0; i < GetParam().answers.size(); ++i) {
        confirmed.push_back(wizard.form.chooseFolder());
    }

    EXPECT_EQ(confirmed, GetParam().confirmed);
    const fs::path folderAfter = root.path() / GetParam().folderAfter;
    EXPECT_EQ(wizard.form.folderPath(), folderAfter);
    EXPECT_EQ(wizard.form.state().text(ControlId::Text1), kq::wideFromPath(folderAfter));
    EXPECT_EQ(wizard.form.state().fileListFolder(), folderAfter);
    std::vector<fs::path> scripts;
    for (const char* name : GetParam().scriptsAfter) {
        scripts.emplace_back(name);
    }
    EXPECT_EQ(wizard.form.state().listLines(), scripts);
    EXPECT_EQ(wizard.platform.listedFolders.size(), GetParam().answers.size());
    expectViewMirrorsForm(wizard.view, wizard.form);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, FolderChoices,
    testing::Values(ChoiceCase{"A_then_B", {"A", "B"}, {true, true}, "B", {"b1.cgi"}},
                    ChoiceCase{"B_then_A", {"B", "A"}, {true, true}, "A", {"a1.cgi", "a2.cgi"}},
                    ChoiceCase{"A_twice", {"A", "A"}, {true, true}, "A", {"a1.cgi", "a2.cgi"}},
                    ChoiceCase{
                        "A_then_cancel", {"A", nullptr}, {true, false}, "A", {"a1.cgi", "a2.cgi"}},
                    ChoiceCase{"A_cancel_cancel_B",
                               {"A", nullptr, nullptr, "B"},
                               {true, false, false, true},
                               "B",
                               {"b1.cgi"}}),
    CaseName());

TEST(FolderChoice, ACancelledChoiceRefreshesFromTheFolderAsItNowIs) {
    ScratchFolder root;
    const auto site = root.folder("site");
    writeFiles(site, {{"a.cgi", plainScript()}});
    Wizard wizard;
    wizard.platform.chooserAnswers = {site, std::nullopt};
    wizard.form.chooseFolder();
    writeFiles(site, {{"b.cgi", plainScript()}});
    wizard.form.chooseFolder();
    EXPECT_EQ(wizard.form.state().listLines(), paths({"a.cgi", "b.cgi"}));
}

}  // namespace
}  // namespace kqtest
