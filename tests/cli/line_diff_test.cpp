// The line diff: hand-made cases, and random texts checked against a plain longest-common-
// subsequence table for correctness (the edits turn one text into the other) and minimality.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cli_line_diff.hpp"

namespace {

using kq::cli::diffLines;
using kq::cli::LineEdit;
using kq::cli::LineEditKind;
using Lines = std::vector<std::string_view>;

// Applies the edits to `before`, checking on the way that they walk both texts in order.
std::vector<std::string_view> apply(const Lines& before, const Lines& after,
                                    const std::vector<LineEdit>& edits) {
    std::vector<std::string_view> result;
    std::size_t b = 0;
    std::size_t a = 0;
    for (const LineEdit& edit : edits) {
        EXPECT_EQ(edit.before, b);
        EXPECT_EQ(edit.after, a);
        switch (edit.kind) {
            case LineEditKind::keep:
                EXPECT_EQ(before.at(b), after.at(a));
                result.push_back(before.at(b));
                ++b, ++a;
                break;
            case LineEditKind::remove:
                ++b;
                break;
            case LineEditKind::insert:
                result.push_back(after.at(a));
                ++a;
                break;
        }
    }
    EXPECT_EQ(b, before.size());
    EXPECT_EQ(a, after.size());
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

std::size_t keptLines(const std::vector<LineEdit>& edits) {
    return static_cast<std::size_t>(
        std::count_if(edits.begin(), edits.end(),
                      [](const LineEdit& e) { return e.kind == LineEditKind::keep; }));
}

TEST(LineDiff, HandMadeCases) {
    constexpr auto keep = LineEditKind::keep;
    constexpr auto remove = LineEditKind::remove;
    constexpr auto insert = LineEditKind::insert;
    struct Case {
        const char* what;
        Lines before;
        Lines after;
        std::vector<LineEdit> edits;
    };
    const std::vector<Case> cases = {
        {"both empty", {}, {}, {}},
        {"all new", {}, {"a", "b"}, {{insert, 0, 0}, {insert, 0, 1}}},
        {"all gone", {"a", "b"}, {}, {{remove, 0, 0}, {remove, 1, 0}}},
        {"equal", {"a", "b"}, {"a", "b"}, {{keep, 0, 0}, {keep, 1, 1}}},
        {"one line replaced",
         {"a", "b", "c"},
         {"a", "x", "c"},
         {{keep, 0, 0}, {remove, 1, 1}, {insert, 2, 1}, {keep, 2, 2}}},
        {"block removed at the front",
         {"x", "y", "a"},
         {"a"},
         {{remove, 0, 0}, {remove, 1, 0}, {keep, 2, 0}}},
        {"line inserted at the end", {"a"}, {"a", "z"}, {{keep, 0, 0}, {insert, 1, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(diffLines(c.before, c.after), c.edits);
    }
}

TEST(LineDiff, RandomTextsGetAShortestCorrectEditScript) {
    std::mt19937 random(20240607);
    const std::vector<std::string> words = {"a\r\n", "b\r\n", "c\r\n", "}\r\n", ""};
    for (int round = 0; round < 3000; ++round) {
        auto randomLines = [&](std::size_t maximum) {
            Lines lines(std::uniform_int_distribution<std::size_t>(0, maximum)(random));
            for (auto& line : lines) {
                line =
                    words[std::uniform_int_distribution<std::size_t>(0, words.size() - 1)(random)];
            }
            return lines;
        };
        const Lines before = randomLines(round % 2 == 0 ? 12 : 40);
        const Lines after = randomLines(round % 3 == 0 ? 12 : 40);
        const std::vector<LineEdit> edits = diffLines(before, after);
        SCOPED_TRACE(round);
        EXPECT_EQ(apply(before, after, edits), after);
        EXPECT_EQ(keptLines(edits), longestCommonSubsequence(before, after));
        EXPECT_EQ(edits.size(), before.size() + after.size() - keptLines(edits));
    }
}

TEST(LineDiff, AFewChangesInALongScriptCostOnlyThoseChanges) {
    std::vector<std::string> storage;
    storage.reserve(4000);
    for (int i = 0; i < 4000; ++i) {
        storage.push_back("line " + std::to_string(i) + "\r\n");
    }
    std::vector<std::string> changed = storage;
    for (int i = 100; i < 4000; i += 400) {
        changed[static_cast<std::size_t>(i)] = "changed\r\n";
    }
    changed.insert(changed.begin() + 50, "new\r\n");
    const Lines before(storage.begin(), storage.end());
    const Lines after(changed.begin(), changed.end());

    const std::vector<LineEdit> edits = diffLines(before, after);

    EXPECT_EQ(apply(before, after, edits), after);
    EXPECT_EQ(keptLines(edits), 4000U - 10U);
    EXPECT_EQ(edits.size(), 4000U + 10U + 1U);
}

TEST(LineDiff, TwoTextsWithNothingInCommon) {
    std::vector<std::string> left;
    std::vector<std::string> right;
    for (int i = 0; i < 2000; ++i) {
        left.push_back("left " + std::to_string(i) + "\n");
        right.push_back("right " + std::to_string(i) + "\n");
    }
    const Lines before(left.begin(), left.end());
    const Lines after(right.begin(), right.end());
    const std::vector<LineEdit> edits = diffLines(before, after);
    EXPECT_EQ(apply(before, after, edits), after);
    EXPECT_EQ(keptLines(edits), 0U);
}

TEST(LineDiff, SplitLinesKeepsLineEndsAndALastLineWithoutOne) {
    using kq::cli::splitLines;
    EXPECT_TRUE(splitLines("").empty());
    EXPECT_THAT(splitLines("a\r\nb\nc"), testing::ElementsAre("a\r\n", "b\n", "c"));
    EXPECT_THAT(splitLines("\n\n"), testing::ElementsAre("\n", "\n"));
    EXPECT_THAT(splitLines("a\rb\n"), testing::ElementsAre("a\rb\n"));  // a lone CR ends no line
}

}  // namespace
