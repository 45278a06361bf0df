// The engine's search and rewrites against the step-by-step model, on generated texts made of the
// pieces that trip a matcher in code page 936: lead bytes before ASCII-looking trail bytes ("@",
// "\", "[", "]", "_", "}", letters), parts and wholes of the searched texts, line ends, NUL.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/rewrite/library_switch.hpp"
#include "conversion/rewrite/upload_rewrite.hpp"
#include "conversion/text/text_search.hpp"
#include "reference_rewrite.hpp"

namespace {

namespace ref = kqtest::reference;
namespace literal = kq::literals;

// Pieces a generated text is made of; every searched text appears whole, cut and in other case.
const std::vector<std::string>& pieces() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> p{"\x81",
                                   "\xFE",
                                   "\xB0\xA1",
                                   "@",
                                   "\\",
                                   "[",
                                   "]",
                                   "_",
                                   "}",
                                   "~",
                                   "\x80",
                                   "\xFF",
                                   std::string(1, '\0'),
                                   "\r\n",
                                   "\n",
                                   "\r",
                                   " ",
                                   "\"",
                                   "$",
                                   ";",
                                   "k",
                                   "K",
                                   "q",
                                   "CGI",
                                   "qw",
                                   "#",
                                   "\t"};
        for (const std::string_view text :
             {literal::packageMarker, literal::oldUseLine, literal::requireOpener,
              literal::readLoopHead, literal::postUploadNameLine, literal::postSplitLine,
              literal::profileUploadNameLine, std::string_view("KQcgi"),
              std::string_view("rEQUIRE \"")}) {
            p.emplace_back(text);
            p.emplace_back(text.substr(0, text.size() / 2));
            p.emplace_back(text.substr(1));
        }
        p.emplace_back(literal::bootstrapBlock);
        return p;
    }();
    return all;
}

std::string generated(std::mt19937& random, std::size_t count) {
    std::uniform_int_distribution<std::size_t> pick(0, pieces().size() - 1);
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += pieces()[pick(random)];
    }
    return text;
}

// Byte offsets of the model's matches: left to right, without overlap.
std::vector<std::size_t> modelMatches(std::string_view text, std::string_view needle,
                                      ref::Compare mode) {
    const ref::CharText chars(text);
    const ref::CharText wanted(needle);
    std::vector<std::size_t> found;
    for (std::size_t pos = ref::findFrom(chars, 1, wanted, mode); pos != 0;
         pos = ref::findFrom(chars, pos + wanted.length(), wanted, mode)) {
        found.push_back(chars.byteOffset(pos));
    }
    return found;
}

// The matches of `needle` in `text` by every scan path, and its replacements, against the model.
void expectAsTheModel(const std::string& text, const std::string& needle) {
    for (const auto& [mode, compare] :
         {std::pair{kq::CaseMode::insensitive, ref::Compare::ignoreCase},
          std::pair{kq::CaseMode::exact, ref::Compare::exact}}) {
        const kq::Needle prepared(needle, mode);
        const std::vector<std::size_t> expected = modelMatches(text, needle, compare);
        for (const kq::ScanPath path : kq::availableScans()) {
            std::vector<std::size_t> found;
            kq::Matches matches(text, prepared, 0, path);
            for (std::size_t at = matches.next(); at != kq::noMatch; at = matches.next()) {
                found.push_back(at);
            }
            ASSERT_EQ(found, expected) << "scan path " << static_cast<int>(path);
        }
        // Replacements shorter and longer than the needle take different paths.
        for (const std::string_view replacement : {std::string_view(), std::string_view("<->")}) {
            std::string replaced = text;
            kq::replaceAllIn(replaced, prepared, replacement);
            ASSERT_EQ(replaced, ref::replaceAll(text, needle, replacement, compare).text);
        }
    }
}

TEST(Search, FindsAndReplacesWholeCharactersAsTheModelDoes) {
    std::mt19937 random(936);
    for (std::size_t round = 0; round < 3000; ++round) {
        const std::string text = generated(random, 1 + round % 40);
        // A needle cut from the text itself, or one made of the pieces.
        std::string needle = generated(random, 1 + round % 3);
        if (round % 2 == 0) {
            const std::size_t start = random() % text.size();
            needle = text.substr(start, 1 + random() % 12);
        }
        SCOPED_TRACE(round);
        expectAsTheModel(text, needle);
    }
}

