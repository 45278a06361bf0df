#pragma once
// A forum upload script of our own for the benchmarks, made of the texts that the conversion looks
// for and inserts, and what the conversion makes of it, put together here by hand. Code page 936
// bytes, CR LF line ends; Chinese characters are written as their GBK codes.

#include <string>
#include <string_view>

#include "conversion/rewrite/rewrite_literals.hpp"

namespace kqbench {

namespace literal {

using namespace kq::literals;

// "清风论坛" (the forum's name) and "上传成功！" (upload done!).
inline constexpr std::string_view forumName = "\xC7\xE5\xB7\xE7\xC2\xDB\xCC\xB3";
inline constexpr std::string_view uploadDone = "\xC9\xCF\xB4\xAB\xB3\xC9\xB9\xA6\xA3\xA1";

}  // namespace literal

// Which upload code a script carries: none, the post scripts' or the profile scripts'.
enum class UploadCode { none, post, profile };

// A forum script: a comment, the start-up block, the package's use line, two require
// statements, an empty line, then code that starts with a dollar sign, uses the package's module
// by name, prints a Chinese message and, for an upload script, saves an uploaded file.
struct ForumScript {
    UploadCode upload = UploadCode::none;
    bool withReadLoop = true;  // false: upload code without the read loop (a hand-made variant)

    // As the package ships it.
    std::string shipped() const { return front(false) + body(Stage::shipped); }
    // After the library switch alone.
    std::string switched() const { return front(true) + body(Stage::switched); }
    // After the whole pass: the library switch and, for an upload script, the upload rewrite.
    std::string converted() const { return front(true) + body(Stage::uploaded); }

  private:
    enum class Stage { shipped, switched, uploaded };

    // Everything up to the empty line after the require statements. After the switch, the
    // start-up block is gone (its CR LF stays), the use line is the standard module's, and the
    // require statements sit in the eval block: the LF before the first one is repeated after
    // the eval prefix, and the last one's semicolon gives way to the eval suffix.
    static std::string front(bool switched) {
        const std::string comment =
            "#!/usr/bin/perl\r\n# " + std::string(literal::forumName) + "\r\n";
        if (!switched) {
            return comment + std::string(literal::bootstrapBlock) + "\r\n" +
                   std::string(literal::oldUseLine) + "\r\n" +
                   "require \"forum_setup.pl\";\r\nrequire \"forum_lib.pl\";\r\n\r\n";
        }
        return comment + "\r\n" + std::string(literal::newUseLine) + "\r\n" +
               std::string(literal::evalPrefix) + "\n" +
               "require \"forum_setup.pl\";\r\nrequire \"forum_lib.pl\"" +
               std::string(literal::evalSuffix) + "\r\n\r\n";
    }

    std::string body(Stage stage) const {
        const bool rewritten = stage == Stage::uploaded;
        std::string text = std::string("$query = new ") +
                           (stage == Stage::shipped ? "KQCGI" : "CGI") + ";\r\n" +
                           "$addme = $query->param('addme');\r\n";
        if (upload == UploadCode::post) {
            text += "sub save_upload {\r\n    " +
                    std::string(rewritten ? "" : literal::postUploadNameLine) + "\r\n    " +
                    (rewritten ? std::string(literal::postNameBlock)
                               : std::string(literal::postSplitLine)) +
                    "\r\n";
        } else if (upload == UploadCode::profile) {
            text += "sub save_upload {\r\n    " +
                    (rewritten ? std::string(literal::profileNameBlock)
                               : std::string(literal::profileUploadNameLine)) +
                    "\r\n";
        }
        if (upload != UploadCode::none) {
            text += "    open (UPLOAD, \">upload/$up_ext\");\r\n";
            if (withReadLoop) {
                text += "    " +
                        (rewritten ? std::string(literal::newReadLoopLine)
                                   : std::string(literal::readLoopHead) + "($addme)) {") +
                        "\r\n        print UPLOAD $buffer;\r\n    }\r\n";
            }
            text += "    close (UPLOAD);\r\n}\r\n";
        }
        text += "print \"" + std::string(literal::uploadDone) + "\";\r\n";
        return text;
    }
};

}  // namespace kqbench
