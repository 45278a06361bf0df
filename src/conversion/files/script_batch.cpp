// The write protocol, once for every system: stage each new text in a temporary file, make them
// all durable, only then replace the scripts, then flush each folder once. Each system supplies
// only its primitives (system_file.hpp).

#include "conversion/files/script_batch.hpp"

#include <algorithm>
#include <utility>

#include "conversion/files/system_file.hpp"

namespace kq {

using platform::SystemStatus;

namespace {

// A script staged in a batch: its temporary file, its budget for a hold, and what it met.
struct Staged {
    std::size_t index;
    NativePath name;
    HoldBudget budget;
    platform::OwnedReplacement replacement;
    std::optional<SystemFailure> met = std::nullopt;
    bool replaced = false;
};

// A script left as it is, whose folder the batch confirms.
struct ToConfirm {
    std::size_t index;
    NativePath name;
};

// A new temporary file beside the file to replace, under the first free name.
SystemStatus createTemporary(platform::Replacement& replacement) {
    SystemStatus created = Done{};
    for (unsigned attempt = 0; attempt < platform::temporaryNameAttempts; ++attempt) {
        created = platform::createTemporary(
            replacement, platform::temporaryFileName(platform::processId(), attempt));
        if (created || !platform::alreadyExists(created.failure().error)) {
            break;
        }
    }
    return created;
}

SystemStatus writeAll(const platform::Replacement& replacement, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto written = platform::writeSome(replacement, bytes);
        if (!written) {
            return written.failure();
        }
        bytes.remove_prefix(written.value());
    }
    return Done{};
}

// The temporary file of a script that is not put in place goes; a hold on it is waited for. One
// that stays all the same is harmless, never taken for a script, and removed by the next run:
// what the script met is what it is reported with.
void removeTemporary(platform::Replacement& replacement, HoldBudget& budget) {
    static_cast<void>(
        budget.untilReleased([&replacement] { return platform::removeTemporary(replacement); }));
}

// Every staged text made durable before any script is replaced, so that every script holds its
// old or its new bytes whenever the machine stops: one flush of each file system where that
// flush reports every write error on it (each file's own flush, which asks the disk to empty its
// cache once per file, is then needed only to tell which file an error belongs to), else each
// file's own. Then each temporary file is closed, checked, and on Windows given its script's
// attributes.
void flushTemporaries(std::vector<Staged>& staged) {
    std::vector<std::uint64_t> tried;
    std::vector<std::uint64_t> flushedFileSystems;
    for (const Staged& script : staged) {
        const std::uint64_t fileSystem = platform::fileSystemOf(*script.replacement);
        if (std::find(tried.begin(), tried.end(), fileSystem) == tried.end()) {
            tried.push_back(fileSystem);
            if (platform::flushFileSystem(*script.replacement)) {
                flushedFileSystems.push_back(fileSystem);
            }
        }
    }
    for (Staged& script : staged) {
        platform::Replacement& replacement = *script.replacement;
        if (std::find(flushedFileSystems.begin(), flushedFileSystems.end(),
                      platform::fileSystemOf(replacement)) == flushedFileSystems.end()) {
            if (SystemStatus flushed = platform::flushTemporary(replacement); !flushed) {
                script.met = flushed.failure();
            }
        }
        if (SystemStatus closed = platform::closeTemporary(replacement); !closed && !script.met) {
            script.met = closed.failure();
        }
        if (!script.met) {
            if (SystemStatus given = platform::giveAttributes(replacement); !given) {
                script.met = given.failure();
            }
        }
    }
}

// Only flushed files replace their scripts; a hold on a script is waited for from its budget.
void replaceScripts(std::vector<Staged>& staged) {
    for (Staged& script : staged) {
        if (script.met) {
            continue;
        }
        const SystemStatus replaced = script.budget.untilReleased(
            [&script] { return platform::replace(*script.replacement); });
        if (!replaced) {
            script.met = replaced.failure();
        }
        script.replaced = replaced || script.met->kind == FailureKind::notConfirmed;
    }
}

// The flushes of folders during one commit: each folder flushed once, however many of its
// scripts ask, and its result shared by all of them.
class FolderFlushes {
  public:
    // Nothing when the folder's entries are on the disk, or the file system flushes no folders.
    std::error_code flush(const platform::Folder& folder) {
        const auto identity = platform::identityOf(folder);
        if (!identity) {
            return identity.failure().error;
        }
        const auto done = std::find_if(flushed_.begin(), flushed_.end(), [&](const Flushed& f) {
            return f.folder == identity.value();
        });
        if (done != flushed_.end()) {
            return done->error;
        }
        const SystemStatus flushed = platform::flushFolder(folder);
        flushed_.push_back(
            {identity.value(), flushed ? std::error_code() : flushed.failure().error});
        return flushed_.back().error;
    }

