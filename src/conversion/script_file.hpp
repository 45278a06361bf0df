#pragma once
// Reading a script whole and writing it back whole, in place, without ever leaving it cut short.
//
// Two channels, as the conversion uses them: the read channel holds the script last read until
// it is closed; the write channel exists only inside writeScript. The order is always
// readScript, rewrite in memory, closeReadChannel, writeScript.
//
// Bytes are never translated: no line-end conversion, no stop at 0x1A, no final line end added.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "result.hpp"

namespace kq {

// Script path = script folder, the platform's separator, the name, joined as they stand: a
// folder that already ends in a separator gives a doubled one, which names the same file.
std::filesystem::path scriptPath(const std::filesystem::path& folder,
                                 const std::filesystem::path& name);

// The prefix of the temporary files that safe writes create beside a script. Such a name never
// ends in ".cgi", so a temporary file is never taken for a script.
inline constexpr std::string_view temporaryPrefix = ".kqwizard-tmp-";

class ScriptChannels {
  public:
    // In a dry run nothing is written: writes are kept in memory, checked as a real write would
    // be checked, and later reads of the same script are served from there.
    explicit ScriptChannels(std::filesystem::path scriptFolder, bool dryRun = false);
    ~ScriptChannels();
    ScriptChannels(const ScriptChannels&) = delete;
    ScriptChannels& operator=(const ScriptChannels&) = delete;
    ScriptChannels(ScriptChannels&&) noexcept;
    ScriptChannels& operator=(ScriptChannels&&) noexcept;

    const std::filesystem::path& folder() const { return folder_; }

    // Opens the script on the read channel and reads all of its bytes; the channel stays open
    // until closeReadChannel. Only regular files (or links to them) are read; a FIFO or device
    // is refused without waiting. On failure the channel is left closed.
    Result<std::string> readScript(const std::filesystem::path& name);

    // Releases the file held by the read channel; does nothing when it holds none.
    void closeReadChannel();
    bool readChannelOpen() const;

    // Replaces the script's whole content with `text`: written to a temporary file in the
    // script's own folder, flushed, given the script's permission bits and owner, then renamed
    // over the script. On failure the script keeps its old content and no temporary file
    // remains. A read-only script is not written (FailureKind::readOnly); a missing one is not
    // created (FailureKind::cannotWrite). A link is followed: its final target gets the text
    // and the link stays a link.
    Status writeScript(const std::filesystem::path& name, std::string_view text);

  private:
    struct ReadChannel;
    std::filesystem::path folder_;
    std::unique_ptr<ReadChannel> readChannel_;
    bool dryRun_ = false;
    std::map<std::filesystem::path::string_type, std::string> dryRunWrites_;
};

// Removes the temporary files that a run killed in the middle of a write left in `folder`: the
// regular files named temporaryPrefix and 16 lower-case hexadecimal digits. Returns how many it
// removed. Meant for the start of a pass, when no write of this program is under way there.
std::size_t removeLeftoverTemporaries(const std::filesystem::path& folder);

// The file that the script `name` of `folder` finally leads to when that name is a symbolic
// link (its temporary files are made in that file's folder); nullopt for any other name, and
// for a link that leads nowhere.
std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& folder,
                                                const std::filesystem::path& name);

}  // namespace kq
