#pragma once
// Reading a script whole and writing it back whole, in place, without ever leaving it cut short.
//
// Reading opens the script on the read channel, which the value it returns holds until that
// value is closed or ends; writing opens nothing that outlives the call. The order is always:
// read, rewrite in memory, close the read channel, write.
//
// Bytes are never translated: no line-end conversion, no stop at 0x1A, no final line end added.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "file_handle.hpp"
#include "native_path.hpp"
#include "result.hpp"

namespace kq {

// The prefix of the temporary files that safe writes create beside a script. Such a name never
// ends in ".cgi", so a temporary file is never taken for a script.
inline constexpr std::string_view temporaryPrefix = ".kqwizard-tmp-";

// A script read whole. Its read channel stays open, so that nobody writes the script meanwhile,
// until close() or the end of the value, whichever comes first.
struct OpenScript {
    std::string text;  // every byte of the script, with room to grow for the rewrites
    FileHandle readChannel;

    // Releases the read channel; does nothing when it is already closed.
    void close() noexcept { readChannel.reset(); }
};

// Opens the script on the read channel and reads all of its bytes. Only regular files (or links
// to them) are read; a FIFO or device is refused without waiting.
// The script's path is the folder, the system's separator and the name, joined as they stand.
Result<OpenScript> readScript(const NativePath& folder, const NativePath& name);

// Replaces the script's whole content with `text`: written to a temporary file in the script's
// own folder, flushed, given the script's permission bits and owner, then renamed over the
// script. On failure the script keeps its old content and no temporary file remains. A read-only
// script is not written (FailureKind::readOnly); a missing one is not created
// (FailureKind::cannotWrite). A link is followed: its final target gets the text and the link
// stays a link.
Status writeScript(const NativePath& folder, const NativePath& name, std::string_view text);

// Makes every check that writeScript makes before it writes, and writes nothing: what a dry run
// reports for a script it would write.
Status checkWritable(const NativePath& folder, const NativePath& name);

// Removes the temporary files that a run killed in the middle of a write left in `folder`: the
// regular files named temporaryPrefix and 16 lower-case hexadecimal digits. Returns how many it
// removed. Meant for the start of a pass, when no write of this program is under way there.
std::size_t removeLeftoverTemporaries(const NativePath& folder);

// The file that the script `name` of `folder` finally leads to when that name is a symbolic
// link (its temporary files are made in that file's folder); nullopt for any other name, and
// for a link that leads nowhere.
std::optional<NativePath> linkTarget(const NativePath& folder, const NativePath& name);

}  // namespace kq
