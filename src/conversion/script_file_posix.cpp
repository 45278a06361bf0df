// Whole-file reading and safe in-place replacement on POSIX systems.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
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
    struct stat own {};
    if (::lstat(file.c_str(), &own) == 0 && !S_ISLNK(own.st_mode)) {
        // Not a link: its folder is the one given, as it stands.
        const NativeView folder = folderOf(file);
        return ResolvedFile{folder.empty() ? std::string(".") : std::string(folder),
                            std::string(fileNameOf(file))};
    }
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
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        error = lastError();
        return {};
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(status.st_size) + rewriteRoom);
#if defined(MADV_POPULATE_WRITE)
    // A large script's buffer made present in one call: page by page, its faults would cost more
    // than the reading itself. (Where the system lacks the call, the faults come as before.)
    constexpr std::size_t pageAligned = 4096;
    if (bytes.capacity() >= 16 * pageAligned) {
        const auto start = reinterpret_cast<std::uintptr_t>(bytes.data());
        const std::uintptr_t first = (start + pageAligned - 1) & ~(pageAligned - 1);
        const std::uintptr_t last = (start + bytes.capacity()) & ~(pageAligned - 1);
        static_cast<void>(
            ::madvise(bytes.data() + (first - start), last - first, MADV_POPULATE_WRITE));
    }
#endif
    bytes.resize(static_cast<std::size_t>(status.st_size));
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            bytes.resize(have + rewriteRoom);  // the end, or a file that grew meanwhile
        }
        const ssize_t got = retryOnInterrupt(
            [&] { return ::read(file.get(), bytes.data() + have, bytes.size() - have); });
        if (got < 0) {
            error = lastError();
            return {};
        }
        if (got == 0) {
            bytes.resize(have);
            return bytes;
        }
        have += static_cast<std::size_t>(got);
    }
}

