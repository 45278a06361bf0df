#include "upload_handlers.hpp"

namespace kq {

Status rewriteUploadScript(ScriptChannels& channels, const std::filesystem::path& name,
                           UploadVariant variant) {
    auto text = channels.readScript(name);
    if (!text) {
        channels.closeReadChannel();
        return text.failure();
    }
    const UploadRewriteIn rewritten = rewriteUploadHandlerIn(text.value(), variant);
    channels.closeReadChannel();
    // An unchanged text is not written again: the file already holds exactly these bytes.
    if (rewritten.changed) {
        if (auto written = channels.writeScript(name, text.value()); !written) {
            return written;
        }
    }
    if (!rewritten.readLoopFound) {
        return ScriptFailure{name, FailureKind::readLoopNotFound, {}};
    }
    return Done{};
}

Status stp61(ScriptChannels& channels, const std::filesystem::path& file0) {
    return rewriteUploadScript(channels, file0, UploadVariant::post);
}

Status Stp62(ScriptChannels& channels, const std::filesystem::path& File01) {  // NOLINT
    return rewriteUploadScript(channels, File01, UploadVariant::profile);
}

}  // namespace kq
