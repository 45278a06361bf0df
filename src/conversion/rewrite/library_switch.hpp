#pragma once
// The library switch: moves one forum script from the package's own module to the standard CGI
// module. A pure text transformation on code page 936 bytes, done within the script's buffer.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kq {

// True when "kqcgi" occurs anywhere in the text, in any letter case, also inside a longer word.
bool hasPackageMarker(std::string_view text);

// Where the require wrap cuts the text, as byte offsets (character positions - 1 on plain ASCII).
struct RequireBlock {
    std::size_t firstOpener;  // the first require opener
    std::size_t before;       // the character just before it, which the wrap repeats
    std::size_t dollar;       // the first dollar sign at or after that character
    std::size_t lastOpener;   // the last require opener before the dollar sign
    std::size_t semicolon;    // the first semicolon at or after it, left out of the result
};

// The require block of a text whose bootstrap block, use line and module name are already
// switched, or nothing when it has none.
std::optional<RequireBlock> findRequireBlock(std::string_view text);

// The four rewrites, within the one buffer: bootstrap block removed, the old use line switched,
// every remaining mention of the package's module renamed to "CGI", then the first run of require
// statements wrapped in the eval block (344 characters longer). True when `scriptText` now holds
// the text to write; false when the require wrap found no require block: `scriptText` then
// holds the text after the module rename, which is not to be written.
bool switchLibrary(std::string& scriptText);

// Brings what an earlier version inserted in a script up to date: the first place where the
// three lines of the eval prefix that every earlier version inserted stand (exact case) gets the
// line for a script started by its bare name, unless it has it already, and the first eval
// suffix after it, the earliest or the current, becomes the current one; nothing else changes.
// True when the text changed; false, and the text as it was, when it holds no such prefix, the
// prefix is up to date, or no suffix follows it. A script without the package marker is written
// only when it changed; one with the marker is converted afterwards as usual, so that no
// outdated eval block is left for a later run to change.
bool updateEarlierConversion(std::string& scriptText);

}  // namespace kq
