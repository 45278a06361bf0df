#include "conversion/rewrite/upload_rewrite.hpp"

#include "conversion/rewrite/rewrite_literals.hpp"
#include "conversion/text/text_search.hpp"

namespace kq {

namespace {

// The read-loop rewrite, the last step of both variants. The old loop line runs from the
// read-loop head to the first CR or LF after it, or to the end of the text: it never takes in a
// following line, whatever the script's line ends. CR and LF are never part of a double-byte
// character, so a byte search finds them.
bool rewriteReadLoop(std::string& text) {
    static const Needle loopHead(literals::readLoopHead, CaseMode::insensitive);
    const std::size_t head = findFirst(text, loopHead);
    if (head == noMatch) {
        return false;
    }
    std::size_t lineEnd = text.find_first_of("\r\n", head);
    if (lineEnd == std::string::npos) {
        lineEnd = text.size();
    }
    const Needle oldLoopLine(std::string_view(text).substr(head, lineEnd - head),
                             CaseMode::insensitive);
    replaceAllIn(text, oldLoopLine, literals::newReadLoopLine);
    return true;
}

}  // namespace

bool rewritePostUpload(std::string& scriptText) {
    static const Needle nameLine(literals::postUploadNameLine, CaseMode::insensitive);
    static const Needle splitLine(literals::postSplitLine, CaseMode::exact);
    // Only the statement goes: its indentation and line end stay.
    replaceAllIn(scriptText, nameLine, "");
    replaceAllIn(scriptText, splitLine, literals::postNameBlock);
    return rewriteReadLoop(scriptText);
}

bool rewriteProfileUpload(std::string& scriptText) {
    static const Needle nameLine(literals::profileUploadNameLine, CaseMode::insensitive);
    replaceAllIn(scriptText, nameLine, literals::profileNameBlock);
    return rewriteReadLoop(scriptText);
}

UploadRewriteFunction uploadRewriteFor(NativeView scriptName) {
    // Exact comparison of the name's code units: "POST.cgi" is not the package's upload script.
    const auto is = [&scriptName](const char* name) { return scriptName == nativeFromAscii(name); };
    if (is("post.cgi") || is("postings.cgi")) {
        return rewritePostUpload;
    }
    if (is("profile.cgi") || is("register.cgi")) {
        return rewriteProfileUpload;
    }
    return nullptr;
}

}  // namespace kq
