#include "cli_window.hpp"

#include <algorithm>
#include <string>

#include "cli_fill_in.hpp"
#include "cli_texts.hpp"
#include "conversion/native_text.hpp"

namespace kq::cli {

namespace {

// Terminal columns a text takes: two for a CJK or full-width character, one for the others.
std::size_t columns(std::wstring_view text) {
    std::size_t width = 0;
    for (const wchar_t c : text) {
        width += c >= 0x1100 ? 2 : 1;
    }
    return width;
}

}  // namespace

ConsolePassWindow::ConsolePassWindow(std::filesystem::path folder,
                                     std::vector<std::filesystem::path> scripts,
                                     ConsoleStream& messages, bool showProgress)
    : folder_(std::move(folder)),
      list_(std::move(scripts)),
      messages_(messages),
      showProgress_(showProgress) {}

void ConsolePassWindow::addListLine(std::wstring_view line) {
    list_.push_back(pathFromWide(line));
}

void ConsolePassWindow::setProgressValue(std::size_t value) {
    if (!showProgress_) {
        return;
    }
    const std::wstring line =
        fillIn(texts::progress, {decimal(value + 1), decimal(progressMaximum_ + 1)});
    std::wstring drawn = L"\r" + line;
    const std::size_t width = columns(line);
    if (width < progressColumns_) {
        drawn.append(progressColumns_ - width, L' ');  // wipe the end of a longer line
    }
    messages_.write(drawn);
    progressColumns_ = std::max(progressColumns_, width);
}

void ConsolePassWindow::clearProgress() {
    if (progressColumns_ == 0) {
        return;
    }
    messages_.write(L"\r" + std::wstring(progressColumns_, L' ') + L"\r");
    messages_.flush();
    progressColumns_ = 0;
}

void ConsolePassWindow::showMessage(std::wstring_view text) {
    clearProgress();
    messages_.write(std::wstring(texts::messagePrefix) + std::wstring(text) + L"\n");
    messages_.flush();
}

}  // namespace kq::cli
