#pragma once
// What the wizard needs of the system besides its own window: the folder chooser, the listing of
// a folder for the file list, the message box and the end of the program.

#include <optional>
#include <string_view>
#include <vector>

#include "conversion/native_path.hpp"

namespace kq::wizard {

class WizardPlatform {
  public:
    WizardPlatform() = default;
    virtual ~WizardPlatform() = default;
    WizardPlatform(const WizardPlatform&) = delete;
    WizardPlatform& operator=(const WizardPlatform&) = delete;
    WizardPlatform(WizardPlatform&&) = delete;
    WizardPlatform& operator=(WizardPlatform&&) = delete;

    // The shell's folder chooser, modal to the wizard window, with the wizard's request to choose
    // the site's folder above its tree; only file-system folders can be confirmed. The chosen
    // folder's path exactly as the shell gives it, or nothing when the user cancelled or closed
    // the chooser.
    virtual std::optional<NativePath> browseForFolder() = 0;

    // The names the file list shows for `folder`, in its order: every ordinary file (read-only
    // and archive files included), no subfolder, no hidden or system file. An empty path lists
    // nothing; there is no fall-back to the current folder.
    virtual std::vector<NativePath> listFolder(const NativePath& folder);

    // A modal message box with the error icon, one OK button and the application's title as its
    // caption; returns when the user has closed it.
    virtual void showErrorMessage(std::wstring_view text) = 0;

    // Closes the window and ends the program; nothing is saved and nothing asks first.
    virtual void endProgram() = 0;
};

}  // namespace kq::wizard
