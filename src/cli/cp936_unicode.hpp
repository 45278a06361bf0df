#pragma once
// Code page 936 characters as Unicode, by a table in the program (src/cli/cp936_unicode_table.inc,
// made from glibc's CP936 conversion by tools/make_cp936_table.py): the C library's iconv would
// load that conversion as a module at run time, which a program linked statically, run on a host
// that lacks the module, cannot. Linux only; Windows asks the system (MultiByteToWideChar).

#include <optional>
#include <string_view>

namespace kq::cli {

// The character that one or two bytes of code page 936 stand for, or nothing when they stand for
// none (or are no character's length).
std::optional<char16_t> cp936ToUnicode(std::string_view character);

}  // namespace kq::cli
