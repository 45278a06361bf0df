#pragma once
// A path as the system spells it: UTF-16 on Windows, bytes elsewhere. The engine and the programs
// keep paths in this form, joined and split by hand, so that no path ever passes through a
// conversion of the C++ library (which would also pull its whole locale machinery into the
// Windows programs).

#include <string>
#include <string_view>

namespace kq {

#if defined(_WIN32)
using NativeChar = wchar_t;
inline constexpr NativeChar pathSeparator = L'\\';
#else
using NativeChar = char;
inline constexpr NativeChar pathSeparator = '/';
#endif
using NativePath = std::basic_string<NativeChar>;
using NativeView = std::basic_string_view<NativeChar>;

// An ASCII text, such as a fixed file name, in the system's spelling.
inline NativePath nativeFromAscii(std::string_view ascii) {
    return {ascii.begin(), ascii.end()};
}

constexpr bool isSeparator(NativeChar c) {
#if defined(_WIN32)
    return c == L'\\' || c == L'/';
#else
    return c == '/';
#endif
}

// Folder, the system's separator, name; a folder that already ends in a separator (a root such
// as "/" or "C:\", or a folder given so) keeps its own.
inline NativePath joinPath(NativeView folder, NativeView name) {
    NativePath joined(folder);
    if (joined.empty() || !isSeparator(joined.back())) {
        joined += pathSeparator;
    }
    joined += name;
    return joined;
}

// The last component of a path.
inline NativeView fileNameOf(NativeView path) {
    std::size_t start = path.size();
    while (start > 0 && !isSeparator(path[start - 1])) {
        --start;
    }
    return path.substr(start);
}

// The folder of a path: everything before its last component, without the separator that ends
// it, but for a root, which keeps it ("/", "C:\", "\\?\C:\"): without it, "C:" would be the
// drive's current folder, "\\?\C:" the volume itself. Empty for a bare name.
inline NativeView folderOf(NativeView path) {
    NativeView folder = path.substr(0, path.size() - fileNameOf(path).size());
#if defined(_WIN32)
    const bool root =
        folder.size() == 1 || (folder.size() >= 2 && folder[folder.size() - 2] == ':');
#else
    const bool root = folder.size() == 1;
#endif
    if (!folder.empty() && !root) {
        folder.remove_suffix(1);
    }
    return folder;
}

}  // namespace kq
