#pragma once
// The progress of a conversion as one line on a terminal, drawn over itself as scripts are
// written and wiped before anything else is said.

#include <cstddef>

#include "console.hpp"

namespace kq::cli {

class ProgressLine {
  public:
    // `stream` is borrowed and outlives the line. A line that is not `shown` draws nothing.
    ProgressLine(ConsoleStream& stream, bool shown) : stream_(stream), shown_(shown) {}

    // The script at `index` of `count` has been written.
    void show(std::size_t index, std::size_t count);
    // Wipes the line, if one is drawn.
    void clear();

  private:
    ConsoleStream& stream_;
    bool shown_;
    std::size_t columns_ = 0;  // width of the line now on the terminal
};

}  // namespace kq::cli
