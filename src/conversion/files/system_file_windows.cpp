// The file layer's primitives on Windows, through the wide-character API.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "conversion/files/script_file.hpp"
#include "conversion/files/system_file.hpp"

namespace kq {

void FileHandleTraits::close(Value handle) noexcept {
    // Only for handles whose close result no longer matters (read-only, or on a failure path);
    // the write path closes its temporary file itself and checks the result.
    ::CloseHandle(handle);
}

}  // namespace kq

namespace kq::platform {

std::error_code lastError() {
    return systemError(static_cast<int>(::GetLastError()));
}

namespace {

std::error_code windowsError(DWORD code) {
    return systemError(static_cast<int>(code));
}

// The NTSTATUS of the thread's last failed system call, which tells what an access denied stood
// for. Found in ntdll, which every process has loaded, when first asked.
LONG lastNtStatus() {
    using Query = LONG(WINAPI*)();
    static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetLastNtStatus")));
    return query != nullptr ? query() : 0;
}

// The failure of the call that has just failed on a file, saying whether the file is held for a
// moment by another program (a virus scanner, the search indexer, a backup or an editor): a
// sharing or lock violation, or access denied to a file that is being deleted.
SystemFailure heldOrFailed(FailureKind kind) {
    constexpr LONG statusDeletePending = static_cast<LONG>(0xC0000056);
    const DWORD error = ::GetLastError();
    const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                      (error == ERROR_ACCESS_DENIED && lastNtStatus() == statusDeletePending);
    return {kind, windowsError(error), held};
}

// Opens an existing file or folder for `access` alone, disturbing nobody who has it open.
FileHandle openFor(const std::wstring& path, DWORD access) {
    return FileHandle(::CreateFileW(path.c_str(), access,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The path of what `path` (in the system's form) finally is, every link and junction followed.
SystemResult<NativePath> finalPathOf(const std::wstring& path) {
    const FileHandle opened = openFor(path, FILE_READ_ATTRIBUTES);
    if (!opened.holds()) {
        return cannotRead(lastError());
    }
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(
            opened.get(), buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
        if (length == 0) {
            return cannotRead(lastError());
        }
        if (length < buffer.size()) {
            return NativePath(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
}

// The file that a script's path finally leads to: the path itself in the system's form, or, for
// a link or junction, the file it leads to; with the path's own attributes.
struct Located {
    NativePath file;
    DWORD attributes;
    bool link;
};

SystemResult<Located> locate(const NativePath& file) {
    const std::wstring path = systemPath(file);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return cannotWrite(lastError());
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return Located{path, attributes, false};
    }
    auto target = finalPathOf(path);
    if (!target) {
        return cannotWrite(target.failure().error);
    }
    return Located{std::move(target).value(), attributes, true};
}

// Which file a handle is open on: its volume and its number there.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileInformationByHandle(file, &information) == FALSE) {
        return std::nullopt;
    }
    return FileIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                        information.nFileIndexLow};
}

// Attributes that describe the file rather than its storage, and that a new file can be given.
constexpr DWORD keptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

NativePath systemPath(NativeView path) {
    constexpr NativeView extendedPrefix = LR"(\\?\)";
    if (path.starts_with(extendedPrefix)) {
        return NativePath(path);
    }
    // The name is kept as it stands: resolved, "nul.cgi" would become the device NUL. A drive's
    // own current folder ("C:") and "." or ".." are resolved with the rest.
    NativeView name = fileNameOf(path);
    if (name == L"." || name == L".." || name.find(L':') != NativeView::npos) {
        name = {};
    }
    NativePath folder(name.empty() ? path : folderOf(path));
    if (folder.empty()) {
        folder = L".";
    }
    NativePath full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(folder.c_str(), static_cast<DWORD>(full.size()),
                                                full.data(), nullptr);
        if (length == 0) {
            return NativePath(path);  // the system's own call will say what is wrong with it
        }
        const bool whole = length < full.size();  // else: the room it needs
        full.resize(length);
        if (whole) {
            break;
        }
    }
    // No separator at the end, but for a drive's root ("C:\").
    while (full.size() > 1 && isSeparator(full.back()) && full[full.size() - 2] != L':') {
        full.pop_back();
    }
    NativePath extended;
    if (full.starts_with(LR"(\\.\)")) {
        extended = full;  // a device path, which takes no other form
    } else if (full.starts_with(LR"(\\)")) {
        extended = LR"(\\?\UNC\)" + full.substr(2);
    } else {
        extended = NativePath(extendedPrefix) + full;
    }
    return name.empty() ? extended : joinPath(extended, name);
}

SystemResult<FileHandle> openForReading(const NativePath& file) {
    // Others may read and may rename or delete, but nobody writes while the channel holds it.
    FileHandle handle(::CreateFileW(systemPath(file).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle.holds()) {
        return heldOrFailed(FailureKind::cannotRead);
    }
    // A device name (a pipe, the console, "NUL") opens too; only a file on disk is a script.
    if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
        return cannotRead(windowsError(ERROR_NOT_SUPPORTED));
    }
    return handle;
}

SystemResult<std::size_t> sizeOf(const FileHandle& file) {
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.get(), &size) == FALSE) {
        return cannotRead(lastError());
    }
    return static_cast<std::size_t>(size.QuadPart);
}

void makePresent(std::string& /*buffer*/) {}  // the system has no such call

SystemResult<std::size_t> readSome(const FileHandle& file, char* into, std::size_t room) {
    constexpr std::size_t largestRead = 1U << 30U;
    DWORD got = 0;
    if (::ReadFile(file.get(), into, static_cast<DWORD>(std::min(room, largestRead)), &got,
                   nullptr) == FALSE) {
        return cannotRead(lastError());
    }
    return std::size_t{got};
}

SystemResult<std::vector<FolderEntry>> folderEntries(const NativePath& folder) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found{};
    struct SearchCloser {
        void operator()(HANDLE search) const { ::FindClose(search); }
    };
    const std::wstring pattern = systemPath(joinPath(folder, L"*"));
    const HANDLE opened = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0);
    if (opened == INVALID_HANDLE_VALUE) {
        return cannotRead(lastError());
    }
    const std::unique_ptr<void, SearchCloser> search(opened);
    do {
        const std::wstring_view name(found.cFileName);
        if (name == L"." || name == L"..") {
            continue;
        }
        const DWORD attributes = found.dwFileAttributes;
        const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        bool regular = (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        if (link) {
            // What the link leads to decides; a link that leads nowhere is no file.
            const auto target = finalPath(joinPath(folder, name));
            const DWORD targetAttributes =
                target ? ::GetFileAttributesW(target.value().c_str()) : INVALID_FILE_ATTRIBUTES;
            regular = targetAttributes != INVALID_FILE_ATTRIBUTES &&
                      (targetAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        }
        entries.push_back({NativePath(name), regular, regular && !link,
                           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0});
    } while (::FindNextFileW(search.get(), &found) != FALSE);
    const DWORD ended = ::GetLastError();
    if (ended != ERROR_NO_MORE_FILES) {
        return cannotRead(windowsError(ended));
    }
    return entries;
}

SystemStatus removeFile(const NativePath& file) {
    if (::DeleteFileW(systemPath(file).c_str()) == FALSE) {
        return heldOrFailed(FailureKind::cannotWrite);
    }
    return Done{};
}

struct Folder {
    NativePath path;
};

SystemResult<std::shared_ptr<const Folder>> openFolder(const NativePath& path) {
    return std::make_shared<const Folder>(Folder{path});  // opened when it is flushed
}

SystemResult<FolderIdentity> identityOf(const Folder& folder) {
    return FolderIdentity{0, 0, folder.path};
}

SystemStatus flushFolder(const Folder& folder) {
    // A folder this user may not add files to cannot be opened for its flush, and holds nothing
    // that this program put there.
    const FileHandle opened = openFor(folder.path, FILE_ADD_FILE);
    if (!opened.holds()) {
        return cannotWriteUnless(::GetLastError() == ERROR_ACCESS_DENIED);
    }
    // No flush to be had where the file system does not take the request.
    return cannotWriteUnless(
        ::FlushFileBuffers(opened.get()) != FALSE || ::GetLastError() == ERROR_INVALID_FUNCTION ||
        ::GetLastError() == ERROR_NOT_SUPPORTED || ::GetLastError() == ERROR_INVALID_PARAMETER);
}

SystemResult<NativePath> finalFolderOf(const NativePath& file) {
    auto located = locate(file);
    if (!located) {
        return located.failure();
    }
    return NativePath(folderOf(located.value().file));
}

struct Replacement {
    std::shared_ptr<const Folder> folder;
    NativePath target;  // the file's final path
    DWORD attributes = 0;
    NativePath temporaryPath;
    FileHandle temporary;
    std::optional<FileIdentity> identity;  // the temporary file's, taken before it is closed
};

void EndReplacement::operator()(Replacement* replacement) const noexcept {
    std::default_delete<Replacement>()(replacement);
}

SystemResult<OwnedReplacement> examine(const NativePath& file, Folders& folders) {
    auto located = locate(file);
    if (!located) {
        return located.failure();
    }
    // A link's own attributes are not its file's: those are asked for once more.
    const NativePath& target = located.value().file;
    const DWORD attributes =
        located.value().link ? ::GetFileAttributesW(target.c_str()) : located.value().attributes;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return cannotWrite(lastError());
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        // The reason the system itself gives for opening a folder as a file.
        return cannotWrite(windowsError(ERROR_ACCESS_DENIED));
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return SystemFailure{FailureKind::readOnly, windowsError(ERROR_ACCESS_DENIED)};
    }
    auto folder = folders.open(NativePath(folderOf(target)));
    if (!folder) {
        return folder.failure();
    }
    OwnedReplacement replacement(std::make_unique<Replacement>().release());
    replacement->folder = std::move(folder).value();
    replacement->target = target;
    replacement->attributes = attributes;
    return replacement;
}

SystemStatus checkReplaceable(const Replacement& /*replacement*/) {
    return Done{};  // nothing that examine does not check
}

std::uint64_t processId() {
    return ::GetCurrentProcessId();
}

SystemStatus createTemporary(Replacement& replacement, const NativePath& name) {
    replacement.temporaryPath = joinPath(replacement.folder->path, name);
    replacement.temporary.reset(::CreateFileW(replacement.temporaryPath.c_str(), GENERIC_WRITE, 0,
                                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return cannotWriteUnless(replacement.temporary.holds());
}

bool alreadyExists(std::error_code error) {
    return error == windowsError(ERROR_FILE_EXISTS) || error == windowsError(ERROR_ALREADY_EXISTS);
}

SystemResult<std::size_t> writeSome(const Replacement& replacement, std::string_view bytes) {
    constexpr std::size_t largestWrite = 1U << 24U;
    DWORD written = 0;
    if (::WriteFile(replacement.temporary.get(), bytes.data(),
                    static_cast<DWORD>(std::min(bytes.size(), largestWrite)), &written,
                    nullptr) == FALSE) {
        return cannotWrite(lastError());
    }
    if (written == 0) {
        return cannotWrite(windowsError(ERROR_WRITE_FAULT));
    }
    return std::size_t{written};
}

SystemStatus keepOwnerAndMode(const Replacement& /*replacement*/) {
    return Done{};  // the attributes are given after the flush (giveAttributes)
}

void startWriteBack(const Replacement& /*replacement*/, std::size_t /*size*/) {}

std::uint64_t fileSystemOf(const Replacement& /*replacement*/) {
    return 0;
}

SystemStatus flushFileSystem(const Replacement& /*replacement*/) {
    return cannotWrite(windowsError(ERROR_NOT_SUPPORTED));  // the system has no such flush
}

SystemStatus flushTemporary(const Replacement& replacement) {
    return cannotWriteUnless(::FlushFileBuffers(replacement.temporary.get()) != FALSE);
}

SystemStatus closeTemporary(Replacement& replacement) {
    replacement.identity = identityOf(replacement.temporary.get());
    // A handle is released by CloseHandle even when it fails.
    return cannotWriteUnless(::CloseHandle(replacement.temporary.release()) != FALSE);
}

SystemStatus giveAttributes(const Replacement& replacement) {
    const DWORD copied = replacement.attributes & keptAttributes;
    return cannotWriteUnless(::SetFileAttributesW(replacement.temporaryPath.c_str(),
                                                  copied == 0 ? FILE_ATTRIBUTE_NORMAL : copied) !=
                             FALSE);
}

SystemStatus replace(Replacement& replacement) {
    if (::MoveFileExW(replacement.temporaryPath.c_str(), replacement.target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE) {
        return Done{};
    }
    SystemFailure refused = heldOrFailed(FailureKind::cannotWrite);
    if (refused.held) {
        return refused;
    }
    // A script held open without delete sharing refuses the move with access denied, as a
    // read-only one does: asking for the right to delete it tells the first, a matter of
    // waiting, which is then told as what it is.
    if (refused.error == windowsError(ERROR_ACCESS_DENIED) &&
        !openFor(replacement.target, DELETE).holds() &&
        ::GetLastError() == ERROR_SHARING_VIOLATION) {
        return SystemFailure{FailureKind::cannotWrite, windowsError(ERROR_SHARING_VIOLATION), true};
    }
    // The move itself may be done, and only its writing through have failed: then the script is
    // the temporary file, in place but not known to be on the disk.
    if (replacement.identity) {
        const FileHandle placed = openFor(replacement.target, FILE_READ_ATTRIBUTES);
        if (placed.holds() && identityOf(placed.get()) == replacement.identity) {
            refused.kind = FailureKind::notConfirmed;
        }
    }
    return refused;
}

const Folder& targetFolder(const Replacement& replacement) {
    return *replacement.folder;
}

SystemStatus removeTemporary(Replacement& replacement) {
    replacement.temporary.reset();
    if (::DeleteFileW(replacement.temporaryPath.c_str()) == FALSE) {
        return heldOrFailed(FailureKind::cannotWrite);
    }
    return Done{};
}

bool outOfRoom(std::error_code error) {
    return error == windowsError(ERROR_DISK_FULL) || error == windowsError(ERROR_HANDLE_DISK_FULL);
}

}  // namespace kq::platform

namespace kq {

Result<FolderLock, FolderBusy> lockFolder(const NativePath& folder) {
    // A lock file that nobody else may open, deleted when the last handle goes, also when the
    // process ends. Hidden, and not named like a script, it is never listed.
    FileHandle handle(
        ::CreateFileW(platform::systemPath(joinPath(folder, L".kqwizard-lock")).c_str(),
                      GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!handle.holds() && ::GetLastError() == ERROR_SHARING_VIOLATION) {
        return FolderBusy{};  // another process holds it
    }
    return FolderLock{std::move(handle)};  // empty where no lock file can be made
}

std::optional<NativePath> linkTarget(const NativePath& folder, const NativePath& name) {
    const NativePath file = platform::systemPath(joinPath(folder, name));
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return std::nullopt;
    }
    auto target = finalPath(file);
    return target ? std::optional(std::move(target).value()) : std::nullopt;
}

Result<NativePath, SystemFailure> finalPath(const NativePath& path) {
    // Every path, not only a link's, takes the spelling the system gives a handle's path.
    return platform::finalPathOf(platform::systemPath(path));
}

}  // namespace kq
