#pragma once
// What the form's logic reads back of its controls: the script list's lines, and the file list's
// folder and names. Every change goes to the view at once, so the view always shows this state.

#include <vector>

#include "conversion/native_path.hpp"

#include "form_view.hpp"

namespace kq::wizard {

class FormState {
  public:
    // `view` must outlive this state; it is borrowed, not owned.
    explicit FormState(FormView& view) : view_(view) {}

    // The script list's lines: script names while it holds the script list, the completion line
    // after.
    const std::vector<NativePath>& scriptListLines() const { return scriptListLines_; }
    // The file list's folder and the file names it shows.
    const NativePath& fileListFolder() const { return fileListFolder_; }
    const std::vector<NativePath>& fileListEntries() const { return fileListEntries_; }

    void clearScriptList();
    void appendToScriptList(const NativePath& line);
    void setFileList(const NativePath& folder, std::vector<NativePath> entries);

  private:
    FormView& view_;
    std::vector<NativePath> scriptListLines_;
    NativePath fileListFolder_;
    std::vector<NativePath> fileListEntries_;
};

}  // namespace kq::wizard
