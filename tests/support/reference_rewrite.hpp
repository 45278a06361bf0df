#pragma once
// A slow, plain model of the rewrites, used as an oracle for generated and fuzzed texts. It works
// on a text split into characters and follows the rewrite steps literally, with 1-based
// character positions and a naive character-by-character search, so that it shares no code and
// no shortcuts with the engine; only the fixed texts are the engine's own (the golden sites check
// those byte for byte).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/rewrite/rewrite_literals.hpp"

namespace kqtest::reference {

namespace literal = kq::literals;

constexpr bool isGbkLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
constexpr bool isGbkTrail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

enum class Compare { ignoreCase, exact };

// A text as its characters; each entry views one or two bytes of the original.
class CharText {
  public:
    explicit CharText(std::string_view bytes) : bytes_(bytes) {
        std::size_t i = 0;
        while (i < bytes.size()) {
            const bool pair = isGbkLead(static_cast<unsigned char>(bytes[i])) &&
                              i + 1 < bytes.size() &&
                              isGbkTrail(static_cast<unsigned char>(bytes[i + 1]));
            const std::size_t length = pair ? 2 : 1;
            offsets_.push_back(i);
            chars_.push_back(bytes.substr(i, length));
            i += length;
        }
        offsets_.push_back(bytes.size());
    }

    std::size_t length() const { return chars_.size(); }
    // Character at 1-based position `pos`.
    std::string_view at(std::size_t pos) const { return chars_[pos - 1]; }
    // Byte offset of the character at 1-based position `pos` (length() + 1: the end).
    std::size_t byteOffset(std::size_t pos) const { return offsets_[pos - 1]; }
    // Characters `first` to `last` (1-based, inclusive) as bytes; empty when last < first.
    std::string_view span(std::size_t first, std::size_t last) const {
        if (last < first) {
            return {};
        }
        return bytes_.substr(byteOffset(first), byteOffset(last + 1) - byteOffset(first));
    }

