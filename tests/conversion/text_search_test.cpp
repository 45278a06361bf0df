// Searching and replacing whole code page 936 characters: matches start and end on character
// boundaries, case folding touches ASCII letters of single-byte characters only, and a
// replacement is one left-to-right pass that never searches what it inserted.

#include "conversion/text_search.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "reference_rewrite.hpp"

namespace {

using namespace std::string_view_literals;
using kq::CaseMode;
using kq::noMatch;

struct FindCase {
    const char* what;
    std::string_view text;
    std::string_view needle;
    CaseMode mode;
    std::size_t from;
    std::size_t expected;
};

TEST(TextSearch, FindFirstMatchesWholeCharactersOnly) {
    const auto ci = CaseMode::insensitive;
    const auto ex = CaseMode::exact;
    const FindCase cases[] = {
        {"plain", "abc kqcgi"sv, "kqcgi"sv, ci, 0, 4},
        {"any case", "KqCgI"sv, "kqcgi"sv, ci, 0, 0},
        {"exact refuses other case", "KqCgI"sv, "kqcgi"sv, ex, 0, noMatch},
        {"exact finds same case", "KqCgI kqcgi"sv, "kqcgi"sv, ex, 0, 6},
        {"k is a trail byte", "\x81kqcgi"sv, "kqcgi"sv, ci, 0, noMatch},
        {"pair then marker", "\x81\x81kqcgi"sv, "kqcgi"sv, ci, 0, 2},
        {"skips the trail-byte k", "\x81kqcgi kqcgi"sv, "kqcgi"sv, ci, 0, 7},
        {"right after a Chinese character", "\xB3\xF6kqcgi"sv, "kqcgi"sv, ci, 0, 2},
        {"right before a Chinese character", "kqcgi\xB3\xF6"sv, "kqcgi"sv, ci, 0, 0},
        {"lead byte inside the word", "kqcg\x81i"sv, "kqcgi"sv, ci, 0, noMatch},
        {"double-byte needle", "x\xB3\xF6y"sv, "\xB3\xF6"sv, ci, 0, 1},
        {"needle bytes straddle two characters", "\xB3\xB3\xF6"sv, "\xB3\xF6"sv, ci, 0, noMatch},
        {"trail letter is not folded",
         "\x81"
         "A"sv,
         "\x81"
         "a"sv,
         ci, 0, noMatch},
        {"trail letter same case",
         "\x81"
         "a"sv,
         "\x81"
         "a"sv,
         ci, 0, 0},
        {"lone lead in needle vs pair",
         "a\x81"
         "c"sv,
         "a\x81"sv, ci, 0, noMatch},
        {"lone lead at the end of both", "ba\x81"sv, "a\x81"sv, ci, 0, 1},
        {"needle starts with a trail-looking byte", "\x81kq"sv, "kq"sv, ci, 0, noMatch},
        {"second copy after the pair", "\x81kqkq"sv, "kq"sv, ci, 0, 3},
        {"backslash as trail byte", "\x81\\n"sv, "\\n"sv, ci, 0, noMatch},
        {"backslash after a pair", "\x81\x81\\n"sv, "\\n"sv, ci, 0, 2},
        {"bracket is not a letter", "{"sv, "["sv, ci, 0, noMatch},
        {"at sign is not a letter", "`"sv, "@"sv, ci, 0, noMatch},
        {"caret is not a letter", "~"sv, "^"sv, ci, 0, noMatch},
        {"high bytes are not folded", "\xE1"sv, "\xC1"sv, ci, 0, noMatch},
        {"from a later boundary", "kqcgi kqcgi"sv, "kqcgi"sv, ci, 1, 6},
        {"from the match itself", "kqcgi kqcgi"sv, "kqcgi"sv, ci, 6, 6},
        {"from past the last match", "kqcgi kqcgi"sv, "kqcgi"sv, ci, 7, noMatch},
        {"from the end", "kqcgi"sv, "kqcgi"sv, ci, 5, noMatch},
        {"from after a Chinese character", "\xB3\xF6kq"sv, "kq"sv, ci, 2, 2},
        {"empty text", ""sv, "kqcgi"sv, ci, 0, noMatch},
        {"needle longer than text", "kqcg"sv, "kqcgi"sv, ci, 0, noMatch},
        {"repeated prefix", "aaab"sv, "aab"sv, ci, 0, 1},
        {"periodic needle", "abababac"sv, "ababac"sv, ci, 0, 2},
        {"periodic needle in other case", "ABAbABac"sv, "abaBAC"sv, ci, 0, 2},
        {"NUL bytes are characters", "a\0b\0c"sv, "\0c"sv, ci, 0, 3},
    };
    for (const FindCase& c : cases) {
        const kq::Needle needle(c.needle, c.mode);
        EXPECT_EQ(kq::findFirst(c.text, needle, c.from), c.expected) << c.what;
    }
}

TEST(TextSearch, FindAllIsLeftToRightWithoutOverlap) {
    struct Case {
        std::string_view text;
        std::string_view needle;
        std::vector<std::size_t> expected;
    };
    const Case cases[] = {
        {"kqcgikqcgi"sv, "kqcgi"sv, {0, 5}},
        {"aaaa"sv, "aa"sv, {0, 2}},
        {"aaaaa"sv, "aa"sv, {0, 2}},
        {"\x81kqcgi KQCGI\x81\x81kqcgi"sv, "kqcgi"sv, {7, 14}},
        {"no marker here"sv, "kqcgi"sv, {}},
        {""sv, "kqcgi"sv, {}},
        {"\xB3\xF6\xB3\xF6\xB3"sv, "\xB3\xF6"sv, {0, 2}},
        {"\xB3\xB3\xF6\xF6"sv, "\xB3\xF6"sv, {}},
    };
    for (const Case& c : cases) {
        const kq::Needle needle(c.needle, CaseMode::insensitive);
        EXPECT_THAT(kq::findAll(c.text, needle), testing::ElementsAreArray(c.expected))
            << testing::PrintToString(std::string(c.text));
    }
}

TEST(TextSearch, ReplaceAllIsOnePassThatKeepsEverythingElse) {
    struct Case {
        const char* what;
        std::string_view text;
        std::string_view needle;
        CaseMode mode;
        std::string_view replacement;
        std::string_view expected;
    };
    const auto ci = CaseMode::insensitive;
    const auto ex = CaseMode::exact;
    const Case cases[] = {
        {"inserted text is not searched again", "kqkqcgicgi"sv, "kqcgi"sv, ci, "CGI"sv,
         "kqCGIcgi"sv},
        {"replacement holds the search text", "ab"sv, "a"sv, ci, "aa"sv, "aab"sv},
        {"replacement holds it, every occurrence", "aaa"sv, "a"sv, ci, "aa"sv, "aaaaaa"sv},
        {"longer replacement holding the search text", "x kqcgi y"sv, "kqcgi"sv, ci,
         "kqcgi kqcgi"sv, "x kqcgi kqcgi y"sv},
        {"next to Chinese characters", "x\xB3\xF6kqcgi\xB3\xF6"sv, "kqcgi"sv, ci, "CGI"sv,
         "x\xB3\xF6"
         "CGI\xB3\xF6"sv},
        {"case between matches kept", "Use KQCGI; and kQcGi."sv, "kqcgi"sv, ci, "CGI"sv,
         "Use CGI; and CGI."sv},
        {"empty needle replaces nothing", "abc"sv, ""sv, ci, "X"sv, "abc"sv},
        {"no match leaves stray bytes alone", "\xFF\x80\x81"sv, "kqcgi"sv, ci, "CGI"sv,
         "\xFF\x80\x81"sv},
        {"exact mode", "KQCGI kqcgi"sv, "kqcgi"sv, ex, "CGI"sv, "KQCGI CGI"sv},
        {"trail-byte k is no match", "\x81kqcgi"sv, "kqcgi"sv, ci, "CGI"sv, "\x81kqcgi"sv},
        {"delete", "aXbxc"sv, "x"sv, ci, ""sv, "abc"sv},
        {"match at both ends", "kqcgi-kqcgi"sv, "kqcgi"sv, ci, ""sv, "-"sv},
        {"double-byte needle", "\x81\x81\xB3\xF6\x81"sv, "\xB3\xF6"sv, ci, "!"sv,
         "\x81\x81!\x81"sv},
    };
    for (const Case& c : cases) {
        const kq::Needle needle(c.needle, c.mode);
        EXPECT_EQ(kq::replaceAll(c.text, needle, c.replacement), c.expected) << c.what;
    }
}

// Random texts over a small alphabet rich in lead bytes, trail-looking letters and backslashes,
// searched for pieces cut out of them (also in the middle of a double-byte character).
TEST(TextSearch, AgreesWithACharacterByCharacterSearchOnGeneratedTexts) {
    namespace ref = kqtest::reference;
    std::mt19937 random(7100);
    const char alphabet[] = {'a', 'A', 'b', 'k', 'K', '\\', '[', '{', '\x81', '\xB3', '\xF6'};
    for (int n = 0; n < 3000; ++n) {
        std::string text;
        const std::size_t length = random() % 40;
        for (std::size_t i = 0; i < length; ++i) {
            text += alphabet[random() % sizeof alphabet];
        }
        const std::size_t start = text.empty() ? 0 : random() % text.size();
        std::string needleText = text.substr(start, 1 + random() % 4);
        if (needleText.empty()) {
            needleText = "a";
        }
        const bool exact = random() % 2 == 0;
        const kq::Needle needle(needleText, exact ? CaseMode::exact : CaseMode::insensitive);
        const ref::Compare compare = exact ? ref::Compare::exact : ref::Compare::ignoreCase;

        const ref::Replaced expected = ref::replaceAll(text, needleText, "<>", compare);
        const std::string context = testing::PrintToString(text) + " searched for " +
                                    testing::PrintToString(needleText) +
                                    (exact ? " exact" : " any case");
        ASSERT_EQ(kq::replaceAll(text, needle, "<>"), expected.text) << context;

        // findAll: the same occurrences, as offsets in the original text.
        std::vector<std::size_t> offsets;
        for (std::size_t k = 0; k < expected.insertedAt.size(); ++k) {
            offsets.push_back(expected.insertedAt[k] - k * 2 + k * needleText.size());
        }
        ASSERT_THAT(kq::findAll(text, needle), testing::ElementsAreArray(offsets)) << context;
        ASSERT_EQ(kq::findFirst(text, needle), offsets.empty() ? noMatch : offsets.front())
            << context;
    }
}

}  // namespace
