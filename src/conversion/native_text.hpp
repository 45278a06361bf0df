#pragma once
// Moving the user-visible texts (wide literals) to and from the platform's own strings: UTF-16
// on Windows, UTF-8 bytes elsewhere.

#include <string>
#include <string_view>

#include "native_path.hpp"

namespace kq {

// UTF-8 for a wide text (UTF-16 on Windows, UTF-32 elsewhere); an unpaired surrogate becomes
// U+FFFD.
std::string utf8FromWide(std::wstring_view text);

// A wide text from UTF-8; an invalid byte becomes U+FFFD.
std::wstring wideFromUtf8(std::string_view text);

// A path (or list entry) holding a wide text, and the wide text of a path, for display.
NativePath pathFromWide(std::wstring_view text);
std::wstring wideFromPath(NativeView path);

}  // namespace kq
