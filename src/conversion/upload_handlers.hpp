#pragma once
// The upload-handler rewrite framed by one read and one write of the script: stp61 for the post
// scripts ("post.cgi", "postings.cgi"), Stp62 for the profile scripts ("profile.cgi",
// "register.cgi"). Both run on a script that the library switch has just converted and written.

#include <filesystem>

#include "result.hpp"
#include "script_file.hpp"
#include "upload_rewrite.hpp"

namespace kq {

// Reads the script, rewrites its upload code and writes it back when anything changed. A
// script whose read loop was not found gets the other replacements written and comes back as
// FailureKind::readLoopNotFound: it needs a check by hand.
Status rewriteUploadScript(ScriptChannels& channels, const std::filesystem::path& name,
                           UploadVariant variant);

Status stp61(ScriptChannels& channels, const std::filesystem::path& file0);
Status Stp62(ScriptChannels& channels,
             const std::filesystem::path& File01);  // NOLINT(readability-identifier-naming)

}  // namespace kq
