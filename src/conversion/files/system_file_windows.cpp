// Whole-file reading and safe in-place replacement on Windows, through the wide-character API.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <array>
#include <map>
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

namespace {

constexpr LONG statusDeletePending = static_cast<LONG>(0xC0000056);

// The NTSTATUS of the thread's last failed system call, which tells what an access denied stood
// for. Found in ntdll, which every process has loaded, when first asked.
LONG lastNtStatus() {
    using Query = LONG(WINAPI*)();
    static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetLastNtStatus")));
    return query != nullptr ? query() : 0;
}

}  // namespace

bool heldForAMoment(unsigned long error, long ntStatus) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           (error == ERROR_ACCESS_DENIED && ntStatus == statusDeletePending);
}

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
    NativePath folder(path.substr(0, path.size() - name.size()));
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
    if (!name.empty()) {
        if (!isSeparator(extended.back())) {
            extended += L'\\';
        }
        extended += name;
    }
    return extended;
}

namespace {

std::error_code lastError() {
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

std::error_code windowsError(DWORD code) {
    return {static_cast<int>(code), std::system_category()};
}

SystemFailure cannotWrite(std::error_code error) {
    return {FailureKind::cannotWrite, error};
}
SystemFailure cannotRead(std::error_code error) {
    return {FailureKind::cannotRead, error};
}

// Pauses before each new try of a step that met a file another program holds for a moment:
// growing, 650 ms in all, so that the three steps of a script that can meet one (the open of its
// reading, its replacement, the removal of its temporary file) wait about two seconds at most.
constexpr std::array<DWORD, 6> heldPauses{10, 20, 40, 80, 160, 340};

// Runs `step`, which answers as the system's calls do (nonzero when done, else the error left
// for GetLastError), again after each pause while it fails on a file held for a moment. The
// step's last error is left as it is.
template <typename Step>
bool unlessHeld(Step step) {
    for (const DWORD pause : heldPauses) {
        if (step()) {
            return true;
        }
        if (!heldForAMoment(::GetLastError(), lastNtStatus())) {
            return false;
        }
        ::Sleep(pause);
    }
    return step();
}

// Whether another program has the file open without letting others delete it, which is what a
// replacement refused with access denied may mean: asking for the right to delete it says.
bool heldWithoutDeleteSharing(const std::wstring& file) {
    const FileHandle probe(
        ::CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return !probe.holds() && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// Attributes that describe the file rather than its storage, and that a new file can be given.
constexpr DWORD keptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A link or junction followed to its final target; any other path is kept as given.
SystemResult<std::wstring> finalTarget(const std::wstring& file, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return file;
    }
    const FileHandle opened(::CreateFileW(
        file.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!opened.holds()) {
        return cannotWrite(lastError());
    }
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(
            opened.get(), buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
        if (length == 0) {
            return cannotWrite(lastError());
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
}

// The folder part of a path, its last separator included.
std::wstring folderWithSeparator(const std::wstring& file) {
    const std::size_t separator = file.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : file.substr(0, separator + 1);
}

// A temporary file beside the script; deleted when it goes out of scope unless it has been
// moved over the script.
class TemporaryEntry {
  public:
    explicit TemporaryEntry(std::wstring path) : path_(std::move(path)) {}
    ~TemporaryEntry() {
        if (!moved_) {
            unlessHeld([this] { return ::DeleteFileW(path_.c_str()) != FALSE; });
        }
    }
    TemporaryEntry(const TemporaryEntry&) = delete;
    TemporaryEntry& operator=(const TemporaryEntry&) = delete;
    TemporaryEntry(TemporaryEntry&&) = delete;
    TemporaryEntry& operator=(TemporaryEntry&&) = delete;

    [[nodiscard]] const std::wstring& path() const { return path_; }
    void markMoved() { moved_ = true; }

  private:
    std::wstring path_;
    bool moved_ = false;
};

std::error_code writeAll(HANDLE file, std::string_view bytes) {
    constexpr std::size_t largestWrite = 1U << 24U;
    while (!bytes.empty()) {
        const auto request = static_cast<DWORD>(std::min(bytes.size(), largestWrite));
        DWORD written = 0;
        if (::WriteFile(file, bytes.data(), request, &written, nullptr) == FALSE) {
            return lastError();
        }
        if (written == 0) {
            return windowsError(ERROR_WRITE_FAULT);
        }
        bytes.remove_prefix(written);
    }
    return {};
}

}  // namespace

SystemResult<FileHandle> openForReading(const NativePath& file) {
    // Others may read and may rename or delete, but nobody writes while the channel holds it.
    const std::wstring path = systemPath(file);
    FileHandle handle;
    const bool opened = unlessHeld([&] {
        handle.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        return handle.holds();
    });
    if (!opened) {
        return cannotRead(lastError());
    }
    // A device name (a pipe, the console, "NUL") opens too; only a file on disk is a script.
    if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
        return cannotRead(windowsError(ERROR_NOT_SUPPORTED));
    }
    return handle;
}

SystemResult<std::string> readToEnd(const FileHandle& file) {
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.get(), &size) == FALSE) {
        return cannotRead(lastError());
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart) + rewriteRoom);
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    constexpr std::size_t largestRead = 1U << 30U;
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            bytes.resize(have + rewriteRoom);  // the end, or a file that grew meanwhile
        }
        DWORD got = 0;
        const auto request = static_cast<DWORD>(std::min(bytes.size() - have, largestRead));
        if (::ReadFile(file.get(), bytes.data() + have, request, &got, nullptr) == FALSE) {
            return cannotRead(lastError());
        }
        if (got == 0) {
            bytes.resize(have);
            return bytes;
        }
        have += got;
    }
}

