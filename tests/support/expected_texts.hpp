#pragma once
// The fixed texts that the rewrites look for and insert, typed here independently of the engine so
// that a slip on either side shows up as a failing test. The one copy for the tests of every area.
// Code page 936 bytes; Chinese characters and full-width punctuation are written as their two-byte
// GBK codes. Raw literals keep every backslash a character of its own.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "script_builder.hpp"

namespace kqtest::literal {

// Library switch, single-line texts.
inline constexpr std::string_view packageMarker = "kqcgi";
inline constexpr std::string_view oldUseLine = "use KQCGI;";
inline constexpr std::string_view newUseLine = "use CGI qw(:standard);";
inline constexpr std::string_view standardModuleName = "CGI";
inline constexpr std::string_view requireOpener = "require \"";

// The package's start-up block, thirteen lines.
inline constexpr std::array<std::string_view, 13> bootstrapLines = {
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
};
inline constexpr std::array<std::size_t, 13> bootstrapLineLengths = {7,  18, 17, 21, 33, 34, 72,
                                                                     44, 58, 9,  5,  30, 1};

inline constexpr std::array<std::string_view, 3> evalPrefixLines = {
    R"lit(eval {)lit",
    R"lit(($0 =~ m,(.*)/[^/]+,)   and unshift (@INC, "$1");)lit",
    R"lit(($0 =~ m,(.*)\\[^\\]+,) and unshift (@INC, "$1");)lit",
};
inline constexpr std::array<std::size_t, 3> evalPrefixLineLengths = {6, 49, 49};

// Line 3: ... "KQ7100 <chu><cuo><full-width !>"); line 4: the Chinese error text with the Perl
// escape backslash-n between its two halves.
inline constexpr std::array<std::string_view, 6> evalSuffixLines = {
    R"lit(};)lit",
    R"lit(if ($@) {)lit",
    R"lit(    print header(-charset=>gb2312); print start_html(-title=>"KQ7100 )lit"
    "\xB3\xF6\xB4\xED\xA3\xA1"
    R"lit(");)lit",
    R"lit(    print ")lit"
    "\xB2\xBB\xC4\xDC\xB9\xBB\xD5\xD2\xB5\xBD\xCE\xC4\xBC\xFE\xA3\xBA"
    R"lit($@\n)lit"
    "\xC7\xEB\xB8\xFC\xB8\xC4\xC3\xBF\xB8\xF6\xB3\xCC\xD0\xF2\xD6\xD0\xB5\xC4"
    R"lit( require )lit"
    "\xD3\xEF\xBE\xE4\xA3\xAC\xCC\xEE\xC8\xEB\xBE\xF8\xB6\xD4\xC2\xB7\xBE\xB6\xA3\xA1"
    R"lit(";)lit",
    R"lit(    print end_html; exit;)lit",
    R"lit(})lit",
};
inline constexpr std::array<std::size_t, 6> evalSuffixLineLengths = {2, 9, 75, 53, 25, 1};

// Upload-handler rewrite, single-line texts.
inline constexpr std::string_view postUploadNameLine =
    R"lit(my $up_filename =$query->uploadInfo($addme);)lit";
inline constexpr std::string_view postSplitLine =
    R"lit(my ($up_name,$up_ext) = split(/\./,$up_filename);)lit";
inline constexpr std::string_view profileUploadNameLine =
    R"lit(my $filename =$query->uploadInfo($addme);)lit";
inline constexpr std::string_view readLoopHead = R"lit(while ($buffer=$query->readUploadFile)lit";
inline constexpr std::string_view newReadLoopLine =
    R"lit(while ($bytesread=read($addme,$buffer,1024)) {)lit";

inline constexpr std::array<std::string_view, 4> postNameBlockLines = {
    R"lit($addme=~ s/\n//g;)lit",
    R"lit(my $up_filename =$addme;)lit",
    R"lit(@up_name = split(/\./,$up_filename);)lit",
    R"lit($up_ext = $up_name[-1];)lit",
};

inline constexpr std::array<std::string_view, 5> profileNameBlockLines = {
    R"lit($addme=~ s/\n//g;)lit",
    R"lit(my $up_filename =$addme;)lit",
    R"lit(my @up_name = split(/\./,$up_filename);)lit",
    R"lit($filename = $up_name[-1];)lit",
    R"lit($filename = lc($filename);)lit",
};

// The multi-line texts: lines joined by CR LF, none ending with CR LF.
inline std::string bootstrapBlock() {
    return joinLines(bootstrapLines, "\r\n");
}
inline std::string evalPrefix() {
    return joinLines(evalPrefixLines, "\r\n");
}
inline std::string evalSuffix() {
    return joinLines(evalSuffixLines, "\r\n");
}
inline std::string postNameBlock() {
    return joinLines(postNameBlockLines, "\r\n");
}
inline std::string profileNameBlock() {
    return joinLines(profileNameBlockLines, "\r\n");
}

}  // namespace kqtest::literal
