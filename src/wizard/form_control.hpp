#pragma once
// The wizard window's controls as the logic knows them, by what each is, in the order they are
// created (each container before its children), so that a control is also its row in the layout
// table. The layout table gives each one's name in the form as well (form_layout.hpp).

#include <cstddef>
#include <cstdint>

namespace kq::wizard {

enum class FormControl : std::uint8_t {
    folderFrame,         // the folder page
    chooseFolderButton,  // "选择路径(&S)": opens the folder chooser
    folderField,         // the chosen folder, shown only
    fileList,            // the files of the chosen folder
    workFrame,           // the work page
    scriptList,          // the script list; at the end, the completion line
    progressBar,         // the index of the script last converted
    workingLabel,        // "正在工作中……" in large type
    leftBanner,          // the tall banner picture of the welcome and finish pages
    finishFrame,         // the finish page
    finishHint,          // "请点击“完成”退出"
    finishMessage,       // the closing message (or, after problems, what is left to do)
    finishTitle,         // "完成" in large type
    cancelButton,        // cancel on every page; "完成(&F)" (finish) on the finish page
    nextButton,          // next
    backButton,          // back
    separatorLine,       // the line above the buttons
    topBanner,           // the white heading strip of the folder and work pages
    subheading,          // the sub-heading in the top banner
    heading,             // the bold heading in the top banner
    topBannerPicture,    // the small picture at the right end of the top banner
    welcomeFrame,        // the welcome page
    backupNotice,        // the bold notice: back up first, the scripts are rewritten in place
    buttonsHint,         // how to use the buttons
    welcomeText,         // what the wizard does
    welcomeTitle,        // the title
};

inline constexpr std::size_t controlCount = 26;

constexpr std::size_t indexOf(FormControl control) {
    return static_cast<std::size_t>(control);
}

}  // namespace kq::wizard
