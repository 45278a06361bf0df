#include "wizard_window.hpp"

#include <exception>
#include <string>
#include <system_error>

#include "child_window_ids.hpp"
#include "dpi.hpp"
#include "panel.hpp"
#include "resource_ids.h"
#include "texts/failure_text.hpp"
#include "texts/native_text.hpp"
#include "wizard/form_layout.hpp"
#include "wizard/wizard_texts.hpp"

namespace kq::wizard::win32 {

namespace {

constexpr DWORD formStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD formExStyle = WS_EX_CONTROLPARENT;

HICON programIcon(HINSTANCE instance, int metricX, int metricY) {
    // Shared: the system keeps the icon for the life of the module.
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(KQ_ICON_PROGRAM), IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY),
                                         LR_SHARED));
}

bool registerFormClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW formClass{};
    formClass.cbSize = sizeof formClass;
    formClass.lpfnWndProc = procedure;
    // A dialog class: the dialog manager keeps its state in these bytes, so Tab, the access
    // keys and the focus work as in a dialog box.
    formClass.cbWndExtra = DLGWINDOWEXTRA;
    formClass.hInstance = instance;
    formClass.hIcon = programIcon(instance, SM_CXICON, SM_CYICON);
    formClass.hIconSm = programIcon(instance, SM_CXSMICON, SM_CYSMICON);
    formClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);  // shared system cursor
    formClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    formClass.lpszClassName = formClassName;
    return RegisterClassExW(&formClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void showFailure(HWND owner, const std::wstring& text) {
    MessageBoxW(owner, text.c_str(), std::wstring(wizard::texts::applicationTitle).c_str(),
                MB_ICONERROR | MB_OK);
}

// Something the program did not foresee went wrong inside a handler (`failure`, or an exception
// of another kind when null): say so. Throws nothing: it runs where nothing may unwind.
void reportInternalFailure(HWND owner, const std::exception* failure) noexcept {
    try {
        showFailure(owner, std::wstring(wizard::texts::internalFailure) +
                               (failure != nullptr ? wideFromUtf8(failure->what())
                                                   : std::wstring(wizard::texts::unknownFailure)));
    } catch (...) {
        // No memory even for the message: the fixed words alone, straight from their literals.
        MessageBoxW(owner, wizard::texts::internalFailure.data(),
                    wizard::texts::applicationTitle.data(), MB_ICONERROR | MB_OK);
    }
}

// The system's error code and its words for it.
std::wstring systemReason(DWORD error) {
    return std::wstring(wizard::texts::systemErrorCode) + std::to_wstring(error) +
           std::wstring(wizard::texts::failureWords.systemOpening) +
           systemMessage(std::error_code(static_cast<int>(error), std::system_category())) +
           std::wstring(wizard::texts::failureWords.systemClosing);
}

}  // namespace

