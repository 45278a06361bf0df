#pragma once
// The form's view on Win32: every change of the form's state, mirrored onto the real controls
// as it happens.

#include <windows.h>

#include "control_set.hpp"
#include "wizard/form_view.hpp"

namespace kq::wizard::win32 {

class Win32View final : public FormView {
  public:
    // `form` and `controls` are borrowed and must outlive the view.
    Win32View(HWND form, ControlSet& controls) : form_(form), controls_(controls) {}

    void setVisible(FormControl control, bool visible) override;
    void setEnabled(FormControl control, bool enabled) override;
    void setText(FormControl control, std::wstring_view text) override;
    void clearScriptList() override;
    void appendToScriptList(std::wstring_view line) override;
    void showFiles(const std::vector<NativePath>& names) override;
    void setProgressMaximum(double maximum) override;
    void setProgress(double value) override;
    void setPointer(MousePointer pointer) override;

    // The pointer the window shows over its client area.
    MousePointer pointer() const { return pointer_; }

  private:
    // Keyboard focus never stays on a control that was just hidden or disabled: it moves on to
    // the next one in tab order.
    void keepFocusUsable() const;

    HWND form_;             // borrowed
    ControlSet& controls_;  // borrowed
    MousePointer pointer_ = MousePointer::normal;
};

}  // namespace kq::wizard::win32
