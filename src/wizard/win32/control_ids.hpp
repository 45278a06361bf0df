#pragma once
// The Win32 control identifier of every control of the wizard window. The window gives each
// control this identifier; the end-to-end driver finds the controls by it.

#include <optional>

#include "wizard/control_id.hpp"

namespace kq::wizard::win32 {

// The window class of Form1, the wizard's one top-level window.
inline constexpr wchar_t formClassName[] = L"KqWizardForm1";

// Above IDOK and IDCANCEL, which the dialog manager sends for Enter and Escape, and well below
// the 0xFFFF of unnamed statics.
inline constexpr int firstControlId = 1001;

constexpr int controlIdOf(ControlId control) {
    return firstControlId + static_cast<int>(indexOf(control));
}

constexpr std::optional<ControlId> controlWithId(int id) {
    if (id < firstControlId || id >= firstControlId + static_cast<int>(controlCount)) {
        return std::nullopt;
    }
    return static_cast<ControlId>(id - firstControlId);
}

}  // namespace kq::wizard::win32
