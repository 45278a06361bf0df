#include "conversion/text/text_search.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KQ_X86_VECTORS 1  // NOLINT(cppcoreguidelines-macro-usage): tested by #if
#endif

#include "conversion/text/cp936.hpp"

namespace kq {

namespace {

// Symbols: a single-byte character is its (folded) byte; the two bytes of a double-byte character
// are tagged, so that no needle can match from the middle of a character or end inside one.
constexpr std::uint16_t trailTag = 0x100;
constexpr std::uint16_t leadTag = 0x200;

constexpr unsigned char foldAscii(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

constexpr bool isAsciiLetter(unsigned char b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
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

// How often each byte occurs in Perl scripts with Chinese text in code page 936, as a rank: 0
// for the rarest, 255 for the commonest (the blank). Made by tools/make_byte_rank.py from the
// scripts of the demo site (examples/demo-site: our own forum scripts, GBK text, CR LF line ends),
// which says how (CR counts as often as LF, ties go to the lower byte); run it again to remake the
// table from another set of scripts.
constexpr std::array<std::uint8_t, 256> byteRank{
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   248, 10,  11,  249, 12,  13,  14,  15,  16,
    17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  255, 174, 243, 254, 247, 102,
    215, 221, 236, 237, 145, 165, 214, 213, 222, 238, 185, 187, 128, 112, 90,  81,  82,  30,  77,
    78,  133, 239, 228, 234, 233, 142, 208, 211, 103, 194, 124, 200, 141, 162, 184, 207, 31,  191,
    146, 109, 202, 117, 201, 192, 143, 137, 209, 125, 136, 32,  72,  33,  73,  176, 219, 177, 181,
    224, 34,  250, 226, 230, 235, 253, 225, 227, 223, 246, 118, 167, 231, 244, 241, 240, 245, 229,
    251, 242, 252, 232, 170, 189, 205, 220, 99,  217, 134, 218, 163, 35,  36,  37,  38,  39,  40,
    41,  42,  43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,
    60,  61,  62,  63,  64,  65,  66,  67,  68,  212, 171, 216, 79,  69,  85,  104, 138, 135, 157,
    92,  172, 113, 83,  74,  147, 186, 151, 190, 168, 195, 110, 182, 197, 139, 183, 210, 196, 161,
    152, 158, 121, 122, 198, 193, 206, 93,  119, 179, 155, 159, 180, 156, 203, 169, 153, 166, 173,
    129, 188, 199, 178, 140, 164, 204, 130, 86,  126, 149, 148, 105, 95,  94,  84,  131, 123, 87,
    96,  120, 154, 132, 80,  88,  101, 144, 70,  127, 91,  106, 75,  114, 111, 98,  76,  97,  160,
    115, 100, 89,  107, 175, 108, 116, 150, 71,
};

// Candidates that were no match may cost one compared byte per text byte scanned, with a start-up
// allowance, before the search changes its stage; each such candidate costs what it compared and
// the stop in the scan.
constexpr std::size_t checkAllowance = 4096;
constexpr std::size_t candidateCost = 16;

using PairByte = Needle::PairByte;

bool pairAt(std::string_view text, std::size_t start, const PairByte& one, const PairByte& two) {
    const auto a =
        static_cast<unsigned char>(byteAt(text, start + one.offset) | (one.anyCase ? 0x20U : 0U));
    const auto b =
        static_cast<unsigned char>(byteAt(text, start + two.offset) | (two.anyCase ? 0x20U : 0U));
    return a == one.value && b == two.value;
}

// The first start in [from, last] at which the needle's byte pair stands, or noMatch.
std::size_t portableCandidate(std::string_view text, std::size_t from, std::size_t last,
                              const PairByte& one, const PairByte& two) {
    for (std::size_t start = from; start <= last; ++start) {
        if (pairAt(text, start, one, two)) {
            return start;
        }
    }
    return noMatch;
}

#if defined(KQ_X86_VECTORS)

// The same, sixteen starts at a time.
std::size_t sse2Candidate(std::string_view text, std::size_t from, std::size_t last,
                          const PairByte& one, const PairByte& two) {
    const __m128i wantOne = _mm_set1_epi8(static_cast<char>(one.value));
    const __m128i wantTwo = _mm_set1_epi8(static_cast<char>(two.value));
    const __m128i foldOne = _mm_set1_epi8(one.anyCase ? 0x20 : 0);
    const __m128i foldTwo = _mm_set1_epi8(two.anyCase ? 0x20 : 0);
    const char* const data = text.data();
    std::size_t start = from;
    for (; start + 15 <= last; start += 16) {
        const __m128i a = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + start + one.offset)), foldOne);
        const __m128i b = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + start + two.offset)), foldTwo);
        const auto hits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a, wantOne), _mm_cmpeq_epi8(b, wantTwo))));
        if (hits != 0) {
            return start + static_cast<std::size_t>(std::countr_zero(hits));
        }
    }
    return start <= last ? portableCandidate(text, start, last, one, two) : noMatch;
}

