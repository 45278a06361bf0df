#pragma once
// The controls of the wizard window, made from the layout table: created once, inside their
// containers, in the table's order; stacked so that the tab order follows the tab indexes and
// labels lie beneath their siblings; placed, sized and given their fonts by one layout function
// at the window's DPI.

#include <windows.h>

#include <array>
#include <optional>

#include "font_set.hpp"
#include "pictures.hpp"
#include "wizard/form_control.hpp"

namespace kq::wizard::win32 {

class ControlSet {
  public:
    // Creates every control inside `form` with its initial text, state, border and colours.
    // Positions, sizes and fonts follow with applyDpi. `pictures` must outlive the window.
    ControlSet(HWND form, HINSTANCE instance, const Pictures& pictures);

    // The control's window; borrowed: it is destroyed with the form.
    HWND operator[](FormControl control) const { return windows_[indexOf(control)]; }

    // False when a control could not be created.
    bool complete() const;
    // The system's error for the first control that could not be created.
    DWORD creationError() const { return creationError_; }

    // Fonts for `dpi`, then every control placed from the layout table at that DPI.
    void applyDpi(UINT dpi);

    // An auto-sized label fits its new text; a label of fixed size fits it with its font; every
    // other control keeps its box and font.
    void textChanged(FormControl control);

  private:
    // The layout function: the control's box in pixels, from its twips at the current DPI, and
    // its font. An auto-sized label takes the size of its text, its top-left corner fixed; a
    // label of fixed size whose text does not fit its box (on one line, for the welcome title)
    // takes the largest size of its face at which it does, 9 pt at least; the title takes more
    // lines only when no size puts it on one.
    void place(FormControl control);
    void stackInTabOrder() const;

    HWND form_;  // borrowed: the window that owns this set
    std::array<HWND, controlCount> windows_{};
    UINT dpi_ = 0;
    std::optional<FontSet> fonts_;
    DWORD creationError_ = ERROR_SUCCESS;
};

}  // namespace kq::wizard::win32
