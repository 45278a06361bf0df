#pragma once
// Searching and replacing whole code page 936 characters, in linear time whatever the text holds.
//
// Case-insensitive comparison folds the ASCII letters of single-byte characters only; the bytes
// of a double-byte character always compare exactly. A match starts and ends on character
// boundaries of the text being searched.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cp936.hpp"

namespace kq {

enum class CaseMode { insensitive, exact };

// A search text prepared for the matcher: its characters as symbols that tell a single-byte
// character from either byte of a double-byte one, and the matcher's failure table.
class Needle {
  public:
    Needle(std::string_view text, CaseMode mode);

    std::size_t size() const { return symbols_.size(); }  // in bytes
    CaseMode mode() const { return mode_; }
    const std::vector<std::uint16_t>& symbols() const { return symbols_; }
    const std::vector<std::size_t>& failure() const { return failure_; }

  private:
    CaseMode mode_;
    std::vector<std::uint16_t> symbols_;
    std::vector<std::size_t> failure_;
};

inline constexpr std::size_t noMatch = static_cast<std::size_t>(-1);

// The matches of one needle in one text, left to right, without overlap. Linear in the text's
// length: every byte is fed to the automaton at most once, a possible first byte is checked for
// a character boundary by looking back over the double-byte run before it (runs before distinct
// candidates do not overlap), and the byte scans that skip to the next candidate are cached. Both
// the text and the needle must outlive it.
class Matches {
  public:
    // `from` is taken as a character boundary of `text`.
    Matches(std::string_view text, const Needle& needle, std::size_t from = 0);

    // Byte offset of the next match, or noMatch; scanning resumes after the match returned.
    std::size_t next();

  private:
    std::size_t nextCandidate(std::size_t from);
    bool startsCharacter(std::size_t pos) const;
    static constexpr std::size_t unscanned = static_cast<std::size_t>(-2);

    std::string_view text_;
    const Needle& needle_;
    std::size_t pos_;
    std::size_t
        knownBoundary_;  // a character boundary at or before pos_; nothing before it is read
    std::array<unsigned char, 2> firstBytes_{};
    std::size_t variants_ = 1;
    std::array<std::size_t, 2> cached_{unscanned, unscanned};
};

// Byte offset of the first match that starts at or after `from`, or noMatch. `from` is taken as
// a character boundary of `text`.
std::size_t findFirst(std::string_view text, const Needle& needle, std::size_t from = 0);

// Replaces every match in place, left to right, without overlap; the inserted text is never
// searched again and the text between matches keeps its case. An empty needle replaces nothing.
// No second buffer is used unless the text grows.
void replaceAllIn(std::string& text, const Needle& needle, std::string_view replacement);

}  // namespace kq
