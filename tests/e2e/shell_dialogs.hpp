#pragma once
// The two kinds of modal window the wizard opens, worked from outside: the message box and the
// shell's folder chooser.

#include <windows.h>

#include <string>
#include <vector>

namespace kq::e2e {

struct MessageBoxSeen {
    std::wstring caption;
    std::wstring text;
    bool hasIcon = false;
    bool hasOkButton = false;
    int buttonCount = 0;
};

MessageBoxSeen readMessageBox(HWND dialog);

// The shell's folder chooser of the wizard process `process`.
class FolderChooser {
  public:
    FolderChooser(HWND dialog, HANDLE process) : dialog_(dialog), process_(process) {}

    HWND dialog() const { return dialog_; }
    bool isFolderChooser() const { return tree() != nullptr; }
    // The texts of the chooser's labels (its title among them).
    std::vector<std::wstring> labelTexts() const;

    // Selects `folder` (a full path) the way a program does, with BFFM_SETSELECTIONW and the
    // path written into the wizard's memory, and checks that the tree's selection is that
    // folder; tries again a few times, as the shell fills its tree lazily. True when selected.
    bool select(const std::wstring& folder) const;

    // The names of the selected item and of its parents, innermost first.
    std::vector<std::wstring> selectedChain() const;

    void confirm() const;
    void cancel() const;

  private:
    HWND tree() const;

    HWND dialog_;     // borrowed: the wizard's window
    HANDLE process_;  // borrowed
};

}  // namespace kq::e2e
