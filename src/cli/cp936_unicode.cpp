#include "cp936_unicode.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

namespace kq::cli {

namespace {

#include "cp936_unicode_table.inc"

constexpr std::size_t firstLead = 0x81;
constexpr std::size_t lastLead = 0xFE;
constexpr std::size_t trailsPerLead = 190;

// The trail byte's place in its lead byte's row: 0x40-0x7E, then 0x80-0xFE (0x7F is no trail).
constexpr std::optional<std::size_t> trailIndex(unsigned trail) {
    if (trail >= 0x40 && trail <= 0x7E) {
        return trail - 0x40;
    }
    if (trail >= 0x80 && trail <= 0xFE) {
        return trail - 0x80 + (0x7F - 0x40);
    }
    return std::nullopt;
}

static_assert(doubleByte.size() == (lastLead + 1 - firstLead) * trailsPerLead);
static_assert(trailIndex(0xFE) == trailsPerLead - 1);

std::optional<char16_t> nonZero(std::uint16_t value) {
    return value != 0 ? std::optional(static_cast<char16_t>(value)) : std::nullopt;
}

}  // namespace

std::optional<char16_t> cp936ToUnicode(std::string_view character) {
    if (character.empty() || character.size() > 2) {
        return std::nullopt;
    }
    const std::size_t first = static_cast<unsigned char>(character[0]);
    if (character.size() == 1) {
        return first < 0x80 ? std::optional(static_cast<char16_t>(first))
                            : nonZero(singleByte[first - 0x80U]);
    }
    const std::optional<std::size_t> trail = trailIndex(static_cast<unsigned char>(character[1]));
    if (first < firstLead || first > lastLead || !trail) {
        return std::nullopt;
    }
    return nonZero(doubleByte[(first - firstLead) * trailsPerLead + *trail]);
}

}  // namespace kq::cli
