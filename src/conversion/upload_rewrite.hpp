#pragma once
// The upload-handler rewrite of the four upload scripts: the file name is taken from the upload
// field itself and the content read with Perl's plain read in pieces of 1024 bytes.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kq {

enum class UploadVariant {
    post,     // "post.cgi", "postings.cgi": stp61
    profile,  // "profile.cgi", "register.cgi": Stp62
};

// The variant that the exact-name dispatch gives a listed script name, if any ("POST.cgi": none).
std::optional<UploadVariant> uploadVariantFor(const std::filesystem::path& scriptName);

struct UploadRewrite {
    std::string text;
    bool readLoopFound;  // false: the read-loop head does not occur; the script needs a check by
                         // hand
};

// The text transformation alone. The old loop line runs from the read-loop head to the first CR
// or LF after it (or to the end of the text) and never spans lines.
UploadRewrite rewriteUploadHandler(std::string_view text, UploadVariant variant);

// The same in place, with no second copy of the script.
struct UploadRewriteIn {
    bool readLoopFound;
    bool changed;  // false: the text is byte for byte what it was
};
UploadRewriteIn rewriteUploadHandlerIn(std::string& text, UploadVariant variant);

}  // namespace kq
