#pragma once
// The conversion pass's window, played by the console: the folder given on the command line is
// the chosen folder and the script folder, its scripts are the list, messages go to the error
// stream, and there is no second chance to choose a folder.

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

#include "cli_console.hpp"
#include "conversion/conversion_pass.hpp"

namespace kq::cli {

class ConsolePassWindow final : public PassWindow {
  public:
    // `messages` outlives the window. With `showProgress`, the bar is drawn as one line on it.
    ConsolePassWindow(std::filesystem::path folder, std::vector<std::filesystem::path> scripts,
                      ConsoleStream& messages, bool showProgress);

    std::filesystem::path folderPath() const override { return folder_; }
    std::filesystem::path scriptFolder() const override { return folder_; }

    std::size_t scriptCount() const override { return list_.size(); }
    std::filesystem::path scriptAt(std::size_t index) const override { return list_.at(index); }
    void clearScriptList() override { list_.clear(); }
    void addListLine(std::wstring_view line) override;

    void setProgressMaximum(std::size_t maximum) override { progressMaximum_ = maximum; }
    void setProgressValue(std::size_t value) override;
    void setPointer(MousePointer /*pointer*/) override {}

    void showMessage(std::wstring_view text) override;
    bool chooseFolder() override { return false; }  // the folder is given once, on the command line
    // The report printed after the pass names every problem, each on the line of its script.
    void reportProblems(const std::vector<ScriptReport>& /*problems*/) override {}
    void showFinishPage() override { clearProgress(); }

  private:
    void clearProgress();

    std::filesystem::path folder_;
    std::vector<std::filesystem::path> list_;
    ConsoleStream& messages_;
    bool showProgress_;
    std::size_t progressMaximum_ = 0;
    std::size_t progressColumns_ = 0;  // width of the progress line now on the terminal
};

}  // namespace kq::cli
