#include "form1.hpp"

#include <string>
#include <vector>

#include "conversion/files/script_list.hpp"
#include "conversion/site_conversion.hpp"
#include "texts/failure_text.hpp"
#include "texts/native_text.hpp"
#include "wizard_texts.hpp"

namespace kq::wizard {

using enum ControlId;

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

void Form1::next1Click() {
    // Welcome is tested first, then Frame2; on the work and finish pages nothing happens.
    if (state_.visible(Welcome)) {
        showFolderPageFromWelcome();
    } else if (state_.visible(Frame2)) {
        showWorkPageAndConvert();
    }
}

void Form1::prevClick() {
    if (state_.visible(Frame2)) {
        showWelcomePageFromFolder();
    }
}

void Form1::cancelClick() {
    platform_.endProgram();
}

void Form1::getfileClick() {
    chooseFolder();
}

void Form1::sizeChanged() {
    // The layout is fixed: a larger window shows empty area, a smaller one cuts controls off.
}

// --- Pages ---

void Form1::showFolderPageFromWelcome() {
    state_.setVisible(Picture1, true);
    state_.setVisible(Picture2, false);
    state_.setVisible(Welcome, false);
    state_.setVisible(Frame2, true);
    state_.setText(info2, texts::folderSubheading);
    state_.setText(info1, texts::folderHeading);
    state_.setEnabled(prev, true);
}

void Form1::showWelcomePageFromFolder() {
    // The headings stay: they leave the screen with Picture1. The folder and the script list
    // stay as well, so the folder page shows them again after the next click on next1.
    state_.setVisible(Picture2, true);
    state_.setVisible(Picture1, false);
    state_.setVisible(Frame2, false);
    state_.setVisible(Welcome, true);
    state_.setEnabled(prev, false);
}

void Form1::showWorkPageAndConvert() {
    state_.setVisible(Frame2, false);
    state_.setVisible(Frame3, true);
    state_.setText(info2, texts::workSubheading);
    state_.setText(info1, texts::workHeading);
    state_.setEnabled(prev, false);
    state_.setEnabled(cancel, false);
    state_.setEnabled(next1, false);
    // The pass checks the folder and the list itself and asks for a folder when needed.
    if (!convertScripts()) {
        returnToFolderPage();
    }
}

void Form1::returnToFolderPage() {
    // The pass did not run (the user cancelled the folder choice it asked for, or another run
    // holds the folder): nothing was converted, so the user is back where the folder is chosen,
    // with every button live.
    state_.setVisible(Frame3, false);
    state_.setVisible(Frame2, true);
    state_.setVisible(Picture1, true);
    state_.setText(info2, texts::folderSubheading);
    state_.setText(info1, texts::folderHeading);
    state_.setEnabled(prev, true);
    state_.setEnabled(next1, true);
    state_.setEnabled(cancel, true);
    state_.setPointer(MousePointer::normal);
}

void Form1::showFinishPage() {
    state_.setVisible(Frame3, false);
    state_.setVisible(fish, true);
    state_.setVisible(Picture1, false);
    state_.setVisible(Picture2, true);
    state_.setEnabled(next1, false);
    state_.setEnabled(prev, false);
    state_.setEnabled(cancel, true);
    state_.setText(cancel, texts::finishCaption);
}

// --- Folder choice ---

bool Form1::chooseFolder() {
    const std::optional<NativePath> chosen = platform_.browseForFolder(texts::chooserTitle);
    if (chosen) {
        folderPath_ = *chosen;
    }
    state_.setText(Text1, wideFromPath(folderPath_));
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
    if (!site) {
        // Another run holds the folder: nothing was touched, and the user may try again.
        platform_.showErrorMessage(texts::folderBusyMessage, texts::applicationTitle);
        return false;
    }
    if (const auto problems = problemsOf(site.value()); !problems.empty()) {
        platform_.showErrorMessage(problemMessage(problems), texts::applicationTitle);
        // The finish page that follows must not claim that everything was done.
        state_.setText(Label8, texts::label8WithProblems);
    }

    state_.listClear();
    state_.setPointer(MousePointer::normal);
    state_.listAppend(pathFromWide(texts::completionLine));
    showFinishPage();
    return true;
}

}  // namespace kq::wizard