  private:
    std::string_view bytes_;
    std::vector<std::string_view> chars_;
    std::vector<std::size_t> offsets_;
};

inline char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline bool sameChar(std::string_view a, std::string_view b, Compare mode) {
    if (mode == Compare::ignoreCase && a.size() == 1 && b.size() == 1) {
        return foldAscii(a[0]) == foldAscii(b[0]);
    }
    return a == b;
}

// Whether `needle` matches `text` at 1-based position `pos`.
inline bool matchesAt(const CharText& text, std::size_t pos, const CharText& needle, Compare mode) {
    if (needle.length() == 0 || pos + needle.length() - 1 > text.length()) {
        return false;
    }
    for (std::size_t k = 1; k <= needle.length(); ++k) {
        if (!sameChar(text.at(pos + k - 1), needle.at(k), mode)) {
            return false;
        }
    }
    return true;
}

// 1-based position of the first match at or after `from`, or 0.
inline std::size_t findFrom(const CharText& text, std::size_t from, const CharText& needle,
                            Compare mode) {
    for (std::size_t pos = from < 1 ? 1 : from; pos <= text.length(); ++pos) {
        if (matchesAt(text, pos, needle, mode)) {
            return pos;
        }
    }
    return 0;
}

struct Replaced {
    std::string text;
    std::vector<std::size_t> insertedAt;  // byte offsets in `text` of every inserted replacement
};

// Every match replaced, left to right, without overlap, scanning on after each insertion.
inline Replaced replaceAll(std::string_view bytes, std::string_view search,
                           std::string_view replacement, Compare mode) {
    const CharText text(bytes);
    const CharText needle(search);
    Replaced out;
    std::size_t pos = 1;
    while (pos <= text.length()) {
        if (matchesAt(text, pos, needle, mode)) {
            out.insertedAt.push_back(out.text.size());
            out.text += replacement;
            pos += needle.length();
        } else {
            out.text += text.at(pos);
            ++pos;
        }
    }
    return out;
}

inline bool hasMarker(std::string_view bytes) {
    return findFrom(CharText(bytes), 1, CharText(literal::packageMarker), Compare::ignoreCase) != 0;
}

struct AfterRename {
    std::string text;
    std::vector<std::size_t> insertedNameAt;  // where the module rename put "CGI"
};

// Bootstrap removal, use-line switch and module rename.
inline AfterRename renameModule(std::string_view script) {
    const std::string block(literal::bootstrapBlock);
    const Replaced first = replaceAll(script, block, "", Compare::ignoreCase);
    const Replaced second =
        replaceAll(first.text, literal::oldUseLine, literal::newUseLine, Compare::ignoreCase);
    Replaced third = replaceAll(second.text, literal::packageMarker, literal::standardModuleName,
                                Compare::ignoreCase);
    return {std::move(third.text), std::move(third.insertedAt)};
}

// Where the require wrap cuts, as 1-based character positions: the first require opener, the
// character before it, the first dollar sign from there, the last opener before that dollar sign
// and the first semicolon from that opener.
struct Positions {
    std::size_t firstOpener, before, dollar, lastOpener, semicolon;
};

// Whether the character at `pos` stands on a comment line: going back from it to the last CR or
// LF (or the start), the first character that is not a blank or a tab is "#".
inline bool onCommentLine(const CharText& text, std::size_t pos) {
    std::size_t lineStart = pos;
    while (lineStart > 1 && text.at(lineStart - 1) != "\r" && text.at(lineStart - 1) != "\n") {
        --lineStart;
    }
    for (std::size_t at = lineStart; at < pos; ++at) {
        if (text.at(at) != " " && text.at(at) != "\t") {
            return text.at(at) == "#";
        }
    }
    return false;
}

// A require opener at `pos` that does not stand on a comment line.
inline bool realOpenerAt(const CharText& text, std::size_t pos) {
    return matchesAt(text, pos, CharText(literal::requireOpener), Compare::ignoreCase) &&
           !onCommentLine(text, pos);
}

inline std::optional<Positions> requirePositions(std::string_view bytes) {
    const CharText text(bytes);
    const CharText dollar("$");
    const CharText semicolon(";");
    std::size_t firstOpener = 0;
    for (std::size_t pos = 1; pos <= text.length() && firstOpener == 0; ++pos) {
        firstOpener = realOpenerAt(text, pos) ? pos : 0;
    }
    if (firstOpener <= 1) {
        return std::nullopt;  // no opener, or the opener at position 1 (nothing before it)
    }
    const std::size_t before = firstOpener - 1;
    const std::size_t dollarAt = findFrom(text, before, dollar, Compare::ignoreCase);
    if (dollarAt == 0) {
        return std::nullopt;
    }
    std::size_t lastOpener = 0;
    for (std::size_t pos = dollarAt; pos-- > 1;) {
        if (realOpenerAt(text, pos)) {
            lastOpener = pos;
            break;
        }
    }
    if (lastOpener == 0) {
        return std::nullopt;
    }
    const std::size_t semicolonAt = findFrom(text, lastOpener, semicolon, Compare::ignoreCase);
    if (semicolonAt == 0) {
        return std::nullopt;
    }
    return Positions{firstOpener, before, dollarAt, lastOpener, semicolonAt};
}

// The require wrap: head, eval prefix, middle, eval suffix and tail.
inline std::optional<std::string> wrapRequire(std::string_view bytes) {
    const std::optional<Positions> at = requirePositions(bytes);
    if (!at) {
        return std::nullopt;
    }
    const CharText text(bytes);
    std::string out;
    out += text.span(1, at->before);
    out += literal::evalPrefix;
    out += text.span(at->before, at->semicolon - 1);
    out += literal::evalSuffix;
    out += text.span(at->semicolon + 1, text.length());
    return out;
}

// A script converted by an earlier version brought up to date: after the first earlier eval
// prefix (exact case) that the current one's last line does not follow, the line inserted, and
// the first earliest or current eval suffix after it made the current one.
inline std::optional<std::string> updateEarlier(std::string_view bytes) {
    const CharText text(bytes);
    const CharText prefix(literal::earlierEvalPrefix);
    const std::string_view lastLine = literal::evalPrefix.substr(literal::earlierEvalPrefix.size());
    const std::size_t p = findFrom(text, 1, prefix, Compare::exact);
    if (p == 0 || matchesAt(text, p + prefix.length(), CharText(lastLine), Compare::exact)) {
        return std::nullopt;
    }
    const std::size_t after = p + prefix.length();
    for (std::size_t s = after; s <= text.length(); ++s) {
        for (const std::string_view suffix : {literal::earliestEvalSuffix, literal::evalSuffix}) {
            const CharText found(suffix);
            if (matchesAt(text, s, found, Compare::exact)) {
                return std::string(text.span(1, after - 1)) + std::string(lastLine) +
                       std::string(text.span(after, s - 1)) + std::string(literal::evalSuffix) +
                       std::string(text.span(s + found.length(), text.length()));
            }
        }
    }
    return std::nullopt;
}

enum class Upload { post, profile };

struct UploadResult {
    std::string text;
    bool readLoopFound;
};

inline UploadResult rewriteUpload(std::string_view script, Upload variant) {
    std::string text(script);
    if (variant == Upload::post) {
        text = replaceAll(text, literal::postUploadNameLine, "", Compare::ignoreCase).text;
        text =
            replaceAll(text, literal::postSplitLine, literal::postNameBlock, Compare::exact).text;
    } else {
        text = replaceAll(text, literal::profileUploadNameLine, literal::profileNameBlock,
                          Compare::ignoreCase)
                   .text;
    }
    const CharText chars(text);
    const std::size_t head =
        findFrom(chars, 1, CharText(literal::readLoopHead), Compare::ignoreCase);
    if (head == 0) {
        return {text, false};
    }
    std::size_t lineEnd = head;
    while (lineEnd <= chars.length() && chars.at(lineEnd) != "\r" && chars.at(lineEnd) != "\n") {
        ++lineEnd;
    }
    const std::string oldLine(chars.span(head, lineEnd - 1));
    return {replaceAll(text, oldLine, literal::newReadLoopLine, Compare::ignoreCase).text, true};
}

}  // namespace kqtest::reference
