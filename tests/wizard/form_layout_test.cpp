// The window at start: what is on screen and live, the tab order, the geometry, the colours and
// fonts, and the texts that name the host. Read from the form's state where the form keeps it,
// from the layout table where only the window layer uses it.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "page_check.hpp"
#include "wizard/form_layout.hpp"
#include "wizard/form_texts.hpp"
#include "wizard_fakes.hpp"

namespace kqtest {
namespace {

using namespace kq::wizard;

std::set<std::string> namesWhere(const Form1& form, bool (FormState::*property)(ControlId) const) {
    std::set<std::string> names;
    for (const ControlSpec& row : controls) {
        if ((form.state().*property)(row.id)) {
            names.emplace(row.name);
        }
    }
    return names;
}

TEST(FormAtStart, ShowsTheWelcomePageWithItsFourLabelsAndNothingElse) {
    Wizard wizard;
    expectPage(wizard.form, Page::welcome);
    const std::set<std::string> expected{"Welcome",  "Label1", "Label2", "Label3", "Label4",
                                         "Picture2", "Frame1", "prev",   "next1",  "cancel"};
    EXPECT_EQ(namesWhere(wizard.form, &FormState::onScreen), expected);
}

TEST(FormAtStart, OnlyPrevIsDisabled) {
    Wizard wizard;
    std::set<std::string> disabled;
    for (const ControlSpec& row : controls) {
        if (!wizard.form.state().enabled(row.id)) {
            disabled.emplace(row.name);
        }
    }
    EXPECT_EQ(disabled, std::set<std::string>{"prev"});
}

TEST(FormAtStart, ProgressBarRunsFromZeroToHundredAtZero) {
    Wizard wizard;
    const auto& progress = wizard.form.state().progress();
    EXPECT_EQ(progress.minimum, 0);
    EXPECT_EQ(progress.maximum, 100);
    EXPECT_EQ(progress.value, 0);
    EXPECT_TRUE(wizard.form.state().listLines().empty());
    EXPECT_TRUE(wizard.form.state().fileListFolder().empty());
    EXPECT_TRUE(wizard.form.folderPath().empty());
    EXPECT_EQ(wizard.form.state().pointer(), kq::MousePointer::normal);
}

TEST(FormLayout, TabOrderIsTheListedOneAndLeavesOutTheImage) {
    std::vector<const ControlSpec*> ordered;
    std::set<int> indexes;
    for (const ControlSpec& row : controls) {
        if (row.tabIndex) {
            ordered.push_back(&row);
            EXPECT_TRUE(indexes.insert(*row.tabIndex).second) << row.name << " shares its index";
        } else {
            EXPECT_EQ(row.id, ControlId::Image1) << row.name << " has no tab index";
        }
    }
    std::sort(ordered.begin(), ordered.end(), [](const ControlSpec* a, const ControlSpec* b) {
        return *a->tabIndex < *b->tabIndex;
    });
    std::vector<std::string> names;
    names.reserve(ordered.size());
    for (const ControlSpec* row : ordered) {
        names.emplace_back(row->name);
    }
    const std::vector<std::string> listed{"Welcome", "Picture1", "Picture2", "Frame1", "Label1",
                                          "Label2",  "Label3",   "prev",     "next1",  "cancel",
                                          "Label4",  "info1",    "info2",    "Frame2", "File1",
                                          "Text1",   "getfile",  "Frame3",   "Label6", "pg",
                                          "fish",    "Label7",   "Label8",   "Label9", "List1"};
    EXPECT_EQ(names, listed);
}

// The inner area of a container in twips at 96 dots per inch: its size less its border.
struct Area {
    int width;
    int height;
};

Area innerArea(const std::optional<ControlId>& container) {
    if (!container) {
        return {clientWidthTwips, clientHeightTwips};
    }
    const ControlSpec& row = controlSpec(*container);
    const int border = 2 * borderPixels(row.border) * twipsPerInch / 96;
    return {row.rect.width - border, row.rect.height - border};
}

TEST(FormLayout, EveryControlLiesInsideItsContainerButForTheKnownOverhangs) {
    // Frame2 is 105 twips wider than the window; having no border it loses nothing on screen.
    // File1 reaches 15 twips (one pixel) below Frame2, which cuts off its bottom edge.
    const std::set<std::string> knownOverhangs{"Frame2 right by 105", "File1 bottom by 15"};
    std::set<std::string> overhangs;
    for (const ControlSpec& row : controls) {
        const Area area = innerArea(row.container);
        EXPECT_GE(row.rect.left, 0) << row.name;
        EXPECT_GE(row.rect.top, 0) << row.name;
        EXPECT_GT(row.rect.width, 0) << row.name;
        EXPECT_GT(row.rect.height, 0) << row.name;
        if (row.rect.right() > area.width) {
            overhangs.insert(std::string(row.name) + " right by " +
                             std::to_string(row.rect.right() - area.width));
        }
        if (row.rect.bottom() > area.height) {
            overhangs.insert(std::string(row.name) + " bottom by " +
                             std::to_string(row.rect.bottom() - area.height));
        }
    }
    EXPECT_EQ(overhangs, knownOverhangs);
}

TEST(FormLayout, PagesFramesBannersSeparatorAndButtonsLieInTheWindow) {
    std::set<std::string> inWindow;
    for (const ControlSpec& row : controls) {
        if (!row.container) {
            inWindow.emplace(row.name);
        }
    }
    const std::set<std::string> expected{"Welcome",  "Frame2", "Frame3", "fish",  "Picture1",
                                         "Picture2", "Frame1", "prev",   "next1", "cancel"};
    EXPECT_EQ(inWindow, expected);
}

TEST(FormLayout, WhiteIsTheColourOfTheWhitePagesTheHeadingStripAndTheirLabels) {
    const std::set<ControlId> whiteContainers{ControlId::Welcome, ControlId::fish,
                                              ControlId::Picture1};
    for (const ControlSpec& row : controls) {
        const bool labelOnWhite = row.kind == ControlKind::label && row.container &&
                                  whiteContainers.contains(*row.container);
        const bool white = whiteContainers.contains(row.id) || labelOnWhite;
        EXPECT_EQ(row.colours == Colours::white, white) << row.name;
    }
}

TEST(FormLayout, FontsOfTheirOwnBelongToTheTitleTheNoticeAndTheHeadings) {
    struct OwnFont {
        ControlId control;
        std::wstring_view face;
        int pointsTimes100;
        bool bold;
    };
    const std::vector<OwnFont> ownFonts{
        {ControlId::Label1, L"楷体_GB2312", 1425, false},
        {ControlId::Label4, L"宋体", 900, true},
        {ControlId::Label6, L"宋体", 1500, false},
        {ControlId::Label7, L"楷体_GB2312", 2175, false},
        {ControlId::info1, L"宋体", 900, true},
    };
    for (const ControlSpec& row : controls) {
        SCOPED_TRACE(std::string(row.name));
        const auto own = std::find_if(ownFonts.begin(), ownFonts.end(),
                                      [&](const OwnFont& f) { return f.control == row.id; });
        if (own == ownFonts.end()) {
            EXPECT_TRUE(row.font.face.empty());
        } else {
            EXPECT_EQ(row.font.face, own->face);
            EXPECT_EQ(row.font.pointsTimes100, own->pointsTimes100);
            EXPECT_EQ(row.font.bold, own->bold);
        }
    }
    EXPECT_EQ(windowFont.face, L"宋体");
    EXPECT_EQ(windowFont.pointsTimes100, 900);
    EXPECT_FALSE(windowFont.bold);
}

TEST(FormLayout, PicturesAreSizedFromTheirBitmaps) {
    const ControlSpec& banner = controlSpec(ControlId::Picture2);
    EXPECT_EQ(banner.picture, Picture::banner);
    EXPECT_TRUE(banner.autoSize);
    // Auto-sized: the bitmap plus the sunken border on each side.
    EXPECT_EQ(twipsToPixels(banner.rect.width, 96),
              bannerBitmap.width + 2 * borderPixels(banner.border));
    EXPECT_EQ(twipsToPixels(banner.rect.height, 96),
              bannerBitmap.height + 2 * borderPixels(banner.border));
    const ControlSpec& image = controlSpec(ControlId::Image1);
    EXPECT_EQ(image.picture, Picture::headerImage);
    EXPECT_EQ(twipsToPixels(image.rect.width, 96), headerBitmap.width);
    EXPECT_EQ(twipsToPixels(image.rect.height, 96), headerBitmap.height);
}

TEST(FormLayout, TwipsBecomePixelsAtTheWindowsDpi) {
    struct Case {
        int twips;
        int dpi;
        int pixels;
    };
    for (const Case& c : std::vector<Case>{{7950, 96, 530},
                                           {5520, 96, 368},
                                           {7950, 144, 795},
                                           {5520, 192, 736},
                                           {105, 120, 9},     // 8.75
                                           {2535, 120, 211},  // 211.25
                                           {1215, 120, 101},  // 101.25
                                           {36, 120, 3},      // 3.0
                                           {6, 120, 1},       // 0.5 rounds up
                                           {0, 96, 0}}) {
        EXPECT_EQ(twipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
    }
}

TEST(FormTexts, TheHostIsNamedWhereTheWindowSaysWhoItConvertsFor) {
    Wizard wizard;
    const auto& state = wizard.form.state();
    const std::wstring host(texts::hostName);
    EXPECT_FALSE(host.empty());
    EXPECT_EQ(state.text(ControlId::Label1), L"\u6B22\u8FCE\u4F7F\u7528 KQ-" + host +
                                                 L"\u4EE3\u7801\u4FEE\u6539\u5668\u5411\u5BFC");
    EXPECT_EQ(state.text(ControlId::Label2),
              L"\u672C\u5411\u5BFC\u5C06\u5E26\u60A8\u4FEE\u6539KQ7100\u7684CGI\u6587\u4EF6\uFF0C"
              L"\u4EE5\u4FBF\u8FBE\u5230\u53EF\u4EE5\u5728" +
                  host + L"\u7684\u670D\u52A1\u5668\u4E0A\u4F7F\u7528\uFF01");
    EXPECT_EQ(state.text(ControlId::Label8),
              L"\u672C\u7A0B\u5E8F\u5DF2\u7ECF\u5B8C\u6210\u4E86\u6240\u6709\u5DE5\u4F5C\uFF0C"
              L"\u60A8\u53EF\u4EE5\u5728" +
                  host + L"\u670D\u52A1\u5668\u4E0A\u4F7F\u7528 KQ7100 II\u4E86\uFF01\uFF01\uFF01");
}

TEST(FormTexts, ApplicationAndWindowTitles) {
    const std::wstring host(texts::hostName);
    const std::wstring applicationTitle =
        L"Kq " + host + L"\u4EE3\u7801\u4FEE\u6539\u5668\u5411\u5BFC";
    EXPECT_EQ(texts::applicationTitle, applicationTitle);
    EXPECT_FALSE(texts::codeMaker.empty());
    EXPECT_FALSE(texts::interfaceMaker.empty());
    EXPECT_EQ(texts::windowTitle,
              applicationTitle + L" \u6E90\u4EE3\u7801\uFF1A" + std::wstring(texts::codeMaker) +
                  L"  \u754C\u9762\u4FEE\u6539\uFF1A" + std::wstring(texts::interfaceMaker));
}

// Typographic quotes, ellipses and full-width punctuation must come through the compiler as the
// characters they are; the expected texts are written as code points.
TEST(FormTexts, PunctuationArrivesAsTheIntendedCharacters) {
    Wizard wizard;
    const auto& state = wizard.form.state();
    EXPECT_EQ(state.text(ControlId::Label3),
              L"\u70B9\u51FB\u201C\u4E0B\u4E00\u6B65\u201D\u7EE7\u7EED\uFF0C\u70B9\u51FB\u201C"
              L"\u4E0A\u4E00\u6B65\u201D\u8FD4\u56DE\u4E0A\u4E00\u6B65\uFF0C\u70B9\u51FB\u201C"
              L"\u53D6\u6D88\u201D\u63A8\u51FA\u3002");
    EXPECT_EQ(state.text(ControlId::Label9),
              L"\u8BF7\u70B9\u51FB\u201C\u5B8C\u6210\u201D\u9000\u51FA");
    EXPECT_EQ(state.text(ControlId::Label6), L"\u6B63\u5728\u5DE5\u4F5C\u4E2D\u2026\u2026");
    EXPECT_EQ(state.text(ControlId::getfile), L"\u9009\u62E9\u8DEF\u5F84(&S)");
    EXPECT_EQ(texts::chooserTitle, L"\u8BF7\u9009\u62E9\u7F51\u7AD9\u7684\u6587\u4EF6\u5939\uFF01");
}

}  // namespace
}  // namespace kqtest
