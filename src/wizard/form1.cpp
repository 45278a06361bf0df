#include "form1.hpp"

#include "conversion/native_text.hpp"
#include "conversion/script_list.hpp"
#include "form_texts.hpp"
#include "problem_report.hpp"

namespace kq::wizard {

using enum ControlId;

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
    if (!convertScripts(*this).finished) {
        returnToFolderPage();
    }
}

void Form1::returnToFolderPage() {
    // The user cancelled the folder choice that the pass asked for: nothing was converted, so
    // the user is back where the folder is chosen, with every button live.
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
    const std::optional<std::filesystem::path> chosen =
        platform_.browseForFolder(texts::chooserTitle);
    if (chosen) {
        folderPath_ = *chosen;
    }
    state_.setText(Text1, wideFromPath(folderPath_));
    state_.fileListSet(folderPath_, platform_.listFolder(folderPath_));
    state_.listClear();
    for (const std::filesystem::path& entry : state_.fileListEntries()) {
        if (isScriptName(entry)) {
            state_.listAppend(entry);
        }
    }
    return chosen.has_value();
}

// --- Window operations of the conversion pass ---

std::filesystem::path Form1::scriptAt(std::size_t index) const {
    return state_.listLines().at(index);
}

void Form1::clearScriptList() {
    state_.listClear();
}

void Form1::addListLine(std::wstring_view line) {
    state_.listAppend(pathFromWide(line));
}

void Form1::setProgressMaximum(std::size_t maximum) {
    state_.setProgressMaximum(static_cast<double>(maximum));
}

void Form1::setProgressValue(std::size_t value) {
    state_.setProgressValue(static_cast<double>(value));
}

void Form1::setPointer(MousePointer pointer) {
    state_.setPointer(pointer);
}

void Form1::showMessage(std::wstring_view text) {
    platform_.showErrorMessage(text, texts::applicationTitle);
}

void Form1::reportProblems(const std::vector<ScriptReport>& problems) {
    platform_.showErrorMessage(problemMessage(problems), texts::applicationTitle);
    // The finish page that follows must not claim that everything was done.
    state_.setText(Label8, texts::label8WithProblems);
}

}  // namespace kq::wizard
