// The library switch: the package marker test, the bootstrap removal, the module switch, the
// marker rename and the require wrap, checked on scripts built from the expected texts.

#include "conversion/library_switch.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "expected_texts.hpp"
#include "reference_rewrite.hpp"
#include "script_builder.hpp"

namespace {

using namespace std::string_literals;
using kqtest::characterCount;
using kqtest::crlfScript;
using kqtest::lfScript;
namespace literal = kqtest::literal;

std::string show(std::string_view bytes) {
    return testing::PrintToString(std::string(bytes));
}

// The two texts the require wrap inserts.
const std::string prefix = literal::evalPrefix();
const std::string suffix = literal::evalSuffix();

TEST(PackageMarker, FoundInAnyCaseAndInsideWordsButNeverAcrossACharacter) {
    struct Case {
        std::string_view text;
        bool expected;
    };
    const Case cases[] = {
        {"", false},
        {"kqcgi", true},
        {"use KQCGI;", true},
        {"# this script once used KqCgI\r\n", true},  // only in a comment
        {"$KQCGI::VERSION", true},
        {"xkqcgix", true},
        {"kqcg i", false},
        {"kq-cgi", false},
        {"\x81kqcgi", false},  // the k is the second byte of a double-byte character
        {"\x81\x81kqcgi", true},
        {"\xB3\xF6kqcgi", true},
        {"KQCGI\xB3\xF6", true},
        {"kqcg\x81i", false},
        {std::string_view("kq\0cgi", 6), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kq::hasPackageMarker(c.text), c.expected) << show(c.text);
    }
}

// A copy of the bootstrap block with line 7 short of one leading blank.
std::string bootstrapOneBlankOff() {
    std::string block = literal::bootstrapBlock();
    const std::size_t at = block.find("        foreach");
    block.erase(at, 1);
    return block;
}

std::string upperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
    }
    return text;
}

TEST(RenameRewrites, BootstrapUseLineAndMarkerRewrites) {
    struct Case {
        const char* what;
        std::string input;
        std::string expected;
    };
    const std::string block = literal::bootstrapBlock();
    const std::string lfBlock = kqtest::joinLines(literal::bootstrapLines, "\n");
    const Case cases[] = {
        {"block removed, its CR LF stays", "#!perl\r\n" + block + "\r\nuse KQCGI;\r\n",
         "#!perl\r\n\r\nuse CGI qw(:standard);\r\n"},
        {"block in upper case removed", upperCase(block) + "\r\nx", "\r\nx"},
        {"block twice, both removed", block + "\r\n" + block + "\r\n", "\r\n\r\n"},
        {"block with LF line ends kept", lfBlock + "\nuse KQCGI;\n",
         lfBlock + "\nuse CGI qw(:standard);\n"},
        {"block one blank off kept", bootstrapOneBlankOff() + "\r\n",
         bootstrapOneBlankOff() + "\r\n"},
        {"block whose B is a trail byte kept", "\x81" + block, "\x81" + block},
        {"lower-case use line", "use kqcgi;\r\n", "use CGI qw(:standard);\r\n"},
        {"upper-case use line", "USE KQCGI;\r\n", "use CGI qw(:standard);\r\n"},
        {"use line with two blanks is only renamed", "use  KQCGI;", "use  CGI;"},
        {"use line with import list is only renamed", "use KQCGI qw(:all);", "use CGI qw(:all);"},
        {"use line without semicolon is only renamed", "use KQCGI\r\n", "use CGI\r\n"},
        {"package variable", "$KQCGI::DISABLE_UPLOADS = 0;", "$CGI::DISABLE_UPLOADS = 0;"},
        {"object creation", "my $query = new KqCgi;", "my $query = new CGI;"},
        {"comment", "# KQCGI handles the form\r\n", "# CGI handles the form\r\n"},
        {"inside a longer word", "xkqcgiy", "xCGIy"},
        {"back to back", "kqcgiKQCGI", "CGICGI"},
        {"inserted text not searched again", "kqkqcgicgi", "kqCGIcgi"},
        {"trail-byte k is no marker", "\x81kqcgi", "\x81kqcgi"},
        {"after a pair", "\x81\x81kqcgi",
         "\x81\x81"
         "CGI"},
        {"between Chinese characters", "\xB3\xF6kqcgi\xB3\xF6",
         "\xB3\xF6"
         "CGI\xB3\xF6"},
        {"marker joined by the block removal is renamed", "kq" + block + "cgi", "CGI"},
        {"use line joined by the block removal is switched", "use " + block + "KQCGI;",
         "use CGI qw(:standard);"},
        {"stray bytes kept", "\xFF\x80use KQCGI;\x81", "\xFF\x80use CGI qw(:standard);\x81"},
        {"NUL bytes kept", "a\0KQCGI\0b"s, "a\0CGI\0b"s},
        {"nothing to do", "print 1;\r\n", "print 1;\r\n"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kq::removeBootstrapAndRename(c.input), c.expected) << c.what;
    }
}

