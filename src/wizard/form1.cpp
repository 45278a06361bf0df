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

}  // namespace

Form1::Form1(WizardPlatform& platform, FormView& view) : platform_(platform), state_(view) {}

// --- Events ---

void Form1::nextClick() {
    // The welcome page is tested first, then the folder page; on the work and finish pages nothing
    // happens.
    if (state_.visible(welcomeFrame)) {
        showFolderPageFromWelcome();
    } else if (state_.visible(folderFrame)) {
        showWorkPageAndConvert();
    }
}

void Form1::backClick() {
    if (state_.visible(folderFrame)) {
        showWelcomePageFromFolder();
    }
}

void Form1::cancelClick() {
    platform_.endProgram();
}

void Form1::chooseFolderClick() {
    chooseFolder();
}

void Form1::sizeChanged() {
    // The layout is fixed: a larger window shows empty area, a smaller one cuts controls off.
}

// --- Pages ---

void Form1::showFolderPageFromWelcome() {
    state_.setVisible(topBanner, true);
    state_.setVisible(leftBanner, false);
    state_.setVisible(welcomeFrame, false);
    state_.setVisible(folderFrame, true);
    state_.setText(subheading, texts::folderSubheading);
    state_.setText(heading, texts::folderHeading);
    state_.setEnabled(backButton, true);
}

void Form1::showWelcomePageFromFolder() {
    // The headings stay: they leave the screen with the top banner. The folder and the script list
    // stay as well, so the folder page shows them again after the next click on next.
    state_.setVisible(leftBanner, true);
    state_.setVisible(topBanner, false);
    state_.setVisible(folderFrame, false);
    state_.setVisible(welcomeFrame, true);
    state_.setEnabled(backButton, false);
}

void Form1::showWorkPageAndConvert() {
    state_.setVisible(folderFrame, false);
    state_.setVisible(workFrame, true);
    state_.setText(subheading, texts::workSubheading);
    state_.setText(heading, texts::workHeading);
    state_.setEnabled(backButton, false);
    state_.setEnabled(cancelButton, false);
    state_.setEnabled(nextButton, false);
    // The pass checks the folder and the list itself and asks for a folder when needed.
    if (!convertScripts()) {
        returnToFolderPage();
    }
}

void Form1::returnToFolderPage() {
    // The pass did not run (the user cancelled the folder choice it asked for, or another run
    // holds the folder): nothing was converted, so the user is back where the folder is chosen,
    // with every button live.
    state_.setVisible(workFrame, false);
    state_.setVisible(folderFrame, true);
    state_.setVisible(topBanner, true);
    state_.setText(subheading, texts::folderSubheading);
    state_.setText(heading, texts::folderHeading);
    state_.setEnabled(backButton, true);
    state_.setEnabled(nextButton, true);
    state_.setEnabled(cancelButton, true);
    state_.setPointer(MousePointer::normal);
}

void Form1::showFinishPage() {
    state_.setVisible(workFrame, false);
    state_.setVisible(finishFrame, true);
    state_.setVisible(topBanner, false);
    state_.setVisible(leftBanner, true);
    state_.setEnabled(nextButton, false);
    state_.setEnabled(backButton, false);
    state_.setEnabled(cancelButton, true);
    state_.setText(cancelButton, texts::finishCaption);
}

// --- Folder choice ---

bool Form1::chooseFolder() {
    const std::optional<NativePath> chosen = platform_.browseForFolder(texts::chooserTitle);
    if (chosen) {
        folderPath_ = *chosen;
    }
    state_.setText(folderField, wideFromPath(folderPath_));
    state_.fileListSet(folderPath_, platform_.listFolder(folderPath_));
    state_.listClear();
    for (const NativePath& entry : state_.fileListEntries()) {
        if (isScriptName(entry)) {
            state_.listAppend(entry);
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
            platform_.showErrorMessage(texts::noFolderMessage, texts::applicationTitle);
        } else if (state_.listLines().empty()) {
            platform_.showErrorMessage(texts::noScriptMessage, texts::applicationTitle);
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
    const std::vector<NativePath> scripts = state_.listLines();
    state_.setProgressMaximum(static_cast<double>(scripts.size() - 1));
    state_.setPointer(MousePointer::busy);

    SiteOptions options;
    options.onScriptWritten = [this](std::size_t index) {
        state_.setProgressValue(static_cast<double>(index));
    };
    const SiteReport site = convertSite(state_.fileListFolder(), scripts, options);
    if (site.folderBusy) {
        // Another run holds the folder: nothing was touched, and the user may try again.
        platform_.showErrorMessage(texts::folderBusyMessage, texts::applicationTitle);
        return false;
    }
    if (const auto problems = problemsOf(site.scripts); !problems.empty()) {
        platform_.showErrorMessage(problemMessage(problems), texts::applicationTitle);
        // The finish page that follows must not claim that everything was done.
        state_.setText(finishMessage, texts::finishMessageAfterProblems);
    }

    state_.listClear();
    state_.setPointer(MousePointer::normal);
    state_.listAppend(pathFromWide(texts::completionLine));
    showFinishPage();
    return true;
}

}  // namespace kq::wizard
