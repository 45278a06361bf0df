#include "upload_rewrite.hpp"

#include "rewrite_literals.hpp"
#include "text_search.hpp"

namespace kq {

std::optional<UploadVariant> uploadVariantFor(std::string_view scriptName) {
    // Exact comparison: "POST.cgi" is not the package's upload script.
    if (scriptName == "post.cgi" || scriptName == "postings.cgi") {
        return UploadVariant::post;
    }
    if (scriptName == "profile.cgi" || scriptName == "register.cgi") {
        return UploadVariant::profile;
    }
    return std::nullopt;
}

UploadRewrite rewriteUploadHandler(std::string_view text, UploadVariant variant) {
    std::string result(text);
    if (variant == UploadVariant::post) {
        static const Needle nameLine(literals::postUploadNameLine, CaseMode::insensitive);
        static const Needle splitLine(literals::postSplitLine, CaseMode::exact);
        // Only the statement goes: its indentation and line end stay.
        replaceAllIn(result, nameLine, "");
        replaceAllIn(result, splitLine, literals::postNameBlock);
    } else {
        static const Needle nameLine(literals::profileUploadNameLine, CaseMode::insensitive);
        replaceAllIn(result, nameLine, literals::profileNameBlock);
    }

    static const Needle loopHead(literals::readLoopHead, CaseMode::insensitive);
    const std::size_t head = findFirst(result, loopHead);
    if (head == noMatch) {
        return {std::move(result), false};
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
    replaceAllIn(result, oldLoopLine, literals::newReadLoopLine);
    return {std::move(result), true};
}

}  // namespace kq
