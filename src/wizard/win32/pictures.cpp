#include "pictures.hpp"

#include "dpi.hpp"
#include "resource_ids.h"

namespace kq::wizard::win32 {

namespace {

UniqueHbitmap loadBitmap(HINSTANCE instance, int id) {
    return UniqueHbitmap(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

SIZE bitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    return SIZE{info.bmWidth, info.bmHeight};
}

}  // namespace

Pictures::Pictures(HINSTANCE instance)
    : banner_(loadBitmap(instance, KQ_BITMAP_BANNER)),
      banner2x_(loadBitmap(instance, KQ_BITMAP_BANNER_2X)),
      header_(loadBitmap(instance, KQ_BITMAP_HEADER)),
      header2x_(loadBitmap(instance, KQ_BITMAP_HEADER_2X)) {}

void Pictures::draw(HDC dc, Picture picture, UINT dpi) const {
    if (picture == Picture::none) {
        return;
    }
    const bool natural = dpi == defaultDpi;
    const UniqueHbitmap& own = picture == Picture::banner ? banner_ : header_;
    const UniqueHbitmap& chosen =
        natural ? own : (picture == Picture::banner ? banner2x_ : header2x_);
    if (!own || !chosen) {
        return;
    }
    const UniqueMemoryDc source(CreateCompatibleDC(dc));
    if (!source) {
        return;
    }
    const SelectedObject selected(source.get(), chosen.get());
    const SIZE sourceSize = bitmapSize(chosen.get());
    if (natural) {
        BitBlt(dc, 0, 0, sourceSize.cx, sourceSize.cy, source.get(), 0, 0, SRCCOPY);
        return;
    }
    // The drawn size is the 96-DPI bitmap's own, scaled: the pictures' sizes are set where they
    // are drawn (tools/make_resources.py) and nowhere else.
    const SIZE size = bitmapSize(own.get());
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    POINT oldOrigin{};
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);  // HALFTONE needs the brush origin reset after the mode
    StretchBlt(dc, 0, 0, pixelsFromDefault(size.cx, dpi), pixelsFromDefault(size.cy, dpi),
               source.get(), 0, 0, sourceSize.cx, sourceSize.cy, SRCCOPY);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    SetStretchBltMode(dc, oldMode);
}

}  // namespace kq::wizard::win32