// The same, 32 starts at a time.
__attribute__((target("avx2"))) std::size_t avx2Candidate(std::string_view text, std::size_t from,
                                                          std::size_t last, const PairByte& one,
                                                          const PairByte& two) {
    const __m256i wantOne = _mm256_set1_epi8(static_cast<char>(one.value));
    const __m256i wantTwo = _mm256_set1_epi8(static_cast<char>(two.value));
    const __m256i foldOne = _mm256_set1_epi8(one.anyCase ? 0x20 : 0);
    const __m256i foldTwo = _mm256_set1_epi8(two.anyCase ? 0x20 : 0);
    const char* const data = text.data();
    std::size_t start = from;
    for (; start + 31 <= last; start += 32) {
        const __m256i a = _mm256_or_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + start + one.offset)),
            foldOne);
        const __m256i b = _mm256_or_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + start + two.offset)),
            foldTwo);
        const auto hits = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(a, wantOne), _mm256_cmpeq_epi8(b, wantTwo))));
        if (hits != 0) {
            return start + static_cast<std::size_t>(std::countr_zero(hits));
        }
    }
    return start <= last ? sse2Candidate(text, start, last, one, two) : noMatch;
}

#endif

std::size_t pairCandidate(ScanPath path, std::string_view text, std::size_t from, std::size_t last,
                          const PairByte& one, const PairByte& two) {
#if defined(KQ_X86_VECTORS)
    if (path == ScanPath::avx2) {
        return avx2Candidate(text, from, last, one, two);
    }
    if (path == ScanPath::sse2) {
        return sse2Candidate(text, from, last, one, two);
    }
#endif
    return portableCandidate(text, from, last, one, two);
}

}  // namespace

const std::vector<ScanPath>& availableScans() {
    static const std::vector<ScanPath> paths = [] {
        std::vector<ScanPath> found;
#if defined(KQ_X86_VECTORS)
        if (__builtin_cpu_supports("avx2")) {
            found.push_back(ScanPath::avx2);
        }
        found.push_back(ScanPath::sse2);
#endif
        found.push_back(ScanPath::portable);
        return found;
    }();
    return paths;
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
    ascii_ = std::all_of(symbols_.begin(), symbols_.end(),
                         [](std::uint16_t symbol) { return symbol < 0x80; });
    if (ascii_) {
        for (const std::uint16_t symbol : symbols_) {
            const auto b = static_cast<unsigned char>(symbol);
            asciiBytes_ += static_cast<char>(b);
            asciiFolds_ += (mode == CaseMode::insensitive && isAsciiLetter(b)) ? '\x20' : '\0';
        }
        std::array<char, 8> bytes{};
        std::array<char, 8> folds{};
        std::array<char, 8> mask{};
        for (std::size_t k = 0; k < std::min<std::size_t>(8, asciiBytes_.size()); ++k) {
            bytes.at(k) = asciiBytes_[k];
            folds.at(k) = asciiFolds_[k];
            mask.at(k) = '\xFF';
        }
        std::memcpy(&byteWord_, bytes.data(), 8);
        std::memcpy(&foldWord_, folds.data(), 8);
        std::memcpy(&maskWord_, mask.data(), 8);
    }
    if (symbols_.size() < 2) {
        return;
    }
    auto first = pairByte(0);
    auto second = pairByte(1);
    if (second.first < first.first) {
        std::swap(first, second);
    }
    for (std::size_t offset = 2; offset < symbols_.size(); ++offset) {
        const auto candidate = pairByte(offset);
        if (candidate.first < first.first) {
            second = first;
            first = candidate;
        } else if (candidate.first < second.first) {
            second = candidate;
        }
    }
    pair_ = {first.second, second.second};
}

std::pair<unsigned, Needle::PairByte> Needle::pairByte(std::size_t offset) const {
    // A letter compared in any case counts as often as both its forms.
    const auto symbol = symbols_[offset];
    const auto value = static_cast<unsigned char>(symbol & 0xFF);
    const bool anyCase =
        symbol < trailTag && mode_ == CaseMode::insensitive && isAsciiLetter(value);
    const unsigned rank =
        anyCase ? std::max(byteRank[value], byteRank[value & 0xDFU]) + 16U : byteRank[value];
    return {rank, PairByte{offset, anyCase ? foldAscii(value) : value, anyCase}};
}

std::array<Needle::PairByte, 2> Needle::pairWith(std::size_t offset) const {
    std::pair<unsigned, PairByte> other{~0U, {}};
    for (std::size_t at = 0; at < symbols_.size(); ++at) {
        if (const auto candidate = pairByte(at); at != offset && candidate.first < other.first) {
            other = candidate;
        }
    }
    return {pairByte(offset).second, other.second};
}

