#pragma once
// The end-to-end driver's tools: checks that print one line each, and kqwizard.exe worked from
// outside as a user would, through its window, its controls (found by the wizard's own control
// identifiers) and the dialog boxes it opens: message boxes and the shell's folder chooser.

#include <windows.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "texts/native_text.hpp"
#include "wizard/form_control.hpp"

namespace kq::e2e {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using wizard::FormControl;

// Thrown by a check whose failure makes the rest of the scenario meaningless.
struct Aborted : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Each check prints "ok - WHAT" or "FAIL - WHAT: what was found".
struct Checks {
    int passed = 0;
    int failed = 0;
    bool expect(bool condition, const std::string& what, const std::string& found = {});
    bool equal(std::wstring_view actual, std::wstring_view expected, const std::string& what);
    // Pixels, which may differ by one from rounding.
    bool closeTo(long actual, long expected, const std::string& what);
    void require(bool condition, const std::string& what);
};

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s);
std::wstring windowText(HWND window);
std::vector<std::wstring> listLines(HWND listBox);

// Whether `window` shows on screen, pixel for pixel, what `draw` paints over its size on the
// colour of its top-left pixel.
bool showsDrawing(HWND window, const std::function<void(HDC, const RECT&)>& draw);
// The same, looked at once.
bool matchesDrawing(HWND window, const std::function<void(HDC, const RECT&)>& draw);

// A message box or the folder chooser of the wizard.
struct Dialog {
    HWND window;
    HANDLE process;  // borrowed: the wizard's

    // The texts of its labels, the longest one (a message box's message) first.
    std::vector<std::wstring> texts() const;
    // Whether it shows the system's icon `icon` (IDI_ERROR...).
    bool showsIcon(LPCWSTR icon) const;
    // Selects `folder` in the chooser the way a program does: BFFM_SETSELECTIONW, with the path
    // written into the wizard's memory. True once the tree's selection is that folder.
    bool select(const fs::path& folder) const;
    // Presses the button (IDOK, IDCANCEL) and waits until the dialog has gone.
    bool close(int button) const;
};

// One running kqwizard.exe; ended at the end of the scope if it still runs.
class Wizard {
  public:
    // Starts it and waits for its window; throws Aborted, with what happened, if none appears.
    explicit Wizard(const fs::path& program);
    ~Wizard();
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    HWND form() const { return form_; }
    HWND operator[](FormControl control) const { return controls_[wizard::indexOf(control)]; }
    std::wstring text(FormControl control) const { return windowText((*this)[control]); }
    bool enabled(FormControl control) const { return IsWindowEnabled((*this)[control]) != FALSE; }
    // A click: the button's command, posted, so that a modal box it opens does not block.
    void press(FormControl control) const;
    // A key message posted to the control that has the focus.
    void key(UINT message, WPARAM key, LPARAM flags = 0) const;
    // A message posted to the program's window thread, not to a window (WM_QUIT).
    void postToThread(UINT message) const {
        PostThreadMessageW(process_.dwThreadId, message, 0, 0);
    }
    HWND focus() const;
    // The dialog box the wizard opens next (Aborted when none comes).
    Dialog dialog(const std::string& what) const;
    // The exit code once the program has ended, nothing while it still runs.
    std::optional<DWORD> exitCode(std::chrono::milliseconds timeout = 10s) const;

  private:
    PROCESS_INFORMATION process_{};
    HWND form_ = nullptr;  // the wizard's window: not ours to destroy
    std::array<HWND, wizard::controlCount> controls_{};
};

}  // namespace kq::e2e
