#pragma once
// What each page of the wizard looks like from outside, and the layout table turned into the
// pixel boxes the window must have at a DPI.

#include <windows.h>

#include <string>
#include <string_view>

#include "checks.hpp"
#include "wizard/form_layout.hpp"
#include "wizard_process.hpp"

namespace kq::e2e {

enum class Page { welcome, folder, work, finish };

std::string_view pageName(Page page);

// The page's frame and banner are the only ones of their kind on screen, the separator is, and
// the buttons and the heading strip are as the page has them.
void checkPage(const WizardProcess& wizard, Page page, Checks& checks, std::string_view when);

// Waits until the page is on screen; false after `timeout`.
bool waitForPage(const WizardProcess& wizard, Page page,
                 std::chrono::milliseconds timeout = 30000ms);

// A control's box in its container at `dpi`, from the layout table.
RECT expectedBox(const wizard::ControlSpec& row, UINT dpi);

// The size of a one-line text in a layout font at `dpi`, as an auto-sized label takes it.
SIZE textExtent(std::wstring_view text, const wizard::FontSpec& font, UINT dpi);

// Every control's box against the layout table (auto-sized labels: their corner, and their size
// against their text). `when` names the moment in the report.
void checkBoxes(const WizardProcess& wizard, UINT dpi, Checks& checks, std::string_view when);

// The lines of a list box.
std::vector<std::wstring> listLines(HWND listBox);

}  // namespace kq::e2e
