#pragma once
// Form1, the wizard's one window object: the page on screen, the chosen site folder, the handlers
// of the window's events, the folder choice and the conversion pass.

#include <cstdint>

#include "conversion/native_path.hpp"

#include "form_state.hpp"
#include "form_view.hpp"
#include "wizard_platform.hpp"

namespace kq::wizard {

// The wizard's pages, in the order the user meets them.
enum class Page : std::uint8_t { welcome, folder, work, finish };

class Form1 {
  public:
    // Starts on the welcome page, every control as the layout table creates it. `platform` and
    // `view` are borrowed and must outlive the form.
    Form1(WizardPlatform& platform, FormView& view);

    // Clicks on the buttons. The window passes on only clicks on live buttons; each handler still
    // does only what its page allows.
    void nextClick();
    void backClick();
    void cancelClick();
    void chooseFolderClick();

  private:
    // Asks for the site folder and lists its scripts: the folder field shows the folder, the file
    // list lists it and the script list holds its ".cgi" files in the file list's order. A
    // cancelled choice keeps the folder and lists it afresh. False when the user cancelled.
    bool chooseFolder();

    // The conversion pass, on the work page: checks that a folder is chosen and scripts are
    // listed (asking for the folder again while not), converts the listed scripts with the bar
    // moving and the hourglass up, names the scripts it could not convert, and turns the work
    // page into the finish page. False when it did not run: the user cancelled the folder choice
    // it asked for, or another run holds the folder.
    bool convertScripts();
    bool ensureScriptsListed();

    // Hides the frame of the page on screen, shows the frame of `page` and keeps it as the page.
    void turnTo(Page page);
    void showFolderPageFromWelcome();
    void showWelcomePageFromFolder();
    void showWorkPageAndConvert();
    void returnToFolderPage();
    void showFinishPage();

    WizardPlatform& platform_;
    FormView& view_;
    FormState state_;
    Page page_ = Page::welcome;
    // The site folder exactly as the chooser gave it; empty until a folder is confirmed.
    NativePath folderPath_;
};

}  // namespace kq::wizard
