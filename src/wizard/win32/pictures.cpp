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
    const BitmapSpec& row = picture == Picture::banner ? bannerBitmap : headerBitmap;
    const bool natural = dpi == defaultDpi;
    const UniqueHbitmap& chosen = picture == Picture::banner ? (natural ? banner_ : banner2x_)
                                                             : (natural ? header_ : header2x_);
    if (!chosen) {
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
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    POINT oldOrigin{};
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);  // HALFTONE needs the brush origin reset after the mode
    StretchBlt(dc, 0, 0, pixelsFromDefault(row.width, dpi), pixelsFromDefault(row.height, dpi),
               source.get(), 0, 0, sourceSize.cx, sourceSize.cy, SRCCOPY);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    SetStretchBltMode(dc, oldMode);
}

}  // namespace kq::wizard::win32
