#include "text_search.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "cp936.hpp"

namespace kq {

namespace {

// Symbols: a single-byte character is its (folded) byte; the two bytes of a double-byte character
// are tagged, so that no needle can match from the middle of a character or end inside one.
constexpr std::uint16_t trailTag = 0x100;
constexpr std::uint16_t leadTag = 0x200;

constexpr unsigned char foldAscii(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

unsigned char byteAt(std::string_view text, std::size_t pos) {
    return static_cast<unsigned char>(text[pos]);
}

// The symbols of the character at `pos`; returns how many (1 or 2).
std::size_t charSymbols(std::string_view text, std::size_t pos, CaseMode mode,
                        std::array<std::uint16_t, 2>& out) {
    if (cp936::charLengthAt(text, pos) == 2) {
        out[0] = static_cast<std::uint16_t>(leadTag | byteAt(text, pos));
        out[1] = static_cast<std::uint16_t>(trailTag | byteAt(text, pos + 1));
        return 2;
    }
    const unsigned char b = byteAt(text, pos);
    out[0] = mode == CaseMode::insensitive ? foldAscii(b) : b;
    return 1;
}

}  // namespace

Matches::Matches(std::string_view text, const Needle& needle, std::size_t from)
    : text_(text), needle_(needle), pos_(from), knownBoundary_(std::min(from, text.size())) {
    const std::uint16_t first = needle.size() > 0 ? needle.symbols()[0] : 0;
    if (first >= leadTag) {
        firstBytes_[0] = static_cast<unsigned char>(first & 0xFF);
    } else {
        firstBytes_[0] = static_cast<unsigned char>(first);
        if (needle.mode() == CaseMode::insensitive && first >= 'a' && first <= 'z') {
            firstBytes_[1] = static_cast<unsigned char>(first - ('a' - 'A'));
            variants_ = 2;
        }
    }
}

std::size_t Matches::next() {
    const std::size_t m = needle_.size();
    const auto& symbols = needle_.symbols();
    const auto& failure = needle_.failure();
    const std::size_t n = text_.size();
    if (m == 0) {
        return noMatch;
    }
    std::size_t matched = 0;
    std::array<std::uint16_t, 2> charSyms{};
    while (pos_ < n) {
        if (matched == 0) {
            const std::size_t candidate = nextCandidate(pos_);
            if (candidate == noMatch || candidate + m > n) {
                pos_ = n;
                return noMatch;
            }
            if (!startsCharacter(candidate)) {
                pos_ = candidate + 1;  // the candidate byte was the second byte of a character
                knownBoundary_ = pos_;
                continue;
            }
            pos_ = candidate;
            knownBoundary_ = pos_;
        }
        const std::size_t count = charSymbols(text_, pos_, needle_.mode(), charSyms);
        pos_ += count;
        for (std::size_t s = 0; s < count; ++s) {
            while (matched > 0 && symbols[matched] != charSyms[s]) {
                matched = failure[matched - 1];
            }
            if (symbols[matched] == charSyms[s]) {
                ++matched;
            }
        }
        if (matched == 0) {
            knownBoundary_ = pos_;
        } else if (matched == m) {
            // Whatever lies behind the match is never looked at again (the caller may rewrite it).
            knownBoundary_ = pos_;
            return pos_ - m;
        }
    }
    return noMatch;
}

bool Matches::startsCharacter(std::size_t pos) const {
    // The bytes 0x81-0xFE before `pos` pair up as double-byte characters from the start of their
    // run: the byte before a run ends a character, whether single or a second byte, and so does a
    // known boundary. An odd run leaves its last byte to pair with the byte at `pos`, if it can.
    std::size_t runStart = pos;
    while (runStart > knownBoundary_ && cp936::isLeadByte(byteAt(text_, runStart - 1))) {
        --runStart;
    }
    return (pos - runStart) % 2 == 0 || !cp936::isTrailByte(byteAt(text_, pos));
}

std::size_t Matches::nextCandidate(std::size_t from) {
    std::size_t best = noMatch;
    for (std::size_t v = 0; v < variants_; ++v) {
        if (cached_[v] == unscanned || (cached_[v] != noMatch && cached_[v] < from)) {
            const void* hit = std::memchr(text_.data() + from, firstBytes_[v], text_.size() - from);
            cached_[v] =
                hit == nullptr
                    ? noMatch
                    : static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
        }
        best = std::min(best, cached_[v]);
    }
    return best;
}

Needle::Needle(std::string_view text, CaseMode mode) : mode_(mode) {
    symbols_.reserve(text.size());
    std::array<std::uint16_t, 2> charSyms{};
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t count = charSymbols(text, pos, mode, charSyms);
        symbols_.insert(symbols_.end(), charSyms.begin(),
                        charSyms.begin() + static_cast<std::ptrdiff_t>(count));
        pos += count;
    }
    // failure_[i]: length of the longest proper border of the first i + 1 symbols.
    failure_.assign(symbols_.size(), 0);
    std::size_t border = 0;
    for (std::size_t i = 1; i < symbols_.size(); ++i) {
        while (border > 0 && symbols_[i] != symbols_[border]) {
            border = failure_[border - 1];
        }
        if (symbols_[i] == symbols_[border]) {
            ++border;
        }
        failure_[i] = border;
    }
}

std::size_t findFirst(std::string_view text, const Needle& needle, std::size_t from) {
    if (from >= text.size()) {
        return noMatch;
    }
    return Matches(text, needle, from).next();
}

void replaceAllIn(std::string& text, const Needle& needle, std::string_view replacement) {
    const std::size_t n = text.size();
    const std::size_t m = needle.size();
    const std::size_t r = replacement.size();
    if (r <= m) {
        // The text does not grow: compact it forward in place. Writes land only behind the
        // matcher, which never reads behind the end of its last match.
        Matches matches(text, needle, 0);
        std::size_t write = 0;
        std::size_t copied = 0;
        for (std::size_t start = matches.next(); start != noMatch; start = matches.next()) {
            std::memmove(text.data() + write, text.data() + copied, start - copied);
            write += start - copied;
            replacement.copy(text.data() + write, r);  // an empty view may hold no address at all
            write += r;
            copied = start + m;
        }
        if (copied == 0) {
            return;  // no match: the text stays as it is
        }
        std::memmove(text.data() + write, text.data() + copied, n - copied);
        text.resize(write + (n - copied));
        return;
    }
    // The text grows: find every match first, then fill from the end backwards.
    std::vector<std::size_t> starts;
    Matches matches(text, needle, 0);
    for (std::size_t start = matches.next(); start != noMatch; start = matches.next()) {
        starts.push_back(start);
    }
    if (starts.empty()) {
        return;
    }
    text.resize(n + starts.size() * (r - m));
    std::size_t sourceEnd = n;
    std::size_t targetEnd = text.size();
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        const std::size_t after = *it + m;
        const std::size_t segment = sourceEnd - after;
        targetEnd -= segment;
        std::memmove(text.data() + targetEnd, text.data() + after, segment);
        targetEnd -= r;
        std::memcpy(text.data() + targetEnd, replacement.data(), r);
        sourceEnd = *it;
    }
}

}  // namespace kq