// A text of 150 characters with its first require opener at 70, the first dollar sign from 69
// on at 131, the last require opener before it at 101 and the first semicolon from there at 126.
std::string positionsExample() {
    std::string lineA = "# step 1; two library files, then $done is set";
    lineA.resize(67, '-');
    return lineA + "\r\n" +                  //   1- 69, the LF at 69
           "require \"one.pl\";\r\n" +       //  70- 88
           "print 123;\r\n" +                //  89-100
           "require \"second_files.pl\";" +  // 101-126, the semicolon at 126
           "\r\n\r\n" +                      // 127-130
           "$done = 1;\r\n" +                // 131-142
           "print;\r\n";                     // 143-150
}

TEST(RequireWrap, WorkedExampleByPositions) {
    const std::string text = positionsExample();
    ASSERT_EQ(text.size(), 150u);
    ASSERT_EQ(text.find(literal::requireOpener), 69u);
    ASSERT_EQ(text.find('$', 68), 130u);
    ASSERT_EQ(text.rfind(literal::requireOpener, 130), 100u);
    ASSERT_EQ(text.find(';', 100), 125u);

    const std::optional<kq::RequireBlock> block = kq::findRequireBlock(text);
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(block->firstOpener, 69u);
    EXPECT_EQ(block->before, 68u);
    EXPECT_EQ(block->dollar, 130u);
    EXPECT_EQ(block->lastOpener, 100u);
    EXPECT_EQ(block->semicolon, 125u);

    std::string scriptText = text;
    const std::optional<std::string> result = kq::switchLibrary(scriptText);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(scriptText, text);
    EXPECT_EQ(kq::wrapRequireBlock(text), result);

    const std::string& out = *result;
    ASSERT_EQ(characterCount(out), 433u);
    ASSERT_EQ(out.size(), 69u + 108u + 57u + suffix.size() + 24u);
    EXPECT_EQ(out.substr(0, 69), text.substr(0, 69)) << "head: positions 1 to 69";
    EXPECT_EQ(out.substr(69, 108), prefix);
    EXPECT_EQ(out.substr(177, 57), text.substr(68, 57)) << "middle: positions 69 to 125";
    EXPECT_EQ(out.substr(234, suffix.size()), suffix);
    EXPECT_EQ(out.substr(234 + suffix.size()), text.substr(126)) << "tail: positions 127 to 150";
}

TEST(RequireWrap, WorkedExampleByLines) {
    const std::string script = crlfScript({
        "#!/usr/bin/perl",
        literal::bootstrapBlock(),
        "use KQCGI;",
        "require \"kqcgi.lib.pl\";",
        "require \"setup.pl\";",
        "",
        "$query = new KQCGI;",
        "print $query->header;",
    });
    const std::string afterRename = crlfScript({
        "#!/usr/bin/perl",
        "",
        "use CGI qw(:standard);",
        "require \"CGI.lib.pl\";",
        "require \"setup.pl\";",
        "",
        "$query = new CGI;",
        "print $query->header;",
    });
    const std::string expected =
        // 1. the head, up to and including line A and its CR LF
        "#!/usr/bin/perl\r\n"
        "\r\n"
        "use CGI qw(:standard);\r\n"
        // 2. the eval prefix, its last line ended by the repeated LF
        "eval {\r\n" +
        std::string(literal::evalPrefixLines[1]) + "\r\n" +
        std::string(literal::evalPrefixLines[2]) + "\n" +
        // 3. the first require statement
        "require \"CGI.lib.pl\";\r\n"
        // 4. the second one without its semicolon, then the suffix's first line
        "require \"setup.pl\"};\r\n"
        // 5. suffix lines 2 to 6, the last one followed by the second statement's CR LF
        "if ($@) {\r\n" +
        std::string(literal::evalSuffixLines[2]) + "\r\n" +
        std::string(literal::evalSuffixLines[3]) + "\r\n" +
        "    print end_html; exit;\r\n"
        "}\r\n"
        // 6. the empty line, line B and the rest
        "\r\n"
        "$query = new CGI;\r\n"
        "print $query->header;\r\n";

    std::string scriptText = script;
    const std::optional<std::string> result = kq::switchLibrary(scriptText);
    EXPECT_EQ(scriptText, afterRename);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, expected);
    EXPECT_EQ(characterCount(*result), characterCount(afterRename) + 283);
    EXPECT_FALSE(kq::hasPackageMarker(*result));
    // The error page's Chinese text lands as code page 936 bytes.
    EXPECT_NE(result->find("KQ7100 \xB3\xF6\xB4\xED\xA3\xA1"), std::string::npos);
    EXPECT_NE(result->find("\xB2\xBB\xC4\xDC\xB9\xBB\xD5\xD2\xB5\xBD\xCE\xC4\xBC\xFE\xA3\xBA$@\\n"),
              std::string::npos);
}

