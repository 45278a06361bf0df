#include "font_set.hpp"

#include <algorithm>
#include <array>

#include "dpi.hpp"

namespace kq::wizard::win32 {

namespace {

struct FaceAlternatives {
    std::wstring_view face;
    std::array<std::wstring_view, 3> names;  // in order of preference
};

// The Chinese faces of the layout under the names different systems install them by.
constexpr std::array<FaceAlternatives, 2> faceAlternatives{{
    {texts::kaiFace, texts::kaiFaceNames},
    {texts::songFace, texts::songFaceNames},
}};

int CALLBACK noteFamilyFound(const LOGFONTW* /*font*/, const TEXTMETRICW* /*metrics*/,
                             DWORD /*type*/, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

bool faceInstalled(HDC dc, std::wstring_view face) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    if (face.size() >= LF_FACESIZE) {
        return false;
    }
    face.copy(query.lfFaceName, face.size());
    bool found = false;
    EnumFontFamiliesExW(dc, &query, noteFamilyFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

bool sameSpec(const FontSpec& a, const FontSpec& b) {
    return a.face == b.face && a.pointsTimes100 == b.pointsTimes100 && a.bold == b.bold;
}

UniqueHfont createFont(HDC dc, const FontSpec& row, UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = fontHeight(row.pointsTimes100, dpi);
    font.lfWeight = row.bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = GB2312_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = installedFace(dc, row.face);
    face.copy(font.lfFaceName, std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
    return UniqueHfont(CreateFontIndirectW(&font));
}

}  // namespace

std::wstring installedFace(HDC dc, std::wstring_view face) {
    for (const FaceAlternatives& alternatives : faceAlternatives) {
        if (alternatives.face != face) {
            continue;
        }
        for (const std::wstring_view name : alternatives.names) {
            if (faceInstalled(dc, name)) {
                return std::wstring(name);
            }
        }
    }
    return std::wstring(face);
}

FontSet::FontSet(HWND window, UINT dpi) : window_(window), dpi_(dpi) {
    fontFor(windowFont);
    for (const ControlSpec& control : controls) {
        fontFor(control.font);
    }
}

HFONT FontSet::fontFor(const FontSpec& row) {
    const FontSpec& wanted = row.face.empty() ? windowFont : row;
    for (const Entry& entry : fonts_) {
        if (sameSpec(entry.row, wanted)) {
            return entry.font.get();
        }
    }
    const WindowDc dc(window_);
    fonts_.push_back(Entry{wanted, createFont(dc.get(), wanted, dpi_)});
    return fonts_.back().font.get();
}

}  // namespace kq::wizard::win32
