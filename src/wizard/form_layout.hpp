#pragma once
// The wizard window's controls as data, in creation order: the name each has in the form (the one
// place where those names appear, so that each control can be found from the other), kind,
// container, initial text, position and size in twips, initial state, tab index, font, colours,
// border and picture. The window layer creates the real controls from this table alone, and the
// logic takes its initial state from it; no control is placed anywhere else.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "form_control.hpp"
#include "wizard_texts.hpp"

namespace kq::wizard {

enum class ControlKind : std::uint8_t {
    frame,        // container without caption
    label,        // static text, left-aligned, wrapped within its width
    button,       // push button; "&" marks the access key
    textBox,      // single-line editable text
    listBox,      // single selection, lines kept in the order added
    fileListBox,  // the ordinary files of one folder
    pictureBox,   // container with background, border and an optional bitmap at its top left
    image,        // bitmap at its natural size, no border or background
    progressBar,  // horizontal, filled from the left
};

// White: the system's window-background colour behind window-text colour. Standard: the
// system's colours for the kind (button face for frames, labels, buttons and picture boxes;
// window colours for the text box and the list boxes).
enum class Colours : std::uint8_t { standard, white };

enum class Border : std::uint8_t {
    none,
    etched,  // the frame's etched rectangle
    flat,    // one pixel
    sunken,  // two pixels
};

enum class Picture : std::uint8_t { none, banner, headerImage };

// Twips: 1/1440 inch, 15 to a pixel at 96 dots per inch. Left and top are measured from the
// top-left corner of the container's inner area (inside its border).
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;

    constexpr int right() const { return left + width; }
    constexpr int bottom() const { return top + height; }
};

// Every font has the Chinese GB2312 character set. An empty face means the window's font.
struct FontSpec {
    std::wstring_view face;
    int pointsTimes100;
    bool bold;
};

struct ControlSpec {
    std::string_view formName;  // the control's name in the form
    FormControl control;
    ControlKind kind;
    std::optional<FormControl> container;  // nothing: directly in the window
    std::wstring_view text;                // caption, label text or initial text; empty for none
    TwipsRect rect;
    bool visible;  // its own visibility: a child of a hidden container is off screen
    bool enabled;
    std::optional<int> tabIndex;  // nothing: takes no place in the tab order
    FontSpec font;
    Colours colours;
    Border border;
    Picture picture;
    bool autoSize;  // picture box: fits its bitmap; label: fits its text
};

// --- The window ---

inline constexpr int clientWidthTwips = 7950;
inline constexpr int clientHeightTwips = 5520;
inline constexpr int twipsPerInch = 1440;

// The font of every control without one of its own; the same face and size as the bold headings.
inline constexpr FontSpec windowFont{texts::songFace, 900, false};

// The progress bar at start.
struct ProgressState {
    double minimum;
    double maximum;
    double value;
};
inline constexpr ProgressState progressAtStart{0, 100, 0};

// Labels and the image are drawn beneath the other controls of their container, whatever the
// creation order (the working label lies partly under the progress bar and the script list).
constexpr bool drawnBeneathSiblings(ControlKind kind) {
    return kind == ControlKind::label || kind == ControlKind::image;
}

// --- The controls ---

namespace layout_detail {

inline constexpr std::optional<FormControl> window = std::nullopt;
inline constexpr FontSpec ownFont{};  // the window's font
inline constexpr FontSpec kaiti1425{texts::kaiFace, 1425, false};
inline constexpr FontSpec kaiti2175{texts::kaiFace, 2175, false};
inline constexpr FontSpec song900Bold{texts::songFace, 900, true};
inline constexpr FontSpec song1500{texts::songFace, 1500, false};

using K = ControlKind;
using C = Colours;
using B = Border;
using P = Picture;
using I = FormControl;

}  // namespace layout_detail

