#pragma once
// Forum scripts for the wizard's runs, built from the texts the conversion looks for, and what
// the conversion makes of them, worked out by hand from the rewrite rules.

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "wizard_fakes.hpp"

namespace kqtest {

namespace site_literal {

// Lines joined by CR LF, with nothing after the last.
template <std::size_t N>
std::string crlfJoined(const std::array<std::string_view, N>& lines) {
    std::string text;
    for (std::size_t i = 0; i < N; ++i) {
        text += lines[i];
        if (i + 1 < N) {
            text += "\r\n";
        }
    }
    return text;
}

// The package's start-up block; a backslash in these raw texts is a character of its own.
inline std::string bootstrapBlock() {
    return crlfJoined<13>({
        R"lit(BEGIN {)lit",
        R"lit(    $KQPATH = '.';)lit",
        R"lit(    my $pgm = $0;)lit",
        R"lit(    $pgm =~s/\\/\//g;)lit",
        R"lit(    $pgm =~s/^.*\/([^\/]+)$/$1/g;)lit",
        R"lit(    unless (-e $KQPATH.'/'.$pgm) {)lit",
        R"lit(        foreach ($0, $ENV{'SCRIPT_FILENAME'}, $ENV{'PATH_TRANSLATED'}) {)lit",
        R"lit(            s!\\!/!g; s/^(.*)\/[^\/]+$/$1/g;)lit",
        R"lit(            if (-e $_ . '/' .$pgm) { $KQPATH = $_; last; })lit",
        R"lit(        })lit",
        R"lit(    })lit",
        R"lit(    unshift (@INC, "$KQPATH");)lit",
        R"lit(})lit",
    });
}

inline std::string evalPrefix() {
    return crlfJoined<3>({
        R"lit(eval {)lit",
        R"lit(($0 =~ m,(.*)/[^/]+,)   and unshift (@INC, "$1");)lit",
        R"lit(($0 =~ m,(.*)\\[^\\]+,) and unshift (@INC, "$1");)lit",
    });
}

// The Chinese texts in code page 936: 出错！ and 不能够找到文件： ... 请更改每个程序中的 ...
// 语句，填入绝对路径！
inline std::string evalSuffix() {
    return crlfJoined<6>({
        R"lit(};)lit",
        R"lit(if ($@) {)lit",
        "    print header(-charset=>gb2312); print start_html(-title=>\"KQ7100 "
        "\xB3\xF6\xB4\xED\xA3\xA1\");",
        "    print \"\xB2\xBB\xC4\xDC\xB9\xBB\xD5\xD2\xB5\xBD\xCE\xC4\xBC\xFE\xA3\xBA$@\\n"
        "\xC7\xEB\xB8\xFC\xB8\xC4\xC3\xBF\xB8\xF6\xB3\xCC\xD0\xF2\xD6\xD0\xB5\xC4 require "
        "\xD3\xEF\xBE\xE4\xA3\xAC\xCC\xEE\xC8\xEB\xBE\xF8\xB6\xD4\xC2\xB7\xBE\xB6\xA3\xA1\";",
        R"lit(    print end_html; exit;)lit",
        R"lit(})lit",
    });
}

}  // namespace site_literal

// A script as the package ships it: the package's start-up block, its use line, two require
// statements, an empty line and code that starts with a dollar sign.
inline std::string packageScript() {
    return "#!/usr/bin/perl\r\n" + site_literal::bootstrapBlock() +
           "\r\n"
           "use KQCGI;\r\n"
           "require \"config.pl\";\r\n"
           "require \"lib/forum.pl\";\r\n"
           "\r\n"
           "$query = new KQCGI;\r\n"
           "print $query->header;\r\n";
}

// The same script converted: the start-up block gone (its CR LF stays), the standard use line,
// the require statements inside the eval block (the LF before the first one repeated after the
// eval prefix, the last one's semicolon dropped), and the module renamed in the code.
inline std::string convertedPackageScript() {
    return "#!/usr/bin/perl\r\n"
           "\r\n"
           "use CGI qw(:standard);\r\n" +
           site_literal::evalPrefix() +
           "\n"
           "require \"config.pl\";\r\n"
           "require \"lib/forum.pl\"" +
           site_literal::evalSuffix() +
           "\r\n"
           "\r\n"
           "$query = new CGI;\r\n"
           "print $query->header;\r\n";
}

// A script of the site that does not belong to the package.
inline std::string plainScript() {
    return "#!/usr/bin/perl\r\n"
           "print \"Content-type: text/html\\n\\n\";\r\n";
}

// Mentions the package's module but has no require statement: it cannot be converted.
inline std::string scriptWithoutRequire() {
    return "#!/usr/bin/perl\r\n"
           "# works with KQCGI\r\n"
           "print \"no require here\";\r\n";
}

using Files = std::map<std::string, std::string>;

inline void writeFiles(const std::filesystem::path& folder, const Files& files) {
    for (const auto& [name, bytes] : files) {
        writeBytes(folder / kq::pathFromWide(kq::wideFromUtf8(name)), bytes);
    }
}

// Every file of the folder with its bytes (names as UTF-8).
inline Files readFiles(const std::filesystem::path& folder) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files[utf8(kq::wideFromPath(entry.path().filename()))] = readBytes(entry.path());
    }
    return files;
}

}  // namespace kqtest
