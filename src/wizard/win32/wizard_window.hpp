#pragma once
// Form1 on Win32: the top-level window of a dialog class with every control of the layout
// table, the form's logic behind it, and the message loop. The window procedure only dispatches:
// one handler per message, each calling into Form1 or into the controls.

#include <windows.h>

#include <exception>
#include <optional>

#include "control_set.hpp"
#include "pictures.hpp"
#include "unique_handle.hpp"
#include "win32_platform.hpp"
#include "win32_view.hpp"
#include "wizard/form1.hpp"

namespace kq::wizard::win32 {

class WizardWindow {
  public:
    // Creates the window hidden, with its controls laid out at the DPI of its monitor and the
    // form on its welcome page.
    explicit WizardWindow(HINSTANCE instance);
    WizardWindow(const WizardWindow&) = delete;
    WizardWindow& operator=(const WizardWindow&) = delete;
    ~WizardWindow() = default;

    // Shows the window centred on the screen and handles its messages until it is closed. The
    // program's exit code: 0, or 1 when the window could not be made, ended without being closed
    // or met a failure in a handler (each said in a message box).
    int run(int showCommand);

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // A handler failed (`failure`, or an exception of another kind when null): says so in a
    // message box and closes the window, so that the program ends with exit code 1.
    void endAfterFailure(HWND window, const std::exception* failure) noexcept;

    // One handler per message.
    LRESULT onCreate(HWND window);
    void onCommand(int id, int code);
    void onDpiChanged(UINT dpi, const RECT& suggested);
    // White labels on the window-background colour; every other static as the system draws it.
    LRESULT onCtlColorStatic(WPARAM wParam, LPARAM lParam);
    // The hourglass over the window while the conversion pass runs.
    bool onSetCursor(WORD hitTest);
    void onClose();
    void onDestroy();
    void onNcDestroy();

    // The window's outer size for the inner area of the layout at `dpi`. The layout is fixed: a
    // larger window shows empty area, a smaller one cuts controls off, so WM_SIZE needs no handler.
    SIZE outerSize(UINT dpi) const;
    void centreOnScreen();

    HINSTANCE instance_;  // borrowed: the program's module
    Pictures pictures_;
    std::optional<ControlSet> controls_;
    std::optional<Win32View> view_;
    std::optional<Win32Platform> platform_;
    std::optional<Form1> form_;
    DWORD creationError_ = ERROR_SUCCESS;  // why the window could not be made
    // The window is closed on purpose: by the user, or after a failure that was shown. Any other
    // end of the window comes from outside.
    bool closing_ = false;
    // A handler failed: the program ends with exit code 1.
    bool failed_ = false;
    // Last, so that it goes first: the window is destroyed while the form still exists.
    UniqueHwnd window_;
};

}  // namespace kq::wizard::win32
