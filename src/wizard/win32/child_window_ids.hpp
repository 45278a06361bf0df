#pragma once
// The Win32 side of the controls' identities: the child-window identifier the window gives each
// control of the form (its GetDlgCtrlID), and the window class of the form. The end-to-end driver
// finds the window and its controls by them.

#include <optional>

#include "wizard/form_control.hpp"

namespace kq::wizard::win32 {

// The window class of Form1, the wizard's one top-level window.
inline constexpr wchar_t formClassName[] = L"KqWizardForm1";

// Above IDOK and IDCANCEL, which the dialog manager sends for Enter and Escape, and well below
// the 0xFFFF of unnamed statics.
inline constexpr int firstChildWindowId = 1001;

constexpr int childWindowIdOf(FormControl control) {
    return firstChildWindowId + static_cast<int>(indexOf(control));
}

// The control whose child window has `id`; nothing for any other window.
constexpr std::optional<FormControl> controlOfChildWindow(int id) {
    if (id < firstChildWindowId || id >= firstChildWindowId + static_cast<int>(controlCount)) {
        return std::nullopt;
    }
    return static_cast<FormControl>(id - firstChildWindowId);
}

}  // namespace kq::wizard::win32
