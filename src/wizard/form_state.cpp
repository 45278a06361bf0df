#include "form_state.hpp"

#include <utility>

#include "conversion/native_text.hpp"

namespace kq::wizard {

FormState::FormState(FormView& view) : view_(view) {
    for (const ControlSpec& row : controls) {
        at(row.id) = Control{row.visible, row.enabled, std::wstring(row.text)};
    }
}

bool FormState::onScreen(ControlId control) const {
    for (std::optional<ControlId> current = control; current;
         current = controlSpec(*current).container) {
        if (!visible(*current)) {
            return false;
        }
    }
    return true;
}

void FormState::setVisible(ControlId control, bool visible) {
    at(control).visible = visible;
    view_.setVisible(control, visible);
}

void FormState::setEnabled(ControlId control, bool enabled) {
    at(control).enabled = enabled;
    view_.setEnabled(control, enabled);
}

void FormState::setText(ControlId control, std::wstring_view text) {
    at(control).text = text;
    view_.setText(control, text);
}

void FormState::listClear() {
    listLines_.clear();
    view_.listClear(ControlId::List1);
}

void FormState::listAppend(const std::filesystem::path& line) {
    listLines_.push_back(line);
    view_.listAppend(ControlId::List1, wideFromPath(line));
}

void FormState::fileListSet(const std::filesystem::path& folder,
                            std::vector<std::filesystem::path> entries) {
    fileListFolder_ = folder;
    fileListEntries_ = std::move(entries);
    view_.fileListSet(ControlId::File1, fileListFolder_, fileListEntries_);
}

void FormState::setProgressMaximum(double maximum) {
    progress_.maximum = maximum;
    view_.progressRange(ControlId::pg, progress_.minimum, progress_.maximum);
}

void FormState::setProgressValue(double value) {
    progress_.value = value;
    view_.progressValue(ControlId::pg, value);
}

void FormState::setPointer(MousePointer pointer) {
    pointer_ = pointer;
    view_.setPointer(pointer);
}

}  // namespace kq::wizard
