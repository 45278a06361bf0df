#pragma once
// The smallest set of whole lines to remove and insert that turns one text into another: Myers'
// O(ND) difference algorithm, splitting the problem at the middle of an optimal path so that the
// memory used stays proportional to the number of lines.

#include <cstddef>
#include <string_view>
#include <vector>

namespace kq::cli {

enum class LineEditKind { keep, remove, insert };

// One step of the edit script. `before` and `after` are the 0-based line indexes reached in the
// two texts when the step starts: a kept line is before[before] == after[after], a removed line is
// before[before], an inserted line is after[after].
struct LineEdit {
    LineEditKind kind;
    std::size_t before;
    std::size_t after;

    friend bool operator==(const LineEdit&, const LineEdit&) = default;
};

// A shortest edit script from `before` to `after`, in text order. Lines compare byte for byte.
std::vector<LineEdit> diffLines(const std::vector<std::string_view>& before,
                                const std::vector<std::string_view>& after);

// The text split after every LF; each line keeps its line end. A last line without a line end is
// a line too; an empty text has no lines.
std::vector<std::string_view> splitLines(std::string_view text);

}  // namespace kq::cli
