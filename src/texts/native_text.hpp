#pragma once
// Moving the user-visible texts (wide literals) to and from the platform's own strings: UTF-16
// on Windows, UTF-8 bytes elsewhere.

#include <string>
#include <string_view>

#include "conversion/native_path.hpp"

namespace kq {

// UTF-8 for a wide text (UTF-16 on Windows, UTF-32 elsewhere); an unpaired surrogate becomes
// U+FFFD.
std::string utf8FromWide(std::wstring_view text);

// A wide text from UTF-8; an invalid byte becomes U+FFFD.
std::wstring wideFromUtf8(std::string_view text);

// The character that the UTF-8 text holds at byte offset `pos` (< size), and its length in bytes;
// a length of 0 when the byte there begins no valid sequence (a continuation byte, an overlong
// form, a surrogate, a code point beyond U+10FFFF, a sequence cut short). Every reading of UTF-8
// goes through it.
struct Utf8Char {
    char32_t value;
    std::size_t length;
};
Utf8Char utf8CharAt(std::string_view text, std::size_t pos);

// Appends one code point to a wide text: as a surrogate pair where wchar_t is 16 bits wide and
// the code point needs one.
void appendWide(std::wstring& out, char32_t c);

// A path (or list entry) holding a wide text, and the wide text of a path, for display.
NativePath pathFromWide(std::wstring_view text);
std::wstring wideFromPath(NativeView path);

}  // namespace kq
