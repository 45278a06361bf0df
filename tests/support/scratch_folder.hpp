#pragma once
// Real folders for tests that touch files: a fresh folder per test, removed afterwards, and
// snapshots that show whether anything in a folder changed (bytes, names, modification times).

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kqtest {

namespace fs = std::filesystem;

// A folder of its own for one test, removed with everything in it afterwards.
class ScratchFolder {
  public:
    ScratchFolder() {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        for (unsigned attempt = 0;; ++attempt) {
            path_ = fs::temp_directory_path() /
                    ("kq-test-" + std::to_string(ticks) + "-" + std::to_string(attempt));
            if (fs::create_directory(path_)) {
                break;
            }
        }
    }
    ~ScratchFolder() {
        // Read-only entries would stop the removal on Windows.
        std::error_code error;
        for (fs::recursive_directory_iterator it(path_, error), end; !error && it != end;
             it.increment(error)) {
            std::error_code ignored;
            if (!it->is_symlink(ignored)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            }
        }
        fs::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ScratchFolder(ScratchFolder&&) = delete;
    ScratchFolder& operator=(ScratchFolder&&) = delete;

    [[nodiscard]] const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& name) const { return path_ / name; }

    // A sub-folder, created.
    fs::path folder(const fs::path& name) const {
        fs::create_directories(path_ / name);
        return path_ / name;
    }

  private:
    fs::path path_;
};

// A path of the build host as this program sees it: under Wine, through the drive Z:.
inline std::filesystem::path hostPath(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path.front() == '/') {
        path = "Z:" + path;
    }
#endif
    return {std::u8string(path.begin(), path.end())};
}

// A path in UTF-8 for a message: path::string() would throw on Windows for a Chinese name.
inline std::string pathText(const fs::path& file) {
    const std::u8string text = file.u8string();
    return {text.begin(), text.end()};
}

inline void writeBytes(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write test file " + pathText(file));
    }
}

inline std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read test file " + pathText(file));
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void makeReadOnly(const fs::path& file) {
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

#ifdef _WIN32
inline void makeHidden(const fs::path& file) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    SetFileAttributesW(file.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN);
}
#endif

// Sets every file's modification time one hour back, so that any later write shows in it
// whatever the file system's clock resolution.
inline void ageFiles(const fs::path& folder) {
    const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            fs::last_write_time(entry.path(), past);
        }
    }
}

struct FileState {
    std::string bytes;
    fs::file_time_type modified;
    friend bool operator==(const FileState&, const FileState&) = default;
};

// Every entry of a folder (hidden ones too) with its bytes and modification time; folders
// appear with empty bytes.
using FolderSnapshot = std::map<fs::path, FileState>;

inline FolderSnapshot snapshot(const fs::path& folder) {
    FolderSnapshot files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const bool isFile = entry.is_regular_file();
        files[entry.path().filename()] = {isFile ? readBytes(entry.path()) : std::string(),
                                          fs::last_write_time(entry.path())};
    }
    return files;
}

}  // namespace kqtest
