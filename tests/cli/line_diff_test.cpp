// kqconvert's line diff on random texts: the edits turn one text into the other, walking both in
// order, and keep as many lines as a plain longest-common-subsequence table says can be kept.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "cli/line_diff.hpp"

namespace {

using kq::cli::LineEdit;
using kq::cli::LineEditKind;
using Lines = std::vector<std::string_view>;

// `before` with the edits applied; fails the test when they do not walk both texts in order.
Lines apply(const Lines& before, const Lines& after, const std::vector<LineEdit>& edits) {
    Lines result;
    std::size_t b = 0;
    std::size_t a = 0;
    for (const LineEdit& edit : edits) {
        EXPECT_EQ(edit.before, b);
        EXPECT_EQ(edit.after, a);
        if (edit.kind == LineEditKind::keep) {
            EXPECT_EQ(before.at(b), after.at(a));
        }
        if (edit.kind != LineEditKind::remove) {
            result.push_back(after.at(a++));
        }
        b += edit.kind == LineEditKind::insert ? 0 : 1;
    }
    EXPECT_EQ(b, before.size());
    return result;
}

std::size_t longestCommonSubsequence(const Lines& x, const Lines& y) {
    std::vector<std::vector<std::size_t>> table(x.size() + 1,
                                                std::vector<std::size_t>(y.size() + 1, 0));
    for (std::size_t i = 1; i <= x.size(); ++i) {
        for (std::size_t j = 1; j <= y.size(); ++j) {
            table[i][j] = x[i - 1] == y[j - 1] ? table[i - 1][j - 1] + 1
                                               : std::max(table[i - 1][j], table[i][j - 1]);
        }
    }
    return table[x.size()][y.size()];
}

TEST(LineDiff, RandomTextsGetAShortestCorrectEditScript) {
    std::mt19937 random(20240607);
    const std::vector<std::string> words = {"a\r\n", "b\r\n", "c\r\n", "}\r\n", ""};
    for (int round = 0; round < 2000; ++round) {
        auto randomLines = [&](std::size_t most) {
            Lines lines(std::uniform_int_distribution<std::size_t>(0, most)(random));
            for (auto& line : lines) {
                line =
                    words[std::uniform_int_distribution<std::size_t>(0, words.size() - 1)(random)];
            }
            return lines;
        };
        const Lines before = randomLines(round % 2 == 0 ? 12 : 40);
        const Lines after = randomLines(round % 3 == 0 ? 12 : 40);
        const std::vector<LineEdit> edits = kq::cli::diffLines(before, after);
        SCOPED_TRACE(round);
        EXPECT_EQ(apply(before, after, edits), after);
        const auto kept = static_cast<std::size_t>(
            std::count_if(edits.begin(), edits.end(),
                          [](const LineEdit& e) { return e.kind == LineEditKind::keep; }));
        EXPECT_EQ(kept, longestCommonSubsequence(before, after));
        EXPECT_EQ(edits.size(), before.size() + after.size() - kept);
    }
}

}  // namespace