namespace {

// The script a write is about to replace: its final target, the open folder that holds it, and
// its status.
struct ExaminedScript {
    ResolvedFile target;
    std::shared_ptr<const FileHandle> folder;
    struct stat status {};
};

// The folders that scripts are examined in, each opened once: by their path as resolved.
using OpenFolders = std::map<std::string, std::shared_ptr<const FileHandle>>;

// The checks made before anything is written: the script exists (this replaces a script, it
// never creates one), is a regular file, and is not read-only.
std::optional<SystemFailure> examine(const NativePath& file, ExaminedScript& script,
                                     OpenFolders& folders) {
    std::error_code error;
    std::optional<ResolvedFile> target = resolve(file, error);
    if (!target) {
        return cannotWrite(error);
    }
    script.target = std::move(*target);
    std::shared_ptr<const FileHandle>& folder = folders[script.target.folder];
    if (!folder) {
        auto opened = std::make_shared<FileHandle>(retryOnInterrupt([&] {
            return ::open(script.target.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }));
        if (!opened->holds()) {
            folders.erase(script.target.folder);
            return cannotWrite(lastError());
        }
        folder = std::move(opened);
    }
    script.folder = folder;
    const char* const fileName = script.target.fileName.c_str();
    if (::fstatat(script.folder->get(), fileName, &script.status, 0) != 0) {
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
    if (::faccessat(script.folder->get(), fileName, W_OK, AT_EACCESS) != 0) {
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
    if (::fstat(script.folder->get(), &folder) != 0) {
        return false;
    }
    const gid_t newFileGroup = (folder.st_mode & S_ISGID) != 0 ? folder.st_gid : ::getegid();
    return script.status.st_gid == newFileGroup || memberOfGroup(script.status.st_gid);
}

}  // namespace

std::optional<SystemFailure> checkReplaceable(const NativePath& file) {
    ExaminedScript script;
    OpenFolders folders;
    if (auto failed = examine(file, script, folders)) {
        return failed;
    }
    // The temporary file is created in the folder, which must therefore be writable.
    if (::faccessat(script.folder->get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return cannotWrite(lastError());
    }
    if (!ownerCanBeKept(script)) {
        return cannotWrite(systemError(EPERM));
    }
    return std::nullopt;
}

struct ReplacementBatch::Item {
    // In this order, so that they go in the reverse one: the temporary file is closed, then
    // removed unless it was renamed, then the folder is closed.
    ExaminedScript examined;
    std::optional<TemporaryEntry> entry;
    FileHandle temporary;
};

ReplacementBatch::ReplacementBatch() = default;
ReplacementBatch::~ReplacementBatch() = default;

std::optional<SystemFailure> ReplacementBatch::add(const NativePath& file, std::string_view bytes) {
    auto item = std::make_unique<Item>();
    if (auto failed = examine(file, item->examined, folders_)) {
        return failed;
    }
    const FileHandle& folder = *item->examined.folder;
    const struct stat& script = item->examined.status;
    for (unsigned attempt = 0; attempt < temporaryNameAttempts && !item->temporary.holds();
         ++attempt) {
        const NativePath temporaryName =
            temporaryFileName(static_cast<std::uint64_t>(::getpid()), attempt);
        item->temporary.reset(retryOnInterrupt([&] {
            return ::openat(folder.get(), temporaryName.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY,
                            S_IRUSR | S_IWUSR);
        }));
        if (item->temporary.holds()) {
            item->entry.emplace(folder.get(), temporaryName);
        } else if (errno != EEXIST) {
            return cannotWrite(lastError());
        }
    }
    const int temporary = item->temporary.get();
    if (!item->temporary.holds()) {
        return cannotWrite(systemError(EEXIST));
    }
    if (const std::error_code writeError = writeAll(temporary, bytes)) {
        return cannotWrite(writeError);
    }
    // Owner first: changing it may clear the set-user and set-group bits that fchmod then sets.
    struct stat created {};
    if (::fstat(temporary, &created) != 0) {
        return cannotWrite(lastError());
    }
    if ((created.st_uid != script.st_uid || created.st_gid != script.st_gid) &&
        ::fchown(temporary, script.st_uid, script.st_gid) != 0) {
        // Writing the script under another owner would change who may use it: refused.
        return cannotWrite(lastError());
    }
    if (::fchmod(temporary, script.st_mode & 07777) != 0) {
        return cannotWrite(lastError());
    }
#if defined(__linux__)
    // A large script's disk write starts now, while the next scripts are converted; commit
    // waits for it. (For a small one the call costs more than it saves.)
    constexpr std::size_t earlyWriteFrom = std::size_t{1} << 20U;
    if (bytes.size() >= earlyWriteFrom) {
        static_cast<void>(::sync_file_range(temporary, 0, 0, SYNC_FILE_RANGE_WRITE));
    }
#endif
    items_.push_back(std::move(item));
    return std::nullopt;
}

std::vector<std::optional<SystemFailure>> ReplacementBatch::commit() {
    std::vector<std::optional<SystemFailure>> results(items_.size());
    // One flush of each file system for the whole batch, where the system has it (syncfs): it
    // reports any write error on that file system since the files were opened, and each file's
    // own flush, which would ask the disk to empty its cache once per file, is then needed only
    // to tell which file an error belongs to.
    std::vector<dev_t> flushedDevices;
#if defined(__linux__)
    std::vector<dev_t> tried;
    for (const auto& item : items_) {
        const dev_t device = item->examined.status.st_dev;
        if (std::find(tried.begin(), tried.end(), device) == tried.end()) {
            tried.push_back(device);
            if (::syncfs(item->temporary.get()) == 0) {
                flushedDevices.push_back(device);
            }
        }
    }
#endif
    for (std::size_t i = 0; i < items_.size(); ++i) {
        FileHandle& temporary = items_[i]->temporary;
        const bool flushed = std::find(flushedDevices.begin(), flushedDevices.end(),
                                       items_[i]->examined.status.st_dev) != flushedDevices.end();
        if (!flushed && ::fsync(temporary.get()) != 0) {
            results[i] = cannotWrite(lastError());
        }
        // The last chance for a delayed write error to show: close is checked, not left to the
        // owner. A descriptor is released by close even when it reports an error.
        if (::close(temporary.release()) != 0 && !results[i]) {
            results[i] = cannotWrite(lastError());
        }
    }
    // Only flushed files replace their scripts, so that every script holds its old or its new
    // bytes whenever the machine stops.
    std::vector<std::size_t> renamedIn;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        Item& item = *items_[i];
        if (results[i]) {
            continue;
        }
        const int folder = item.examined.folder->get();
        if (::renameat(folder, item.entry->name().c_str(), folder,
                       item.examined.target.fileName.c_str()) != 0) {
            results[i] = cannotWrite(lastError());
            continue;
        }
        item.entry->markRenamed();
        renamedIn.push_back(i);
    }
    // Makes the renames durable, each folder once. The new contents are in place whatever this
    // returns, and some file systems do not flush folders at all, so its result changes nothing
    // reported.
    std::vector<std::pair<dev_t, ino_t>> flushed;
    for (const std::size_t i : renamedIn) {
        struct stat folder {};
        const int descriptor = items_[i]->examined.folder->get();
        if (::fstat(descriptor, &folder) == 0 &&
            std::find(flushed.begin(), flushed.end(), std::pair{folder.st_dev, folder.st_ino}) ==
                flushed.end()) {
            flushed.emplace_back(folder.st_dev, folder.st_ino);
            static_cast<void>(::fsync(descriptor));
        }
    }
    items_.clear();
    folders_.clear();
    return results;
}

FileHandle lockFolder(const NativePath& folder, std::error_code& error) {
    error.clear();
    FileHandle handle(retryOnInterrupt(
        [&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!handle.holds()) {
        error = lastError();
        return handle;
    }
    if (retryOnInterrupt([&] { return ::flock(handle.get(), LOCK_EX | LOCK_NB); }) != 0) {
        error = lastError();
        return {};
    }
    return handle;
}

bool heldByAnother(const std::error_code& error) {
    return error == std::error_code(EWOULDBLOCK, std::system_category());
}

bool outOfRoom(const std::error_code& error) {
    return error == std::error_code(ENOSPC, std::system_category()) ||
           error == std::error_code(EDQUOT, std::system_category());
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
        // The folder's own record of the kind spares the status calls for all but links.
        bool plain = found->d_type == DT_REG;
        bool regular = plain;
        if (found->d_type == DT_LNK || found->d_type == DT_UNKNOWN) {
            struct stat own {};
            struct stat followed {};
            plain = ::fstatat(descriptor, found->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISREG(own.st_mode);
            regular = ::fstatat(descriptor, found->d_name, &followed, 0) == 0 &&
                      S_ISREG(followed.st_mode);
        }
        entries.push_back({NativePath(name), regular, plain, name.front() == '.'});
        errno = 0;
    }
    if (errno != 0) {
        error = lastError();
        entries.clear();
    }
    return entries;
}

void removeFile(const NativePath& file) {
    ::unlink(file.c_str());
}

std::optional<NativePath> linkTarget(const NativePath& file) {
    struct stat own {};
    if (::lstat(file.c_str(), &own) != 0 || !S_ISLNK(own.st_mode)) {
        return std::nullopt;
    }
    return finalPath(file);
}

std::optional<NativePath> finalPath(const NativePath& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (!real) {
        return std::nullopt;
    }
    return NativePath(real.get());
}

}  // namespace kq::platform