  private:
    struct Flushed {
        platform::FolderIdentity folder;
        std::error_code error;
    };
    std::vector<Flushed> flushed_;
};

}  // namespace

namespace platform {

SystemResult<std::shared_ptr<const Folder>> Folders::open(const NativePath& path) {
    if (const auto found = open_.find(path); found != open_.end()) {
        return found->second;
    }
    auto opened = openFolder(path);
    if (opened) {
        open_.emplace(path, opened.value());
    }
    return opened;
}

}  // namespace platform

struct ScriptBatch::State {
    std::vector<Staged> staged;
    std::vector<ToConfirm> toConfirm;
    platform::Folders folders;
};

ScriptBatch::ScriptBatch(NativePath folder)
    : folder_(std::move(folder)), state_(std::make_unique<State>()) {}

ScriptBatch::~ScriptBatch() {
    // Only a batch that an exception ends holds staged scripts here: their temporary files go,
    // without a wait.
    for (Staged& script : state_->staged) {
        if (!script.replaced) {
            static_cast<void>(platform::removeTemporary(*script.replacement));
        }
    }
}

Status ScriptBatch::stage(std::size_t index, const NativePath& name, std::string_view text,
                          HoldBudget& budget) {
    auto examined = platform::examine(joinPath(folder_, name), state_->folders);
    if (!examined) {
        return failureOf(name, examined.failure());
    }
    // Recorded before its temporary file is made, so that the batch always knows of that file.
    std::vector<Staged>& staged = state_->staged;
    platform::Replacement& replacement =
        *staged.emplace_back(Staged{index, name, budget, std::move(examined).value()}).replacement;
    SystemStatus written = createTemporary(replacement);
    if (written) {
        written = writeAll(replacement, text);
        if (written) {
            written = platform::keepOwnerAndMode(replacement);
        }
        if (!written) {
            removeTemporary(replacement, budget);
        }
    }
    if (!written) {
        staged.pop_back();
        return failureOf(name, written.failure());
    }
    platform::startWriteBack(replacement, text.size());
    return Done{};
}

void ScriptBatch::confirmFolderOf(std::size_t index, const NativePath& name) {
    state_->toConfirm.push_back({index, name});
}

std::size_t ScriptBatch::size() const {
    return state_->staged.size();
}

bool ScriptBatch::outOfRoom(const ScriptFailure& failure) {
    return failure.kind == FailureKind::cannotWrite && platform::outOfRoom(failure.error);
}

std::vector<BatchOutcome> ScriptBatch::commit() {
    std::vector<Staged>& staged = state_->staged;
    flushTemporaries(staged);
    replaceScripts(staged);
    // The folder flushes make the replacements durable (a move's own writing through, on
    // Windows, is promised only between volumes), and confirm what earlier runs put in place
    // beside the scripts left as they are.
    std::vector<BatchOutcome> outcomes;
    outcomes.reserve(staged.size() + state_->toConfirm.size());
    FolderFlushes flushes;
    for (Staged& script : staged) {
        std::optional<ScriptFailure> failure;
        if (script.replaced) {
            const std::error_code error =
                flushes.flush(platform::targetFolder(*script.replacement));
            if (error && !script.met) {
                script.met = SystemFailure{FailureKind::notConfirmed, error};
            }
        }
        if (script.met) {
            failure = failureOf(script.name, *script.met);
        }
        outcomes.push_back({script.index, std::move(failure)});
    }
    for (const ToConfirm& script : state_->toConfirm) {
        const auto folder = platform::finalFolderOf(joinPath(folder_, script.name));
        const auto opened = folder ? state_->folders.open(folder.value()) : folder.failure();
        std::optional<ScriptFailure> failure;
        if (const std::error_code error =
                opened ? flushes.flush(*opened.value()) : opened.failure().error) {
            failure = ScriptFailure{script.name, FailureKind::folderNotConfirmed, error};
        }
        outcomes.push_back({script.index, std::move(failure)});
    }
    for (Staged& script : staged) {
        if (!script.replaced) {
            removeTemporary(*script.replacement, script.budget);
        }
    }
    staged.clear();
    state_->toConfirm.clear();
    state_->folders = {};
    return outcomes;
}

Status checkWritable(const NativePath& folder, const NativePath& name) {
    platform::Folders folders;
    const auto examined = platform::examine(joinPath(folder, name), folders);
    const SystemStatus checked =
        examined ? platform::checkReplaceable(*examined.value()) : examined.failure();
    if (!checked) {
        return failureOf(name, checked.failure());
    }
    return Done{};
}

}  // namespace kq
