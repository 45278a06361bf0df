#include "driver.hpp"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "child_window_ids.hpp"
#include "wizard/form_layout.hpp"

namespace kq::e2e {

namespace {

// The first visible top-level window of class `kind` that belongs to the process.
HWND topLevel(DWORD processId, const wchar_t* kind) {
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, kind, nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

// A bitmap of the screen's format in a memory device context, holding what the screen shows
// in `box` at construction.
struct ScreenCopy {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    explicit ScreenCopy(const RECT& box) {
        const HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, box.right - box.left, box.bottom - box.top);
        previous = SelectObject(dc, bitmap);
        BitBlt(dc, 0, 0, box.right - box.left, box.bottom - box.top, screen, box.left, box.top,
               SRCCOPY);
        ReleaseDC(nullptr, screen);
    }
    ~ScreenCopy() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    ScreenCopy(const ScreenCopy&) = delete;
    ScreenCopy& operator=(const ScreenCopy&) = delete;
};

struct RemoteRelease {
    HANDLE process;  // borrowed
    void operator()(void* memory) const { VirtualFreeEx(process, memory, 0, MEM_RELEASE); }
};

}  // namespace

bool Checks::expect(bool condition, const std::string& what, const std::string& found) {
    ++(condition ? passed : failed);
    std::printf("%s - %s%s%s\n", condition ? "ok" : "FAIL", what.c_str(),
                condition || found.empty() ? "" : ": ", condition ? "" : found.c_str());
    std::fflush(stdout);
    return condition;
}

bool Checks::equal(std::wstring_view actual, std::wstring_view expected, const std::string& what) {
    return expect(
        actual == expected, what,
        "expected \"" + utf8FromWide(expected) + "\", found \"" + utf8FromWide(actual) + "\"");
}

bool Checks::closeTo(long actual, long expected, const std::string& what) {
    return expect(std::labs(actual - expected) <= 1, what,
                  "expected " + std::to_string(expected) + ", found " + std::to_string(actual));
}

void Checks::require(bool condition, const std::string& what) {
    if (!expect(condition, what)) {
        throw Aborted(what);
    }
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::wstring windowText(HWND window) {
    std::wstring text(32768, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    text.resize(std::min<std::size_t>(copied, text.size()));
    return text;
}

std::vector<std::wstring> listLines(HWND listBox) {
    std::vector<std::wstring> lines;
    for (WPARAM i = 0; static_cast<LRESULT>(i) < SendMessageW(listBox, LB_GETCOUNT, 0, 0); ++i) {
        wchar_t line[1024] = {};  // longer than any file name
        SendMessageW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        lines.emplace_back(line);
    }
    return lines;
}

bool matchesDrawing(HWND window, const std::function<void(HDC, const RECT&)>& draw) {
    RECT box{};
    GetWindowRect(window, &box);
    const RECT size{0, 0, box.right - box.left, box.bottom - box.top};
    const ScreenCopy shown(box);
    const ScreenCopy drawn(box);
    const HBRUSH background = CreateSolidBrush(GetPixel(shown.dc, 0, 0));
    FillRect(drawn.dc, &size, background);
    DeleteObject(background);
    draw(drawn.dc, size);
    for (int y = 0; y < size.bottom; ++y) {
        for (int x = 0; x < size.right; ++x) {
            if (GetPixel(shown.dc, x, y) != GetPixel(drawn.dc, x, y)) {
                return false;
            }
        }
    }
    return true;
}

bool showsDrawing(HWND window, const std::function<void(HDC, const RECT&)>& draw) {
    return waitUntil([&] { return matchesDrawing(window, draw); }, 3s);
}

std::vector<std::wstring> Dialog::texts() const {
    std::vector<std::wstring> found;
    for (HWND label = nullptr; (label = FindWindowExW(window, label, L"Static", nullptr));) {
        found.push_back(windowText(label));
    }
    std::ranges::stable_sort(found, std::greater{}, &std::wstring::size);
    return found;
}

bool Dialog::showsIcon(LPCWSTR icon) const {
    const HICON wanted = LoadIconW(nullptr, icon);
    for (HWND label = nullptr; (label = FindWindowExW(window, label, L"Static", nullptr));) {
        if ((GetWindowLongPtrW(label, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            IsWindowVisible(label)) {
            return showsDrawing(label, [&](HDC dc, const RECT& size) {
                DrawIconEx(dc, 0, 0, wanted, size.right, size.bottom, 0, nullptr, DI_NORMAL);
            });
        }
    }
    return false;
}

bool Dialog::select(const fs::path& folder) const {
    // In the wizard's memory: the path, and a query of the tree's item with the text it gets.
    struct Remote {
        TVITEMW item;
        wchar_t text[MAX_PATH];
        wchar_t path[1024];
    };
    const std::unique_ptr<Remote, RemoteRelease> remote(
        static_cast<Remote*>(VirtualAllocEx(process, nullptr, sizeof(Remote),
                                            MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)),
        RemoteRelease{process});
    const auto local = std::make_unique<Remote>();
    folder.wstring().copy(local->path, std::size(local->path) - 1);
    const HWND tree = FindWindowExW(window, nullptr, WC_TREEVIEWW, nullptr);
    const auto selectedName = [&] {
        local->item.mask = TVIF_TEXT;
        local->item.hItem =
            reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        local->item.pszText = remote->text;
        local->item.cchTextMax = MAX_PATH;
        local->text[0] = L'\0';
        WriteProcessMemory(process, remote.get(), local.get(), sizeof(Remote), nullptr);
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&remote->item));
        ReadProcessMemory(process, remote->text, local->text, sizeof local->text, nullptr);
        local->text[MAX_PATH - 1] = L'\0';
        return folder.filename().wstring() == local->text;
    };
    // The shell fills its tree lazily: a selection may not take at once.
    for (int attempt = 0; remote && tree && attempt < 5; ++attempt) {
        selectedName();  // writes the path
        SendMessageTimeoutW(window, BFFM_SETSELECTIONW, TRUE,
                            reinterpret_cast<LPARAM>(remote->path), SMTO_ABORTIFHUNG, 10000,
                            nullptr);
        if (waitUntil(selectedName, 3s)) {
            return true;
        }
    }
    return false;
}

bool Dialog::close(int button) const {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
    return waitUntil([&] { return !IsWindowVisible(window); });
}

Wizard::Wizard(const fs::path& program) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process_)) {
        throw Aborted("cannot start the wizard: error " + std::to_string(GetLastError()));
    }
    WaitForInputIdle(process_.hProcess, 20000);
    if (!waitUntil(
            [&] { return (form_ = topLevel(process_.dwProcessId, wizard::win32::formClassName)); },
            20s)) {
        const HWND box = topLevel(process_.dwProcessId, L"#32770");
        const std::optional<DWORD> code = exitCode(0ms);
        throw Aborted("the wizard's window did not appear; " +
                      (code ? "the program ended, exit code " + std::to_string(*code)
                       : box
                           ? "it shows \"" + utf8FromWide(Dialog{box, nullptr}.texts().at(0)) + "\""
                           : "it runs"));
    }
    // Each control in its container, the containers first.
    for (const wizard::ControlSpec& row : wizard::controls) {
        controls_[wizard::indexOf(row.control)] =
            GetDlgItem(row.container ? (*this)[*row.container] : form_,
                       wizard::win32::childWindowIdOf(row.control));
    }
    if (std::ranges::count(controls_, nullptr) != 0) {
        throw Aborted("a control is missing from its container in the wizard's window");
    }
}

Wizard::~Wizard() {
    if (!exitCode(0ms)) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

void Wizard::press(FormControl control) const {
    PostMessageW(GetParent((*this)[control]), WM_COMMAND,
                 MAKEWPARAM(wizard::win32::childWindowIdOf(control), BN_CLICKED),
                 reinterpret_cast<LPARAM>((*this)[control]));
}

void Wizard::key(UINT message, WPARAM key, LPARAM flags) const {
    PostMessageW(focus() != nullptr ? focus() : form_, message, key, flags | 1);
}

HWND Wizard::focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(process_.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

Dialog Wizard::dialog(const std::string& what) const {
    HWND found = nullptr;
    if (!waitUntil([&] { return (found = topLevel(process_.dwProcessId, L"#32770")); }, 15s)) {
        throw Aborted(what + " did not open");
    }
    return Dialog{found, process_.hProcess};
}

std::optional<DWORD> Wizard::exitCode(std::chrono::milliseconds timeout) const {
    DWORD code = 0;
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) !=
            WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_.hProcess, &code)) {
        return std::nullopt;
    }
    return code;
}

}  // namespace kq::e2e
