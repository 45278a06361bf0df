#include "unified_diff.hpp"

#include <algorithm>
#include <vector>

#include "cli_texts.hpp"
#include "fill_in.hpp"
#include "line_diff.hpp"

namespace kq::cli {

namespace {

// One hunk: the edits [first, last) of the edit script.
struct Hunk {
    std::size_t first;
    std::size_t last;
};

// Changes with at most twice the context of unchanged lines between them share one hunk, as
// their contexts would touch.
std::vector<Hunk> groupIntoHunks(const std::vector<LineEdit>& edits) {
    std::vector<Hunk> hunks;
    std::size_t lastChange = 0;
    for (std::size_t i = 0; i < edits.size(); ++i) {
        if (edits[i].kind == LineEditKind::keep) {
            continue;
        }
        if (!hunks.empty() && i - lastChange - 1 <= 2 * diffContextLines) {
            hunks.back().last = std::min(edits.size(), i + 1 + diffContextLines);
        } else {
            hunks.push_back({i >= diffContextLines ? i - diffContextLines : 0,
                             std::min(edits.size(), i + 1 + diffContextLines)});
        }
        lastChange = i;
    }
    return hunks;
}

// "l,s" of a hunk header: the first line and the number of lines; a single line is "l", and an
// empty range names the line before it.
std::wstring lineRange(std::size_t firstIndex, std::size_t count) {
    if (count == 0) {
        return std::to_wstring(firstIndex) + L",0";
    }
    if (count == 1) {
        return std::to_wstring(firstIndex + 1);
    }
    return std::to_wstring(firstIndex + 1) + L"," + std::to_wstring(count);
}

std::string_view withoutLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
    }
    return line;
}

void appendLine(std::wstring& out, wchar_t mark, std::string_view line, Cp936Display& display) {
    out += mark;
    out += display.line(withoutLineEnd(line));
    out += L'\n';
    if (line.empty() || line.back() != '\n') {
        out += texts::diffNoLineEnd;
        out += L'\n';
    }
}

}  // namespace

std::wstring unifiedDiff(const NativePath& name, std::string_view before, std::string_view after,
                         Cp936Display& display) {
    const std::vector<std::string_view> beforeLines = splitLines(before);
    const std::vector<std::string_view> afterLines = splitLines(after);
    const std::vector<LineEdit> edits = diffLines(beforeLines, afterLines);
    const std::vector<Hunk> hunks = groupIntoHunks(edits);
    if (hunks.empty()) {
        return {};
    }
    const std::wstring shownName = displayName(name);
    std::wstring out = fillIn(texts::diffBefore, {shownName}) + L'\n' +
                       fillIn(texts::diffAfter, {shownName}) + L'\n';
    for (const Hunk& hunk : hunks) {
        std::size_t beforeCount = 0;
        std::size_t afterCount = 0;
        for (std::size_t i = hunk.first; i < hunk.last; ++i) {
            if (edits[i].kind != LineEditKind::insert) {
                ++beforeCount;
            }
            if (edits[i].kind != LineEditKind::remove) {
                ++afterCount;
            }
        }
        const LineEdit& start = edits[hunk.first];
        out += L"@@ -" + lineRange(start.before, beforeCount) + L" +" +
               lineRange(start.after, afterCount) + L" @@\n";
        // Within a run of changes, every removed line comes before every inserted one.
        std::size_t i = hunk.first;
        while (i < hunk.last) {
            if (edits[i].kind == LineEditKind::keep) {
                appendLine(out, L' ', beforeLines[edits[i].before], display);
                ++i;
                continue;
            }
            std::size_t runEnd = i;
            while (runEnd < hunk.last && edits[runEnd].kind != LineEditKind::keep) {
                ++runEnd;
            }
            for (std::size_t k = i; k < runEnd; ++k) {
                if (edits[k].kind == LineEditKind::remove) {
                    appendLine(out, L'-', beforeLines[edits[k].before], display);
                }
            }
            for (std::size_t k = i; k < runEnd; ++k) {
                if (edits[k].kind == LineEditKind::insert) {
                    appendLine(out, L'+', afterLines[edits[k].after], display);
                }
            }
            i = runEnd;
        }
    }
    return out;
}

}  // namespace kq::cli
