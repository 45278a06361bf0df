// Form1 without its window: a view that keeps what the window would show, and a platform whose
// folder chooser answers from a script. Pages, the folder choice, the checks before the
// conversion with their re-ask loop, and what the conversion leaves on the window.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "conversion/files/script_file.hpp"
#include "scratch_folder.hpp"
#include "texts/native_text.hpp"
#include "wizard/form1.hpp"
#include "wizard/form_layout.hpp"
#include "wizard/wizard_texts.hpp"

namespace kq::wizard {
namespace {

using enum FormControl;
using kqtest::ScratchFolder;
using kqtest::writeBytes;
using testing::ElementsAre;

// What the window shows, kept from every change the form passes on.
struct ShownWindow final : FormView {
    struct Control {
        bool visible;
        bool enabled;
        std::wstring text;
    };
    std::map<FormControl, Control> controls;
    std::vector<std::wstring> scriptList;
    std::vector<std::wstring> fileList;
    double maximum = progressAtStart.maximum;
    std::vector<double> values;  // every value the bar was set to, in order
    std::vector<MousePointer> pointers;

    ShownWindow() {
        for (const ControlSpec& row : kq::wizard::controls) {
            controls[row.control] = {row.visible, row.enabled, std::wstring(row.text)};
        }
    }
    void setVisible(FormControl c, bool v) override { controls[c].visible = v; }
    void setEnabled(FormControl c, bool e) override { controls[c].enabled = e; }
    void setText(FormControl c, std::wstring_view t) override { controls[c].text = t; }
    void clearScriptList() override { scriptList.clear(); }
    void appendToScriptList(std::wstring_view line) override { scriptList.emplace_back(line); }
    void showFiles(const std::vector<NativePath>& names) override {
        fileList.clear();
        for (const auto& name : names) {
            fileList.push_back(wideFromPath(name));
        }
    }
    void setProgressMaximum(double max) override { maximum = max; }
    void setProgress(double value) override { values.push_back(value); }
    void setPointer(MousePointer pointer) override { pointers.push_back(pointer); }
};

// The chooser gives the folders queued in `answers`, then cancels; every message box is kept
// with the page that was shown under it.
struct ScriptedPlatform final : WizardPlatform {
    std::deque<std::optional<NativePath>> answers;
    int choosersOpened = 0;
    std::vector<std::wstring> messages;
    bool ended = false;
    const ShownWindow* shown = nullptr;
    std::vector<bool> workPageUnderMessage;