namespace {

// The script a write is about to replace: its final target and its attributes.
struct ExaminedScript {
    std::wstring target;
    DWORD attributes = 0;
};

// The checks made before anything is written: the script exists (this replaces a script, it
// never creates one), is a file, and is not read-only.
SystemStatus examine(const NativePath& file, ExaminedScript& script) {
    const std::wstring path = systemPath(file);
    const DWORD givenAttributes = ::GetFileAttributesW(path.c_str());
    if (givenAttributes == INVALID_FILE_ATTRIBUTES) {
        return cannotWrite(lastError());
    }
    SystemResult<std::wstring> target = finalTarget(path, givenAttributes);
    if (!target) {
        return target.failure();
    }
    script.target = std::move(target).value();
    // A link's own attributes are not its file's: those are asked for once more.
    script.attributes = (givenAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0
                            ? givenAttributes
                            : ::GetFileAttributesW(script.target.c_str());
    if (script.attributes == INVALID_FILE_ATTRIBUTES) {
        return cannotWrite(lastError());
    }
    if ((script.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        // The reason the system itself gives for opening a folder as a file.
        return cannotWrite(windowsError(ERROR_ACCESS_DENIED));
    }
    if ((script.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return SystemFailure{FailureKind::readOnly, windowsError(ERROR_ACCESS_DENIED)};
    }
    return Done{};
}

}  // namespace

SystemStatus checkReplaceable(const NativePath& file) {
    ExaminedScript script;
    return examine(file, script);
}

namespace {

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

// The identity of the file at `path`, opened without disturbing anyone who has it open.
std::optional<FileIdentity> identityOf(const std::wstring& path) {
    const FileHandle opened(::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return opened.holds() ? identityOf(opened.get()) : std::nullopt;
}

// The folder a file stands in, its root keeping its separator ("C:\").
std::wstring folderOfFile(const std::wstring& file) {
    std::wstring folder(folderOf(file));
    if (!folder.empty() && folder.back() == L':') {
        folder += L'\\';
    }
    return folder;
}

// Whether a folder's flush failed only because there is none to be had there: the file system
// does not take the request (ERROR_INVALID_FUNCTION, ERROR_NOT_SUPPORTED,
// ERROR_INVALID_PARAMETER).
bool noFolderFlush(DWORD error) {
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_INVALID_PARAMETER;
}

// Flushes a folder's entries, which makes the moves into it durable. Nothing when that is done,
// or when there is no such flush there; a folder this user may not add files to cannot be opened
// for it, and holds nothing that this program put there.
std::error_code flushFolder(const std::wstring& folder) {
    const FileHandle opened(::CreateFileW(
        folder.c_str(), FILE_ADD_FILE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!opened.holds()) {
        const DWORD code = ::GetLastError();
        return code == ERROR_ACCESS_DENIED ? std::error_code() : windowsError(code);
    }
    if (::FlushFileBuffers(opened.get()) == FALSE) {
        const DWORD code = ::GetLastError();
        return noFolderFlush(code) ? std::error_code() : windowsError(code);
    }
    return {};
}

}  // namespace

// The script's final target and its attributes, and the temporary file made beside it.
struct Replacement {
    ExaminedScript examined;
    std::optional<FileIdentity> identity;  // the temporary file's, taken before it is closed
    // In this order, so that they go in the reverse one: the temporary file is closed, then
    // deleted unless it was moved over its file.
    std::optional<TemporaryEntry> entry;
    FileHandle temporary;
};

void EndReplacement::operator()(Replacement* replacement) const noexcept {
    std::default_delete<Replacement>()(replacement);
}

// The script's attributes are given to the temporary file by putInPlace, after its flush.
SystemResult<OwnedReplacement> writeTemporary(const NativePath& file, std::string_view bytes,
                                              OpenFolders& /*folders*/) {
    OwnedReplacement owned(std::make_unique<Replacement>().release());
    Replacement& replacement = *owned;
    if (SystemStatus examined = examine(file, replacement.examined); !examined) {
        return examined.failure();
    }
    const std::wstring folder = folderWithSeparator(replacement.examined.target);
    for (unsigned attempt = 0; attempt < temporaryNameAttempts && !replacement.temporary.holds();
         ++attempt) {
        std::wstring temporaryPath = folder + temporaryFileName(::GetCurrentProcessId(), attempt);
        replacement.temporary.reset(::CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (replacement.temporary.holds()) {
            replacement.entry.emplace(std::move(temporaryPath));
        } else if (const DWORD code = ::GetLastError();
                   code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            return cannotWrite(windowsError(code));
        }
    }
    if (!replacement.temporary.holds()) {
        return cannotWrite(windowsError(ERROR_FILE_EXISTS));
    }
    if (const std::error_code writeError = writeAll(replacement.temporary.get(), bytes)) {
        return cannotWrite(writeError);
    }
    return owned;
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
            const auto target = finalTarget(systemPath(joinPath(folder, name)), attributes);
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

void removeFile(const NativePath& file) {
    const std::wstring path = systemPath(file);
    unlessHeld([&path] { return ::DeleteFileW(path.c_str()) != FALSE; });
}

void putInPlace(std::vector<Staged>& staged, std::vector<StagedScript>& kept,
                const NativePath& folder, OpenFolders& /*folders*/) {
    for (Staged& script : staged) {
        Replacement& replacement = *script.replacement;
        if (::FlushFileBuffers(replacement.temporary.get()) == FALSE) {
            script.met = cannotWrite(lastError());
        }
        replacement.identity = identityOf(replacement.temporary.get());
        // Checked, not left to the owner: a handle is released by CloseHandle even when it fails.
        if (::CloseHandle(replacement.temporary.release()) == FALSE && !script.met) {
            script.met = cannotWrite(lastError());
        }
        const DWORD copied = replacement.examined.attributes & keptAttributes;
        if (!script.met &&
            ::SetFileAttributesW(replacement.entry->path().c_str(),
                                 copied == 0 ? FILE_ATTRIBUTE_NORMAL : copied) == FALSE) {
            script.met = cannotWrite(lastError());
        }
    }
    // Only flushed files replace their scripts; each move is written through to the disk, so
    // that every script holds its old or its new bytes whenever the machine stops.
    std::vector<Staged*> moved;
    for (Staged& script : staged) {
        Replacement& replacement = *script.replacement;
        if (script.met) {
            continue;
        }
        const std::wstring& target = replacement.examined.target;
        const bool done = unlessHeld([&] {
            if (::MoveFileExW(replacement.entry->path().c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE) {
                return true;
            }
            // A script held open without delete sharing refuses the move with access denied,
            // as a read-only one does: only the first is a matter of waiting.
            const DWORD refused = ::GetLastError();
            const bool held = refused == ERROR_ACCESS_DENIED && heldWithoutDeleteSharing(target);
            ::SetLastError(held ? ERROR_SHARING_VIOLATION : refused);
            return false;
        });
        if (!done) {
            const std::error_code error = lastError();
            // The move itself may be done, and only its writing through have failed: then the
            // script is the temporary file, in place but not known to be on the disk.
            const bool inPlace = replacement.identity &&
                                 identityOf(replacement.examined.target) == replacement.identity;
            script.met = SystemFailure{
                inPlace ? FailureKind::notConfirmed : FailureKind::cannotWrite, error};
            if (!inPlace) {
                continue;
            }
        }
        replacement.entry->markMoved();
        moved.push_back(&script);
    }
    // Then each folder of the batch is flushed once (a move's writing through is promised only
    // for a move between volumes), which also confirms what earlier runs put in place beside the
    // kept scripts.
    std::map<std::wstring, std::error_code> flushedFolders;
    const auto flushOnce = [&flushedFolders](const std::wstring& path) {
        const auto [flushed, first] = flushedFolders.try_emplace(path);
        if (first) {
            flushed->second = flushFolder(path);
        }
        return flushed->second;
    };
    for (Staged* script : moved) {
        const std::wstring scriptFolder = folderOfFile(script->replacement->examined.target);
        if (const std::error_code error = flushOnce(scriptFolder); error && !script->met) {
            script->met = SystemFailure{FailureKind::notConfirmed, error};
        }
    }
    for (StagedScript& script : kept) {
        const std::wstring file = systemPath(joinPath(folder, script.name));
        const DWORD attributes = ::GetFileAttributesW(file.c_str());
        auto target = attributes == INVALID_FILE_ATTRIBUTES
                          ? SystemResult<std::wstring>(cannotWrite(lastError()))
                          : finalTarget(file, attributes);
        const std::error_code error =
            target ? flushOnce(folderOfFile(target.value())) : target.failure().error;
        if (error) {
            script.failure = ScriptFailure{script.name, FailureKind::folderNotConfirmed, error};
        }
    }
}

bool outOfRoom(std::error_code error) {
    return error == std::error_code(ERROR_DISK_FULL, std::system_category()) ||
           error == std::error_code(ERROR_HANDLE_DISK_FULL, std::system_category());
}

}  // namespace kq::platform

namespace kq {

std::optional<FolderLock> lockFolder(const NativePath& folder) {
    // A lock file that nobody else may open, deleted when the last handle goes, also when the
    // process ends. Hidden, and not named like a script, it is never listed.
    FileHandle handle(
        ::CreateFileW(platform::systemPath(joinPath(folder, L".kqwizard-lock")).c_str(),
                      GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!handle.holds() && ::GetLastError() == ERROR_SHARING_VIOLATION) {
        return std::nullopt;  // another process holds it
    }
    return FolderLock{std::move(handle)};
}

std::optional<NativePath> linkTarget(const NativePath& folder, const NativePath& name) {
    const NativePath file = platform::systemPath(joinPath(folder, name));
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return std::nullopt;
    }
    return finalPath(file);
}

std::optional<NativePath> finalPath(const NativePath& path) {
    // Every path, not only a link's, takes the spelling the system gives a handle's path.
    auto target = platform::finalTarget(platform::systemPath(path), FILE_ATTRIBUTE_REPARSE_POINT);
    if (!target) {
        return std::nullopt;
    }
    return std::move(target).value();
}

}  // namespace kq
