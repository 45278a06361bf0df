#include "page_checks.hpp"

#include <array>
#include <optional>

#include "wizard/wizard_texts.hpp"

namespace kq::e2e {

namespace {

using wizard::ControlId;

struct PageLook {
    Page page;
    std::string_view name;
    ControlId frame;
    ControlId banner;
    bool prevEnabled;
    bool next1Enabled;
    bool cancelEnabled;
    std::wstring_view cancelCaption;
    std::wstring_view info1;  // empty: the heading strip is not on screen
    std::wstring_view info2;
};

// clang-format off
constexpr std::array<PageLook, 4> pageLooks{{
    {Page::welcome, "welcome page", ControlId::Welcome, ControlId::Picture2, false, true,  true,  L"取消(&C)", L"",         L""},
    {Page::folder,  "folder page",  ControlId::Frame2,  ControlId::Picture1, true,  true,  true,  L"取消(&C)", L"选择路径", L"请选择CGI文件所在路径"},
    {Page::work,    "work page",    ControlId::Frame3,  ControlId::Picture1, false, false, false, L"取消(&C)", L"工作状态", L"正在工作中……"},
    {Page::finish,  "finish page",  ControlId::fish,    ControlId::Picture2, false, false, true,  L"完成(&F)", L"",         L""},
}};
// clang-format on

const PageLook& lookOf(Page page) {
    return pageLooks[static_cast<std::size_t>(page)];
}

constexpr std::array<ControlId, 4> pageFrames{ControlId::Welcome, ControlId::Frame2,
                                              ControlId::Frame3, ControlId::fish};
constexpr std::array<ControlId, 2> banners{ControlId::Picture1, ControlId::Picture2};

bool showsPage(const WizardProcess& wizard, const PageLook& look) {
    for (const ControlId frame : pageFrames) {
        if (wizard.visible(frame) != (frame == look.frame)) {
            return false;
        }
    }
    return wizard.enabled(ControlId::prev) == look.prevEnabled &&
           wizard.enabled(ControlId::next1) == look.next1Enabled &&
           wizard.enabled(ControlId::cancel) == look.cancelEnabled;
}

std::string label(std::string_view when, std::string_view what) {
    return std::string(when) + ": " + std::string(what);
}

}  // namespace

std::string_view pageName(Page page) {
    return lookOf(page).name;
}

void checkPage(const WizardProcess& wizard, Page page, Checks& checks, std::string_view when) {
    const PageLook& look = lookOf(page);
    const std::string prefix = std::string(when) + ", " + std::string(look.name);
    for (const ControlId frame : pageFrames) {
        const std::string name(wizard::controlSpec(frame).name);
        checks.expect(wizard.visible(frame) == (frame == look.frame),
                      label(prefix, name + (frame == look.frame ? " visible" : " hidden")));
    }
    for (const ControlId banner : banners) {
        const std::string name(wizard::controlSpec(banner).name);
        checks.expect(wizard.visible(banner) == (banner == look.banner),
                      label(prefix, name + (banner == look.banner ? " visible" : " hidden")));
    }
    checks.expect(wizard.visible(ControlId::Frame1), label(prefix, "separator Frame1 visible"));
    for (const ControlId button : {ControlId::prev, ControlId::next1, ControlId::cancel}) {
        checks.expect(wizard.visible(button),
                      label(prefix, std::string(wizard::controlSpec(button).name) + " visible"));
    }
    checks.expect(wizard.enabled(ControlId::prev) == look.prevEnabled,
                  label(prefix, look.prevEnabled ? "prev enabled" : "prev disabled"));
    checks.expect(wizard.enabled(ControlId::next1) == look.next1Enabled,
                  label(prefix, look.next1Enabled ? "next1 enabled" : "next1 disabled"));
    checks.expect(wizard.enabled(ControlId::cancel) == look.cancelEnabled,
                  label(prefix, look.cancelEnabled ? "cancel enabled" : "cancel disabled"));
    checks.equal(wizard.text(ControlId::cancel), look.cancelCaption,
                 label(prefix, "cancel caption"));
    checks.equal(wizard.text(ControlId::prev), wizard::texts::prev, label(prefix, "prev caption"));
    checks.equal(wizard.text(ControlId::next1), wizard::texts::next1,
                 label(prefix, "next1 caption"));
    if (!look.info1.empty()) {
        checks.equal(wizard.text(ControlId::info1), look.info1, label(prefix, "heading info1"));
        checks.equal(wizard.text(ControlId::info2), look.info2, label(prefix, "sub-heading info2"));
    }
}

bool waitForPage(const WizardProcess& wizard, Page page, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return showsPage(wizard, lookOf(page)); }, timeout);
}

RECT expectedBox(const wizard::ControlSpec& row, UINT dpi) {
    const auto px = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
    const int left = px(row.rect.left);
    const int top = px(row.rect.top);
    return RECT{left, top, left + px(row.rect.width), top + px(row.rect.height)};
}

SIZE textExtent(std::wstring_view text, const wizard::FontSpec& font, UINT dpi) {
    const wizard::FontSpec& row = font.face.empty() ? wizard::windowFont : font;
    LOGFONTW description{};
    description.lfHeight = -MulDiv(row.pointsTimes100, static_cast<int>(dpi), 7200);
    description.lfWeight = row.bold ? FW_BOLD : FW_NORMAL;
    description.lfCharSet = GB2312_CHARSET;
    row.face.copy(description.lfFaceName, std::min<std::size_t>(row.face.size(), LF_FACESIZE - 1));
    const HFONT handle = CreateFontIndirectW(&description);
    const HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, handle);
    RECT extent{};
    DrawTextW(screen, text.data(), static_cast<int>(text.size()), &extent,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_LEFT);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    DeleteObject(handle);
    return SIZE{extent.right - extent.left, extent.bottom - extent.top};
}

void checkBoxes(const WizardProcess& wizard, UINT dpi, Checks& checks, std::string_view when) {
    for (const wizard::ControlSpec& row : wizard::controls) {
        const HWND window = wizard.control(row.id);
        const std::string name = std::string(when) + ": " + std::string(row.name);
        const HWND container = row.container ? wizard.control(*row.container) : wizard.form();
        checks.expect(GetParent(window) == container, name + " lies in its container");
        const RECT box = rectInParent(window);
        const RECT expected = expectedBox(row, dpi);
        checks.withinOnePixel(box.left, expected.left, name + " left");
        checks.withinOnePixel(box.top, expected.top, name + " top");
        if (row.autoSize && row.kind == wizard::ControlKind::label) {
            const SIZE text = textExtent(windowText(window), row.font, dpi);
            checks.withinOnePixel(box.right - box.left, text.cx, name + " width fits its text");
            checks.withinOnePixel(box.bottom - box.top, text.cy, name + " height fits its text");
        } else {
            checks.withinOnePixel(box.right - box.left, expected.right - expected.left,
                                  name + " width");
            checks.withinOnePixel(box.bottom - box.top, expected.bottom - expected.top,
                                  name + " height");
        }
    }
}

std::vector<std::wstring> listLines(HWND listBox) {
    std::vector<std::wstring> lines;
    DWORD_PTR count = 0;
    SendMessageTimeoutW(listBox, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    for (DWORD_PTR i = 0; i<count&& static_cast<int>(count)> 0; ++i) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(listBox, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 5000, &length);
        std::wstring line(length + 1, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()),
                            SMTO_ABORTIFHUNG, 5000, &copied);
        line.resize(static_cast<int>(copied) >= 0 ? copied : 0);
        lines.push_back(line);
    }
    return lines;
}

}  // namespace kq::e2e
