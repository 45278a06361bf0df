#include "form_state.hpp"

#include <utility>

#include "texts/native_text.hpp"

namespace kq::wizard {

void FormState::clearScriptList() {
    scriptListLines_.clear();
    view_.clearScriptList();
}

void FormState::appendToScriptList(const NativePath& line) {
    scriptListLines_.push_back(line);
    view_.appendToScriptList(wideFromPath(line));
}

void FormState::setFileList(const NativePath& folder, std::vector<NativePath> entries) {
    fileListFolder_ = folder;
    fileListEntries_ = std::move(entries);
    view_.showFiles(fileListEntries_);
}

}  // namespace kq::wizard
