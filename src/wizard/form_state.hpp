#pragma once
// What the form's logic reads back of its controls (which frames are visible, the script list,
// the file list's folder and names), starting from the layout table. Every change goes to the
// view at once, so the view always shows this state.

#include <array>
#include <string_view>
#include <vector>

#include "conversion/native_path.hpp"

#include "control_id.hpp"
#include "form_view.hpp"

namespace kq::wizard {

class FormState {
  public:
    // `view` must outlive this state; it is borrowed, not owned.
    explicit FormState(FormView& view);

    // The control's own visibility.
    bool visible(ControlId control) const { return visible_[indexOf(control)]; }
    // List1's lines: script names while it holds the script list, the completion line after.
    const std::vector<NativePath>& listLines() const { return listLines_; }
    // File1's folder and the file names it shows.
    const NativePath& fileListFolder() const { return fileListFolder_; }
    const std::vector<NativePath>& fileListEntries() const { return fileListEntries_; }

    void setVisible(ControlId control, bool visible);
    void setEnabled(ControlId control, bool enabled) { view_.setEnabled(control, enabled); }
    void setText(ControlId control, std::wstring_view text) { view_.setText(control, text); }
    void listClear();
    void listAppend(const NativePath& line);
    void fileListSet(const NativePath& folder, std::vector<NativePath> entries);
    void setProgressMaximum(double maximum);
    void setProgressValue(double value) { view_.progressValue(ControlId::pg, value); }
    void setPointer(MousePointer pointer) { view_.setPointer(pointer); }

  private:
    FormView& view_;
    std::array<bool, controlCount> visible_{};
    std::vector<NativePath> listLines_;
    NativePath fileListFolder_;
    std::vector<NativePath> fileListEntries_;
};

}  // namespace kq::wizard
