#include "form_state.hpp"

#include <utility>

#include "form_layout.hpp"
#include "texts/native_text.hpp"

namespace kq::wizard {

FormState::FormState(FormView& view) : view_(view) {
    for (const ControlSpec& row : controls) {
        visible_[indexOf(row.control)] = row.visible;
    }
}

void FormState::setVisible(FormControl control, bool visible) {
    visible_[indexOf(control)] = visible;
    view_.setVisible(control, visible);
}

void FormState::listClear() {
    listLines_.clear();
    view_.listClear(FormControl::scriptList);
}

void FormState::listAppend(const NativePath& line) {
    listLines_.push_back(line);
    view_.listAppend(FormControl::scriptList, wideFromPath(line));
}

void FormState::fileListSet(const NativePath& folder, std::vector<NativePath> entries) {
    fileListFolder_ = folder;
    fileListEntries_ = std::move(entries);
    view_.fileListSet(FormControl::fileList, fileListFolder_, fileListEntries_);
}

void FormState::setProgressMaximum(double maximum) {
    // The minimum stays as the layout table creates the bar.
    view_.progressRange(FormControl::progressBar, progressAtStart.minimum, maximum);
}

}  // namespace kq::wizard
