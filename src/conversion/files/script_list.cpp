#include "conversion/files/script_list.hpp"

#include <algorithm>
#include <utility>

#include "conversion/files/system_file.hpp"

namespace kq {

namespace {

NativePath foldedToUpper(NativePath name) {
    for (auto& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<NativeChar>(c - ('a' - 'A'));
        }
    }
    return name;
}

}  // namespace

Result<std::vector<NativePath>, SystemFailure> listFolderFiles(const NativePath& folder) {
    if (folder.empty()) {
        return std::vector<NativePath>{};  // no fall-back to the current folder
    }
    auto entries = platform::folderEntries(folder);
    if (!entries) {
        return entries.failure();
    }
    std::vector<std::pair<NativePath, NativePath>> keyed;
    for (platform::FolderEntry& entry : entries.value()) {
        if (entry.regularFile && !entry.hidden) {
            keyed.emplace_back(foldedToUpper(entry.name), std::move(entry.name));
        }
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<NativePath> names;
    names.reserve(keyed.size());
    for (auto& [key, name] : keyed) {
        names.push_back(std::move(name));
    }
    return names;
}

bool isScriptName(NativeView name) {
    // Compared code unit by code unit: ".CGI" is not the same.
    constexpr std::string_view suffix = ".cgi";
    return name.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(),
                      name.end() - static_cast<std::ptrdiff_t>(suffix.size()));
}

std::vector<NativePath> scriptNames(const std::vector<NativePath>& files) {
    std::vector<NativePath> scripts;
    std::copy_if(files.begin(), files.end(), std::back_inserter(scripts),
                 [](const NativePath& name) { return isScriptName(name); });
    return scripts;
}

}  // namespace kq
