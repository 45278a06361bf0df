// Whole-file reading and writing of scripts: the parts that do not depend on the platform.

#include "script_file.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <system_error>

#include "platform_file.hpp"

namespace kq {

namespace {

// Hexadecimal digits after the prefix in a temporary file's name: the 64 bits of the mixed value.
constexpr std::size_t temporaryNameDigits = 16;

}  // namespace

std::filesystem::path scriptPath(const std::filesystem::path& folder,
                                 const std::filesystem::path& name) {
    // Joined as native strings: path::operator/ would not double a separator already there.
    std::filesystem::path::string_type joined = folder.native();
    joined += std::filesystem::path::preferred_separator;
    joined += name.native();
    return {std::move(joined)};
}

Result<OpenScript> readScript(const std::filesystem::path& folder,
                              const std::filesystem::path& name) {
    std::error_code error;
    OpenScript script;
    script.readChannel = platform::openForReading(scriptPath(folder, name), error);
    if (!error) {
        script.text = platform::readToEnd(script.readChannel, error);
    }
    if (error) {
        return ScriptFailure{name, FailureKind::cannotRead, error};
    }
    return script;
}

namespace {

Status asStatus(const std::filesystem::path& name,
                const std::optional<platform::SystemFailure>& failed) {
    if (failed) {
        return ScriptFailure{name, failed->kind, failed->error};
    }
    return Done{};
}

}  // namespace

Status writeScript(const std::filesystem::path& folder, const std::filesystem::path& name,
                   std::string_view text) {
    return asStatus(name, platform::replaceContent(scriptPath(folder, name), text));
}

Status checkWritable(const std::filesystem::path& folder, const std::filesystem::path& name) {
    return asStatus(name, platform::checkReplaceable(scriptPath(folder, name)));
}

namespace {

// Exactly the names temporaryFileName makes: the prefix and temporaryNameDigits lower-case
// hexadecimal digits. The pass also tidies folders that links lead to, outside the site, where a
// file of the user's could happen to start with the prefix.
bool isTemporaryFileName(const std::filesystem::path::string_type& name,
                         const std::filesystem::path::string_type& prefix) {
    if (name.size() != prefix.size() + temporaryNameDigits ||
        name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](auto c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace

std::size_t removeLeftoverTemporaries(const std::filesystem::path& folder) {
    const std::filesystem::path prefix(temporaryPrefix);
    const std::filesystem::path::string_type& prefixNative = prefix.native();
    std::size_t removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::filesystem::path fileName = it->path().filename();
        if (!isTemporaryFileName(fileName.native(), prefixNative)) {
            continue;
        }
        // Only plain files: a folder or a link with such a name is not ours.
        std::error_code statusError;
        if (!std::filesystem::is_regular_file(it->symlink_status(statusError)) || statusError) {
            continue;
        }
        std::error_code removeError;
        if (std::filesystem::remove(it->path(), removeError) && !removeError) {
            ++removed;
        }
    }
    return removed;
}

std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& folder,
                                                const std::filesystem::path& name) {
    const std::filesystem::path file = scriptPath(folder, name);
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(file, error)) || error) {
        return std::nullopt;
    }
    std::filesystem::path target = std::filesystem::canonical(file, error);
    if (error) {
        return std::nullopt;
    }
    return target;
}

namespace platform {

std::filesystem::path temporaryFileName(std::uint64_t processId, unsigned attempt) {
    // splitmix64 over the process, the clock and the attempt: distinct names for concurrent
    // writers and for retries; uniqueness itself is enforced by exclusive creation.
    const auto ticks =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::uint64_t mixed = ticks ^ (processId << 32U) ^ (processId >> 32U) ^ attempt;
    mixed += 0x9E3779B97F4A7C15ULL;
    mixed = (mixed ^ (mixed >> 30U)) * 0xBF58476D1CE4E5B9ULL;
    mixed = (mixed ^ (mixed >> 27U)) * 0x94D049BB133111EBULL;
    mixed ^= mixed >> 31U;

    constexpr std::array<char, 16> hexDigits{'0', '1', '2', '3', '4', '5', '6', '7',
                                             '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    std::string name(temporaryPrefix);
    for (int shift = 4 * (static_cast<int>(temporaryNameDigits) - 1); shift >= 0; shift -= 4) {
        name +=
            hexDigits.at(static_cast<std::size_t>((mixed >> static_cast<unsigned>(shift)) & 0xFU));
    }
    return {name};
}

}  // namespace platform

}  // namespace kq
