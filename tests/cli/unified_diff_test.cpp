// The unified diff as the user reads it: hunks and their headers as the usual diff tools make
// them, and script lines decoded from code page 936 with every undecodable byte shown.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "cli_display_text.hpp"
#include "cli_unified_diff.hpp"

namespace {

using kq::cli::Cp936Display;
using kq::cli::unifiedDiff;

std::wstring diffOf(std::string_view before, std::string_view after) {
    Cp936Display display;
    return unifiedDiff("a.cgi", before, after, display);
}

constexpr std::wstring_view headers = L"--- a.cgi（转换前）\n+++ a.cgi（转换后）\n";

TEST(UnifiedDiff, HunksAndTheirHeadersFollowTheUsualRules) {
    struct Case {
        const char* what;
        std::string before;
        std::string after;
        std::wstring hunks;
    };
    const std::vector<Case> cases = {
        {"six unchanged lines between two changes: one hunk", "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n",
         "a\nB\nc\nd\ne\nf\ng\nh\nI\nj\n",
         L"@@ -1,10 +1,10 @@\n a\n-b\n+B\n c\n d\n e\n f\n g\n h\n-i\n+I\n j\n"},
        {"seven unchanged lines between two changes: two hunks",
         "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\n", "a\nB\nc\nd\ne\nf\ng\nh\ni\nJ\nk\n",
         L"@@ -1,5 +1,5 @@\n a\n-b\n+B\n c\n d\n e\n@@ -7,5 +7,5 @@\n g\n h\n i\n-j\n+J\n k\n"},
        {"last line without a line end", "x\n", "y",
         L"@@ -1 +1 @@\n-x\n+y\n\\ 文件末尾没有换行符\n"},
        {"everything new", "", "x\n", L"@@ -0,0 +1 @@\n+x\n"},
        {"removed lines come before inserted ones", "a\nb\nc\n", "x\ny\n",
         L"@@ -1,3 +1,2 @@\n-a\n-b\n-c\n+x\n+y\n"},
        {"CR LF line ends are not shown", "a\r\nb\r\n", "a\r\nc\r\n",
         L"@@ -1,2 +1,2 @@\n a\n-b\n+c\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(diffOf(c.before, c.after), std::wstring(headers) + c.hunks);
    }
    EXPECT_EQ(diffOf("same\r\n", "same\r\n"), L"");
}

TEST(UnifiedDiff, LinesAreDecodedFromCodePage936AndBadBytesAreEscaped) {
    struct Case {
        const char* what;
        std::string bytes;
        std::wstring shown;
    };
    const std::vector<Case> cases = {
        {"Chinese text", "# \xC7\xE5\xB7\xE7\xC2\xDB\xCC\xB3", L"# 清风论坛"},
        {"full-width punctuation", "\xB3\xF6\xB4\xED\xA3\xA1", L"出错！"},
        {"a trail byte that looks like a backslash", "\xD5\x5C\"", L"誠\""},
        {"a byte that is no character",
         "a\xFF"
         "b",
         L"a\\xFFb"},
        {"a lead byte at the end of the line", "a\x81", L"a\\x81"},
        {"a lead byte before a byte that cannot follow it", "\x81\x20z", L"\\x81 z"},
        {"control characters", "a\x1B[2Jb\x7F\rc", L"a\\x1B[2Jb\\x7F\\x0Dc"},
        {"a tab stays", "\tx", L"\tx"},
        {"a NUL byte", std::string("a\0b", 3), L"a\\x00b"},
    };
    Cp936Display display;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(display.line(c.bytes), c.shown);
    }
    EXPECT_EQ(diffOf("keep\r\n\xC7\xE5\r\n", "keep\r\n\xFF\r\n"),
              std::wstring(headers) + L"@@ -1,2 +1,2 @@\n keep\n-清\n+\\xFF\n");
}

}  // namespace
