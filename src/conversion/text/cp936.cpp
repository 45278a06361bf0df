#include "conversion/text/cp936.hpp"

#include <cstdint>
#include <cstring>

namespace kq::cp936 {

namespace {

// True when none of the eight bytes at `p` has its high bit set: eight single-byte characters.
bool eightAsciiBytes(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

}  // namespace

std::size_t countChars(std::string_view bytes) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < bytes.size(); pos += charLengthAt(bytes, pos)) {
        ++count;
    }
    return count;
}

std::size_t BoundaryCursor::boundaryAtOrAfter(std::size_t pos) {
    if (pos < boundary_) {
        // Asked behind the cursor: walk again from the start of the text.
        boundary_ = 0;
        previous_ = 0;
    }
    while (boundary_ < pos) {
        if (boundary_ + 8 <= pos && eightAsciiBytes(bytes_.data() + boundary_)) {
            boundary_ += 8;
            previous_ = boundary_ - 1;
            continue;
        }
        previous_ = boundary_;
        boundary_ += charLengthAt(bytes_, boundary_);
    }
    return boundary_;
}

std::size_t BoundaryCursor::charStartBefore(std::size_t pos) {
    boundaryAtOrAfter(pos);
    return previous_;
}

}  // namespace kq::cp936
