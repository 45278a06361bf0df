#pragma once
// The fonts of the wizard window at one DPI: the window's own font and every font the layout
// table names, each created once and owned here.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "unique_handle.hpp"
#include "wizard/form_layout.hpp"

namespace kq::wizard::win32 {

// The face to ask GDI for: `face` when it is installed, else the first installed alternative
// name of the same typeface (楷体_GB2312 is 楷体 or KaiTi on newer systems), else `face` as
// given. GDI would otherwise substitute an unrelated face without a word.
std::wstring installedFace(HDC dc, std::wstring_view face);

class FontSet {
  public:
    // `window` is only used to reach a device context for the face look-ups.
    FontSet(HWND window, UINT dpi);

    // The font for a control: its own, or the window's when the table gives it none; one of
    // another size is made when first asked for. Borrowed: valid as long as this set.
    HFONT fontFor(const FontSpec& row);

  private:
    struct Entry {
        FontSpec row;
        UniqueHfont font;
    };

    HWND window_;  // borrowed: for a device context to look faces up in
    UINT dpi_;
    std::vector<Entry> fonts_;
};

}  // namespace kq::wizard::win32
