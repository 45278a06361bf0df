#include "script_list.hpp"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kq {

namespace {

using NativeString = std::filesystem::path::string_type;

bool isHidden(const std::filesystem::directory_entry& entry) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(entry.path().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
#else
    // filename() is a temporary: keep it alive while its text is looked at.
    const std::filesystem::path fileName = entry.path().filename();
    const NativeString& name = fileName.native();
    return !name.empty() && name.front() == '.';
#endif
}

NativeString foldedToUpper(const NativeString& name) {
    NativeString folded = name;
    for (auto& c : folded) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<NativeString::value_type>(c - ('a' - 'A'));
        }
    }
    return folded;
}

}  // namespace

std::vector<std::filesystem::path> listFolderFiles(const std::filesystem::path& folder,
                                                   std::error_code& error) {
    error.clear();
    std::vector<std::filesystem::path> names;
    if (folder.empty()) {
        return names;  // no fall-back to the current folder
    }
    std::filesystem::directory_iterator it(folder, error);
    for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
        std::error_code statusError;
        // is_regular_file follows links: a link to a regular file counts, a dangling one not.
        if (it->is_regular_file(statusError) && !isHidden(*it)) {
            names.push_back(it->path().filename());
        }
    }
    if (error) {
        return {};
    }
    std::vector<std::pair<NativeString, std::filesystem::path>> keyed;
    keyed.reserve(names.size());
    for (auto& name : names) {
        keyed.emplace_back(foldedToUpper(name.native()), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.native() < b.second.native();
    });
    names.clear();
    for (auto& [key, name] : keyed) {
        names.push_back(std::move(name));
    }
    return names;
}

bool isScriptName(const std::filesystem::path& name) {
    static const NativeString suffix = std::filesystem::path(".cgi").native();
    const NativeString& native = name.native();
    return native.size() >= suffix.size() &&
           native.compare(native.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::vector<std::filesystem::path> scriptNames(const std::vector<std::filesystem::path>& files) {
    std::vector<std::filesystem::path> scripts;
    std::copy_if(files.begin(), files.end(), std::back_inserter(scripts), isScriptName);
    return scripts;
}

}  // namespace kq
