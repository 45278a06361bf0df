// The expected texts that all other rewrite tests build on, checked against the lengths (in
// characters) that the rewrites are defined with, so that a typo in them cannot pass unnoticed.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "expected_texts.hpp"
#include "script_builder.hpp"

namespace {

using kqtest::characterCount;
namespace literal = kqtest::literal;

template <typename Lines, typename Lengths>
void expectLineLengths(const Lines& lines, const Lengths& lengths) {
    ASSERT_EQ(lines.size(), lengths.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(characterCount(lines[i]), lengths[i]) << "line " << i + 1 << ": " << lines[i];
    }
}

TEST(RewriteLiterals, MultiLineTextsHaveTheirLengthsLineByLine) {
    expectLineLengths(literal::bootstrapLines, literal::bootstrapLineLengths);
    expectLineLengths(literal::evalPrefixLines, literal::evalPrefixLineLengths);
    expectLineLengths(literal::evalSuffixLines, literal::evalSuffixLineLengths);

    EXPECT_EQ(characterCount(literal::bootstrapBlock()), 373u);
    EXPECT_EQ(characterCount(literal::evalPrefix()), 108u);
    EXPECT_EQ(characterCount(literal::evalSuffix()), 175u);
    EXPECT_EQ(characterCount(literal::postNameBlock()), 106u);
    EXPECT_EQ(characterCount(literal::profileNameBlock()), 139u);
    EXPECT_EQ(characterCount(literal::evalPrefix()) + characterCount(literal::evalSuffix()), 283u);
}

TEST(RewriteLiterals, SingleLineTextsHaveTheirLengths) {
    struct Case {
        std::string_view text;
        std::size_t length;
    };
    const Case cases[] = {
        {literal::packageMarker, 5},  {literal::oldUseLine, 10},
        {literal::newUseLine, 22},    {literal::standardModuleName, 3},
        {literal::requireOpener, 9},  {literal::postUploadNameLine, 44},
        {literal::postSplitLine, 49}, {literal::profileUploadNameLine, 41},
        {literal::readLoopHead, 37},  {literal::newReadLoopLine, 46},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(characterCount(c.text), c.length) << c.text;
    }
}

TEST(RewriteLiterals, LeadingBlanksOfTheBootstrapAndSuffixLines) {
    const std::size_t bootstrapBlanks[] = {0, 4, 4, 4, 4, 4, 8, 12, 12, 8, 4, 4, 0};
    for (std::size_t i = 0; i < literal::bootstrapLines.size(); ++i) {
        const std::string_view line = literal::bootstrapLines[i];
        EXPECT_EQ(line.find_first_not_of(' '), bootstrapBlanks[i]) << "bootstrap line " << i + 1;
    }
    const std::size_t suffixBlanks[] = {0, 0, 4, 4, 4, 0};
    for (std::size_t i = 0; i < literal::evalSuffixLines.size(); ++i) {
        EXPECT_EQ(literal::evalSuffixLines[i].find_first_not_of(' '), suffixBlanks[i])
            << "suffix line " << i + 1;
    }
}

TEST(RewriteLiterals, BackslashesAreCharactersAndOnlyCrLfAreControlCharacters) {
    const std::string texts[] = {literal::bootstrapBlock(), literal::evalPrefix(),
                                 literal::evalSuffix(), literal::postNameBlock(),
                                 literal::profileNameBlock()};
    for (const std::string& text : texts) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if (byte == '\r') {
                ASSERT_LT(i + 1, text.size());
                EXPECT_EQ(text[i + 1], '\n');
            } else if (byte == '\n') {
                ASSERT_GT(i, 0u);
                EXPECT_EQ(text[i - 1], '\r');
            } else {
                EXPECT_GE(byte, 0x20u) << "control byte at " << i;
            }
        }
        EXPECT_NE(text.substr(text.size() - 2), "\r\n");
    }
    EXPECT_NE(literal::evalSuffix().find(R"($@\n)"), std::string::npos);
    EXPECT_NE(literal::postNameBlock().find(R"(s/\n//g;)"), std::string::npos);
}

TEST(RewriteLiterals, ChineseTextIsCodePage936) {
    // "KQ7100 <chu><cuo>!" with the full-width exclamation mark U+FF01 (A3 A1).
    EXPECT_NE(literal::evalSuffixLines[2].find("KQ7100 \xB3\xF6\xB4\xED\xA3\xA1\""),
              std::string_view::npos);
    // Full-width colon U+FF1A (A3 BA) before the error variable, full-width comma U+FF0C (A3 AC).
    EXPECT_NE(literal::evalSuffixLines[3].find("\xA3\xBA$@"), std::string_view::npos);
    EXPECT_NE(literal::evalSuffixLines[3].find("\xD3\xEF\xBE\xE4\xA3\xAC"), std::string_view::npos);
    EXPECT_NE(literal::evalSuffixLines[3].find("\xB5\xC4 require \xD3\xEF"),
              std::string_view::npos);
    EXPECT_EQ(literal::evalSuffixLines[3].size(), 53u + 27u);  // 27 double-byte characters
    EXPECT_EQ(literal::evalSuffixLines[2].size(), 75u + 3u);
}

}  // namespace
