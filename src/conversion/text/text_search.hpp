#pragma once
// Searching and replacing whole code page 936 characters, in linear time whatever the text holds.
//
// Case-insensitive comparison folds the ASCII letters of single-byte characters only; the bytes
// of a double-byte character always compare exactly. A match starts and ends on character
// boundaries of the text being searched.
//
// Candidates are found by two of the needle's rarest bytes at their fixed distance, 32 or 16 text
// positions at a time where the processor has AVX2 or SSE2, then checked character by character.
// When checking costs more than the scan saves (a text of near misses), the search goes on with the
// matcher's automaton, so that it stays linear.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/text/cp936.hpp"

namespace kq {

enum class CaseMode { insensitive, exact };

// How candidates are scanned for: 32 or 16 positions at a time (AVX2, SSE2), or one at a time,
// which works on every processor. The tests run every path the machine has.
enum class ScanPath { avx2, sse2, portable };

// The paths this processor can take, the fastest first.
const std::vector<ScanPath>& availableScans();

// A search text prepared for the matcher: its characters as symbols that tell a single-byte
// character from either byte of a double-byte one, the two bytes candidates are found by, and
// the automaton's failure table (made when it is first needed).
class Needle {
  public:
    Needle(std::string_view text, CaseMode mode);

    std::size_t size() const { return symbols_.size(); }  // in bytes
    CaseMode mode() const { return mode_; }
    const std::vector<std::uint16_t>& symbols() const { return symbols_; }
    const std::vector<std::size_t>& failure() const;

    // One byte candidates are found by: its offset in the needle and its value, lower-case for
    // a letter compared in any case (the text byte is then compared with bit 0x20 set).
    struct PairByte {
        std::size_t offset;
        unsigned char value;
        bool anyCase;
    };
    // The two rarest bytes of a needle of two bytes or more.
    const std::array<PairByte, 2>& pair() const { return pair_; }
    // The byte at `offset` and the rarest byte at another offset: the pair for a text in which
    // candidates failed at `offset`.
    std::array<PairByte, 2> pairWith(std::size_t offset) const;
    // Every character single-byte ASCII: a match is then a byte-for-byte comparison of the text
    // with bit 0x20 of the letters compared in any case set (asciiFolds) against asciiBytes.
    bool ascii() const { return ascii_; }
    const std::string& asciiBytes() const { return asciiBytes_; }
    const std::string& asciiFolds() const { return asciiFolds_; }
    // The first eight of them as words, in memory order, and the mask of the needle's bytes.
    std::uint64_t byteWord() const { return byteWord_; }
    std::uint64_t foldWord() const { return foldWord_; }
    std::uint64_t maskWord() const { return maskWord_; }

  private:
    // The byte at `offset` as a pair byte, and how common it is (lower: rarer).
    std::pair<unsigned, PairByte> pairByte(std::size_t offset) const;

    CaseMode mode_;
    std::vector<std::uint16_t> symbols_;
    std::array<PairByte, 2> pair_{};
    bool ascii_ = true;
    std::string asciiBytes_;
    std::string asciiFolds_;
    std::uint64_t byteWord_ = 0;
    std::uint64_t foldWord_ = 0;
    std::uint64_t maskWord_ = 0;
    mutable std::vector<std::size_t> failure_;
};

inline constexpr std::size_t noMatch = static_cast<std::size_t>(-1);

// The matches of one needle in one text, left to right, without overlap. Linear in the text's
// length. Both the text and the needle must outlive it.
class Matches {
  public:
    // `from` is taken as a character boundary of `text`.
    Matches(std::string_view text, const Needle& needle, std::size_t from = 0,
            ScanPath path = availableScans().front());

    // Byte offset of the next match, or noMatch; scanning resumes after the match returned.
    std::size_t next() {
        // Matches often follow one another directly (a text of markers): right after a match, the
        // next start begins a character, and an ASCII needle of eight bytes or fewer is compared
        // there in one load.
        const std::size_t m = needle_.size();
        if (stage_ != Stage::automaton && knownBoundary_ == pos_ && m <= 8 &&
            pos_ + 8 <= text_.size() && needle_.ascii()) {
            std::uint64_t text = 0;
            std::memcpy(&text, text_.data() + pos_, 8);
            if (((text | needle_.foldWord()) & needle_.maskWord()) == needle_.byteWord()) {
                pos_ += m;
                knownBoundary_ = pos_;
                return pos_ - m;
            }
        }
        return nextSlowly();
    }

  private:
    std::size_t nextSlowly();
    std::size_t nextByPair();
    std::size_t nextByAutomaton();
    std::size_t nextCandidate(std::size_t from);
    bool startsCharacter(std::size_t pos) const;
    // The offset in the needle of the first symbol that differs from the text at `pos`, or the
    // needle's size when the needle matches there.
    std::size_t mismatchAt(std::size_t pos) const;
    static constexpr std::size_t unscanned = static_cast<std::size_t>(-2);

    std::string_view text_;
    const Needle& needle_;
    ScanPath path_;
    std::size_t pos_;
    std::size_t
        knownBoundary_;  // a character boundary at or before pos_; nothing before it is read
    // Candidates come from a pair of the needle's bytes until checking them costs too much; then
    // once more from a pair with the byte the last candidate failed at, then from the automaton.
    enum class Stage { pair, secondPair, automaton } stage_;
    std::array<Needle::PairByte, 2> pair_;
    std::size_t checked_ = 0;  // what candidates that were no match cost, in bytes
    std::size_t budgetFrom_;   // where the current stage began
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
