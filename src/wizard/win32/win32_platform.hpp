#pragma once
// The system services the wizard uses besides its own window, on Win32: the shell's folder
// chooser, the message box and the end of the program. The folder listing is the shared one.

#include <windows.h>

#include <shlobj.h>

#include <optional>

#include "wizard/wizard_platform.hpp"

namespace kq::wizard::win32 {

class Win32Platform final : public WizardPlatform {
  public:
    // `form` is borrowed: the owner of the chooser and the message boxes.
    explicit Win32Platform(HWND form) : form_(form) {}

    std::optional<NativePath> browseForFolder() override;
    void showErrorMessage(std::wstring_view text) override;
    void endProgram() override;

  private:
    HWND form_;
};

// The file-system path of a folder the chooser returned, at any length; nothing when the shell
// has none for it.
std::optional<NativePath> folderPathOf(PCIDLIST_ABSOLUTE folder);

}  // namespace kq::wizard::win32
