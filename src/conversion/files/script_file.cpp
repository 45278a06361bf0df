// Reading scripts whole, the wait for a held script, the tidying of a killed run's temporary files
// and their names: portable, over the system's primitives.

#include "conversion/files/script_file.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <thread>
#include <utility>

#include "conversion/files/system_file.hpp"

namespace kq {

namespace {

// Room reserved beyond a script's size when it is read, so that the rewrites, which insert a
// few hundred bytes, work within the same buffer instead of copying the whole script.
constexpr std::size_t rewriteRoom = std::size_t{64} * 1024;

// Hexadecimal digits after the prefix in a temporary file's name: the 64 bits of the mixed value.
constexpr std::size_t temporaryNameDigits = 16;

// Exactly the names temporaryFileName makes: the prefix and temporaryNameDigits lower-case
// hexadecimal digits. The pass also tidies folders that links lead to, outside the site, where a
// file of the user's could happen to start with the prefix.
bool isTemporaryFileName(NativeView name) {
    const NativePath prefix = nativeFromAscii(temporaryPrefix);
    if (name.size() != prefix.size() + temporaryNameDigits || !name.starts_with(prefix)) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](auto c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Every byte of the file into a buffer of its size and room to grow, in one read where the
// system allows.
platform::SystemResult<std::string> readToEnd(const FileHandle& file) {
    const auto size = platform::sizeOf(file);
    if (!size) {
        return size.failure();
    }
    std::string bytes;
    bytes.reserve(size.value() + rewriteRoom);
    platform::makePresent(bytes);
    bytes.resize(size.value());
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            bytes.resize(have + rewriteRoom);  // the end, or a file that grew meanwhile
        }
        const auto got = platform::readSome(file, bytes.data() + have, bytes.size() - have);
        if (!got) {
            return got.failure();
        }
        if (got.value() == 0) {
            bytes.resize(have);
            return bytes;
        }
        have += got.value();
    }
}

}  // namespace

bool HoldBudget::pause() {
    constexpr unsigned longestPause = 320;
    if (leftMilliseconds_ == 0) {
        return false;
    }
    const unsigned pause = std::min(nextMilliseconds_, leftMilliseconds_);
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    leftMilliseconds_ -= pause;
    nextMilliseconds_ = std::min(2 * nextMilliseconds_, longestPause);
    return true;
}

Result<OpenScript> readScript(const NativePath& folder, const NativePath& name,
                              HoldBudget& budget) {
    const NativePath file = joinPath(folder, name);
    auto opened = budget.untilReleased([&file] { return platform::openForReading(file); });
    if (!opened) {
        return failureOf(name, opened.failure());
    }
    auto read = readToEnd(opened.value());
    if (!read) {
        return failureOf(name, read.failure());
    }
    return OpenScript{std::move(read).value(), std::move(opened).value()};
}

void removeLeftoverTemporaries(const NativePath& folder) {
    const auto entries = platform::folderEntries(folder);
    if (!entries) {
        return;  // nothing to tidy that can be seen
    }
    for (const platform::FolderEntry& entry : entries.value()) {
        // Only plain files: a folder or a link with such a name is not ours.
        if (entry.plainFile && isTemporaryFileName(entry.name)) {
            const NativePath file = joinPath(folder, entry.name);
            HoldBudget budget;  // the wait a script gets
            // One that stays is harmless, never taken for a script, and tried again next run.
            static_cast<void>(budget.untilReleased([&file] { return platform::removeFile(file); }));
        }
    }
}

namespace platform {

NativePath temporaryFileName(std::uint64_t processId, unsigned attempt) {
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
    NativePath name = nativeFromAscii(temporaryPrefix);
    for (int shift = 4 * (static_cast<int>(temporaryNameDigits) - 1); shift >= 0; shift -= 4) {
        name += static_cast<NativeChar>(
            hexDigits.at(static_cast<std::size_t>((mixed >> static_cast<unsigned>(shift)) & 0xFU)));
    }
    return name;
}

}  // namespace platform

}  // namespace kq
