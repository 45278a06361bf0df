// Whole-file reading and safe in-place replacement on POSIX systems.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "platform_file.hpp"

namespace kq {

void FileHandleTraits::close(Value descriptor) noexcept {
    // Only for descriptors whose close result no longer matters (read-only, or on a failure
    // path); the write path closes its temporary file itself and checks the result.
    ::close(descriptor);
}

}  // namespace kq

namespace kq::platform {

namespace {

// Every reason is reported in the system category, whether errno or this file chose it.
std::error_code systemError(int code) {
    return {code, std::system_category()};
}
std::error_code lastError() {
    return systemError(errno);
}

SystemFailure cannotWrite(std::error_code error) {
    return {FailureKind::cannotWrite, error};
}

// The reason given for a file that exists but is not a regular file.
std::error_code notRegularFile(mode_t mode) {
    return systemError(S_ISDIR(mode) ? EISDIR : ENOTSUP);
}

// Retries a system call that a signal interrupted.
template <typename Call>
auto retryOnInterrupt(Call call) {
    auto result = call();
    while (result == -1 && errno == EINTR) {
        result = call();
    }
    return result;
}

// A link followed to its final target, a doubled separator resolved: the file that really is
// replaced, and the folder that receives the temporary file.
struct ResolvedFile {
    std::string folder;
    std::string fileName;
};

std::optional<ResolvedFile> resolve(const NativePath& file, std::error_code& error) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(file.c_str(), nullptr),
                                                           &std::free);
    if (!real) {
        error = lastError();
        return std::nullopt;
    }
    const std::string resolved(real.get());
    const std::size_t slash = resolved.rfind('/');
    if (slash == std::string::npos || slash + 1 == resolved.size()) {
        error = systemError(EISDIR);
        return std::nullopt;
    }
    return ResolvedFile{slash == 0 ? std::string("/") : resolved.substr(0, slash),
                        resolved.substr(slash + 1)};
}

// A temporary file beside the script; unlinked when it goes out of scope unless it has been
// renamed over the script.
class TemporaryEntry {
  public:
    TemporaryEntry(int folder, std::string name) : folder_(folder), name_(std::move(name)) {}
    ~TemporaryEntry() {
        if (!renamed_) {
            ::unlinkat(folder_, name_.c_str(), 0);
        }
    }
    TemporaryEntry(const TemporaryEntry&) = delete;
    TemporaryEntry& operator=(const TemporaryEntry&) = delete;
    TemporaryEntry(TemporaryEntry&&) = delete;
    TemporaryEntry& operator=(TemporaryEntry&&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    void markRenamed() { renamed_ = true; }

  private:
    int folder_;  // borrowed: the descriptor of the folder, owned by the caller
    std::string name_;
    bool renamed_ = false;
};

std::error_code writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written =
            retryOnInterrupt([&] { return ::write(descriptor, bytes.data(), bytes.size()); });
        if (written < 0) {
            return lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

}  // namespace

FileHandle openForReading(const NativePath& file, std::error_code& error) {
    error.clear();
    // O_NONBLOCK so that opening a FIFO returns at once; it is refused right after.
    FileHandle handle(retryOnInterrupt(
        [&] { return ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); }));
    if (!handle.holds()) {
        error = lastError();
        return handle;
    }
    struct stat status {};
    if (::fstat(handle.get(), &status) != 0) {
        error = lastError();
        return {};
    }
    if (!S_ISREG(status.st_mode)) {
        error = notRegularFile(status.st_mode);
        return {};
    }
    const int flags = ::fcntl(handle.get(), F_GETFL);
    if (flags == -1 || ::fcntl(handle.get(), F_SETFL, flags & ~O_NONBLOCK) == -1) {
        error = lastError();
        return {};
    }
    return handle;
}

std::string readToEnd(const FileHandle& file, std::error_code& error) {
    error.clear();
    std::string bytes;
    struct stat status {};
    if (::fstat(file.get(), &status) == 0 && status.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(status.st_size) + rewriteRoom);
    }
    std::array<char, 65536> chunk{};
    for (;;) {
        const ssize_t got =
            retryOnInterrupt([&] { return ::read(file.get(), chunk.data(), chunk.size()); });
        if (got < 0) {
            error = lastError();
            return {};
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(chunk.data(), static_cast<std::size_t>(got));
    }
}

