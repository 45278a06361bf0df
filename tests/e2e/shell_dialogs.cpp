#include "shell_dialogs.hpp"

#include <commctrl.h>
#include <shlobj.h>

#include <thread>

#include "remote_window.hpp"

namespace kq::e2e {

namespace {

bool isIconStatic(HWND window) {
    return (GetWindowLongPtrW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

std::wstring lastComponent(const std::wstring& path, std::size_t skip = 0) {
    std::wstring rest = path;
    while (!rest.empty() && rest.back() == L'\\') {
        rest.pop_back();
    }
    for (std::size_t i = 0; i < skip; ++i) {
        const auto cut = rest.find_last_of(L'\\');
        rest = cut == std::wstring::npos ? std::wstring() : rest.substr(0, cut);
    }
    const auto cut = rest.find_last_of(L'\\');
    return cut == std::wstring::npos ? rest : rest.substr(cut + 1);
}

}  // namespace

MessageBoxSeen readMessageBox(HWND dialog) {
    MessageBoxSeen seen;
    seen.caption = windowText(dialog);
    for (const HWND child : descendants(dialog)) {
        const std::wstring kind = className(child);
        if (_wcsicmp(kind.c_str(), L"Static") == 0) {
            if (isIconStatic(child)) {
                seen.hasIcon = true;
            } else if (const std::wstring text = windowText(child);
                       text.size() > seen.text.size()) {
                seen.text = text;
            }
        } else if (_wcsicmp(kind.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
            ++seen.buttonCount;
            seen.hasOkButton = seen.hasOkButton || GetDlgCtrlID(child) == IDOK;
        }
    }
    return seen;
}

HWND FolderChooser::tree() const {
    for (const HWND child : descendants(dialog_)) {
        if (className(child) == WC_TREEVIEWW) {
            return child;
        }
    }
    return nullptr;
}

std::vector<std::wstring> FolderChooser::labelTexts() const {
    std::vector<std::wstring> texts;
    for (const HWND child : descendants(dialog_)) {
        if (_wcsicmp(className(child).c_str(), L"Static") == 0) {
            texts.push_back(windowText(child));
        }
    }
    return texts;
}

std::vector<std::wstring> FolderChooser::selectedChain() const {
    std::vector<std::wstring> chain;
    const HWND view = tree();
    if (view == nullptr) {
        return chain;
    }
    constexpr int textChars = 512;
    RemoteMemory remote(process_, sizeof(TVITEMW) + textChars * sizeof(wchar_t));
    auto* item = reinterpret_cast<HTREEITEM>(SendMessageW(view, TVM_GETNEXTITEM, TVGN_CARET, 0));
    while (item != nullptr && chain.size() < 64) {
        TVITEMW query{};
        query.mask = TVIF_TEXT;
        query.hItem = item;
        query.pszText =
            reinterpret_cast<wchar_t*>(static_cast<char*>(remote.address()) + sizeof(TVITEMW));
        query.cchTextMax = textChars;
        const wchar_t none = L'\0';
        remote.write(&query, sizeof query);
        remote.write(&none, sizeof none, sizeof(TVITEMW));
        SendMessageW(view, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.address()));
        wchar_t text[textChars] = {};
        remote.read(text, sizeof text - sizeof(wchar_t), sizeof(TVITEMW));
        chain.emplace_back(text);
        item = reinterpret_cast<HTREEITEM>(
            SendMessageW(view, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
    }
    return chain;
}

bool FolderChooser::select(const std::wstring& folder) const {
    const std::size_t bytes = (folder.size() + 1) * sizeof(wchar_t);
    const RemoteMemory remote(process_, bytes);
    if (!remote.write(folder.c_str(), bytes)) {
        return false;
    }
    const auto selected = [&] {
        const std::vector<std::wstring> chain = selectedChain();
        return chain.size() >= 2 && chain[0] == lastComponent(folder) &&
               chain[1] == lastComponent(folder, 1);
    };
    for (int attempt = 0; attempt < 5; ++attempt) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(dialog_, BFFM_SETSELECTIONW, TRUE,
                            reinterpret_cast<LPARAM>(remote.address()), SMTO_ABORTIFHUNG, 10000,
                            &ignored);
        if (waitUntil(selected, 3000ms)) {
            return true;
        }
    }
    return false;
}

void FolderChooser::confirm() const {
    pressDialogButton(dialog_, IDOK);
}

void FolderChooser::cancel() const {
    pressDialogButton(dialog_, IDCANCEL);
}

}  // namespace kq::e2e