struct WrapCase {
    const char* what;
    std::string text;      // after rewrites 1 to 3 (no marker, no bootstrap block)
    std::string expected;  // head + prefix + middle + suffix + tail, written out by hand
};

TEST(RequireWrap, WhereTheBlockStartsAndEnds) {
    const WrapCase cases[] = {
        {"dollar inside the first path: only the first statement",
         "#!perl\r\nrequire \"$dir/a.pl\";\r\nrequire \"b.pl\";\r\n$x = 1;\r\n",
         "#!perl\r\n" + prefix + "\nrequire \"$dir/a.pl\"" + suffix +
             "\r\nrequire \"b.pl\";\r\n$x = 1;\r\n"},
        {"upper-case REQUIRE", "#\r\nREQUIRE \"a.pl\";\r\n$x;",
         "#\r\n" + prefix + "\nREQUIRE \"a.pl\"" + suffix + "\r\n$x;"},
        {"mixed-case opener", "#\r\nReQuIrE \"a.pl\";\r\n$x;",
         "#\r\n" + prefix + "\nReQuIrE \"a.pl\"" + suffix + "\r\n$x;"},
        {"indented statement repeats a blank", "#\r\n  require \"a.pl\";\r\n$x;",
         "#\r\n  " + prefix + " require \"a.pl\"" + suffix + "\r\n$x;"},
        {"Chinese character before the opener is repeated", "\xB3\xF6require \"a.pl\";$x",
         "\xB3\xF6" + prefix + "\xB3\xF6require \"a.pl\"" + suffix + "$x"},
        {"opener at position 2", " require \"a.pl\";$x",
         " " + prefix + " require \"a.pl\"" + suffix + "$x"},
        {"opener whose r is a trail byte is no opener",
         "\x81require \"a.pl\";\r\nrequire \"b.pl\";\r\n$x",
         "\x81require \"a.pl\";\r\n" + prefix + "\nrequire \"b.pl\"" + suffix + "\r\n$x"},
        {"statements between the requires go inside",
         "A;\r\nrequire \"a.pl\";\r\nmy @l = (1);\r\nrequire \"b.pl\";\r\n\r\n$x",
         "A;\r\n" + prefix + "\nrequire \"a.pl\";\r\nmy @l = (1);\r\nrequire \"b.pl\"" + suffix +
             "\r\n\r\n$x"},
        {"openers after the dollar stay outside",
         "#\r\nrequire \"a.pl\";\r\n$x;\r\nrequire \"b.pl\";\r\n",
         "#\r\n" + prefix + "\nrequire \"a.pl\"" + suffix + "\r\n$x;\r\nrequire \"b.pl\";\r\n"},
        {"dollar before the repeated character is ignored", "$\nrequire \"a.pl\";$x",
         "$\n" + prefix + "\nrequire \"a.pl\"" + suffix + "$x"},
        {"first semicolon after the last opener, even inside its path", "#\nrequire \"a;b.pl\";$x",
         "#\n" + prefix + "\nrequire \"a" + suffix + "b.pl\";$x"},
        {"require without a quote is no opener", "#\nrequire Foo;\nrequire \"a.pl\";$x",
         "#\nrequire Foo;\n" + prefix + "\nrequire \"a.pl\"" + suffix + "$x"},
        {"the dollar right after the semicolon", "#\nrequire \"a.pl\";$",
         "#\n" + prefix + "\nrequire \"a.pl\"" + suffix + "$"},
        {"stray bytes around the block", "\xFF\x80\r\nrequire \"\x81\";\r\n\x81$\xFE",
         "\xFF\x80\r\n" + prefix + "\nrequire \"\x81\"" + suffix + "\r\n\x81$\xFE"},
    };
    for (const WrapCase& c : cases) {
        const std::optional<std::string> wrapped = kq::wrapRequireBlock(c.text);
        ASSERT_TRUE(wrapped.has_value()) << c.what;
        EXPECT_EQ(*wrapped, c.expected) << c.what;
        EXPECT_EQ(characterCount(*wrapped), characterCount(c.text) + 283) << c.what;

        std::string scriptText = c.text;
        EXPECT_EQ(kq::switchLibrary(scriptText), wrapped) << c.what;
        EXPECT_EQ(scriptText, c.text) << c.what;
    }
}