namespace {

// The script a write is about to replace: its final target, the open folder that holds it, and
// its status.
struct ExaminedScript {
    ResolvedFile target;
    FileHandle folder;
    struct stat status {};
};

// The checks made before anything is written: the script exists (this replaces a script, it
// never creates one), is a regular file, and is not read-only.
std::optional<SystemFailure> examine(const NativePath& file, ExaminedScript& script) {
    std::error_code error;
    std::optional<ResolvedFile> target = resolve(file, error);
    if (!target) {
        return cannotWrite(error);
    }
    script.target = std::move(*target);
    script.folder.reset(retryOnInterrupt(
        [&] { return ::open(script.target.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!script.folder.holds()) {
        return cannotWrite(lastError());
    }
    const char* const fileName = script.target.fileName.c_str();
    if (::fstatat(script.folder.get(), fileName, &script.status, 0) != 0) {
        return cannotWrite(lastError());
    }
    if (!S_ISREG(script.status.st_mode)) {
        return cannotWrite(notRegularFile(script.status.st_mode));
    }

    // Read-only: no write bit for the owner (the system's own write test says yes to
    // everything for root), or not writable by this user.
    if ((script.status.st_mode & S_IWUSR) == 0) {
        return SystemFailure{FailureKind::readOnly, systemError(EACCES)};
    }
    if (::faccessat(script.folder.get(), fileName, W_OK, AT_EACCESS) != 0) {
        const bool denied = errno == EACCES || errno == EPERM || errno == EROFS;
        return SystemFailure{denied ? FailureKind::readOnly : FailureKind::cannotWrite,
                             lastError()};
    }
    return std::nullopt;
}

bool memberOfGroup(gid_t group) {
    if (group == ::getegid()) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int filled = ::getgroups(count, groups.data());
    return filled > 0 &&
           std::find(groups.begin(), groups.begin() + filled, group) != groups.begin() + filled;
}

// Whether a new file in the script's folder can be given the script's owner and group: the
// user and group a new file gets are kept unless they differ, and only root may give a file
// away; a group may be given by a member of it.
bool ownerCanBeKept(const ExaminedScript& script) {
    const uid_t user = ::geteuid();
    if (user == 0) {
        return true;
    }
    if (script.status.st_uid != user) {
        return false;
    }
    struct stat folder {};
    if (::fstat(script.folder.get(), &folder) != 0) {
        return false;
    }
    const gid_t newFileGroup = (folder.st_mode & S_ISGID) != 0 ? folder.st_gid : ::getegid();
    return script.status.st_gid == newFileGroup || memberOfGroup(script.status.st_gid);
}

}  // namespace

std::optional<SystemFailure> checkReplaceable(const NativePath& file) {
    ExaminedScript script;
    if (auto failed = examine(file, script)) {
        return failed;
    }
    // The temporary file is created in the folder, which must therefore be writable.
    if (::faccessat(script.folder.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return cannotWrite(lastError());
    }
    if (!ownerCanBeKept(script)) {
        return cannotWrite(systemError(EPERM));
    }
    return std::nullopt;
}

std::optional<SystemFailure> replaceContent(const NativePath& file, std::string_view bytes) {
    ExaminedScript examined;
    if (auto failed = examine(file, examined)) {
        return failed;
    }
    const FileHandle& folder = examined.folder;
    const struct stat& script = examined.status;

    // The entry is declared first so that it outlives the descriptor: closed, then unlinked.
    std::optional<TemporaryEntry> entry;
    FileHandle temporary;
    for (unsigned attempt = 0; attempt < temporaryNameAttempts && !temporary.holds(); ++attempt) {
        const std::string temporaryName =
            temporaryFileName(static_cast<std::uint64_t>(::getpid()), attempt);
        temporary.reset(retryOnInterrupt([&] {
            return ::openat(folder.get(), temporaryName.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY,
                            S_IRUSR | S_IWUSR);
        }));
        if (temporary.holds()) {
            entry.emplace(folder.get(), temporaryName);
        } else if (errno != EEXIST) {
            return cannotWrite(lastError());
        }
    }
    if (!temporary.holds()) {
        return cannotWrite(systemError(EEXIST));
    }

    if (const std::error_code writeError = writeAll(temporary.get(), bytes)) {
        return cannotWrite(writeError);
    }

    // Owner first: changing it may clear the set-user and set-group bits that fchmod then sets.
    struct stat created {};
    if (::fstat(temporary.get(), &created) != 0) {
        return cannotWrite(lastError());
    }
    if ((created.st_uid != script.st_uid || created.st_gid != script.st_gid) &&
        ::fchown(temporary.get(), script.st_uid, script.st_gid) != 0) {
        // Writing the script under another owner would change who may use it: refused.
        return cannotWrite(lastError());
    }
    if (::fchmod(temporary.get(), script.st_mode & 07777) != 0) {
        return cannotWrite(lastError());
    }
    if (::fsync(temporary.get()) != 0) {
        return cannotWrite(lastError());
    }
    // The last chance for a delayed write error to show: close is checked, not left to the
    // owner. A descriptor is released by close even when it reports an error.
    if (::close(temporary.release()) != 0) {
        return cannotWrite(lastError());
    }

    if (::renameat(folder.get(), entry->name().c_str(), folder.get(),
                   examined.target.fileName.c_str()) != 0) {
        return cannotWrite(lastError());
    }
    entry->markRenamed();

    // Makes the rename itself durable. The new content is in place whatever this returns, and
    // some file systems do not flush folders at all, so its result changes nothing reported.
    static_cast<void>(::fsync(folder.get()));
    return std::nullopt;
}

std::vector<FolderEntry> folderEntries(const NativePath& folder, std::error_code& error) {
    error.clear();
    std::vector<FolderEntry> entries;
    struct Closer {
        void operator()(DIR* listing) const { ::closedir(listing); }
    };
    const std::unique_ptr<DIR, Closer> listing(::opendir(folder.c_str()));
    if (!listing) {
        error = lastError();
        return entries;
    }
    const int descriptor = ::dirfd(listing.get());
    errno = 0;
    while (const dirent* found = ::readdir(listing.get())) {
        const std::string_view name(found->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        struct stat own {};
        struct stat followed {};
        const bool plain = ::fstatat(descriptor, found->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 &&
                           S_ISREG(own.st_mode);
        const bool regular =
            ::fstatat(descriptor, found->d_name, &followed, 0) == 0 && S_ISREG(followed.st_mode);
        entries.push_back({NativePath(name), regular, plain, name.front() == '.'});
        errno = 0;
    }
    if (errno != 0) {
        error = lastError();
        entries.clear();
    }
    return entries;
}

bool removeFile(const NativePath& file) {
    return ::unlink(file.c_str()) == 0;
}

std::optional<NativePath> linkTarget(const NativePath& file) {
    struct stat own {};
    if (::lstat(file.c_str(), &own) != 0 || !S_ISLNK(own.st_mode)) {
        return std::nullopt;
    }
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(file.c_str(), nullptr),
                                                           &std::free);
    if (!real) {
        return std::nullopt;
    }
    return NativePath(real.get());
}

}  // namespace kq::platform
