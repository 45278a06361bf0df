// Fuzz target for the rewrites: arbitrary bytes go through the library switch, the update of an
// earlier conversion, the upload-handler rewrite (on the raw text and on the converted one, as the
// conversion chains them) and the character search, and every result is checked against the plain
// step-by-step model.
//
// Input layout: byte 0 picks the upload variant (bit 0) and the length of a search text
// (bits 1-7); byte 1 where that search text is cut out of the script; the rest is the script.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/rewrite/library_switch.hpp"
#include "conversion/rewrite/upload_rewrite.hpp"
#include "conversion/text/cp936.hpp"
#include "conversion/text/text_search.hpp"
#include "reference_rewrite.hpp"

namespace {

namespace ref = kqtest::reference;
namespace literal = kq::literals;

void check(bool holds, const char* invariant) {
    if (!holds) {
        std::fprintf(stderr, "rewrite_fuzz: invariant broken: %s\n", invariant);
        std::abort();
    }
}

// Byte offsets of every occurrence of the package marker, overlapping ones included.
std::vector<std::size_t> markerOccurrences(std::string_view text) {
    const ref::CharText chars(text);
    const ref::CharText marker(literal::packageMarker);
    std::vector<std::size_t> found;
    for (std::size_t pos = 1; pos <= chars.length(); ++pos) {
        if (ref::matchesAt(chars, pos, marker, ref::Compare::ignoreCase)) {
            found.push_back(chars.byteOffset(pos));
        }
    }
    return found;
}

// After the rename, a marker can only remain where the text spells it anew around an inserted
// "CGI" (as "kq" + "CGI"): every occurrence must overlap one.
void checkNoMarkerLeft(const ref::AfterRename& renamed) {
    for (const std::size_t at : markerOccurrences(renamed.text)) {
        bool touchesInsertion = false;
        for (const std::size_t inserted : renamed.insertedNameAt) {
            touchesInsertion =
                touchesInsertion || (at < inserted + literal::standardModuleName.size() &&
                                     inserted < at + literal::packageMarker.size());
        }
        check(touchesInsertion, "a package marker survived the rename");
    }
}

// `converted` and `scriptText` are what switchLibrary made of the script whose text after the
// module rename is `renamed`.
void checkRequireWrap(const std::string& renamed, bool converted, const std::string& scriptText) {
    const std::optional<ref::Positions> at = ref::requirePositions(renamed);
    const std::optional<kq::RequireBlock> block = kq::findRequireBlock(renamed);
    check(block.has_value() == at.has_value(), "require block found by one side only");
    check(converted == at.has_value(), "switchLibrary converted without a require block");
    if (!at) {
        check(scriptText == renamed, "text after the rename differs from the step-by-step result");
        return;
    }
    const ref::CharText chars(renamed);
    check(block->firstOpener == chars.byteOffset(at->firstOpener), "first require opener");
    check(block->before == chars.byteOffset(at->before), "character before the first opener");
    check(block->dollar == chars.byteOffset(at->dollar), "dollar sign");
    check(block->lastOpener == chars.byteOffset(at->lastOpener), "last require opener");
    check(block->semicolon == chars.byteOffset(at->semicolon), "semicolon");
    check(scriptText == ref::wrapRequire(renamed), "result differs from the step-by-step result");

    // head + eval prefix + middle + eval suffix + tail, cut at the engine's own offsets: the
    // character before the opener in both head and middle, the semicolon in neither. Counted
    // piece by piece: a stray lead byte just before the semicolon pairs with the "}" of the
    // suffix when the whole result is read again, so the whole text may count one less.
    const std::size_t pieces =
        kq::cp936::countChars(std::string_view(renamed).substr(0, block->firstOpener)) +
        kq::cp936::countChars(literal::evalPrefix) +
        kq::cp936::countChars(
            std::string_view(renamed).substr(block->before, block->semicolon - block->before)) +
        kq::cp936::countChars(literal::evalSuffix) +
        kq::cp936::countChars(std::string_view(renamed).substr(block->semicolon + 1));
    check(pieces == kq::cp936::countChars(renamed) + 344, "result is not 344 characters longer");
    check(ref::hasMarker(renamed) || !kq::hasPackageMarker(scriptText),
          "the require wrap brought a package marker in");
}

void checkUpload(std::string_view script, bool post) {
    const ref::UploadResult expected =
        ref::rewriteUpload(script, post ? ref::Upload::post : ref::Upload::profile);
    std::string text(script);
    const bool readLoopFound = post ? kq::rewritePostUpload(text) : kq::rewriteProfileUpload(text);
    check(text == expected.text, "upload rewrite differs from the step-by-step result");
    check(readLoopFound == expected.readLoopFound, "read loop found by one side only");
}

// Every match replaced, and the matches one by one, as the model finds them.
void checkSearch(std::string_view text, std::string_view needleText, bool exact) {
    const kq::Needle needle(needleText, exact ? kq::CaseMode::exact : kq::CaseMode::insensitive);
    std::string replaced(text);
    kq::replaceAllIn(replaced, needle, "<>");
    if (needleText.empty()) {
        check(replaced == text, "an empty search text replaced");
        return;
    }
    const ref::Compare mode = exact ? ref::Compare::exact : ref::Compare::ignoreCase;
    const ref::Replaced expected = ref::replaceAll(text, needleText, "<>", mode);
    check(replaced == expected.text, "replaceAllIn");

    std::vector<std::size_t> offsets;
    for (std::size_t k = 0; k < expected.insertedAt.size(); ++k) {
        offsets.push_back(expected.insertedAt[k] - 2 * k + k * needleText.size());
    }
    kq::Matches matches(text, needle);
    for (const std::size_t offset : offsets) {
        check(matches.next() == offset, "a match one by one");
    }
    check(matches.next() == kq::noMatch, "a match beyond the model's");
    if (!offsets.empty()) {
        // From the character after the first match's start, the next non-overlapping match or
        // an overlapping one may come first: compare with the model searched from there.
        const ref::CharText chars(text);
        const ref::CharText needleChars(needleText);
        std::size_t pos = 1;
        while (chars.byteOffset(pos) != offsets.front()) {
            ++pos;
        }
        const std::size_t next = ref::findFrom(chars, pos + 1, needleChars, mode);
        const std::size_t from = chars.byteOffset(pos + 1);
        check(
            kq::findFirst(text, needle, from) == (next == 0 ? kq::noMatch : chars.byteOffset(next)),
            "findFirst from a later boundary");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const bool post = (data[0] & 1u) == 0;
    const std::size_t needleLength = (data[0] >> 1) % 33u;
    const std::string script(reinterpret_cast<const char*>(data + 2), size - 2);

    check(kq::hasPackageMarker(script) == ref::hasMarker(script), "marker test");

    const ref::AfterRename renamed = ref::renameModule(script);
    std::string scriptText = script;
    const bool converted = kq::switchLibrary(scriptText);
    checkNoMarkerLeft(renamed);
    checkRequireWrap(renamed.text, converted, scriptText);

    std::string updated = script;
    const std::optional<std::string> brought = ref::updateEarlier(script);
    check(kq::updateEarlierConversion(updated) == brought.has_value(), "update by one side only");
    check(updated == brought.value_or(script), "update differs from the step-by-step result");

    checkUpload(script, post);
    if (converted) {
        checkUpload(scriptText, post);
    }

    const std::size_t start = script.empty() ? 0 : data[1] % script.size();
    checkSearch(script, std::string_view(script).substr(start, needleLength), (data[1] & 1u) != 0);
    return 0;
}
