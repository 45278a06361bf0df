// The file layer's primitives on POSIX systems.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

}  // namespace kq

namespace kq::platform {

std::error_code lastError() {
    return systemError(errno);
}

namespace {

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

// The file that really is replaced: a link followed to its final target, else the path given.
struct ResolvedFile {
    NativePath folder;
    NativePath name;
};

SystemResult<ResolvedFile> resolve(const NativePath& file) {
    struct stat own {};
    if (::lstat(file.c_str(), &own) == 0 && !S_ISLNK(own.st_mode)) {
        const NativeView folder = folderOf(file);
        return ResolvedFile{folder.empty() ? NativePath(".") : NativePath(folder),
                            NativePath(fileNameOf(file))};
    }
    const auto real = finalPath(file);
    if (!real) {
        return cannotWrite(real.failure().error);
    }
    if (fileNameOf(real.value()).empty()) {
        return cannotWrite(systemError(EISDIR));  // the root folder
    }
    return ResolvedFile{NativePath(folderOf(real.value())), NativePath(fileNameOf(real.value()))};
}

}  // namespace

SystemResult<FileHandle> openForReading(const NativePath& file) {
    // O_NONBLOCK so that opening a FIFO returns at once; it is refused right after.
    FileHandle handle(retryOnInterrupt(
        [&] { return ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); }));
    struct stat status {};
    if (!handle.holds() || ::fstat(handle.get(), &status) != 0) {
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

SystemResult<std::size_t> sizeOf(const FileHandle& file) {
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return cannotRead(lastError());
    }
    return static_cast<std::size_t>(status.st_size);
}

void makePresent(std::string& buffer) {
#if defined(MADV_POPULATE_WRITE)
    constexpr std::size_t pageSize = 4096;
    if (buffer.capacity() >= 16 * pageSize) {
        const auto start = reinterpret_cast<std::uintptr_t>(buffer.data());
        const std::uintptr_t first = (start + pageSize - 1) & ~(pageSize - 1);
        const std::uintptr_t last = (start + buffer.capacity()) & ~(pageSize - 1);
        // Only a help: where it fails, the faults come as before.
        static_cast<void>(
            ::madvise(buffer.data() + (first - start), last - first, MADV_POPULATE_WRITE));
    }
#else
    static_cast<void>(buffer);
#endif
}

SystemResult<std::size_t> readSome(const FileHandle& file, char* into, std::size_t room) {
    const ssize_t got = retryOnInterrupt([&] { return ::read(file.get(), into, room); });
    if (got < 0) {
        return cannotRead(lastError());
    }
    return static_cast<std::size_t>(got);
}

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

SystemStatus removeFile(const NativePath& file) {
    return cannotWriteUnless(::unlink(file.c_str()) == 0);
}

struct Folder {
    FileHandle handle;
};

SystemResult<std::shared_ptr<const Folder>> openFolder(const NativePath& path) {
    FileHandle handle(
        retryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!handle.holds()) {
        return cannotWrite(lastError());
    }
    return std::make_shared<const Folder>(Folder{std::move(handle)});
}

SystemResult<FolderIdentity> identityOf(const Folder& folder) {
    struct stat status {};
    if (::fstat(folder.handle.get(), &status) != 0) {
        return cannotWrite(lastError());
    }
    return FolderIdentity{status.st_dev, status.st_ino, {}};
}

SystemStatus flushFolder(const Folder& folder) {
    // No flush to be had there: EINVAL (Linux, for a file system without it, such as one shared
    // over SMB), EBADF (systems that flush nothing opened only for reading, as the BSDs), EISDIR
    // (systems that flush no folder), ENOTSUP. Any other error means that the renames may be
    // lost: EIO, and EROFS too, which ext4 gives once its journal has failed (on a file system
    // mounted read-only the flush succeeds).
    const bool flushed = retryOnInterrupt([&] { return ::fsync(folder.handle.get()); }) == 0;
    return cannotWriteUnless(flushed || errno == EINVAL || errno == EBADF || errno == EISDIR ||
                             errno == ENOTSUP || errno == EOPNOTSUPP);
}

SystemResult<NativePath> finalFolderOf(const NativePath& file) {
    auto resolved = resolve(file);
    if (!resolved) {
        return resolved.failure();
    }
    return std::move(resolved).value().folder;
}

struct Replacement {
    std::shared_ptr<const Folder> folder;
    NativePath name;        // the file's, in its folder
    struct stat status {};  // the file's, when examined
    NativePath temporaryName;
    FileHandle temporary;
};

void EndReplacement::operator()(Replacement* replacement) const noexcept {
    std::default_delete<Replacement>()(replacement);
}

SystemResult<OwnedReplacement> examine(const NativePath& file, Folders& folders) {
    auto target = resolve(file);
    if (!target) {
        return target.failure();
    }
    auto folder = folders.open(target.value().folder);
    if (!folder) {
        return folder.failure();
    }
    OwnedReplacement replacement(std::make_unique<Replacement>().release());
    replacement->folder = std::move(folder).value();
    replacement->name = std::move(target).value().name;
    const int folderHandle = replacement->folder->handle.get();
    const char* const name = replacement->name.c_str();
    const struct stat& status = replacement->status;
    if (::fstatat(folderHandle, name, &replacement->status, 0) != 0) {
        return cannotWrite(lastError());
    }
    if (!S_ISREG(status.st_mode)) {
        return cannotWrite(notRegularFile(status.st_mode));
    }
    // Read-only: no write bit for the owner (the system's own write test says yes to
    // everything for root), or not writable by this user.
    if ((status.st_mode & S_IWUSR) == 0) {
        return SystemFailure{FailureKind::readOnly, systemError(EACCES)};
    }
    if (::faccessat(folderHandle, name, W_OK, AT_EACCESS) != 0) {
        const bool denied = errno == EACCES || errno == EPERM || errno == EROFS;
        return SystemFailure{denied ? FailureKind::readOnly : FailureKind::cannotWrite,
                             lastError()};
    }
    return replacement;
}

namespace {

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
bool ownerCanBeKept(const Replacement& replacement) {
    const uid_t user = ::geteuid();
    if (user == 0) {
        return true;
    }
    const struct stat& script = replacement.status;
    struct stat folder {};
    if (script.st_uid != user || ::fstat(replacement.folder->handle.get(), &folder) != 0) {
        return false;
    }
    const gid_t newFileGroup = (folder.st_mode & S_ISGID) != 0 ? folder.st_gid : ::getegid();
    return script.st_gid == newFileGroup || memberOfGroup(script.st_gid);
}

}  // namespace

SystemStatus checkReplaceable(const Replacement& replacement) {
    // The temporary file is created in the folder, which must therefore be writable.
    if (::faccessat(replacement.folder->handle.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return cannotWrite(lastError());
    }
    if (!ownerCanBeKept(replacement)) {
        return cannotWrite(systemError(EPERM));
    }
    return Done{};
}

std::uint64_t processId() {
    return static_cast<std::uint64_t>(::getpid());
}

SystemStatus createTemporary(Replacement& replacement, const NativePath& name) {
    replacement.temporary.reset(retryOnInterrupt([&] {
        return ::openat(replacement.folder->handle.get(), name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY,
                        S_IRUSR | S_IWUSR);
    }));
    if (!replacement.temporary.holds()) {
        return cannotWrite(lastError());
    }
    replacement.temporaryName = name;
    return Done{};
}

bool alreadyExists(std::error_code error) {
    return error == systemError(EEXIST);
}

SystemResult<std::size_t> writeSome(const Replacement& replacement, std::string_view bytes) {
    const ssize_t written = retryOnInterrupt(
        [&] { return ::write(replacement.temporary.get(), bytes.data(), bytes.size()); });
    if (written < 0) {
        return cannotWrite(lastError());
    }
    return static_cast<std::size_t>(written);
}

SystemStatus keepOwnerAndMode(const Replacement& replacement) {
    const int temporary = replacement.temporary.get();
    const struct stat& script = replacement.status;
    struct stat created {};
    if (::fstat(temporary, &created) != 0) {
        return cannotWrite(lastError());
    }
    // Writing the script under another owner would change who may use it: refused.
    if ((created.st_uid != script.st_uid || created.st_gid != script.st_gid) &&
        ::fchown(temporary, script.st_uid, script.st_gid) != 0) {
        return cannotWrite(lastError());
    }
    return cannotWriteUnless(::fchmod(temporary, script.st_mode & 07777) == 0);
}

void startWriteBack(const Replacement& replacement, std::size_t size) {
#if defined(__linux__)
    // For a small file the call costs more than it saves.
    constexpr std::size_t earlyWriteFrom = std::size_t{1} << 20U;
    if (size >= earlyWriteFrom) {
        static_cast<void>(
            ::sync_file_range(replacement.temporary.get(), 0, 0, SYNC_FILE_RANGE_WRITE));
    }
#else
    static_cast<void>(replacement);
    static_cast<void>(size);
#endif
}

std::uint64_t fileSystemOf(const Replacement& replacement) {
    return replacement.status.st_dev;
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
#endif

SystemStatus flushFileSystem(const Replacement& replacement) {
#if defined(__linux__)
    // Whether this process's kernel reports write errors through syncfs: asked once.
    static const bool trusted = [] {
        utsname system{};
        return ::uname(&system) == 0 && syncfsReportsWriteErrors(system.release);
    }();
    if (trusted) {
        return cannotWriteUnless(::syncfs(replacement.temporary.get()) == 0);
    }
#else
    static_cast<void>(replacement);
#endif
    return cannotWrite(systemError(ENOTSUP));
}

SystemStatus flushTemporary(const Replacement& replacement) {
    return cannotWriteUnless(::fsync(replacement.temporary.get()) == 0);
}

SystemStatus closeTemporary(Replacement& replacement) {
    // A descriptor is released by close even when it reports an error.
    return cannotWriteUnless(::close(replacement.temporary.release()) == 0);
}

SystemStatus giveAttributes(const Replacement& /*replacement*/) {
    return Done{};  // the owner and mode were kept as the file was written
}

SystemStatus replace(Replacement& replacement) {
    const int folder = replacement.folder->handle.get();
    return cannotWriteUnless(::renameat(folder, replacement.temporaryName.c_str(), folder,
                                        replacement.name.c_str()) == 0);
}

const Folder& targetFolder(const Replacement& replacement) {
    return *replacement.folder;
}

SystemStatus removeTemporary(Replacement& replacement) {
    replacement.temporary.reset();
    return cannotWriteUnless(
        ::unlinkat(replacement.folder->handle.get(), replacement.temporaryName.c_str(), 0) == 0);
}

bool outOfRoom(std::error_code error) {
    return error == systemError(ENOSPC) || error == systemError(EDQUOT);
}

}  // namespace kq::platform

namespace kq {

using platform::retryOnInterrupt;

Result<FolderLock, FolderBusy> lockFolder(const NativePath& folder) {
    FileHandle handle(retryOnInterrupt(
        [&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (handle.holds() &&
        retryOnInterrupt([&] { return ::flock(handle.get(), LOCK_EX | LOCK_NB); }) != 0) {
        if (errno == EWOULDBLOCK) {
            return FolderBusy{};  // another process holds it
        }
        handle.reset();  // no lock to be had here: the run goes on without one
    }
    return FolderLock{std::move(handle)};
}

std::optional<NativePath> linkTarget(const NativePath& folder, const NativePath& name) {
    const NativePath file = joinPath(folder, name);
    struct stat own {};
    if (::lstat(file.c_str(), &own) != 0 || !S_ISLNK(own.st_mode)) {
        return std::nullopt;
    }
    auto target = finalPath(file);
    return target ? std::optional(std::move(target).value()) : std::nullopt;
}

Result<NativePath, SystemFailure> finalPath(const NativePath& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (!real) {
        return platform::cannotRead(platform::lastError());
    }
    return NativePath(real.get());
}

}  // namespace kq