TEST(Search, TextsOfNearMissesStayExact) {
    // Near misses at every start make the search change its byte pair, and then, since the new
    // pair finds as many, to its automaton; markers that fail at their last letter, and next to
    // double-byte characters, only change the pair.
    for (const auto& [unit, needle] :
         {std::pair<std::string, std::string>{"aaaaaaaaaaab", "aaaaaaaaaaaa"},
          std::pair<std::string, std::string>{"kqcg", "kqcgi"},
          std::pair<std::string, std::string>{"KqCgI\xB0", "kqcgi"}}) {
        std::string text;
        for (int i = 0; i < 3000; ++i) {
            text += unit;
        }
        expectAsTheModel(text + needle + unit + needle, needle);
    }
}

TEST(Search, FoldsEveryLetter) {
    // Needles of one, three and five letters of either case, against every letter in both cases:
    // a fault in the fold of a single letter shows, whichever way the search goes.
    const std::string lower = "abcdefghijklmnopqrstuvwxyz";
    const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string text = upper + "\xB0\xA1" + lower + " " + upper + lower;
    for (std::size_t length = 1; length <= 5; length += 2) {
        for (std::size_t at = 0; at + length <= lower.size(); ++at) {
            expectAsTheModel(text, lower.substr(at, length));
            expectAsTheModel(text, upper.substr(at, length));
        }
    }
}

TEST(Rewrites, FollowTheStepsOnGeneratedScripts) {
    std::mt19937 random(7100);
    int converted = 0;
    for (std::size_t round = 0; round < 1500; ++round) {
        const std::string script = generated(random, 2 + round % 60);
        EXPECT_EQ(kq::hasPackageMarker(script), ref::hasMarker(script)) << round;

        std::string text = script;
        const ref::AfterRename renamed = ref::renameModule(script);
        const std::optional<std::string> wrapped = ref::wrapRequire(renamed.text);
        ASSERT_EQ(kq::switchLibrary(text), wrapped.has_value()) << round;
        ASSERT_EQ(text, wrapped ? *wrapped : renamed.text) << round;
        converted += wrapped ? 1 : 0;

        for (const bool post : {true, false}) {
            std::string upload = text;
            const ref::UploadResult expected =
                ref::rewriteUpload(text, post ? ref::Upload::post : ref::Upload::profile);
            EXPECT_EQ(post ? kq::rewritePostUpload(upload) : kq::rewriteProfileUpload(upload),
                      expected.readLoopFound);
            ASSERT_EQ(upload, expected.text) << round;
        }
    }
    EXPECT_GT(converted, 150);  // the generated scripts do reach the require wrap
}

TEST(Rewrites, BringEarlierConversionsUpToDateAsTheModelDoes) {
    // Scripts made of what earlier versions inserted and what this one inserts, whole and cut
    // short by one byte, between line ends, double-byte characters and other text.
    std::vector<std::string> parts{"\r\n", "\n", "x", "$@;", "\xB0", "\xA1", "\xB0\xA1"};
    for (const std::string_view text : {literal::earlierEvalPrefix, literal::evalPrefix,
                                        literal::earliestEvalSuffix, literal::evalSuffix}) {
        parts.emplace_back(text);
        parts.emplace_back(text.substr(0, text.size() - 1));
        parts.emplace_back(text.substr(1));
    }
    std::mt19937 random(2026);
    std::uniform_int_distribution<std::size_t> pick(0, parts.size() - 1);
    int updated = 0;
    for (std::size_t round = 0; round < 400; ++round) {
        std::string script;
        for (std::size_t i = 0; i < 2 + round % 10; ++i) {
            script += parts[pick(random)];
        }
        std::string text = script;
        const std::optional<std::string> expected = ref::updateEarlier(script);
        ASSERT_EQ(kq::updateEarlierConversion(text), expected.has_value()) << round;
        ASSERT_EQ(text, expected.value_or(script)) << round;
        updated += expected ? 1 : 0;
    }
    EXPECT_GT(updated, 40);  // the generated scripts do reach the update
}

}  // namespace
