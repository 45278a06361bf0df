#include "panel.hpp"

#include "child_window_ids.hpp"
#include "dpi.hpp"
#include "pictures.hpp"
#include "wizard/form_layout.hpp"

namespace kq::wizard::win32 {

namespace {

const ControlSpec* specOf(HWND panel) {
    const auto control = controlOfChildWindow(GetDlgCtrlID(panel));
    return control ? &controlSpec(*control) : nullptr;
}

// The Pictures this panel draws from, handed over in CreateWindowExW's parameter; borrowed.
const Pictures* picturesOf(HWND panel) {
    return reinterpret_cast<const Pictures*>(GetWindowLongPtrW(panel, GWLP_USERDATA));
}

LRESULT onNcCreate(HWND panel, const CREATESTRUCTW& create) {
    SetWindowLongPtrW(panel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create.lpCreateParams));
    return TRUE;
}

LRESULT onEraseBackground(HWND panel, HDC dc) {
    const ControlSpec* row = specOf(panel);
    const bool white = row != nullptr && row->colours == Colours::white;
    RECT client{};
    GetClientRect(panel, &client);
    FillRect(dc, &client, GetSysColorBrush(white ? COLOR_WINDOW : COLOR_BTNFACE));
    return TRUE;
}

void onPaint(HWND panel) {
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(panel, &paint);
    const ControlSpec* row = specOf(panel);
    const Pictures* pictures = picturesOf(panel);
    if (dc != nullptr && row != nullptr) {
        if (row->kind == ControlKind::frame && row->border == Border::etched) {
            RECT client{};
            GetClientRect(panel, &client);
            DrawEdge(dc, &client, EDGE_ETCHED, BF_RECT);
        }
        if (pictures != nullptr) {
            pictures->draw(dc, row->picture, windowDpi(panel));
        }
    }
    EndPaint(panel, &paint);
}

// Notifications of the panel's children belong to the top-level window.
LRESULT forwardToForm(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(GetAncestor(panel, GA_ROOT), message, wParam, lParam);
}

LRESULT CALLBACK panelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE:
            onNcCreate(panel, *reinterpret_cast<const CREATESTRUCTW*>(lParam));
            break;
        case WM_ERASEBKGND:
            return onEraseBackground(panel, reinterpret_cast<HDC>(wParam));
        case WM_PAINT:
            onPaint(panel);
            return 0;
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            return forwardToForm(panel, message, wParam, lParam);
        default:
            break;
    }
    return DefWindowProcW(panel, message, wParam, lParam);
}

}  // namespace

bool registerPanelClass(HINSTANCE instance) {
    WNDCLASSEXW panelClass{};
    panelClass.cbSize = sizeof panelClass;
    panelClass.style = CS_HREDRAW | CS_VREDRAW;
    panelClass.lpfnWndProc = panelProc;
    panelClass.hInstance = instance;
    panelClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);  // shared system cursor
    panelClass.lpszClassName = panelClassName;
    return RegisterClassExW(&panelClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace kq::wizard::win32