    std::optional<NativePath> browseForFolder() override {
        ++choosersOpened;
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void showErrorMessage(std::wstring_view text) override {
        messages.emplace_back(text);
        workPageUnderMessage.push_back(shown->controls.at(workFrame).visible &&
                                       !shown->controls.at(cancelButton).enabled);
    }
    void endProgram() override { ended = true; }
};

// The frames, banner, buttons and headings of each page.
void expectPage(const ShownWindow& w, Page page) {
    const auto& c = w.controls;
    EXPECT_EQ(c.at(welcomeFrame).visible, page == Page::welcome);
    EXPECT_EQ(c.at(folderFrame).visible, page == Page::folder);
    EXPECT_EQ(c.at(workFrame).visible, page == Page::work);
    EXPECT_EQ(c.at(finishFrame).visible, page == Page::finish);
    const bool inner = page == Page::folder || page == Page::work;
    EXPECT_EQ(c.at(topBanner).visible, inner);
    EXPECT_EQ(c.at(leftBanner).visible, !inner);
    EXPECT_TRUE(c.at(separatorLine).visible);
    EXPECT_EQ(c.at(backButton).enabled, page == Page::folder);
    EXPECT_EQ(c.at(nextButton).enabled, page == Page::welcome || page == Page::folder);
    EXPECT_EQ(c.at(cancelButton).enabled, page != Page::work);
    EXPECT_EQ(c.at(cancelButton).text,
              page == Page::finish ? texts::finishCaption : texts::cancelCaption);
    if (page == Page::folder) {
        EXPECT_EQ(c.at(heading).text, texts::folderHeading);
        EXPECT_EQ(c.at(subheading).text, texts::folderSubheading);
    } else if (page == Page::work) {
        EXPECT_EQ(c.at(heading).text, texts::workHeading);
        EXPECT_EQ(c.at(subheading).text, texts::workSubheading);
    }
}

struct Wizard {
    ShownWindow window;
    ScriptedPlatform platform;
    Form1 form{platform, window};
    Wizard() { platform.shown = &window; }
};

// A site of three scripts and a file that is not one: "a.cgi" converts, "b.cgi" carries the
// marker without a require statement, "c.cgi" does not carry it.
std::filesystem::path makeSite(const ScratchFolder& scratch) {
    const auto site = scratch.folder("site");
    writeBytes(site / "a.cgi", "use KQCGI;\r\nrequire \"x.pl\";\r\n$a = 1;\r\n");
    writeBytes(site / "b.cgi", "use KQCGI;\r\n$b = 1;\r\n");
    writeBytes(site / "c.cgi", "print 1;\r\n");
    writeBytes(site / "readme.txt", "");
    return site;
}

TEST(Form1, WalksThePagesAndChoosesTheFolder) {
    Wizard w;
    expectPage(w.window, Page::welcome);
    w.form.backClick();  // disabled on the welcome page: a stray click changes nothing
    expectPage(w.window, Page::welcome);

    ScratchFolder scratch;
    const auto site = makeSite(scratch);
    w.form.nextClick();
    expectPage(w.window, Page::folder);
    w.platform.answers = {site};
    w.form.chooseFolderClick();
    EXPECT_EQ(w.platform.choosersOpened, 1);
    EXPECT_EQ(w.window.controls.at(folderField).text, wideFromPath(site.native()));
    EXPECT_THAT(w.window.fileList, ElementsAre(L"a.cgi", L"b.cgi", L"c.cgi", L"readme.txt"));
    EXPECT_THAT(w.window.scriptList, ElementsAre(L"a.cgi", L"b.cgi", L"c.cgi"));

    // Back and forth keeps the choice; a cancelled choice keeps it and lists it afresh.
    w.form.backClick();
    expectPage(w.window, Page::welcome);
    w.form.nextClick();
    expectPage(w.window, Page::folder);
    writeBytes(site / "d.cgi", "print 2;\r\n");
    w.form.chooseFolderClick();
    EXPECT_EQ(w.window.controls.at(folderField).text, wideFromPath(site.native()));
    EXPECT_THAT(w.window.scriptList, ElementsAre(L"a.cgi", L"b.cgi", L"c.cgi", L"d.cgi"));
    expectPage(w.window, Page::folder);
    EXPECT_TRUE(w.platform.messages.empty());
    EXPECT_FALSE(w.platform.ended);
}

TEST(Form1, ConvertsAndShowsTheFinishPageWithWhatWasNotDone) {
    Wizard w;
    ScratchFolder scratch;
    const auto site = makeSite(scratch);
    w.form.nextClick();
    w.platform.answers = {site};
    w.form.chooseFolderClick();
    w.form.nextClick();

    EXPECT_EQ(w.window.maximum, 2);                // three scripts: 0 to 2
    EXPECT_THAT(w.window.values, ElementsAre(0));  // only a.cgi was written
    EXPECT_THAT(w.window.pointers, ElementsAre(MousePointer::busy, MousePointer::normal));
    ASSERT_EQ(w.platform.messages.size(), 1U);
    EXPECT_EQ(w.platform.messages[0], std::wstring(texts::problemsIntro) + L"\nb.cgi" +
                                          std::wstring(texts::failureWords.afterName) +
                                          std::wstring(texts::failureWords.noRequireBlock));
    EXPECT_TRUE(w.platform.workPageUnderMessage[0]);
    EXPECT_THAT(w.window.scriptList, ElementsAre(std::wstring(texts::completionLine)));
    EXPECT_EQ(w.window.controls.at(finishMessage).text, texts::finishMessageAfterProblems);
    expectPage(w.window, Page::finish);

    // Nothing but cancel does anything now; it ends the program.
    w.form.nextClick();
    w.form.backClick();
    expectPage(w.window, Page::finish);
    EXPECT_EQ(w.platform.messages.size(), 1U);  // the pass did not run again
    EXPECT_FALSE(w.platform.ended);
    w.form.cancelClick();
    EXPECT_TRUE(w.platform.ended);
}

TEST(Form1, AsksForAFolderUntilOneWithScriptsIsChosen) {
    Wizard w;
    ScratchFolder scratch;
    const auto empty = scratch.folder("empty");
    const auto site = scratch.folder("site");
    writeBytes(site / "a.cgi", "print 1;\r\n");
    w.form.nextClick();

    // No folder: the message, then the chooser; a cancel there ends the pass on the folder page.
    w.form.nextClick();
    EXPECT_THAT(w.platform.messages, ElementsAre(std::wstring(texts::noFolderMessage)));
    EXPECT_EQ(w.platform.choosersOpened, 1);
    expectPage(w.window, Page::folder);
    EXPECT_EQ(w.window.controls.at(folderField).text, L"");

    // A folder without scripts, then one with: each failed check is said, then asked again.
    w.platform.answers = {empty, site};
    w.platform.messages.clear();
    w.form.nextClick();
    EXPECT_THAT(w.platform.messages, ElementsAre(std::wstring(texts::noFolderMessage),
                                                 std::wstring(texts::noScriptMessage)));
    EXPECT_THAT(w.platform.workPageUnderMessage, testing::Each(true));
    EXPECT_EQ(w.window.controls.at(folderField).text, wideFromPath(site.native()));
    EXPECT_EQ(w.window.maximum, 0);
    EXPECT_TRUE(w.window.values.empty());  // a.cgi has no marker: the bar does not move
    EXPECT_EQ(w.window.controls.at(finishMessage).text, texts::finishMessage);
    expectPage(w.window, Page::finish);
}

TEST(Form1, AFolderAnotherRunHoldsIsLeftAsItWasAndCanBeTriedAgain) {
    Wizard w;
    ScratchFolder scratch;
    const auto site = makeSite(scratch);
    const std::string before = kqtest::readBytes(site / "a.cgi");
    w.form.nextClick();
    w.platform.answers = {site};
    w.form.chooseFolderClick();
    {
        const auto otherRun = lockFolder(site.native());
        ASSERT_TRUE(otherRun.ok());
        w.form.nextClick();
    }
    EXPECT_THAT(w.platform.messages, ElementsAre(std::wstring(texts::folderBusyMessage)));
    EXPECT_THAT(w.platform.workPageUnderMessage, ElementsAre(true));
    EXPECT_EQ(kqtest::readBytes(site / "a.cgi"), before);
    // Back on the folder page with every button live, the folder and its scripts kept.
    expectPage(w.window, Page::folder);
    EXPECT_TRUE(w.window.controls.at(chooseFolderButton).enabled);
    EXPECT_THAT(w.window.pointers, ElementsAre(MousePointer::busy, MousePointer::normal));
    EXPECT_THAT(w.window.scriptList, ElementsAre(L"a.cgi", L"b.cgi", L"c.cgi"));

    // Once the other run has let go, next converts.
    w.form.nextClick();
    expectPage(w.window, Page::finish);
    EXPECT_NE(kqtest::readBytes(site / "a.cgi"), before);
}

TEST(Form1, CancelEndsTheProgramOnEveryPageWhereItIsLive) {
    for (const int clicksOfNext : {0, 1}) {
        Wizard w;
        for (int i = 0; i < clicksOfNext; ++i) {
            w.form.nextClick();
        }
        w.form.cancelClick();
        EXPECT_TRUE(w.platform.ended) << "after " << clicksOfNext << " clicks of next";
    }
}

}  // namespace
}  // namespace kq::wizard
