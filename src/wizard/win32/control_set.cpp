#include "control_set.hpp"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "child_window_ids.hpp"
#include "dpi.hpp"
#include "panel.hpp"
#include "wizard/form_layout.hpp"

namespace kq::wizard::win32 {

namespace {

struct WindowKind {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
    bool panel = false;  // the wizard's own class, which draws from the pictures
};

bool takesFocus(ControlKind kind) {
    switch (kind) {
        case ControlKind::button:
        case ControlKind::textBox:
        case ControlKind::listBox:
        case ControlKind::fileListBox:
        case ControlKind::pictureBox:
            return true;
        case ControlKind::frame:
        case ControlKind::label:
        case ControlKind::image:
        case ControlKind::progressBar:
            return false;
    }
    return false;
}

DWORD borderStyle(Border border) {
    return border == Border::flat ? WS_BORDER : 0;
}

DWORD borderExStyle(Border border) {
    return border == Border::sunken ? WS_EX_CLIENTEDGE : 0;
}

WindowKind windowKindOf(const ControlSpec& row) {
    switch (row.kind) {
        case ControlKind::frame:
            // A frame with a border draws its etched rectangle itself (the separator line).
            return {panelClassName, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, true};
        case ControlKind::label:
            // An auto-sized label is as wide as its one line, so it must never wrap.
            return {L"STATIC",
                    static_cast<DWORD>(row.autoSize ? SS_LEFTNOWORDWRAP : SS_LEFT) | SS_NOPREFIX,
                    0};
        case ControlKind::button:
            return {L"BUTTON", BS_PUSHBUTTON, 0};
        case ControlKind::textBox:
            return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL, borderExStyle(row.border)};
        case ControlKind::listBox:
        case ControlKind::fileListBox:
            // Not sorted: lines stay in the order they were added. No integral height: the box
            // keeps the height the layout gives it.
            return {L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL,
                    borderExStyle(row.border)};
        case ControlKind::pictureBox:
            return {panelClassName, WS_CLIPCHILDREN | borderStyle(row.border),
                    borderExStyle(row.border), true};
        case ControlKind::image:
            return {panelClassName, 0, 0, true};
        case ControlKind::progressBar:
            return {PROGRESS_CLASSW, 0, 0};
    }
    return {L"STATIC", 0, 0};
}

}  // namespace

ControlSet::ControlSet(HWND form, HINSTANCE instance, const Pictures& pictures) : form_(form) {
    for (const ControlSpec& row : controls) {
        const WindowKind kind = windowKindOf(row);
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kind.style;
        if (row.visible) {
            style |= WS_VISIBLE;
        }
        if (!row.enabled) {
            style |= WS_DISABLED;
        }
        if (row.tabIndex && takesFocus(row.kind)) {
            style |= WS_TABSTOP;
        }
        const HWND parent = row.container ? (*this)[*row.container] : form_;
        const std::wstring text(row.text);
        windows_[indexOf(row.control)] = CreateWindowExW(
            kind.exStyle, kind.className, text.c_str(), style, 0, 0, 0, 0, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(childWindowIdOf(row.control))), instance,
            // Panels draw from the pictures and only read them.
            kind.panel ? const_cast<Pictures*>(&pictures) : nullptr);
        if (windows_[indexOf(row.control)] == nullptr && creationError_ == ERROR_SUCCESS) {
            creationError_ = GetLastError();
        }
        if (row.kind == ControlKind::progressBar) {
            SendMessageW((*this)[row.control], PBM_SETRANGE32,
                         static_cast<WPARAM>(progressAtStart.minimum),
                         static_cast<LPARAM>(progressAtStart.maximum));
            SendMessageW((*this)[row.control], PBM_SETPOS,
                         static_cast<WPARAM>(progressAtStart.value), 0);
        }
    }
    stackInTabOrder();
}

bool ControlSet::complete() const {
    return std::all_of(windows_.begin(), windows_.end(), [](HWND w) { return w != nullptr; });
}

