#pragma once
// Helpers that build test scripts from lines, and count code page 936 characters the way the
// rewrites count positions: a lead byte 0x81-0xFE with a trail byte 0x40-0x7E or 0x80-0xFE is one
// character, every other byte is one character.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kqtest {

// Lines joined by `separator`, with nothing after the last line.
template <typename Lines>
std::string joinLines(const Lines& lines, std::string_view separator) {
    std::string joined;
    bool first = true;
    for (std::string_view line : lines) {
        if (!first) {
            joined += separator;
        }
        joined += line;
        first = false;
    }
    return joined;
}

// A script whose every line, the last included, ends with `lineEnd`.
inline std::string scriptOf(std::initializer_list<std::string_view> lines,
                            std::string_view lineEnd) {
    std::string script;
    for (std::string_view line : lines) {
        script += line;
        script += lineEnd;
    }
    return script;
}

// A script saved the usual way, every line ended by CR LF.
inline std::string crlfScript(std::initializer_list<std::string_view> lines) {
    return scriptOf(lines, "\r\n");
}

// A script saved with LF-only line ends.
inline std::string lfScript(std::initializer_list<std::string_view> lines) {
    return scriptOf(lines, "\n");
}

constexpr bool isGbkLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
constexpr bool isGbkTrail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

// Length in characters (double-byte characters count once).
constexpr std::size_t characterCount(std::string_view bytes) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < bytes.size(); ++count) {
        const bool pair = isGbkLead(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size() &&
                          isGbkTrail(static_cast<unsigned char>(bytes[i + 1]));
        i += pair ? 2 : 1;
    }
    return count;
}

}  // namespace kqtest