TEST(RequireWrap, NoRequireBlockInTheFiveCases) {
    struct Case {
        const char* what;
        std::string script;
        std::string afterRename;
    };
    const Case cases[] = {
        {"no require opener", crlfScript({"use KQCGI;", "do \"a.pl\";", "$x = 1;"}),
         crlfScript({"use CGI qw(:standard);", "do \"a.pl\";", "$x = 1;"})},
        {"first opener at position 1", crlfScript({"require \"a.pl\";", "$KQCGI::x = 1;"}),
         crlfScript({"require \"a.pl\";", "$CGI::x = 1;"})},
        {"no dollar sign at or after x", crlfScript({"$KQCGI::x = 1;", "require \"a.pl\";"}),
         crlfScript({"$CGI::x = 1;", "require \"a.pl\";"})},
        {"dollar sign just before the opener", "# KQCGI\r\n$require \"a.pl\";\r\n$x;\r\n",
         "# CGI\r\n$require \"a.pl\";\r\n$x;\r\n"},
        {"no semicolon at or after the last opener", "use KQCGI;\r\nrequire \"a.pl\"\r\n$x = 1\r\n",
         "use CGI qw(:standard);\r\nrequire \"a.pl\"\r\n$x = 1\r\n"},
    };
    for (const Case& c : cases) {
        std::string scriptText = c.script;
        EXPECT_FALSE(kq::switchLibrary(scriptText).has_value()) << c.what;
        EXPECT_EQ(scriptText, c.afterRename) << c.what << ": the text after rewrite 3 stays";
        EXPECT_FALSE(kq::findRequireBlock(c.afterRename).has_value()) << c.what;
        EXPECT_FALSE(kq::wrapRequireBlock(c.afterRename).has_value()) << c.what;
    }
}

TEST(RequireWrap, UnchangedBootstrapBlockStaysWhileTheOtherRewritesApply) {
    const std::string lfBlock = kqtest::joinLines(literal::bootstrapLines, "\n");
    const std::string blocks[] = {lfBlock, bootstrapOneBlankOff()};
    for (const std::string& block : blocks) {
        const std::string script =
            crlfScript({"#!/usr/bin/perl", block, "use KQCGI;", "require \"lib.pl\";", "$x;"});
        const std::string expected = "#!/usr/bin/perl\r\n" + block +
                                     "\r\nuse CGI qw(:standard);\r\n" + prefix +
                                     "\nrequire \"lib.pl\"" + suffix + "\r\n$x;\r\n";
        std::string scriptText = script;
        const std::optional<std::string> result = kq::switchLibrary(scriptText);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, expected);
    }
}

TEST(RequireWrap, LfOnlyScriptGetsCrLfInTheInsertedTexts) {
    const std::string script =
        lfScript({"use KQCGI;", "require \"a.pl\";", "require \"b.pl\";", "", "$q = new KQCGI;"});
    std::string expected = "use CGI qw(:standard);\n";
    expected += "eval {\r\n";
    expected += literal::evalPrefixLines[1];
    expected += "\r\n";
    expected += literal::evalPrefixLines[2];
    expected += "\nrequire \"a.pl\";\nrequire \"b.pl\"};\r\nif ($@) {\r\n";
    expected += literal::evalSuffixLines[2];
    expected += "\r\n";
    expected += literal::evalSuffixLines[3];
    expected += "\r\n    print end_html; exit;\r\n}\n\n$q = new CGI;\n";

    std::string scriptText = script;
    const std::optional<std::string> result = kq::switchLibrary(scriptText);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, expected);
}

