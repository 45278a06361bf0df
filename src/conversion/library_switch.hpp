#pragma once
// The library switch: moves one forum script from the package's own module to the standard CGI
// module. A pure text transformation on code page 936 bytes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kq {

// True when "kqcgi" occurs anywhere in the text, in any letter case, also inside a longer word.
bool hasPackageMarker(std::string_view text);

// Rewrites 1 to 3: bootstrap block removed, the old use line switched, every remaining mention of
// the package's module renamed to "CGI".
std::string removeBootstrapAndRename(std::string_view text);
void removeBootstrapAndRenameIn(std::string& text);

// Where the require wrap cuts the text, as byte offsets (character positions - 1 on plain ASCII).
struct RequireBlock {
    std::size_t firstOpener;  // a: the first require opener
    std::size_t before;       // x: the character just before it, which the wrap repeats
    std::size_t dollar;       // d: the first dollar sign at or after x
    std::size_t lastOpener;   // r: the last require opener before d
    std::size_t semicolon;    // q: the first semicolon at or after r, left out of the result
};

// The require block of a text after rewrites 1 to 3, or nothing when it has none.
std::optional<RequireBlock> findRequireBlock(std::string_view text);

// Rewrite 4: the text with its require block wrapped in the eval block, or nothing when it has
// no require block. The result is 283 characters longer than the text.
std::optional<std::string> wrapRequireBlock(std::string_view text);

// All four rewrites. `scriptText` is left holding the text after rewrite 3; the result is the
// text to write, or nothing when rewrite 4 found no require block (then nothing is to be written).
std::optional<std::string> switchLibrary(std::string& scriptText);

// All four rewrites within the one buffer, for large scripts: true when `text` now holds the text
// to write; false when rewrite 4 found no require block (`text` then holds the text after
// rewrite 3, which is not to be written).
bool switchLibraryInPlace(std::string& text);

}  // namespace kq
