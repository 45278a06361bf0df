#include "progress_line.hpp"

#include <algorithm>
#include <string>

#include "cli_texts.hpp"
#include "fill_in.hpp"

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

void ProgressLine::show(std::size_t index, std::size_t count) {
    if (!shown_) {
        return;
    }
    const std::wstring line =
        fillIn(texts::progress, {std::to_wstring(index + 1), std::to_wstring(count)});
    std::wstring drawn = L"\r" + line;
    const std::size_t width = columns(line);
    if (width < columns_) {
        drawn.append(columns_ - width, L' ');  // wipe the end of a longer line
    }
    stream_.write(drawn);
    columns_ = std::max(columns_, width);
}

void ProgressLine::clear() {
    if (columns_ == 0) {
        return;
    }
    stream_.write(L"\r" + std::wstring(columns_, L' ') + L"\r");
    stream_.flush();
    columns_ = 0;
}

}  // namespace kq::cli