// Scripts assembled at random from the pieces that matter to the rewrites: the result must be
// what the plain step-by-step model gives, 283 characters longer than the renamed text, and free
// of the package marker (none of the pieces can spell it anew around a renamed one).
TEST(RequireWrap, GeneratedScriptsFollowTheStepsExactly) {
    namespace ref = kqtest::reference;
    const std::string pieces[] = {
        "require \"a.pl\";",
        "REQUIRE \"b.pl\"",
        "require ",
        "\"",
        "$",
        "$x",
        ";",
        "\r\n",
        "\n",
        " ",
        "kqcgi",
        "KQCGI",
        "KqCgI::",
        "use KQCGI;",
        "use kqcgi;",
        literal::bootstrapBlock(),
        bootstrapOneBlankOff(),
        "\xB3\xF6",
        "\x81",
        "\x81r",
        "print",
        "\\",
        "my @a = (1);",
        "\xFF",
        "\x80",
        "BEGIN {",
    };
    std::mt19937 random(283);
    int wrapped = 0;
    for (int n = 0; n < 1500; ++n) {
        std::string script;
        const std::size_t count = random() % 24;
        for (std::size_t i = 0; i < count; ++i) {
            script += pieces[random() % std::size(pieces)];
        }
        const ref::AfterRename renamed = ref::renameModule(script);

        std::string scriptText = script;
        const std::optional<std::string> result = kq::switchLibrary(scriptText);
        ASSERT_EQ(scriptText, renamed.text) << show(script);
        ASSERT_EQ(result, ref::wrapRequire(renamed.text)) << show(script);
        EXPECT_FALSE(kq::hasPackageMarker(scriptText)) << show(script);

        const std::optional<ref::Positions> at = ref::requirePositions(renamed.text);
        const std::optional<kq::RequireBlock> block = kq::findRequireBlock(renamed.text);
        ASSERT_EQ(block.has_value(), at.has_value()) << show(renamed.text);
        if (!at) {
            continue;
        }
        ++wrapped;
        const ref::CharText chars(renamed.text);
        EXPECT_EQ(block->firstOpener, chars.byteOffset(at->a)) << show(renamed.text);
        EXPECT_EQ(block->before, chars.byteOffset(at->x)) << show(renamed.text);
        EXPECT_EQ(block->dollar, chars.byteOffset(at->d)) << show(renamed.text);
        EXPECT_EQ(block->lastOpener, chars.byteOffset(at->r)) << show(renamed.text);
        EXPECT_EQ(block->semicolon, chars.byteOffset(at->q)) << show(renamed.text);
        // Counted piece by piece, cut where the engine cut: a stray lead byte just before the
        // semicolon would pair with the suffix's "}" if the whole result were counted at once.
        const std::size_t pieceCount =
            characterCount(std::string_view(renamed.text).substr(0, block->firstOpener)) + 108 +
            characterCount(std::string_view(renamed.text)
                               .substr(block->before, block->semicolon - block->before)) +
            175 + characterCount(std::string_view(renamed.text).substr(block->semicolon + 1));
        EXPECT_EQ(pieceCount, characterCount(renamed.text) + 283) << show(renamed.text);
        EXPECT_FALSE(kq::hasPackageMarker(*result)) << show(script);
    }
    EXPECT_GT(wrapped, 150) << "the generator should give many scripts with a require block";
}

TEST(RequireWrap, ConvertedScriptNoLongerCarriesTheMarker) {
    const std::string scripts[] = {
        crlfScript({"#!/usr/bin/perl", literal::bootstrapBlock(), "use KQCGI;",
                    "require \"kqcgi.pl\";", "$KQCGI::POST_MAX = 1;", "my $q = new KqCgI;"}),
        crlfScript({"# KQCGI only in a comment", "require \"a.pl\";", "$x;"}),
        lfScript({"use kqcgi;", "require \"KQCGI/lib.pl\";", "$q = kqcgi->new;"}),
    };
    for (const std::string& script : scripts) {
        ASSERT_TRUE(kq::hasPackageMarker(script));
        std::string scriptText = script;
        const std::optional<std::string> result = kq::switchLibrary(scriptText);
        ASSERT_TRUE(result.has_value()) << show(script);
        EXPECT_FALSE(kq::hasPackageMarker(scriptText)) << show(scriptText);
        EXPECT_FALSE(kq::hasPackageMarker(*result)) << show(*result);
    }
}

TEST(RequireWrap, RenameIsOnePassSoANewlySpelledMarkerRemains) {
    std::string scriptText = "#\nrequire \"kqkqcgicgi.pl\";$x";
    const std::optional<std::string> result = kq::switchLibrary(scriptText);
    EXPECT_EQ(scriptText, "#\nrequire \"kqCGIcgi.pl\";$x");
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, "#\n" + prefix + "\nrequire \"kqCGIcgi.pl\"" + suffix + "$x");
    EXPECT_TRUE(kq::hasPackageMarker(*result));
}

}  // namespace