// clang-format off
inline constexpr std::array<ControlSpec, controlCount> controls = [] {
    using namespace layout_detail;
    return std::array<ControlSpec, controlCount>{{
    // formName  control                kind            container        text                          Left  Top   Width Height  visible  enabled  tab  font         colours      border     picture         autoSize
    {"Frame2",   I::folderFrame,        K::frame,       window,          L"",                          {0,    1080, 8055, 3735}, false,   true,    13,  ownFont,     C::standard, B::none,   P::none,        false},
    {"getfile",  I::chooseFolderButton, K::button,      I::folderFrame,  texts::chooseFolderCaption,   {6600, 120,  1335, 255},  true,    true,    16,  ownFont,     C::standard, B::none,   P::none,        false},
    {"Text1",    I::folderField,        K::textBox,     I::folderFrame,  L"",                          {0,    120,  6615, 270},  true,    true,    15,  ownFont,     C::standard, B::sunken, P::none,        false},
    {"File1",    I::fileList,           K::fileListBox, I::folderFrame,  L"",                          {0,    600,  7575, 3150}, true,    true,    14,  ownFont,     C::standard, B::sunken, P::none,        false},
    {"Frame3",   I::workFrame,          K::frame,       window,          L"",                          {0,    1080, 7815, 3735}, false,   true,    17,  ownFont,     C::standard, B::none,   P::none,        false},
    {"List1",    I::scriptList,         K::listBox,     I::workFrame,    L"",                          {240,  840,  7455, 2760}, true,    true,    25,  ownFont,     C::standard, B::sunken, P::none,        false},
    {"pg",       I::progressBar,        K::progressBar, I::workFrame,    L"",                          {240,  480,  7455, 255},  true,    true,    20,  ownFont,     C::standard, B::none,   P::none,        false},
    {"Label6",   I::workingLabel,       K::label,       I::workFrame,    texts::workingText,           {240,  120,  7455, 1215}, true,    true,    19,  song1500,    C::standard, B::none,   P::none,        false},
    {"Picture2", I::leftBanner,         K::pictureBox,  window,          L"",                          {0,    0,    2520, 4770}, true,    true,    2,   ownFont,     C::standard, B::sunken, P::banner,      true},
    {"fish",     I::finishFrame,        K::frame,       window,          L"",                          {2520, 0,    5415, 4815}, false,   true,    21,  ownFont,     C::white,    B::none,   P::none,        false},
    {"Label9",   I::finishHint,         K::label,       I::finishFrame,  texts::finishHint,            {120,  4320, 4695, 255},  true,    true,    24,  ownFont,     C::white,    B::none,   P::none,        false},
    {"Label8",   I::finishMessage,      K::label,       I::finishFrame,  texts::finishMessage,         {120,  840,  5175, 615},  true,    true,    23,  ownFont,     C::white,    B::none,   P::none,        false},
    {"Label7",   I::finishTitle,        K::label,       I::finishFrame,  texts::finishTitle,           {120,  120,  2535, 495},  true,    true,    22,  kaiti2175,   C::white,    B::none,   P::none,        false},
    {"cancel",   I::cancelButton,       K::button,      window,          texts::cancelCaption,         {6600, 5040, 1215, 375},  true,    true,    9,   ownFont,     C::standard, B::none,   P::none,        false},
    {"next1",    I::nextButton,         K::button,      window,          texts::nextCaption,           {4320, 5040, 1215, 375},  true,    true,    8,   ownFont,     C::standard, B::none,   P::none,        false},
    {"prev",     I::backButton,         K::button,      window,          texts::backCaption,           {3000, 5040, 1215, 375},  true,    false,   7,   ownFont,     C::standard, B::none,   P::none,        false},
    {"Frame1",   I::separatorLine,      K::frame,       window,          L"",                          {0,    4800, 7815, 135},  true,    true,    3,   ownFont,     C::standard, B::etched, P::none,        false},
    {"Picture1", I::topBanner,          K::pictureBox,  window,          L"",                          {0,    0,    7935, 975},  false,   true,    1,   ownFont,     C::white,    B::flat,   P::none,        false},
    {"info2",    I::subheading,         K::label,       I::topBanner,    texts::subheadingPlaceholder, {360,  360,  450,  180},  true,    true,    12,  ownFont,     C::white,    B::none,   P::none,        true},
    {"info1",    I::heading,            K::label,       I::topBanner,    texts::headingPlaceholder,    {120,  120,  510,  180},  true,    true,    11,  song900Bold, C::white,    B::none,   P::none,        true},
    {"Image1",   I::topBannerPicture,   K::image,       I::topBanner,    L"",                          {6960, 75,   825,  825},  true,    true,    {},  ownFont,     C::standard, B::none,   P::headerImage, false},
    {"Welcome",  I::welcomeFrame,       K::frame,       window,          L"",                          {2520, 0,    5415, 4695}, true,    true,    0,   ownFont,     C::white,    B::none,   P::none,        false},
    {"Label4",   I::backupNotice,       K::label,       I::welcomeFrame, texts::backupNotice,          {240,  3840, 4815, 615},  true,    true,    10,  song900Bold, C::white,    B::none,   P::none,        false},
    {"Label3",   I::buttonsHint,        K::label,       I::welcomeFrame, texts::buttonsHint,           {240,  1440, 4455, 615},  true,    true,    6,   ownFont,     C::white,    B::none,   P::none,        false},
    {"Label2",   I::welcomeText,        K::label,       I::welcomeFrame, texts::welcomeText,           {240,  720,  4815, 735},  true,    true,    5,   ownFont,     C::white,    B::none,   P::none,        false},
    {"Label1",   I::welcomeTitle,       K::label,       I::welcomeFrame, texts::welcomeTitle,          {120,  120,  5055, 495},  true,    true,    4,   kaiti1425,   C::white,    B::none,   P::none,        false},
    }};
}();
// clang-format on

constexpr const ControlSpec& controlSpec(FormControl id) {
    return controls[indexOf(id)];
}

// Every row sits at its control's place, and every container is a frame or picture box created
// before its children.
constexpr bool tableIsConsistent() {
    for (std::size_t row = 0; row < controls.size(); ++row) {
        if (indexOf(controls[row].control) != row) {
            return false;
        }
        if (const auto container = controls[row].container) {
            const ControlKind kind = controlSpec(*container).kind;
            if (indexOf(*container) >= row ||
                (kind != ControlKind::frame && kind != ControlKind::pictureBox)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(tableIsConsistent(),
              "layout rows out of order or in a container that cannot hold them");

}  // namespace kq::wizard
