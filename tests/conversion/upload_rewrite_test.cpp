// The upload-handler rewrite: which scripts get which variant, the upload-name and split-line
// replacements, and the read-loop rewrite, on scripts built from the expected texts.

#include "conversion/upload_rewrite.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "expected_texts.hpp"
#include "reference_rewrite.hpp"
#include "script_builder.hpp"

namespace {

using kq::UploadVariant;
using kqtest::crlfScript;
using kqtest::lfScript;
namespace literal = kqtest::literal;

std::string show(std::string_view bytes) {
    return testing::PrintToString(std::string(bytes));
}

TEST(UploadVariantFor, ExactNamesOnly) {
    struct Case {
        std::string_view name;
        std::optional<UploadVariant> expected;
    };
    const Case cases[] = {
        {"post.cgi", UploadVariant::post},
        {"postings.cgi", UploadVariant::post},
        {"profile.cgi", UploadVariant::profile},
        {"register.cgi", UploadVariant::profile},
        {"POST.cgi", std::nullopt},
        {"post.CGI", std::nullopt},
        {"Register.cgi", std::nullopt},
        {"post.cgi ", std::nullopt},
        {" post.cgi", std::nullopt},
        {"post", std::nullopt},
        {"index.cgi", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kq::uploadVariantFor(c.name), c.expected) << c.name;
    }
}

const std::string oldLoop = "while ($buffer=$query->readUploadFile($addme)) {";
const std::string newLoop(literal::newReadLoopLine);

struct UploadCase {
    const char* what;
    std::string script;
    std::string expected;
    bool readLoopFound;
};

void expectRewrites(const UploadCase& c, UploadVariant variant) {
    const kq::UploadRewrite result = kq::rewriteUploadHandler(c.script, variant);
    EXPECT_EQ(result.text, c.expected) << c.what;
    EXPECT_EQ(result.readLoopFound, c.readLoopFound) << c.what;
}

TEST(UploadRewrite, PostVariant) {
    const std::string postBlock = literal::postNameBlock();
    const UploadCase cases[] = {
        {"whole upload routine",
         crlfScript({
             "sub upload {",
             "    my $up_filename =$query->uploadInfo($addme);",
             "    my ($up_name,$up_ext) = split(/\\./,$up_filename);",
             "    open(FILE, \">$dir/$up_name.$up_ext\");",
             "    " + oldLoop,
             "        print FILE $buffer;",
             "    }",
             "}",
         }),
         crlfScript({
             "sub upload {",
             "    ",
             "    " + postBlock,
             "    open(FILE, \">$dir/$up_name.$up_ext\");",
             "    " + newLoop,
             "        print FILE $buffer;",
             "    }",
             "}",
         }),
         true},
        {"upload-name line in other case is deleted",
         crlfScript({"\tMY $UP_FILENAME =$QUERY->UPLOADINFO($ADDME);", oldLoop}),
         crlfScript({"\t", newLoop}), true},
        {"split line in other case is kept",
         crlfScript({"my ($up_name,$up_ext) = Split(/\\./,$up_filename);", oldLoop}),
         crlfScript({"my ($up_name,$up_ext) = Split(/\\./,$up_filename);", newLoop}), true},
        {"split line exact is replaced, one in other case kept",
         crlfScript({"my ($up_name,$up_ext) = split(/\\./,$up_filename);",
                     "MY ($up_name,$up_ext) = split(/\\./,$up_filename);", oldLoop}),
         crlfScript({postBlock, "MY ($up_name,$up_ext) = split(/\\./,$up_filename);", newLoop}),
         true},
        {"upload-name statement inside a longer line",
         crlfScript({"$x = 1; my $up_filename =$query->uploadInfo($addme); # name", oldLoop}),
         crlfScript({"$x = 1;  # name", newLoop}), true},
        {"profile upload-name line is not the post one",
         crlfScript({"my $filename =$query->uploadInfo($addme);", oldLoop}),
         crlfScript({"my $filename =$query->uploadInfo($addme);", newLoop}), true},
        {"deleting does not search the joined text again",
         "my $up_filename =$query->my $up_filename =$query->uploadInfo($addme);"
         "uploadInfo($addme);\r\n" +
             oldLoop,
         "my $up_filename =$query->uploadInfo($addme);\r\n" + newLoop, true},
        {"no read-loop head: the other replacements are still made",
         crlfScript({"my $up_filename =$query->uploadInfo($addme);",
                     "my ($up_name,$up_ext) = split(/\\./,$up_filename);",
                     "while ($buffer=$query->readFile($addme)) {"}),
         crlfScript({"", postBlock, "while ($buffer=$query->readFile($addme)) {"}), false},
        {"empty script", "", "", false},
    };
    for (const UploadCase& c : cases) {
        expectRewrites(c, UploadVariant::post);
    }
}

TEST(UploadRewrite, ProfileVariant) {
    const std::string profileBlock = literal::profileNameBlock();
    const UploadCase cases[] = {
        {"whole upload routine",
         crlfScript({
             "sub photo {",
             "    my $filename =$query->uploadInfo($addme);",
             "    " + oldLoop,
             "        print PHOTO $buffer;",
             "    }",
             "}",
         }),
         crlfScript({
             "sub photo {",
             "    " + profileBlock,
             "    " + newLoop,
             "        print PHOTO $buffer;",
             "    }",
             "}",
         }),
         true},
        {"upload-name line twice gives the block twice",
         crlfScript({"my $filename =$query->uploadInfo($addme);", "if ($retry) {",
                     "my $filename =$query->uploadInfo($addme);", "}", oldLoop}),
         crlfScript({profileBlock, "if ($retry) {", profileBlock, "}", newLoop}), true},
        {"upload-name line in other case",
         crlfScript({"MY $FILENAME =$Query->UploadInfo($AddMe);", oldLoop}),
         crlfScript({profileBlock, newLoop}), true},
        {"post lines are left alone",
         crlfScript({"my $up_filename =$query->uploadInfo($addme);",
                     "my ($up_name,$up_ext) = split(/\\./,$up_filename);", oldLoop}),
         crlfScript({"my $up_filename =$query->uploadInfo($addme);",
                     "my ($up_name,$up_ext) = split(/\\./,$up_filename);", newLoop}),
         true},
        {"no read-loop head: the block is still inserted",
         crlfScript({"my $filename =$query->uploadInfo($addme);", "read(STDIN, $buf, 10);"}),
         crlfScript({profileBlock, "read(STDIN, $buf, 10);"}), false},
    };
    for (const UploadCase& c : cases) {
        expectRewrites(c, UploadVariant::profile);
    }
}

// The read-loop rewrite is the same in both variants.
TEST(UploadRewrite, ReadLoopLine) {
    const std::string head(literal::readLoopHead);
    const UploadCase cases[] = {
        {"indented four blanks: indentation and CR LF stay",
         crlfScript({"binmode FILE;", "    " + oldLoop, "        print FILE $buffer;", "    }"}),
         crlfScript({"binmode FILE;", "    " + newLoop, "        print FILE $buffer;", "    }"}),
         true},
        {"head first in a comment: the comment's text decides",
         crlfScript({"# " + head + " is the old way", "    " + oldLoop}),
         crlfScript({"# " + newLoop, "    " + oldLoop}), true},
        {"comment with the same text as the loop: both replaced",
         crlfScript({"# " + oldLoop, "    " + oldLoop}),
         crlfScript({"# " + newLoop, "    " + newLoop}), true},
        {"head in other case",
         crlfScript({"    WHILE ($BUFFER=$QUERY->READUPLOADFILE($addme)) {", "    }"}),
         crlfScript({"    " + newLoop, "    }"}), true},
        {"copies in other case and inside longer lines are replaced",
         crlfScript(
             {"    " + oldLoop, "x; # WHILE ($BUFFER=$QUERY->READUPLOADFILE($ADDME)) { old"}),
         crlfScript({"    " + newLoop, "x; # " + newLoop + " old"}), true},
        {"a second loop with another argument keeps its text",
         crlfScript({oldLoop, "}", head + "($photo)) {", "}"}),
         crlfScript({newLoop, "}", head + "($photo)) {", "}"}), true},
        {"LF-only script: the old line ends at the LF",
         lfScript({"binmode FILE;", "    " + oldLoop, "    }"}),
         lfScript({"binmode FILE;", "    " + newLoop, "    }"}), true},
        {"head on the last line without a line end", "binmode FILE;\r\n    " + oldLoop,
         "binmode FILE;\r\n    " + newLoop, true},
        {"the head alone is the whole text", head, newLoop, true},
        {"a lone CR ends the old line", head + "($a))\r{\r\n", newLoop + "\r{\r\n", true},
        {"Chinese comment after the head is part of the old line",
         crlfScript({oldLoop + " # \xB6\xC1\xCE\xC4\xBC\xFE", oldLoop + " # \xB6\xC1"}),
         crlfScript({newLoop, oldLoop + " # \xB6\xC1"}), true},
        {"head whose w is a trail byte is no head", crlfScript({"\x81" + oldLoop}),
         crlfScript({"\x81" + oldLoop}), false},
        {"stray bytes outside the old line are kept", "\xFF\x80\x81\r\n" + oldLoop + "\r\n\x81\xFF",
         "\xFF\x80\x81\r\n" + newLoop + "\r\n\x81\xFF", true},
    };
    for (const UploadCase& c : cases) {
        expectRewrites(c, UploadVariant::post);
        expectRewrites(c, UploadVariant::profile);
    }
}

// Random scripts from the pieces that matter to the rewrite, against the step-by-step model.
TEST(UploadRewrite, GeneratedScriptsFollowTheStepsExactly) {
    namespace ref = kqtest::reference;
    const std::string pieces[] = {
        std::string(literal::postUploadNameLine),
        std::string(literal::postSplitLine),
        "MY ($UP_NAME,$UP_EXT) = SPLIT(/\\./,$UP_FILENAME);",
        std::string(literal::profileUploadNameLine),
        "My $FileName =$Query->UploadInfo($AddMe);",
        std::string(literal::readLoopHead),
        "WHILE ($BUFFER=$QUERY->READUPLOADFILE",
        "($addme)) {",
        "($photo)) {",
        "\r\n",
        "\n",
        "\r",
        "    ",
        "#",
        "\xB3\xF6",
        "\x81",
        "\x81w",
        "\xFF",
        "x",
    };
    std::mt19937 random(1024);
    int found = 0;
    for (int n = 0; n < 3000; ++n) {
        std::string script;
        const std::size_t count = random() % 16;
        for (std::size_t i = 0; i < count; ++i) {
            script += pieces[random() % std::size(pieces)];
        }
        const bool post = random() % 2 == 0;
        const ref::UploadResult expected =
            ref::rewriteUpload(script, post ? ref::Upload::post : ref::Upload::profile);
        const kq::UploadRewrite result =
            kq::rewriteUploadHandler(script, post ? UploadVariant::post : UploadVariant::profile);
        ASSERT_EQ(result.text, expected.text) << show(script) << (post ? " post" : " profile");
        ASSERT_EQ(result.readLoopFound, expected.readLoopFound) << show(script);
        found += expected.readLoopFound ? 1 : 0;
    }
    EXPECT_GT(found, 500) << "the generator should give many scripts with a read loop";
}

}  // namespace
