#pragma once
// Code page 936 (GBK) character boundaries, the unit every position and every match is made of.
//
// A lead byte 0x81-0xFE followed by a trail byte 0x40-0x7E or 0x80-0xFE is one double-byte
// character; every other byte, valid in the code page or not, is a character of its own. So a
// trail byte that looks like an ASCII letter or a backslash never starts or joins a match, and
// any byte sequence segments without loss.

#include <cstddef>
#include <string_view>

namespace kq::cp936 {

constexpr bool isLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
constexpr bool isTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

// Length in bytes (1 or 2) of the character that starts at byte offset `pos` (< size).
constexpr std::size_t charLengthAt(std::string_view bytes, std::size_t pos) {
    return (isLeadByte(static_cast<unsigned char>(bytes[pos])) && pos + 1 < bytes.size() &&
            isTrailByte(static_cast<unsigned char>(bytes[pos + 1])))
               ? 2
               : 1;
}

// Number of characters in `bytes`.
std::size_t countChars(std::string_view bytes);

// Walks character boundaries from the start of a text. Asked for offsets in increasing order it
// does linear work in all; ASCII runs are crossed eight bytes at a time.
class BoundaryCursor {
  public:
    explicit BoundaryCursor(std::string_view bytes) : bytes_(bytes) {}

    // The first character boundary at or after `pos`.
    std::size_t boundaryAtOrAfter(std::size_t pos);
    // The start of the character that ends at boundary `pos` (> 0).
    std::size_t charStartBefore(std::size_t pos);

  private:
    std::string_view bytes_;
    std::size_t boundary_ = 0;  // a known boundary; every boundary before it has been passed
    std::size_t previous_ = 0;  // the start of the character that ends at boundary_ (if > 0)
};

}  // namespace kq::cp936