WizardWindow::WizardWindow(HINSTANCE instance) : instance_(instance), pictures_(instance) {
    if (!registerFormClass(instance, windowProc) || !registerPanelClass(instance)) {
        creationError_ = GetLastError();
        return;
    }
    const std::wstring title(wizard::texts::windowTitle);
    // The window stores itself in window_ when its first message arrives.
    CreateWindowExW(formExStyle, formClassName, title.c_str(), formStyle, 0, 0, 100, 100, nullptr,
                    nullptr, instance, this);
    if (!window_ || !controls_ || !controls_->complete()) {
        // onCreate keeps the error of a control that could not be made.
        creationError_ = creationError_ != ERROR_SUCCESS ? creationError_ : GetLastError();
        window_.reset();
        return;
    }
    const UINT dpi = windowDpi(window_.get());
    const SIZE size = outerSize(dpi);
    SetWindowPos(window_.get(), nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    controls_->applyDpi(dpi);
    centreOnScreen();

    view_.emplace(window_.get(), *controls_);
    platform_.emplace(window_.get());
    form_.emplace(*platform_, *view_);
}

int WizardWindow::run(int showCommand) {
    if (!window_) {
        showFailure(nullptr,
                    std::wstring(wizard::texts::windowNotCreated) + systemReason(creationError_));
        return 1;
    }
    ShowWindow(window_.get(), showCommand);
    UpdateWindow(window_.get());
    MSG message{};
    BOOL got = FALSE;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        // The dialog manager takes Tab, the arrow keys and the access keys.
        if (!window_ || !IsDialogMessageW(window_.get(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (!closing_) {
        // Not closed, yet the loop is over: the queue failed (the system says why), or the
        // window was destroyed or told to quit from outside. Say so rather than vanish.
        const DWORD error = GetLastError();
        showFailure(window_.get(), std::wstring(wizard::texts::windowEndedFromOutside) +
                                       (got < 0 ? systemReason(error) : std::wstring()));
        return 1;
    }
    return failed_ ? 1 : 0;
}

SIZE WizardWindow::outerSize(UINT dpi) const {
    const SIZE client{pixelsFromTwips(clientWidthTwips, dpi),
                      pixelsFromTwips(clientHeightTwips, dpi)};
    return windowSizeForClient(client, formStyle, formExStyle, dpi);
}

void WizardWindow::centreOnScreen() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(window_.get(), MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        return;
    }
    RECT frame{};
    GetWindowRect(window_.get(), &frame);
    const RECT& work = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = work.left + std::max(0L, (work.right - work.left - width) / 2);
    const int top = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    SetWindowPos(window_.get(), nullptr, left, top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK WizardWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<WizardWindow*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.reset(window);
    }
    auto* self = reinterpret_cast<WizardWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefDlgProcW(window, message, wParam, lParam);
    }
    // Nothing may unwind through the system's code that called this procedure, whatever its kind.
    try {
        return self->dispatch(window, message, wParam, lParam);
    } catch (const std::exception& failure) {
        self->endAfterFailure(window, &failure);
    } catch (...) {
        self->endAfterFailure(window, nullptr);
    }
    return 0;
}

void WizardWindow::endAfterFailure(HWND window, const std::exception* failure) noexcept {
    if (failed_) {
        return;  // a handler run while the failure's box is up failed too: one box, one end
    }
    failed_ = true;
    reportInternalFailure(window, failure);
    onClose();
}

LRESULT WizardWindow::dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return onCreate(window);
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_DPICHANGED:
            onDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CTLCOLORSTATIC:
            return onCtlColorStatic(wParam, lParam);
        case WM_SETCURSOR:
            if (onSetCursor(LOWORD(lParam))) {
                return TRUE;
            }
            break;
        case DM_GETDEFID:
            return 0;  // no default button: Enter presses nothing
        case WM_CLOSE:
            onClose();
            return 0;
        case WM_DESTROY:
            onDestroy();
            return 0;
        case WM_NCDESTROY:
            onNcDestroy();
            break;
        default:
            break;
    }
    return DefDlgProcW(window, message, wParam, lParam);
}

LRESULT WizardWindow::onCreate(HWND window) {
    controls_.emplace(window, instance_, pictures_);
    if (!controls_->complete()) {
        creationError_ = controls_->creationError();
        return -1;
    }
    return 0;
}

void WizardWindow::onCommand(int id, int code) {
    // Enter and Escape arrive as IDOK and IDCANCEL: the window has neither a default nor a
    // cancel button, so they do nothing. So does anything but a click on a live button.
    const std::optional<FormControl> control = controlOfChildWindow(id);
    if (!form_ || !control || code != BN_CLICKED || !IsWindowEnabled((*controls_)[*control])) {
        return;
    }
    switch (*control) {
        case FormControl::nextButton:
            form_->nextClick();
            break;
        case FormControl::backButton:
            form_->backClick();
            break;
        case FormControl::cancelButton:
            form_->cancelClick();
            break;
        case FormControl::chooseFolderButton:
            form_->chooseFolderClick();
            break;
        default:
            break;
    }
}

void WizardWindow::onDpiChanged(UINT dpi, const RECT& suggested) {
    const SIZE size = outerSize(dpi);
    SetWindowPos(window_.get(), nullptr, suggested.left, suggested.top, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    controls_->applyDpi(dpi);
}

LRESULT WizardWindow::onCtlColorStatic(WPARAM wParam, LPARAM lParam) {
    const HDC dc = reinterpret_cast<HDC>(wParam);
    const std::optional<FormControl> control =
        controlOfChildWindow(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
    if (control && controlSpec(*control).colours == Colours::white) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    return DefDlgProcW(window_.get(), WM_CTLCOLORSTATIC, wParam, lParam);
}

bool WizardWindow::onSetCursor(WORD hitTest) {
    if (hitTest == HTCLIENT && view_ && view_->pointer() == MousePointer::busy) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return true;
    }
    return false;
}

void WizardWindow::onClose() {
    // The close box ends the program like `cancel`: nothing is saved and nothing asks first.
    closing_ = true;
    DestroyWindow(window_.get());
}

void WizardWindow::onDestroy() {
    // A window that fails while it is made ends nothing: its failure is still to be shown, and a
    // quit message waiting in the queue would close that message box at once.
    if (form_) {
        PostQuitMessage(0);
    }
}

void WizardWindow::onNcDestroy() {
    // The system is destroying the window: the handle is no longer ours to destroy.
    static_cast<void>(window_.release());
}

}  // namespace kq::wizard::win32
