#include "wizard_process.hpp"

#include "checks.hpp"
#include "control_ids.hpp"
#include "shell_dialogs.hpp"

namespace kq::e2e {

WizardProcess::WizardProcess(const std::filesystem::path& program) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        const DWORD error = GetLastError();
        std::string reason = "cannot start ";
        reason.append(utf8(program.wstring())).append(" (error ").append(std::to_string(error));
        throw ScenarioAborted(reason + ")");
    }
    process_ = info.hProcess;
    thread_ = info.hThread;
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
    WaitForInputIdle(process_, 20000);
    waitUntil(
        [&] {
            for (const HWND window : topLevelWindows(processId_)) {
                if (className(window) == wizard::win32::formClassName) {
                    form_ = window;
                    return true;
                }
            }
            return false;
        },
        20000ms);
    if (form_ == nullptr) {
        std::string seen;
        for (const HWND window : topLevelWindows(processId_)) {
            seen.append(" ").append(utf8(className(window)));
            if (className(window) == L"#32770") {
                seen.append(" ").append(shown(readMessageBox(window).text));
            }
        }
        DWORD code = 0;
        const bool ended = WaitForSingleObject(process_, 0) == WAIT_OBJECT_0 &&
                           GetExitCodeProcess(process_, &code);
        std::string reason = "the wizard's window did not appear (";
        if (ended) {
            reason.append("the program ended with exit code ").append(std::to_string(code));
        } else {
            reason.append("the program is running; its windows:").append(seen);
        }
        throw ScenarioAborted(reason.append(")"));
    }
}

WizardProcess::~WizardProcess() {
    if (process_ != nullptr) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
    if (thread_ != nullptr) {
        CloseHandle(thread_);
    }
}

HWND WizardProcess::control(wizard::ControlId id) const {
    const int wanted = wizard::win32::controlIdOf(id);
    for (const HWND window : descendants(form_)) {
        if (GetDlgCtrlID(window) == wanted) {
            return window;
        }
    }
    throw ScenarioAborted("no control with identifier " + std::to_string(wanted));
}

bool WizardProcess::ownVisible(wizard::ControlId id) const {
    return (GetWindowLongPtrW(control(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

HWND WizardProcess::focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(threadId_, &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

std::optional<DWORD> WizardProcess::waitForExit(std::chrono::milliseconds timeout) const {
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

}  // namespace kq::e2e
