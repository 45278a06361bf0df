#pragma once
// The four pages of the wizard as the user sees them, and one check that the form shows a page.

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "wizard/form1.hpp"
#include "wizard_fakes.hpp"

namespace kqtest {

enum class Page { welcome, folder, work, finish };

struct Headings {
    std::wstring_view info1;
    std::wstring_view info2;
};

struct PageRow {
    Page page;
    const char* name;
    ControlId frame;
    ControlId banner;
    bool prevEnabled;
    bool next1Enabled;
    bool cancelEnabled;
    std::wstring_view cancelCaption;
    std::optional<Headings> headings;  // nothing: the heading strip is not on screen
};

// clang-format off
inline constexpr std::array<PageRow, 4> pageRows{{
    {Page::welcome, "welcome page", ControlId::Welcome, ControlId::Picture2, false, true,  true,  L"取消(&C)", std::nullopt},
    {Page::folder,  "folder page",  ControlId::Frame2,  ControlId::Picture1, true,  true,  true,  L"取消(&C)", Headings{L"选择路径", L"请选择CGI文件所在路径"}},
    {Page::work,    "work page",    ControlId::Frame3,  ControlId::Picture1, false, false, false, L"取消(&C)", Headings{L"工作状态", L"正在工作中……"}},
    {Page::finish,  "finish page",  ControlId::fish,    ControlId::Picture2, false, false, true,  L"完成(&F)", std::nullopt},
}};
// clang-format on

inline const PageRow& rowOf(Page page) {
    return pageRows[static_cast<std::size_t>(page)];
}

// Only the page's frame among the four page frames and only its banner among the two are
// visible, the separator is, and the buttons and the heading strip are as the page has them.
inline void expectPage(const kq::wizard::Form1& form, Page page) {
    const PageRow& row = rowOf(page);
    SCOPED_TRACE(std::string("expected the ") + row.name);
    const auto& state = form.state();
    for (const ControlId frame :
         {ControlId::Welcome, ControlId::Frame2, ControlId::Frame3, ControlId::fish}) {
        EXPECT_EQ(state.visible(frame), frame == row.frame) << nameOf(frame);
    }
    for (const ControlId banner : {ControlId::Picture1, ControlId::Picture2}) {
        EXPECT_EQ(state.visible(banner), banner == row.banner) << nameOf(banner);
    }
    EXPECT_TRUE(state.visible(ControlId::Frame1));
    EXPECT_EQ(state.enabled(ControlId::prev), row.prevEnabled);
    EXPECT_EQ(state.enabled(ControlId::next1), row.next1Enabled);
    EXPECT_EQ(state.enabled(ControlId::cancel), row.cancelEnabled);
    EXPECT_EQ(state.text(ControlId::cancel), row.cancelCaption);
    EXPECT_EQ(state.onScreen(ControlId::info1), row.headings.has_value());
    EXPECT_EQ(state.onScreen(ControlId::info2), row.headings.has_value());
    if (row.headings) {
        EXPECT_EQ(state.text(ControlId::info1), row.headings->info1);
        EXPECT_EQ(state.text(ControlId::info2), row.headings->info2);
    }
}

}  // namespace kqtest
