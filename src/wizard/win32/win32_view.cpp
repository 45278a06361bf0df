#include "win32_view.hpp"

#include <commctrl.h>

#include <climits>
#include <cmath>
#include <string>

#include "texts/native_text.hpp"
#include "wizard/form_layout.hpp"

namespace kq::wizard::win32 {

namespace {

// The progress bar counts in whole numbers.
int barUnits(double value) {
    if (!(value > INT_MIN)) {
        return INT_MIN;
    }
    return value < INT_MAX ? static_cast<int>(std::lround(value)) : INT_MAX;
}

bool holdsFocus(HWND window) {
    const HWND focus = GetFocus();
    return focus != nullptr && (focus == window || IsChild(window, focus));
}

}  // namespace

void Win32View::setVisible(FormControl control, bool visible) {
    const HWND window = controls_[control];
    const bool hadFocus = !visible && holdsFocus(window);
    ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
    if (hadFocus) {
        keepFocusUsable();
    }
}

void Win32View::setEnabled(FormControl control, bool enabled) {
    const HWND window = controls_[control];
    const bool hadFocus = !enabled && holdsFocus(window);
    EnableWindow(window, enabled ? TRUE : FALSE);
    if (hadFocus) {
        keepFocusUsable();
    }
}

void Win32View::setText(FormControl control, std::wstring_view text) {
    SetWindowTextW(controls_[control], std::wstring(text).c_str());
    controls_.textChanged(control);
}

void Win32View::clearScriptList() {
    SendMessageW(controls_[FormControl::scriptList], LB_RESETCONTENT, 0, 0);
}

void Win32View::appendToScriptList(std::wstring_view line) {
    const std::wstring text(line);
    SendMessageW(controls_[FormControl::scriptList], LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32View::showFiles(const std::vector<NativePath>& names) {
    const HWND box = controls_[FormControl::fileList];
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    SendMessageW(box, LB_RESETCONTENT, 0, 0);
    for (const NativePath& entry : names) {
        const std::wstring name = wideFromPath(entry);
        SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(box, nullptr, TRUE);
}

void Win32View::setProgressMaximum(double maximum) {
    SendMessageW(controls_[FormControl::progressBar], PBM_SETRANGE32,
                 static_cast<WPARAM>(barUnits(progressAtStart.minimum)),
                 static_cast<LPARAM>(barUnits(maximum)));
}

void Win32View::setProgress(double value) {
    const HWND bar = controls_[FormControl::progressBar];
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(barUnits(value)), 0);
    // The conversion pass does not return to the message loop: paint the bar now.
    UpdateWindow(bar);
}

void Win32View::setPointer(MousePointer pointer) {
    pointer_ = pointer;
    SetCursor(LoadCursorW(nullptr, pointer == MousePointer::busy ? IDC_WAIT : IDC_ARROW));
    if (pointer == MousePointer::busy) {
        // The work page was just put up and the pass will not let the loop paint it.
        RedrawWindow(form_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

void Win32View::keepFocusUsable() const {
    if (const HWND next = GetNextDlgTabItem(form_, nullptr, FALSE); next != nullptr) {
        SendMessageW(form_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    }
}

}  // namespace kq::wizard::win32