const std::vector<std::size_t>& Needle::failure() const {
    if (failure_.empty() && !symbols_.empty()) {
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
    return failure_;
}

Matches::Matches(std::string_view text, const Needle& needle, std::size_t from, ScanPath path)
    : text_(text),
      needle_(needle),
      path_(path),
      pos_(from),
      knownBoundary_(std::min(from, text.size())),
      stage_(needle.size() >= 2 ? Stage::pair : Stage::automaton),
      pair_(needle.pair()),
      budgetFrom_(from) {
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

std::size_t Matches::nextSlowly() {
    if (needle_.size() == 0) {
        return noMatch;
    }
    return stage_ == Stage::automaton ? nextByAutomaton() : nextByPair();
}

std::size_t Matches::mismatchAt(std::size_t pos) const {
    const auto& symbols = needle_.symbols();
    if (needle_.ascii()) {
        // Byte for byte: a text byte of 0x80 or more is never equal, and every ASCII byte is a
        // character of its own. A letter compared in any case is compared with bit 0x20 set.
        const std::string& bytes = needle_.asciiBytes();
        const std::string& folds = needle_.asciiFolds();
        const char* const at = text_.data() + pos;
        std::size_t k = 0;
        for (; k + 8 <= bytes.size(); k += 8) {  // eight bytes at a time
            std::uint64_t text = 0;
            std::uint64_t fold = 0;
            std::uint64_t want = 0;
            std::memcpy(&text, at + k, 8);
            std::memcpy(&fold, folds.data() + k, 8);
            std::memcpy(&want, bytes.data() + k, 8);
            if (const std::uint64_t differ = (text | fold) ^ want; differ != 0) {
                const int bit = std::endian::native == std::endian::little
                                    ? std::countr_zero(differ)
                                    : std::countl_zero(differ);
                return k + static_cast<std::size_t>(bit) / 8;
            }
        }
        for (; k < bytes.size(); ++k) {
            if ((at[k] | folds[k]) != bytes[k]) {
                return k;
            }
        }
        return bytes.size();
    }
    std::array<std::uint16_t, 2> charSyms{};
    for (std::size_t k = 0; k < symbols.size();) {
        const std::size_t count = charSymbols(text_, pos + k, needle_.mode(), charSyms);
        if (k + count > symbols.size() || charSyms[0] != symbols[k] ||
            (count == 2 && charSyms[1] != symbols[k + 1])) {
            return k;
        }
        k += count;
    }
    return symbols.size();
}

std::size_t Matches::nextByPair() {
    const std::size_t m = needle_.size();
    const std::size_t n = text_.size();
    // Matches often follow one another directly: right after a match, a start is known to begin
    // a character, and is tried on its own.
    if (knownBoundary_ == pos_ && pos_ + m <= n && mismatchAt(pos_) == m) {
        pos_ += m;
        knownBoundary_ = pos_;
        return pos_ - m;
    }
    while (pos_ + m <= n) {
        const std::size_t start = pairCandidate(path_, text_, pos_, n - m, pair_[0], pair_[1]);
        if (start == noMatch) {
            break;
        }
        pos_ = start + 1;
        if (!startsCharacter(start)) {
            knownBoundary_ = start + 1;  // the candidate byte was the second byte of a character
            continue;
        }
        knownBoundary_ = start;
        const std::size_t mismatch = mismatchAt(start);
        if (mismatch == m) {
            pos_ = start + m;
            knownBoundary_ = pos_;
            return start;
        }
        checked_ += mismatch + candidateCost;
        if (checked_ > pos_ - budgetFrom_ + checkAllowance) {
            // Near misses: the byte they fail at rarely stands there, so it finds fewer. When
            // that does not help either, the automaton takes over.
            checked_ = 0;
            budgetFrom_ = pos_;
            if (stage_ == Stage::secondPair) {
                stage_ = Stage::automaton;
                return nextByAutomaton();
            }
            stage_ = Stage::secondPair;
            pair_ = needle_.pairWith(mismatch);
        }
    }
    pos_ = n;
    return noMatch;
}

std::size_t Matches::nextByAutomaton() {
    const std::size_t m = needle_.size();
    const auto& symbols = needle_.symbols();
    const auto& failure = needle_.failure();
    const std::size_t n = text_.size();
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
        char* const data = text.data();
        for (std::size_t start = matches.next(); start != noMatch; start = matches.next()) {
            if (start != copied) {
                std::memmove(data + write, data + copied, start - copied);
                write += start - copied;
            }
            for (const char c : replacement) {  // a few bytes: no call for them
                data[write++] = c;
            }
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
