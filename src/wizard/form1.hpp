#pragma once
// Form1, the wizard's one window object: the chosen site folder, the state of every control, the
// handlers of the window's events, the folder choice, and the window operations the conversion
// pass works through. The current page is never stored: each click reads it from which page
// frame is visible.

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

#include "conversion/conversion_pass.hpp"
#include "form_state.hpp"
#include "form_view.hpp"
#include "wizard_platform.hpp"

namespace kq::wizard {

class Form1 final : public PassWindow {
  public:
    // Starts on the welcome page, every control as the layout table creates it. `platform` and
    // `view` are borrowed and must outlive the form.
    Form1(WizardPlatform& platform, FormView& view);

    // Events of the window.
    void next1Click();
    void prevClick();
    void cancelClick();
    void getfileClick();
    void sizeChanged();

    // Asks for the site folder and lists its scripts: Text1 shows the folder, File1 lists it and
    // List1 holds its ".cgi" files in File1's order. A cancelled choice keeps the folder and
    // lists it afresh. False when the user cancelled.
    bool chooseFolder() override;

    const FormState& state() const { return state_; }

    // The window operations of the conversion pass.
    std::filesystem::path folderPath() const override { return folderPath_; }
    std::filesystem::path scriptFolder() const override { return state_.fileListFolder(); }
    std::size_t scriptCount() const override { return state_.listLines().size(); }
    std::filesystem::path scriptAt(std::size_t index) const override;
    void clearScriptList() override;
    void addListLine(std::wstring_view line) override;
    void setProgressMaximum(std::size_t maximum) override;
    void setProgressValue(std::size_t value) override;
    void setPointer(MousePointer pointer) override;
    void showMessage(std::wstring_view text) override;
    void reportProblems(const std::vector<ScriptReport>& problems) override;
    void showFinishPage() override;

  private:
    void showFolderPageFromWelcome();
    void showWelcomePageFromFolder();
    void showWorkPageAndConvert();
    void returnToFolderPage();

    WizardPlatform& platform_;
    FormState state_;
    // The site folder exactly as the chooser gave it; empty until a folder is confirmed.
    std::filesystem::path folderPath_;
};

}  // namespace kq::wizard
