#pragma once
// One running kqwizard.exe, seen from outside: its process, its window, its controls by
// control identifier, and its end.

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "remote_window.hpp"
#include "wizard/control_id.hpp"

namespace kq::e2e {

class WizardProcess {
  public:
    // Starts the program and waits until its window is on screen; throws ScenarioAborted when
    // it does not come up.
    explicit WizardProcess(const std::filesystem::path& program);
    // Ends the program if a scenario left it running.
    ~WizardProcess();
    WizardProcess(const WizardProcess&) = delete;
    WizardProcess& operator=(const WizardProcess&) = delete;

    HANDLE process() const { return process_; }
    DWORD processId() const { return processId_; }
    HWND form() const { return form_; }

    // The control with the identifier the window gives it; throws ScenarioAborted when absent.
    HWND control(wizard::ControlId id) const;

    std::wstring text(wizard::ControlId id) const { return windowText(control(id)); }
    bool visible(wizard::ControlId id) const { return IsWindowVisible(control(id)) != FALSE; }
    bool ownVisible(wizard::ControlId id) const;
    bool enabled(wizard::ControlId id) const { return IsWindowEnabled(control(id)) != FALSE; }
    void press(wizard::ControlId id) const { pressButton(control(id)); }

    // The window that has the keyboard focus in the program's thread, or null.
    HWND focus() const;

    // Waits for the process to end; its exit code, or nothing when it is still running.
    std::optional<DWORD> waitForExit(std::chrono::milliseconds timeout = 10000ms) const;

  private:
    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    HWND form_ = nullptr;  // the program's window; not ours to destroy
};

}  // namespace kq::e2e
