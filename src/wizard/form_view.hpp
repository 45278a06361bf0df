#pragma once
// What the window layer does with every change of the form's state: the logic keeps the state,
// the view mirrors each change onto the real controls, in the order the changes happen.
// Before the first call the view shows the controls as the layout table creates them.

#include <string_view>
#include <vector>

#include "conversion/native_path.hpp"

#include "form_control.hpp"

namespace kq::wizard {

// The window's mouse pointer: the arrow, or the hourglass while the conversion pass runs.
enum class MousePointer { normal = 1, busy = 11 };

class FormView {
  public:
    FormView() = default;
    virtual ~FormView() = default;
    FormView(const FormView&) = delete;
    FormView& operator=(const FormView&) = delete;
    FormView(FormView&&) = delete;
    FormView& operator=(FormView&&) = delete;

    virtual void setVisible(FormControl control, bool visible) = 0;
    virtual void setEnabled(FormControl control, bool enabled) = 0;
    // Caption of a button, text of a label or of the folder field.
    virtual void setText(FormControl control, std::wstring_view text) = 0;

    // The script list: emptied, or a line added at its end.
    virtual void clearScriptList() = 0;
    virtual void appendToScriptList(std::wstring_view line) = 0;

    // The file names the file list shows, in its order.
    virtual void showFiles(const std::vector<NativePath>& names) = 0;

    // The progress bar's maximum (its minimum stays as the layout table has it) and its value.
    virtual void setProgressMaximum(double maximum) = 0;
    virtual void setProgress(double value) = 0;

    // The window's mouse pointer. Takes effect at once: the conversion pass does not return to
    // the message loop until it is done.
    virtual void setPointer(MousePointer pointer) = 0;
};

}  // namespace kq::wizard
