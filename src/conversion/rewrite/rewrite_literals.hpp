#pragma once
// The fixed texts that the rewrites search for and insert, as code page 936 bytes.
//
// A backslash is a character of its own in every one of them ("\\n" is backslash and n); the only
// control characters are the CR LF pairs that join lines. No multi-line text ends in CR LF.

#include <string_view>

namespace kq::literals {

using namespace std::string_view_literals;

// --- Library switch ---

inline constexpr auto packageMarker = "kqcgi"sv;
inline constexpr auto oldUseLine = "use KQCGI;"sv;
inline constexpr auto newUseLine = "use CGI qw(:standard);"sv;
inline constexpr auto standardModuleName = "CGI"sv;
inline constexpr auto requireOpener = "require \""sv;
inline constexpr auto dollarSign = "$"sv;
inline constexpr auto semicolon = ";"sv;

// The package's start-up block that searched for the package's folder (373 characters).
inline constexpr auto bootstrapBlock =
    "BEGIN {\r\n"
    "    $KQPATH = '.';\r\n"
    "    my $pgm = $0;\r\n"
    "    $pgm =~s/\\\\/\\//g;\r\n"
    "    $pgm =~s/^.*\\/([^\\/]+)$/$1/g;\r\n"
    "    unless (-e $KQPATH.'/'.$pgm) {\r\n"
    "        foreach ($0, $ENV{'SCRIPT_FILENAME'}, $ENV{'PATH_TRANSLATED'}) {\r\n"
    "            s!\\\\!/!g; s/^(.*)\\/[^\\/]+$/$1/g;\r\n"
    "            if (-e $_ . '/' .$pgm) { $KQPATH = $_; last; }\r\n"
    "        }\r\n"
    "    }\r\n"
    "    unshift (@INC, \"$KQPATH\");\r\n"
    "}"sv;

// Opens the eval block that puts the script's own folder on @INC (157 characters): the folder
// part of the script's own path, cut at its last slash or at its last backslash; or, when that
// path has no folder part (a server that starts the script by its bare name in its own folder,
// as suEXEC does), the current folder, which Perl 5.26 and later no longer search by themselves.
inline constexpr auto evalPrefix =
    "eval {\r\n"
    "($0 =~ m,(.*)/[^/]+,)   and unshift (@INC, \"$1\");\r\n"
    "($0 =~ m,(.*)\\\\[^\\\\]+,) and unshift (@INC, \"$1\");\r\n"
    "($0 =~ m,[/\\\\],)        or unshift (@INC, \".\");"sv;

// Closes the eval block and prints an error page in gb2312 when a required file failed to load
// (187 characters, 217 bytes: the Chinese characters are two bytes each). The error is kept in a
// variable of its own first: start_html() runs an eval of its own, which clears $@ before the
// page could name the missing file.
inline constexpr auto evalSuffix =
    "};\r\n"
    "if (my $err = $@) {\r\n"
    "    print header(-charset=>gb2312); print start_html(-title=>\"KQ7100 "
    "\xB3\xF6\xB4\xED\xA3\xA1\");\r\n"  // 出错！
    "    print \""
    "\xB2\xBB\xC4\xDC\xB9\xBB\xD5\xD2\xB5\xBD\xCE\xC4\xBC\xFE\xA3\xBA"  // 不能够找到文件：
    "$err\\n"
    "\xC7\xEB\xB8\xFC\xB8\xC4\xC3\xBF\xB8\xF6\xB3\xCC\xD0\xF2\xD6\xD0\xB5\xC4"  // 请更改每个程序中的
    " require "
    "\xD3\xEF\xBE\xE4\xA3\xAC\xCC\xEE\xC8\xEB\xBE\xF8\xB6\xD4\xC2\xB7\xBE\xB6\xA3\xA1"  // 语句，填入绝对路径！
    "\";\r\n"
    "    print end_html; exit;\r\n"
    "}"sv;

// What earlier versions inserted, which a run brings up to date in a script they converted: the
// first three lines of the eval prefix (108 characters), without the line for a script started
// by its bare name...
inline constexpr auto earlierEvalPrefix = evalPrefix.substr(0, evalPrefix.rfind("\r\n"));
// ...and the first versions' eval suffix (175 characters), whose page printed $@ after
// start_html() had cleared it, and so named no file.
inline constexpr auto earliestEvalSuffix =
    "};\r\n"
    "if ($@) {\r\n"
    "    print header(-charset=>gb2312); print start_html(-title=>\"KQ7100 "
    "\xB3\xF6\xB4\xED\xA3\xA1\");\r\n"  // 出错！
    "    print \""
    "\xB2\xBB\xC4\xDC\xB9\xBB\xD5\xD2\xB5\xBD\xCE\xC4\xBC\xFE\xA3\xBA"  // 不能够找到文件：
    "$@\\n"
    "\xC7\xEB\xB8\xFC\xB8\xC4\xC3\xBF\xB8\xF6\xB3\xCC\xD0\xF2\xD6\xD0\xB5\xC4"  // 请更改每个程序中的
    " require "
    "\xD3\xEF\xBE\xE4\xA3\xAC\xCC\xEE\xC8\xEB\xBE\xF8\xB6\xD4\xC2\xB7\xBE\xB6\xA3\xA1"  // 语句，填入绝对路径！
    "\";\r\n"
    "    print end_html; exit;\r\n"
    "}"sv;

// --- Upload handler ---

inline constexpr auto postUploadNameLine = "my $up_filename =$query->uploadInfo($addme);"sv;
inline constexpr auto postSplitLine = "my ($up_name,$up_ext) = split(/\\./,$up_filename);"sv;
inline constexpr auto profileUploadNameLine = "my $filename =$query->uploadInfo($addme);"sv;
inline constexpr auto readLoopHead = "while ($buffer=$query->readUploadFile"sv;
inline constexpr auto newReadLoopLine = "while ($bytesread=read($addme,$buffer,1024)) {"sv;

// Takes the file name from the upload field itself and its extension from the last dot
// (replaces the post split line; 106 characters).
inline constexpr auto postNameBlock =
    "$addme=~ s/\\n//g;\r\n"
    "my $up_filename =$addme;\r\n"
    "@up_name = split(/\\./,$up_filename);\r\n"
    "$up_ext = $up_name[-1];"sv;

// Takes the file name from the upload field itself, lower-cased
// (replaces the profile upload-name line; 139 characters).
inline constexpr auto profileNameBlock =
    "$addme=~ s/\\n//g;\r\n"
    "my $up_filename =$addme;\r\n"
    "my @up_name = split(/\\./,$up_filename);\r\n"
    "$filename = $up_name[-1];\r\n"
    "$filename = lc($filename);"sv;

}  // namespace kq::literals
