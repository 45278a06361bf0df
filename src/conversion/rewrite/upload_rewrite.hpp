#pragma once
// The upload-handler rewrite of the four upload scripts, within the script's buffer: the file
// name is taken from the upload field itself and the content read with Perl's plain read in
// pieces of 1024 bytes. rewritePostUpload serves "post.cgi" and "postings.cgi",
// rewriteProfileUpload "profile.cgi" and "register.cgi"; they share the read-loop rewrite and
// differ in the lines before the loop.

#include <string>

#include "conversion/native_path.hpp"

namespace kq {

// Both return false when the read-loop head does not occur: the other replacements are made, and
// the script needs a check by hand.
//
// The post variant: the upload-name line deleted, the split line (exact case) replaced by the
// post name block, then the read-loop rewrite.
[[nodiscard]] bool rewritePostUpload(std::string& scriptText);
// The profile variant: the upload-name line replaced by the profile name block, then the
// read-loop rewrite.
[[nodiscard]] bool rewriteProfileUpload(std::string& scriptText);

// The rewrite that the exact-name dispatch gives a listed script name, if any ("POST.cgi": none).
using UploadRewriteFunction = bool (*)(std::string&);
UploadRewriteFunction uploadRewriteFor(NativeView scriptName);

}  // namespace kq
