#include "library_switch.hpp"

#include <cstring>

#include "cp936.hpp"
#include "rewrite_literals.hpp"
#include "text_search.hpp"

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

}  // namespace

bool hasPackageMarker(std::string_view text) {
    return findFirst(text, markerNeedle()) != noMatch;
}

std::optional<RequireBlock> findRequireBlock(std::string_view text) {
    static const Needle dollar(literals::dollarSign, CaseMode::insensitive);
    static const Needle semicolon(literals::semicolon, CaseMode::insensitive);

    Matches openers(text, requireOpenerNeedle());
    RequireBlock block{};
    block.firstOpener = openers.next();
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
    for (std::size_t start = openers.next(); start != noMatch && start < block.dollar;
         start = openers.next()) {
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

}  // namespace kq
