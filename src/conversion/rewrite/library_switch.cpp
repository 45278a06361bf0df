#include "conversion/rewrite/library_switch.hpp"

#include <cstring>

#include "conversion/rewrite/rewrite_literals.hpp"
#include "conversion/text/cp936.hpp"
#include "conversion/text/text_search.hpp"

namespace kq {

namespace {

const Needle& markerNeedle() {
    static const Needle needle(literals::packageMarker, CaseMode::insensitive);
    return needle;
}

const Needle& requireOpenerNeedle() {
    static const Needle needle(literals::requireOpener, CaseMode::insensitive);
    return needle;
}

// Tells, for offsets asked about in increasing order, whether each stands on a comment line: one
// whose first character that is not a blank or a tab, before the offset, is "#". A line begins
// after the last CR or LF, or at the start of the text. Each byte is looked at a bounded number
// of times, however many offsets share one line. CR, LF, "#", blank and tab are never part of a
// double-byte character, so bytes tell them.
class CommentLines {
  public:
    explicit CommentLines(std::string_view text) : text_(text) {}

    // `at` holds the first byte of a require opener, which is neither a blank nor a tab.
    bool holds(std::size_t at) {
        const std::string_view unseen = text_.substr(seen_, at - seen_);
        if (const std::size_t end = unseen.find_last_of("\r\n"); end != std::string_view::npos) {
            lineStart_ = seen_ + end + 1;
            known_ = false;
        }
        if (!known_) {
            const std::size_t first = text_.find_first_not_of(" \t", lineStart_);
            comment_ = first < at && text_[first] == '#';
            known_ = true;  // the line's first character stands at or before `at`
        }
        seen_ = at;
        return comment_;
    }

  private:
    std::string_view text_;
    std::size_t seen_ = 0;       // no line end before it has been missed
    std::size_t lineStart_ = 0;  // where the line of the last offset asked about begins
    bool known_ = false;         // whether comment_ holds for that line
    bool comment_ = false;
};

// The next require opener that does not stand on a comment line, or noMatch.
std::size_t nextRealOpener(Matches& openers, CommentLines& comments) {
    for (std::size_t at = openers.next(); at != noMatch; at = openers.next()) {
        if (!comments.holds(at)) {
            return at;
        }
    }
    return noMatch;
}

}  // namespace

bool hasPackageMarker(std::string_view text) {
    return findFirst(text, markerNeedle()) != noMatch;
}

std::optional<RequireBlock> findRequireBlock(std::string_view text) {
    static const Needle dollar(literals::dollarSign, CaseMode::insensitive);
    static const Needle semicolon(literals::semicolon, CaseMode::insensitive);

    // An opener on a comment line (a require statement commented out) is none: the eval block
    // would open or close inside the comment.
    Matches openers(text, requireOpenerNeedle());
    CommentLines comments(text);
    RequireBlock block{};
    block.firstOpener = nextRealOpener(openers, comments);
    // No opener, or one at the very start: there is no character before it to wrap from.
    if (block.firstOpener == noMatch || block.firstOpener == 0) {
        return std::nullopt;
    }
    block.before = cp936::BoundaryCursor(text).charStartBefore(block.firstOpener);

    block.dollar = findFirst(text, dollar, block.before);
    // A dollar sign right before the first opener leaves no opener before it.
    if (block.dollar == noMatch || block.dollar == block.before) {
        return std::nullopt;
    }

    // The last opener that starts before the dollar sign; an opener cannot hold one.
    block.lastOpener = block.firstOpener;
    for (std::size_t start = nextRealOpener(openers, comments);
         start != noMatch && start < block.dollar; start = nextRealOpener(openers, comments)) {
        block.lastOpener = start;
    }

    block.semicolon = findFirst(text, semicolon, block.lastOpener);
    if (block.semicolon == noMatch) {
        return std::nullopt;
    }
    return block;
}

bool switchLibrary(std::string& text) {
    static const Needle bootstrap(literals::bootstrapBlock, CaseMode::insensitive);
    static const Needle oldUse(literals::oldUseLine, CaseMode::insensitive);
    replaceAllIn(text, bootstrap, "");
    // The use line goes first: renaming the marker first would change it beyond recognition.
    replaceAllIn(text, oldUse, literals::newUseLine);
    replaceAllIn(text, markerNeedle(), literals::standardModuleName);

    const auto block = findRequireBlock(text);
    if (!block) {
        return false;
    }
    // head (up to and including the character before the first opener), eval prefix, middle
    // (from that same character up to the semicolon, which is left out), eval suffix, tail. The
    // pieces move within the one buffer: the tail to the end, then the suffix, the middle and the
    // prefix, each into room already vacated.
    const std::size_t headSize = block->firstOpener;
    const std::size_t middleSize = block->semicolon - block->before;
    const std::size_t tailSize = text.size() - block->semicolon - 1;
    const std::size_t prefixSize = literals::evalPrefix.size();
    const std::size_t suffixSize = literals::evalSuffix.size();
    text.resize(headSize + prefixSize + middleSize + suffixSize + tailSize);
    char* const data = text.data();
    std::memmove(data + text.size() - tailSize, data + block->semicolon + 1, tailSize);
    std::memcpy(data + headSize + prefixSize + middleSize, literals::evalSuffix.data(), suffixSize);
    std::memmove(data + headSize + prefixSize, data + block->before, middleSize);
    std::memcpy(data + headSize, literals::evalPrefix.data(), prefixSize);
    return true;
}

bool updateEarlierConversion(std::string& scriptText) {
    static const Needle earlierPrefix(literals::earlierEvalPrefix, CaseMode::exact);
    static const Needle earliestSuffix(literals::earliestEvalSuffix, CaseMode::exact);
    static const Needle currentSuffix(literals::evalSuffix, CaseMode::exact);
    // The line the current prefix has beyond the earlier one, with the CR LF before it.
    static constexpr std::string_view missingLine =
        literals::evalPrefix.substr(literals::earlierEvalPrefix.size());

    const std::size_t prefix = findFirst(scriptText, earlierPrefix);
    if (prefix == noMatch) {
        return false;
    }
    const std::size_t afterPrefix = prefix + literals::earlierEvalPrefix.size();
    if (std::string_view(scriptText).substr(afterPrefix).starts_with(missingLine)) {
        return false;  // converted by this version
    }
    const std::size_t earliest = findFirst(scriptText, earliestSuffix, afterPrefix);
    const std::size_t current = findFirst(scriptText, currentSuffix, afterPrefix);
    if (earliest == noMatch && current == noMatch) {
        return false;
    }
    // The two suffixes differ within their first line, so they never begin at the same place.
    const bool earliestFirst = earliest < current;
    const std::size_t suffix = earliestFirst ? earliest : current;
    const std::size_t suffixSize = earliestFirst ? earliestSuffix.size() : currentSuffix.size();
    // The later change first, so that the earlier one's offset still holds; both within the
    // script's own buffer.
    scriptText.replace(suffix, suffixSize, literals::evalSuffix);
    scriptText.insert(afterPrefix, missingLine);
    return true;
}

}  // namespace kq
