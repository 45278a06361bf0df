#include "win32_platform.hpp"

#include <shlobj.h>

#include <cwchar>
#include <string>

#include "unique_handle.hpp"
#include "wizard/wizard_texts.hpp"

namespace kq::wizard::win32 {

std::optional<NativePath> folderPathOf(PCIDLIST_ABSOLUTE folder) {
    // Room for the longest path the system has, so that a folder deeper than MAX_PATH comes
    // whole; the shell fails rather than cut a path that does not fit.
    constexpr DWORD longestPath = 32768;
    std::wstring path(longestPath, L'\0');
    if (!SHGetPathFromIDListEx(folder, path.data(), longestPath, GPFIDL_DEFAULT)) {
        return std::nullopt;
    }
    path.resize(std::wcslen(path.c_str()));
    return path;  // exactly as the shell gives it
}

std::optional<NativePath> Win32Platform::browseForFolder() {
    const std::wstring title(texts::chooserTitle);  // stays valid until the chooser has returned
    BROWSEINFOW browse{};
    browse.hwndOwner = form_;   // modal to the wizard window
    browse.pidlRoot = nullptr;  // the whole shell namespace, from the desktop down
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    const UniqueIdList chosen(SHBrowseForFolderW(&browse));
    if (!chosen) {
        return std::nullopt;  // cancelled or closed
    }
    // Only file-system folders can be confirmed, so a confirmed folder has a path; should the
    // shell still give none, the choice counts as not made and the old folder stays.
    return folderPathOf(chosen.get());
}

void Win32Platform::showErrorMessage(std::wstring_view text) {
    MessageBoxW(form_, std::wstring(text).c_str(), std::wstring(texts::applicationTitle).c_str(),
                MB_ICONERROR | MB_OK);
}

void Win32Platform::endProgram() {
    SendMessageW(form_, WM_CLOSE, 0, 0);  // closed as by its close box
}

}  // namespace kq::wizard::win32
