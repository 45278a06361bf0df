// Code page 936 character boundaries: the unit every rewrite position and every match is made of.

#include "conversion/cp936.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "script_builder.hpp"

namespace {

using namespace std::string_view_literals;

TEST(Cp936Bytes, LeadAndTrailRangesEndWhereCodePage936EndsThem) {
    struct Case {
        unsigned char byte;
        bool lead;
        bool trail;
    };
    const Case cases[] = {
        {0x00, false, false}, {0x24, false, false},  // '$' is never part of a double-byte pair
        {0x3B, false, false}, {0x3F, false, false}, {0x40, false, true},  {0x5C, false, true},
        {0x6B, false, true},  {0x7E, false, true},  {0x7F, false, false}, {0x80, false, true},
        {0x81, true, true},   {0xA3, true, true},   {0xFE, true, true},   {0xFF, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kq::cp936::isLeadByte(c.byte), c.lead) << int{c.byte};
        EXPECT_EQ(kq::cp936::isTrailByte(c.byte), c.trail) << int{c.byte};
    }
}

TEST(Cp936Bytes, CharacterLengthAtEachOffset) {
    struct Case {
        std::string_view bytes;
        std::size_t pos;
        std::size_t length;
    };
    const Case cases[] = {
        {"a"sv, 0, 1},         {"\xB3\xF6"sv, 0, 2},  // a Chinese character
        {"\x81k"sv, 0, 2},                            // trail byte that looks like a letter
        {"\x81\\"sv, 0, 2},                           // trail byte that looks like a backslash
        {"\x81"sv, 0, 1},                             // lead byte at the end of the text
        {"\x81 "sv, 0, 1},                            // lead byte followed by a non-trail byte
        {"\x81\x7F"sv, 0, 1},  {"\x81\xFF"sv, 0, 1},
        {"\x80k"sv, 0, 1},  // 0x80 leads nothing
        {"\xFF\xA1"sv, 0, 1},  {"\xFE\xFE"sv, 0, 2},
        {"x\xB3\xF6"sv, 1, 2}, {"\x81\x81\x81"sv, 2, 1},  // a lone lead byte after a pair
        {"\x00\x81@"sv, 1, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kq::cp936::charLengthAt(c.bytes, c.pos), c.length)
            << testing::PrintToString(std::string(c.bytes)) << " at " << c.pos;
    }
}

TEST(Cp936Bytes, CountCharsCountsPairsOnceAndEveryOtherByteOnce) {
    struct Case {
        std::string_view bytes;
        std::size_t count;
    };
    const Case cases[] = {
        {""sv, 0},
        {"kqcgi"sv, 5},
        {"\xB3\xF6\xB4\xED\xA3\xA1"sv, 3},
        {"\x81kqcgi"sv, 5},             // 0x81 'k' is one character
        {"\x81\x81\x81\x81\x81"sv, 3},  // pairs from the left, the last byte alone
        {"\x80\xFF\x81"sv, 3},
        {"a\0b"sv, 3},
        {"\x81\r\n"sv, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kq::cp936::countChars(c.bytes), c.count)
            << testing::PrintToString(std::string(c.bytes));
    }
}

// Character starts of `bytes`, worked out byte by byte.
std::vector<std::size_t> characterStarts(std::string_view bytes) {
    std::vector<std::size_t> starts;
    std::size_t i = 0;
    while (i < bytes.size()) {
        starts.push_back(i);
        const bool pair = kqtest::isGbkLead(static_cast<unsigned char>(bytes[i])) &&
                          i + 1 < bytes.size() &&
                          kqtest::isGbkTrail(static_cast<unsigned char>(bytes[i + 1]));
        i += pair ? 2 : 1;
    }
    starts.push_back(bytes.size());  // the end is a boundary too
    return starts;
}

// Texts that mix long ASCII runs (crossed in blocks) with double-byte characters and stray bytes.
std::vector<std::string> boundaryTexts() {
    std::vector<std::string> texts = {
        "",
        "plain ascii text that is longer than sixteen bytes",
        std::string(17, '\x81') + "abcdefghij" + std::string(9, '\x81'),
        "12345678\xB3\xF6"
        "abcdefg\x81"
        "kqcgi\x81\\"
        "\xFF\x80\x81",
        "\x81" + std::string(40, 'k') + "\x81",
    };
    std::mt19937 random(936);
    const char alphabet[] = {'a',    'k',    '\\',   '$',    '\r',  '\n',
                             '\x81', '\xB3', '\xF6', '\xFF', '\x80'};
    for (int n = 0; n < 200; ++n) {
        std::string text;
        const std::size_t length = random() % 80;
        for (std::size_t i = 0; i < length; ++i) {
            text += (random() % 3 == 0) ? alphabet[random() % sizeof alphabet] : 'x';
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(Cp936BoundaryCursor, AgreesWithAByteByByteWalkInIncreasingOrder) {
    for (const std::string& text : boundaryTexts()) {
        const std::vector<std::size_t> starts = characterStarts(text);
        kq::cp936::BoundaryCursor cursor(text);
        std::size_t next = 0;  // index into starts of the first boundary >= pos
        for (std::size_t pos = 0; pos <= text.size(); ++pos) {
            while (starts[next] < pos) {
                ++next;
            }
            ASSERT_EQ(cursor.boundaryAtOrAfter(pos), starts[next])
                << testing::PrintToString(text) << " at " << pos;
            ASSERT_EQ(cursor.isBoundary(pos), starts[next] == pos);
            if (starts[next] == pos && pos > 0) {
                ASSERT_EQ(cursor.charStartBefore(pos), starts[next - 1])
                    << testing::PrintToString(text) << " at " << pos;
            }
        }
        EXPECT_EQ(kq::cp936::countChars(text), starts.size() - 1);
    }
}

TEST(Cp936BoundaryCursor, FreshCursorAnswersFarOffsetsAndEarlierOnes) {
    for (const std::string& text : boundaryTexts()) {
        const std::vector<std::size_t> starts = characterStarts(text);
        for (std::size_t k = 1; k < starts.size(); ++k) {
            kq::cp936::BoundaryCursor cursor(text);
            ASSERT_EQ(cursor.charStartBefore(starts[k]), starts[k - 1])
                << testing::PrintToString(text) << " at " << starts[k];
            // Back to the start after a far jump.
            ASSERT_EQ(cursor.boundaryAtOrAfter(0), 0u);
            ASSERT_TRUE(cursor.isBoundary(starts[k - 1]));
        }
    }
}

}  // namespace
