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
    // Caption of a button, text of a label or text box.
    virtual void setText(FormControl control, std::wstring_view text) = 0;

    virtual void listClear(FormControl list) = 0;
    virtual void listAppend(FormControl list, std::wstring_view line) = 0;

    // The file list's folder and the file names it shows, in its order.
    virtual void fileListSet(FormControl fileList, const NativePath& folder,
                             const std::vector<NativePath>& entries) = 0;

    virtual void progressRange(FormControl bar, double minimum, double maximum) = 0;
    virtual void progressValue(FormControl bar, double value) = 0;

    // The window's mouse pointer. Takes effect at once: the conversion pass does not return to
    // the message loop until it is done.
    virtual void setPointer(MousePointer pointer) = 0;
};

}  // namespace kq::wizard
