#include "form1.hpp"

#include <string>
#include <vector>

#include "conversion/files/script_list.hpp"
#include "conversion/site_conversion.hpp"
#include "texts/failure_text.hpp"
#include "texts/native_text.hpp"
#include "wizard_texts.hpp"

namespace kq::wizard {

using enum FormControl;

namespace {

// The intro line, then one line per script in list order: its name and the reason.
std::wstring problemMessage(const std::vector<ScriptReport>& problems) {
    std::wstring message(texts::problemsIntro);
    for (const ScriptReport& report : problems) {
        message += L'\n';
        message += describeFailure(wideFromPath(report.name), report.failure.value());
    }
    return message;
}

// The frame that holds each page.
FormControl frameOf(Page page) {
    switch (page) {
        case Page::welcome:
            return welcomeFrame;
        case Page::folder:
            return folderFrame;
        case Page::work:
            return workFrame;
        case Page::finish:
            return finishFrame;
    }
    return welcomeFrame;
}

}  // namespace

Form1::Form1(WizardPlatform& platform, FormView& view)
    : platform_(platform), view_(view), state_(view) {}

// --- Events ---

void Form1::nextClick() {
    // On the work and finish pages next does nothing.
    if (page_ == Page::welcome) {
        showFolderPageFromWelcome();
    } else if (page_ == Page::folder) {
        showWorkPageAndConvert();
    }
}

void Form1::backClick() {
    if (page_ == Page::folder) {
        showWelcomePageFromFolder();
    }
}

void Form1::cancelClick() {
    platform_.endProgram();
}

void Form1::chooseFolderClick() {
    chooseFolder();
}

// --- Pages ---

void Form1::turnTo(Page page) {
    view_.setVisible(frameOf(page_), false);
    view_.setVisible(frameOf(page), true);
    page_ = page;
}

void Form1::showFolderPageFromWelcome() {
    view_.setVisible(topBanner, true);
    view_.setVisible(leftBanner, false);
    turnTo(Page::folder);
    view_.setText(subheading, texts::folderSubheading);
    view_.setText(heading, texts::folderHeading);
    view_.setEnabled(backButton, true);
}

void Form1::showWelcomePageFromFolder() {
    // The headings stay: they leave the screen with the top banner. The folder and the script
    // list stay as well, so the folder page shows them again after the next click on next.
    view_.setVisible(leftBanner, true);
    view_.setVisible(topBanner, false);
    turnTo(Page::welcome);
    view_.setEnabled(backButton, false);
}

void Form1::showWorkPageAndConvert() {
    turnTo(Page::work);
    view_.setText(subheading, texts::workSubheading);
    view_.setText(heading, texts::workHeading);
    view_.setEnabled(backButton, false);
    view_.setEnabled(cancelButton, false);
    view_.setEnabled(nextButton, false);
    // The pass checks the folder and the list itself and asks for a folder when needed.
    if (!convertScripts()) {
        returnToFolderPage();
    }
}

void Form1::returnToFolderPage() {
    // The pass did not run (the user cancelled the folder choice it asked for, or another run
    // holds the folder): nothing was converted, so the user is back where the folder is chosen,
    // with every button live.
    turnTo(Page::folder);
    view_.setVisible(topBanner, true);
    view_.setText(subheading, texts::folderSubheading);
    view_.setText(heading, texts::folderHeading);
    view_.setEnabled(backButton, true);
    view_.setEnabled(nextButton, true);
    view_.setEnabled(cancelButton, true);
    view_.setPointer(MousePointer::normal);
}

void Form1::showFinishPage() {
    turnTo(Page::finish);
    view_.setVisible(topBanner, false);
    view_.setVisible(leftBanner, true);
    view_.setEnabled(nextButton, false);
    view_.setEnabled(backButton, false);
    view_.setEnabled(cancelButton, true);
    view_.setText(cancelButton, texts::finishCaption);
}

// --- Folder choice ---

bool Form1::chooseFolder() {
    const std::optional<NativePath> chosen = platform_.browseForFolder();
    if (chosen) {
        folderPath_ = *chosen;
    }
    view_.setText(folderField, wideFromPath(folderPath_));
    state_.setFileList(folderPath_, platform_.listFolder(folderPath_));
    state_.clearScriptList();
    for (const NativePath& entry : state_.fileListEntries()) {
        if (isScriptName(entry)) {
            state_.appendToScriptList(entry);
        }
    }
    return chosen.has_value();
}

// --- Conversion pass ---

bool Form1::ensureScriptsListed() {
    // After a failed check the user is told why and asked for the folder again, for as long as a
    // check fails.
    for (;;) {
        if (folderPath_.empty()) {
            platform_.showErrorMessage(texts::noFolderMessage);
        } else if (state_.scriptListLines().empty()) {
            platform_.showErrorMessage(texts::noScriptMessage);
        } else {
            return true;
        }
        if (!chooseFolder()) {
            return false;
        }
    }
}

bool Form1::convertScripts() {
    if (!ensureScriptsListed()) {
        return false;
    }
    // The list does not change while the scripts are converted.
    const std::vector<NativePath> scripts = state_.scriptListLines();
    view_.setProgressMaximum(static_cast<double>(scripts.size() - 1));
    view_.setPointer(MousePointer::busy);

    SiteOptions options;
    options.onScriptWritten = [this](std::size_t index) {
        view_.setProgress(static_cast<double>(index));
    };
    const SiteReport site = convertSite(state_.fileListFolder(), scripts, options);
    if (!site) {
        // Another run holds the folder: nothing was touched, and the user may try again.
        platform_.showErrorMessage(texts::folderBusyMessage);
        return false;
    }
    if (const auto problems = problemsOf(site.value()); !problems.empty()) {
        platform_.showErrorMessage(problemMessage(problems));
        // The finish page that follows must not claim that everything was done.
        view_.setText(finishMessage, texts::finishMessageAfterProblems);
    }

    state_.clearScriptList();
    view_.setPointer(MousePointer::normal);
    state_.appendToScriptList(pathFromWide(texts::completionLine));
    showFinishPage();
    return true;
}

}  // namespace kq::wizard
