#pragma once
// The bitmaps of the wizard window (the left banner and the heading strip's picture), loaded
// from the program's resources and drawn at the window's DPI.

#include <windows.h>

#include "unique_handle.hpp"
#include "wizard/form_layout.hpp"

namespace kq::wizard::win32 {

class Pictures {
  public:
    explicit Pictures(HINSTANCE instance);

    // Draws `picture` with its top-left corner at the origin of `dc`, at its own size scaled
    // from 96 DPI to `dpi`: the 96-DPI bitmap as it is at 100 %, otherwise the bitmap drawn at
    // twice the resolution, scaled with halftoning. Nothing for Picture::none.
    void draw(HDC dc, Picture picture, UINT dpi) const;

  private:
    UniqueHbitmap banner_;
    UniqueHbitmap banner2x_;
    UniqueHbitmap header_;
    UniqueHbitmap header2x_;
};

}  // namespace kq::wizard::win32
