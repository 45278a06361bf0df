#pragma once
// What the form's logic reads back of its controls (which frames are visible, the script list,
// the file list's folder and names), starting from the layout table. Every change goes to the
// view at once, so the view always shows this state.

#include <array>
#include <string_view>
#include <vector>

#include "conversion/native_path.hpp"

#include "form_control.hpp"
#include "form_view.hpp"

namespace kq::wizard {

class FormState {
  public:
    // `view` must outlive this state; it is borrowed, not owned.
    explicit FormState(FormView& view);

    // The control's own visibility.
    bool visible(FormControl control) const { return visible_[indexOf(control)]; }
    // The script list's lines: script names while it holds the script list, the completion line
    // after.
    const std::vector<NativePath>& listLines() const { return listLines_; }
    // The file list's folder and the file names it shows.
    const NativePath& fileListFolder() const { return fileListFolder_; }
    const std::vector<NativePath>& fileListEntries() const { return fileListEntries_; }

    void setVisible(FormControl control, bool visible);
    void setEnabled(FormControl control, bool enabled) { view_.setEnabled(control, enabled); }
    void setText(FormControl control, std::wstring_view text) { view_.setText(control, text); }
    void listClear();
    void listAppend(const NativePath& line);
    void fileListSet(const NativePath& folder, std::vector<NativePath> entries);
    void setProgressMaximum(double maximum);
    void setProgressValue(double value) { view_.progressValue(FormControl::progressBar, value); }
    void setPointer(MousePointer pointer) { view_.setPointer(pointer); }

  private:
    FormView& view_;
    std::array<bool, controlCount> visible_{};
    std::vector<NativePath> listLines_;
    NativePath fileListFolder_;
    std::vector<NativePath> fileListEntries_;
};

}  // namespace kq::wizard
