// Whole-file reading and writing of scripts: the parts that do not depend on the platform.

#include "conversion/files/script_file.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <iterator>
#include <utility>

#include "conversion/files/system_file.hpp"

namespace kq {

namespace {

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

}  // namespace

Result<OpenScript> readScript(const NativePath& folder, const NativePath& name) {
    auto opened = platform::openForReading(joinPath(folder, name));
    if (!opened) {
        return platform::failureOf(name, opened.failure());
    }
    auto read = platform::readToEnd(opened.value());
    if (!read) {
        return platform::failureOf(name, read.failure());
    }
    return OpenScript{std::move(read).value(), std::move(opened).value()};
}

Status checkWritable(const NativePath& folder, const NativePath& name) {
    const platform::SystemStatus checked = platform::checkReplaceable(joinPath(folder, name));
    if (!checked) {
        return platform::failureOf(name, checked.failure());
    }
    return Done{};
}

struct ScriptBatch::State {
    std::vector<platform::Staged> staged;
    std::vector<StagedScript> kept;
    platform::OpenFolders folders;
};

ScriptBatch::ScriptBatch(NativePath folder)
    : folder_(std::move(folder)), state_(std::make_unique<State>()) {}

ScriptBatch::~ScriptBatch() = default;

std::optional<StagedScript> ScriptBatch::stage(StagedScript script, std::string_view text) {
    auto written = platform::writeTemporary(joinPath(folder_, script.name), text, state_->folders);
    if (!written) {
        script.failure = platform::failureOf(script.name, written.failure());
        return script;
    }
    state_->staged.push_back({std::move(script), std::move(written).value(), std::nullopt});
    return std::nullopt;
}

void ScriptBatch::keep(StagedScript script) {
    state_->kept.push_back(std::move(script));
}

std::size_t ScriptBatch::size() const {
    return state_->staged.size();
}

bool ScriptBatch::outOfRoom(const ScriptFailure& failure) {
    return failure.kind == FailureKind::cannotWrite && platform::outOfRoom(failure.error);
}

std::vector<StagedScript> ScriptBatch::commit() {
    platform::putInPlace(state_->staged, state_->kept, folder_, state_->folders);
    std::vector<StagedScript> scripts;
    scripts.reserve(state_->staged.size() + state_->kept.size());
    for (platform::Staged& staged : state_->staged) {
        if (staged.met) {
            staged.script.failure = platform::failureOf(staged.script.name, *staged.met);
        }
        scripts.push_back(std::move(staged.script));
    }
    std::move(state_->kept.begin(), state_->kept.end(), std::back_inserter(scripts));
    state_->staged.clear();
    state_->kept.clear();
    state_->folders = {};
    return scripts;
}

void removeLeftoverTemporaries(const NativePath& folder) {
    const auto entries = platform::folderEntries(folder);
    if (!entries) {
        return;  // nothing to tidy that can be seen
    }
    for (const platform::FolderEntry& entry : entries.value()) {
        // Only plain files: a folder or a link with such a name is not ours.
        if (entry.plainFile && isTemporaryFileName(entry.name)) {
            platform::removeFile(joinPath(folder, entry.name));
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