// Siblings are stacked by tab index, so that the dialog manager's Tab follows it, with labels
// and the image at the bottom: drawn beneath everything else in their container.
void ControlSet::stackInTabOrder() const {
    std::vector<std::optional<FormControl>> containers{std::nullopt};
    for (const ControlSpec& row : controls) {
        if (row.kind == ControlKind::frame || row.kind == ControlKind::pictureBox) {
            containers.push_back(row.control);
        }
    }
    for (const std::optional<FormControl>& container : containers) {
        std::vector<const ControlSpec*> children;
        for (const ControlSpec& row : controls) {
            if (row.container == container) {
                children.push_back(&row);
            }
        }
        std::stable_sort(
            children.begin(), children.end(), [](const ControlSpec* a, const ControlSpec* b) {
                const auto key = [](const ControlSpec* s) {
                    return std::pair{drawnBeneathSiblings(s->kind), s->tabIndex.value_or(INT_MAX)};
                };
                return key(a) < key(b);
            });
        HWND above = HWND_TOP;
        for (const ControlSpec* child : children) {
            const HWND window = (*this)[child->control];
            SetWindowPos(window, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            above = window;
        }
    }
}

void ControlSet::applyDpi(UINT dpi) {
    dpi_ = dpi;
    fonts_.emplace(form_, dpi);
    for (const ControlSpec& row : controls) {
        place(row.control);
    }
    InvalidateRect(form_, nullptr, TRUE);
}

void ControlSet::textChanged(FormControl control) {
    if (controlSpec(control).kind == ControlKind::label) {
        place(control);
    }
}

namespace {

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The size `text` takes in `font`: on one line, or in lines of at most `width` pixels, as the
// static control breaks them.
SIZE textExtent(HWND window, HFONT font, const std::wstring& text, int width, bool oneLine) {
    const WindowDc dc(window);
    const SelectedObject selected(dc.get(), font);
    RECT extent{0, 0, width, 0};
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent,
              DT_CALCRECT | DT_NOPREFIX | DT_LEFT | DT_EXPANDTABS |
                  (oneLine ? DT_SINGLELINE : DT_WORDBREAK));
    return {extent.right - extent.left, extent.bottom - extent.top};
}

constexpr int smallestLabelPoints = 900;  // hundredths of a point
constexpr int labelPointsStep = 25;

}  // namespace

void ControlSet::place(FormControl control) {
    const ControlSpec& row = controlSpec(control);
    const HWND window = (*this)[control];
    if (window == nullptr || !fonts_) {
        return;
    }
    FontSpec wanted = row.font.face.empty() ? windowFont : row.font;
    HFONT font = fonts_->fontFor(wanted);
    int width = pixelsFromTwips(row.rect.width, dpi_);
    int height = pixelsFromTwips(row.rect.height, dpi_);
    if (row.kind == ControlKind::label && row.autoSize) {
        const SIZE extent = textExtent(window, font, windowText(window), 0, true);
        width = extent.cx;
        height = extent.cy;
    } else if (row.kind == ControlKind::label) {
        // A host name longer than the design's takes room the box does not have: the largest size
        // of the face at which the text fits, on one line for the title if any size allows.
        const std::wstring text = windowText(window);
        const auto largestFitting = [&](bool oneLine) -> std::optional<int> {
            FontSpec smaller = wanted;
            for (; smaller.pointsTimes100 >= smallestLabelPoints;
                 smaller.pointsTimes100 -= labelPointsStep) {
                const SIZE extent =
                    textExtent(window, fonts_->fontFor(smaller), text, width, oneLine);
                if (extent.cx <= width && extent.cy <= height) {
                    return smaller.pointsTimes100;
                }
            }
            return std::nullopt;
        };
        std::optional<int> points;
        if (control == FormControl::welcomeTitle) {
            points = largestFitting(true);
        }
        if (!points) {
            points = largestFitting(false);
        }
        wanted.pointsTimes100 =
            points.value_or(std::min(wanted.pointsTimes100, smallestLabelPoints));
        font = fonts_->fontFor(wanted);
    }
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowPos(window, nullptr, pixelsFromTwips(row.rect.left, dpi_),
                 pixelsFromTwips(row.rect.top, dpi_), width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
}

}  // namespace kq::wizard::win32
