#pragma once
// The state of every control of the wizard window, starting from the layout table. Each change
// is kept here and passed on to the view at once, so the view always shows this state.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "control_id.hpp"
#include "form_layout.hpp"
#include "form_view.hpp"

namespace kq::wizard {

class FormState {
  public:
    // `view` must outlive this state; it is borrowed, not owned.
    explicit FormState(FormView& view);

    // The control's own visibility.
    bool visible(ControlId control) const { return at(control).visible; }
    // Visible itself and inside visible containers.
    bool onScreen(ControlId control) const;
    bool enabled(ControlId control) const { return at(control).enabled; }
    const std::wstring& text(ControlId control) const { return at(control).text; }

    // List1's lines: script names while it holds the script list, the completion line after.
    const std::vector<std::filesystem::path>& listLines() const { return listLines_; }
    // File1's folder and the file names it shows.
    const std::filesystem::path& fileListFolder() const { return fileListFolder_; }
    const std::vector<std::filesystem::path>& fileListEntries() const { return fileListEntries_; }
    const ProgressState& progress() const { return progress_; }
    MousePointer pointer() const { return pointer_; }

    void setVisible(ControlId control, bool visible);
    void setEnabled(ControlId control, bool enabled);
    void setText(ControlId control, std::wstring_view text);
    void listClear();
    void listAppend(const std::filesystem::path& line);
    void fileListSet(const std::filesystem::path& folder,
                     std::vector<std::filesystem::path> entries);
    void setProgressMaximum(double maximum);
    void setProgressValue(double value);
    void setPointer(MousePointer pointer);

  private:
    struct Control {
        bool visible = false;
        bool enabled = false;
        std::wstring text;
    };

    const Control& at(ControlId control) const { return controls_[indexOf(control)]; }
    Control& at(ControlId control) { return controls_[indexOf(control)]; }

    FormView& view_;
    std::array<Control, controlCount> controls_;
    std::vector<std::filesystem::path> listLines_;
    std::filesystem::path fileListFolder_;
    std::vector<std::filesystem::path> fileListEntries_;
    ProgressState progress_ = pgAtStart;
    MousePointer pointer_ = MousePointer::normal;
};

}  // namespace kq::wizard
