#pragma once
// The scripts of the test sites, made from the forum package's texts as the wizard meets them:
// the start-up block, "use KQCGI;", require lines and the upload code of the post and profile
// scripts. Wide text here; written to disk in code page 936. The package's own lines come from
// expected_texts.hpp.

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

#include "conversion/rewrite_literals.hpp"

namespace kq::e2e::scripts {

// Lines joined by `lineEnd`, the last one ended too.
inline std::wstring joined(std::initializer_list<std::wstring_view> lines,
                           std::wstring_view lineEnd = L"\r\n") {
    std::wstring text;
    for (const std::wstring_view line : lines) {
        text += line;
        text += lineEnd;
    }
    return text;
}

// A text of the package (expected_texts.hpp) as wide text; those used here are all ASCII.
inline std::wstring widened(std::string_view ascii) {
    std::wstring text;
    for (const char c : ascii) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            throw std::invalid_argument("widened: not an ASCII text");
        }
        text += static_cast<wchar_t>(c);
    }
    return text;
}

// The package's start-up block, thirteen lines, as every package script opens with it.
inline std::wstring bootstrapBlock() {
    return widened(kq::literals::bootstrapBlock) + L"\r\n";
}

inline std::wstring indexScript() {
    return joined({L"#!/usr/bin/perl", L"# 论坛首页"}) + bootstrapBlock() +
           joined({
               widened(kq::literals::oldUseLine),
               LR"kq(require "kqconfig.pl";)kq",
               LR"kq(require "kqlib.pl";)kq",
               L"",
               L"$query = new KQCGI;",
               L"print header(-charset=>gb2312);",
               LR"kq(print "欢迎光临本论坛！\n";)kq",
               L"exit;",
           });
}

// A post script: its upload code takes the name from uploadInfo and reads with readUploadFile.
inline std::wstring postScript() {
    return joined({L"#!/usr/bin/perl", L"# 发表新帖"}) + bootstrapBlock() +
           joined({
               widened(kq::literals::oldUseLine),
               LR"kq(require "kqconfig.pl";)kq",
               LR"kq(require "kqpost.pl";)kq",
               L"",
               L"$query = new KQCGI;",
               L"$addme = $query->param('addme');",
               L"if ($addme) {",
               L"    " + widened(kq::literals::postUploadNameLine),
               L"    " + widened(kq::literals::postSplitLine),
               LR"kq(    open (FILE, ">$uploaddir/$up_name.$up_ext");)kq",
               L"    binmode FILE;",
               L"    " + widened(kq::literals::readLoopHead) + L"($addme, 1024)) {",
               L"        print FILE $buffer;",
               L"    }",
               L"    close (FILE);",
               L"}",
               LR"kq(print "帖子已发表！\n";)kq",
           });
}

// A profile script: the upload name line of the profile variant.
inline std::wstring profileScript() {
    return joined({L"#!/usr/bin/perl", L"# 用户资料"}) + bootstrapBlock() +
           joined({
               widened(kq::literals::oldUseLine),
               LR"kq(require "kqconfig.pl";)kq",
               LR"kq(require "kqprofile.pl";)kq",
               L"",
               L"$query = new KQCGI;",
               L"$addme = $query->param('photo');",
               L"if ($addme) {",
               L"    " + widened(kq::literals::profileUploadNameLine),
               LR"kq(    open (FILE, ">$photodir/$filename");)kq",
               L"    binmode FILE;",
               L"    " + widened(kq::literals::readLoopHead) + L"($addme)) {",
               L"        print FILE $buffer;",
               L"    }",
               L"    close (FILE);",
               L"}",
           });
}

// The package marker only in a comment, and LF-only line ends.
inline std::wstring lfScriptWithMarkerInComment() {
    return joined(
        {
            L"#!/usr/bin/perl",
            L"# 本程序原用 KqCgi 模块",
            LR"kq(require "kqconfig.pl";)kq",
            L"$title = '中文标题';",
            L"print $title;",
        },
        L"\n");
}

// No package marker: the wizard only reads it.
inline std::wstring plainScript() {
    return joined({L"#!/usr/bin/perl", L"use CGI;", LR"kq(print "普通脚本\n";)kq"});
}

// The package marker, but no require statement: the require wrap finds no block.
inline std::wstring scriptWithoutRequire() {
    return joined({L"#!/usr/bin/perl", widened(kq::literals::oldUseLine), L"$query = new KQCGI;",
                   L"print 1;"});
}

}  // namespace kq::e2e::scripts
