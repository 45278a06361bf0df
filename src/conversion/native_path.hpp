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

// Folder, the system's separator, name, joined as they stand: a folder that already ends in a
// separator gives a doubled one, which names the same file.
inline NativePath joinPath(NativeView folder, NativeView name) {
    NativePath joined(folder);
    joined += pathSeparator;
    joined += name;
    return joined;
}

// The last component of a path, and everything before its last separator.
inline NativeView fileNameOf(NativeView path) {
    std::size_t start = path.size();
    while (start > 0 && !isSeparator(path[start - 1])) {
        --start;
    }
    return path.substr(start);
}
inline NativeView folderOf(NativeView path) {
    const NativeView name = fileNameOf(path);
    NativeView folder = path.substr(0, path.size() - name.size());
    if (folder.size() > 1 && isSeparator(folder.back())) {
        folder.remove_suffix(1);
    }
    return folder;
}

}  // namespace kq
