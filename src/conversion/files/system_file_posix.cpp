// Whole-file reading and safe in-place replacement on POSIX systems.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/utsname.h>
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

#include "conversion/files/script_file.hpp"
#include "conversion/files/system_file.hpp"

namespace kq {

void FileHandleTraits::close(Value descriptor) noexcept {
    // Only for descriptors whose close result no longer matters (read-only, or on a failure
    // path); the write path closes its temporary file itself and checks the result.
    ::close(descriptor);
}

std::optional<NativePath> finalPath(const NativePath& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (!real) {
        return std::nullopt;
    }
    return NativePath(real.get());
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
SystemFailure cannotRead(std::error_code error) {
    return {FailureKind::cannotRead, error};
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

SystemResult<ResolvedFile> resolve(const NativePath& file) {
    struct stat own {};
    if (::lstat(file.c_str(), &own) == 0 && !S_ISLNK(own.st_mode)) {
        // Not a link: its folder is the one given, as it stands.
        const NativeView folder = folderOf(file);
        return ResolvedFile{folder.empty() ? std::string(".") : std::string(folder),
                            std::string(fileNameOf(file))};
    }
    const std::optional<NativePath> real = finalPath(file);
    if (!real) {
        return cannotWrite(lastError());
    }
    const std::string& resolved = *real;
    const std::size_t slash = resolved.rfind('/');
    if (slash == std::string::npos || slash + 1 == resolved.size()) {
        return cannotWrite(systemError(EISDIR));
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

SystemResult<FileHandle> openForReading(const NativePath& file) {
    // O_NONBLOCK so that opening a FIFO returns at once; it is refused right after.
    FileHandle handle(retryOnInterrupt(
        [&] { return ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); }));
    if (!handle.holds()) {
        return cannotRead(lastError());
    }
    struct stat status {};
    if (::fstat(handle.get(), &status) != 0) {
        return cannotRead(lastError());
    }
    if (!S_ISREG(status.st_mode)) {
        return cannotRead(notRegularFile(status.st_mode));
    }
    const int flags = ::fcntl(handle.get(), F_GETFL);
    if (flags == -1 || ::fcntl(handle.get(), F_SETFL, flags & ~O_NONBLOCK) == -1) {
        return cannotRead(lastError());
    }
    return handle;
}

SystemResult<std::string> readToEnd(const FileHandle& file) {
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return cannotRead(lastError());
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
            return cannotRead(lastError());
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

SystemResult<std::shared_ptr<const FileHandle>> openFolder(const std::string& path,
                                                           OpenFolders& folders) {
    std::shared_ptr<const FileHandle>& folder = folders[path];
    if (!folder) {
        auto opened = std::make_shared<FileHandle>(retryOnInterrupt(
            [&] { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
        if (!opened->holds()) {
            folders.erase(path);
            return cannotWrite(lastError());
        }
        folder = std::move(opened);
    }
    return folder;
}

// The checks made before anything is written: the script exists (this replaces a script, it
// never creates one), is a regular file, and is not read-only.
SystemStatus examine(const NativePath& file, ExaminedScript& script, OpenFolders& folders) {
    SystemResult<ResolvedFile> target = resolve(file);
    if (!target) {
        return target.failure();
    }
    script.target = std::move(target).value();
    auto folder = openFolder(script.target.folder, folders);
    if (!folder) {
        return folder.failure();
    }
    script.folder = std::move(folder).value();
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
    return Done{};
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

SystemStatus checkReplaceable(const NativePath& file) {
    ExaminedScript script;
    OpenFolders folders;
    if (SystemStatus examined = examine(file, script, folders); !examined) {
        return examined;
    }
    // The temporary file is created in the folder, which must therefore be writable.
    if (::faccessat(script.folder->get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return cannotWrite(lastError());
    }
    if (!ownerCanBeKept(script)) {
        return cannotWrite(systemError(EPERM));
    }
    return Done{};
}

// The script's final target and its folder, and the temporary file made there.
struct Replacement {
    // In this order, so that they go in the reverse one: the temporary file is closed, then
    // removed unless it was renamed, then the folder is closed.
    ExaminedScript examined;
    std::optional<TemporaryEntry> entry;
    FileHandle temporary;
};

void EndReplacement::operator()(Replacement* replacement) const noexcept {
    std::default_delete<Replacement>()(replacement);
}

SystemResult<OwnedReplacement> writeTemporary(const NativePath& file, std::string_view bytes,
                                              OpenFolders& folders) {
    OwnedReplacement owned(std::make_unique<Replacement>().release());
    Replacement& replacement = *owned;
    if (SystemStatus examined = examine(file, replacement.examined, folders); !examined) {
        return examined.failure();
    }
    const FileHandle& folder = *replacement.examined.folder;
    const struct stat& script = replacement.examined.status;
    for (unsigned attempt = 0; attempt < temporaryNameAttempts && !replacement.temporary.holds();
         ++attempt) {
        const NativePath temporaryName =
            temporaryFileName(static_cast<std::uint64_t>(::getpid()), attempt);
        replacement.temporary.reset(retryOnInterrupt([&] {
            return ::openat(folder.get(), temporaryName.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY,
                            S_IRUSR | S_IWUSR);
        }));
        if (replacement.temporary.holds()) {
            replacement.entry.emplace(folder.get(), temporaryName);
        } else if (errno != EEXIST) {
            return cannotWrite(lastError());
        }
    }
    const int temporary = replacement.temporary.get();
    if (!replacement.temporary.holds()) {
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
    return owned;
}

namespace {

// Whether a folder's flush failed only because there is none to be had there: EINVAL (Linux, for
// a file system without it, such as one shared over SMB), EBADF (systems that flush nothing
// opened only for reading, as the BSDs), EISDIR (systems that flush no folder), ENOTSUP. Any
// other error means that the renames may be lost: EIO, and EROFS too, which ext4 gives once its
// journal has failed (on a file system mounted read-only the flush succeeds).
bool noFolderFlush(int error) {
    return error == EINVAL || error == EBADF || error == EISDIR || error == ENOTSUP ||
           error == EOPNOTSUPP;
}

// The flushes of folders during one commit: each folder flushed once, by its identity, however
// many of its scripts ask.
class FolderFlushes {
  public:
    // Nothing when the folder's entries are on the disk, or the file system flushes no folders.
    std::error_code flush(const FileHandle& folder) {
        struct stat status {};
        if (::fstat(folder.get(), &status) != 0) {
            return lastError();
        }
        const auto done = std::find_if(flushed_.begin(), flushed_.end(), [&](const Flushed& f) {
            return f.device == status.st_dev && f.inode == status.st_ino;
        });
        if (done != flushed_.end()) {
            return done->error;
        }
        std::error_code error;
        if (retryOnInterrupt([&] { return ::fsync(folder.get()); }) != 0 && !noFolderFlush(errno)) {
            error = lastError();
        }
        flushed_.push_back({status.st_dev, status.st_ino, error});
        return error;
    }

  private:
    struct Flushed {
        dev_t device;
        ino_t inode;
        std::error_code error;
    };
    std::vector<Flushed> flushed_;
};

}  // namespace

SystemResult<std::vector<FolderEntry>> folderEntries(const NativePath& folder) {
    std::vector<FolderEntry> entries;
    struct Closer {
        void operator()(DIR* listing) const { ::closedir(listing); }
    };
    const std::unique_ptr<DIR, Closer> listing(::opendir(folder.c_str()));
    if (!listing) {
        return cannotRead(lastError());
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
        return cannotRead(lastError());
    }
    return entries;
}

void removeFile(const NativePath& file) {
    ::unlink(file.c_str());
}

#if defined(__linux__)
bool syncfsReportsWriteErrors(std::string_view kernelRelease) {
    // The number the release text starts with, taken off it; nothing when it starts otherwise.
    const auto number = [&kernelRelease]() -> std::optional<unsigned> {
        constexpr std::size_t mostDigits = 6;
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < kernelRelease.size() && digits < mostDigits &&
               kernelRelease[digits] >= '0' && kernelRelease[digits] <= '9') {
            value = value * 10 + static_cast<unsigned>(kernelRelease[digits] - '0');
            ++digits;
        }
        kernelRelease.remove_prefix(digits);
        return digits > 0 ? std::optional(value) : std::nullopt;
    };
    const std::optional<unsigned> major = number();
    if (!major || !kernelRelease.starts_with('.')) {
        return false;  // not to be read: not trusted
    }
    kernelRelease.remove_prefix(1);
    const std::optional<unsigned> minor = number();
    return minor && (*major > 5 || (*major == 5 && *minor >= 8));
}

namespace {

// Whether this process's kernel reports write errors through syncfs; asked once.
bool syncfsTrusted() {
    static const bool trusted = [] {
        utsname system{};
        return ::uname(&system) == 0 && syncfsReportsWriteErrors(system.release);
    }();
    return trusted;
}

}  // namespace
#endif

void putInPlace(std::vector<Staged>& staged, std::vector<StagedScript>& kept,
                const NativePath& folder, OpenFolders& folders) {
    // One flush of each file system for the whole batch, where the system has it (syncfs) and it
    // reports any write error on that file system since the files were opened: each file's own
    // flush, which would ask the disk to empty its cache once per file, is then needed only to
    // tell which file an error belongs to. A kernel whose syncfs reports no write error gets
    // each file's own flush.
    std::vector<dev_t> flushedDevices;
#if defined(__linux__)
    std::vector<dev_t> tried;
    for (const Staged& script : staged) {
        const dev_t device = script.replacement->examined.status.st_dev;
        if (syncfsTrusted() && std::find(tried.begin(), tried.end(), device) == tried.end()) {
            tried.push_back(device);
            if (::syncfs(script.replacement->temporary.get()) == 0) {
                flushedDevices.push_back(device);
            }
        }
    }
#endif
    for (Staged& script : staged) {
        Replacement& replacement = *script.replacement;
        const bool flushed = std::find(flushedDevices.begin(), flushedDevices.end(),
                                       replacement.examined.status.st_dev) != flushedDevices.end();
        if (!flushed && ::fsync(replacement.temporary.get()) != 0) {
            script.met = cannotWrite(lastError());
        }
        // The last chance for a delayed write error to show: close is checked, not left to the
        // owner. A descriptor is released by close even when it reports an error.
        if (::close(replacement.temporary.release()) != 0 && !script.met) {
            script.met = cannotWrite(lastError());
        }
    }
    // Only flushed files replace their scripts, so that every script holds its old or its new
    // bytes whenever the machine stops.
    std::vector<Staged*> renamed;
    for (Staged& script : staged) {
        Replacement& replacement = *script.replacement;
        if (script.met) {
            continue;
        }
        const int folderDescriptor = replacement.examined.folder->get();
        if (::renameat(folderDescriptor, replacement.entry->name().c_str(), folderDescriptor,
                       replacement.examined.target.fileName.c_str()) != 0) {
            script.met = cannotWrite(lastError());
            continue;
        }
        replacement.entry->markRenamed();
        renamed.push_back(&script);
    }
    // Makes the renames durable, and what earlier runs put in place beside the kept scripts:
    // each folder flushed once, its result shared by every script of the batch in it.
    FolderFlushes flushes;
    for (Staged* script : renamed) {
        if (const std::error_code error = flushes.flush(*script->replacement->examined.folder)) {
            script->met = SystemFailure{FailureKind::notConfirmed, error};
        }
    }
    for (StagedScript& script : kept) {
        auto resolved = resolve(joinPath(folder, script.name));
        auto opened = resolved ? openFolder(resolved.value().folder, folders) : resolved.failure();
        if (const std::error_code error =
                opened ? flushes.flush(*opened.value()) : opened.failure().error) {
            script.failure = ScriptFailure{script.name, FailureKind::folderNotConfirmed, error};
        }
    }
}

bool outOfRoom(std::error_code error) {
    return error == std::error_code(ENOSPC, std::system_category()) ||
           error == std::error_code(EDQUOT, std::system_category());
}

}  // namespace kq::platform

namespace kq {

using platform::retryOnInterrupt;

std::optional<FolderLock> lockFolder(const NativePath& folder) {
    FileHandle handle(retryOnInterrupt(
        [&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (handle.holds() &&
        retryOnInterrupt([&] { return ::flock(handle.get(), LOCK_EX | LOCK_NB); }) != 0) {
        if (errno == EWOULDBLOCK) {
            return std::nullopt;  // another process holds it
        }
        handle.reset();
    }
    return FolderLock{std::move(handle)};
}

std::optional<NativePath> linkTarget(const NativePath& folder, const NativePath& name) {
    const NativePath file = joinPath(folder, name);
    struct stat own {};
    if (::lstat(file.c_str(), &own) != 0 || !S_ISLNK(own.st_mode)) {
        return std::nullopt;
    }
    return finalPath(file);
}

}  // namespace kq
