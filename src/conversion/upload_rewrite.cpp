#include "upload_rewrite.hpp"

#include "rewrite_literals.hpp"
#include "text_search.hpp"

namespace kq {

std::optional<UploadVariant> uploadVariantFor(const std::filesystem::path& scriptName) {
    // Exact comparison of the name's code units: "POST.cgi" is not the package's upload script.
    const auto is = [&scriptName](const char* name) {
        return scriptName.native() == std::filesystem::path(name).native();
    };
    if (is("post.cgi") || is("postings.cgi")) {
        return UploadVariant::post;
    }
    if (is("profile.cgi") || is("register.cgi")) {
        return UploadVariant::profile;
    }
    return std::nullopt;
}

UploadRewrite rewriteUploadHandler(std::string_view text, UploadVariant variant) {
    std::string result(text);
    const UploadRewriteIn outcome = rewriteUploadHandlerIn(result, variant);
    return {std::move(result), outcome.readLoopFound};
}

UploadRewriteIn rewriteUploadHandlerIn(std::string& result, UploadVariant variant) {
    bool changed = false;
    if (variant == UploadVariant::post) {
        static const Needle nameLine(literals::postUploadNameLine, CaseMode::insensitive);
        static const Needle splitLine(literals::postSplitLine, CaseMode::exact);
        // Only the statement goes: its indentation and line end stay.
        changed = replaceAllIn(result, nameLine, "") || changed;
        changed = replaceAllIn(result, splitLine, literals::postNameBlock) || changed;
    } else {
        static const Needle nameLine(literals::profileUploadNameLine, CaseMode::insensitive);
        changed = replaceAllIn(result, nameLine, literals::profileNameBlock) || changed;
    }

    static const Needle loopHead(literals::readLoopHead, CaseMode::insensitive);
    const std::size_t head = findFirst(result, loopHead);
    if (head == noMatch) {
        return {false, changed};
    }
    // The old loop line ends before the first CR or LF after the head, or at the end of the
    // text: it never takes in a following line, whatever the script's line ends. CR and LF are
    // never part of a double-byte character, so a byte search finds them.
    std::size_t lineEnd = result.find_first_of("\r\n", head);
    if (lineEnd == std::string::npos) {
        lineEnd = result.size();
    }
    const Needle oldLoopLine(std::string_view(result).substr(head, lineEnd - head),
                             CaseMode::insensitive);
    // The old line starts with the read-loop head, so it never reads like the new line: a
    // replacement always changes the text.
    changed = replaceAllIn(result, oldLoopLine, literals::newReadLoopLine) || changed;
    return {true, changed};
}

}  // namespace kq
