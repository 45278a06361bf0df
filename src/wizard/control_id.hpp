#pragma once
// The wizard window's controls by name, in the order they are created (each container before
// its children), so that an id is also the control's row in the layout table.

#include <cstddef>
#include <cstdint>

namespace kq::wizard {

// NOLINTBEGIN(readability-identifier-naming): the controls keep their names as the window knows
// them.
enum class ControlId : std::uint8_t {
    Frame2,    // the folder page
    getfile,   // "选择路径(&S)": opens the folder chooser
    Text1,     // the chosen folder, shown only
    File1,     // the files of the chosen folder
    Frame3,    // the work page
    List1,     // the script list; at the end, the completion line
    pg,        // the progress bar: the index of the script last converted
    Label6,    // "正在工作中……" in large type
    Picture2,  // the tall banner picture of the welcome and finish pages
    fish,      // the finish page
    Label9,    // "请点击“完成”退出"
    Label8,    // the closing message (or, after problems, what is left to do)
    Label7,    // "完成" in large type
    cancel,    // cancel on every page; "完成(&F)" (finish) on the finish page
    next1,     // next
    prev,      // back
    Frame1,    // the separator line above the buttons
    Picture1,  // the white heading strip of the folder and work pages
    info2,     // the sub-heading in Picture1
    info1,     // the bold heading in Picture1
    Image1,    // the small picture at the right end of Picture1
    Welcome,   // the welcome page
    Label4,    // the bold notice: back up first, the scripts are rewritten in place
    Label3,    // how to use the buttons
    Label2,    // what the wizard does
    Label1,    // the title
};
// NOLINTEND(readability-identifier-naming)

inline constexpr std::size_t controlCount = 26;

constexpr std::size_t indexOf(ControlId id) {
    return static_cast<std::size_t>(id);
}

}  // namespace kq::wizard
