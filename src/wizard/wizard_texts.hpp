#pragma once
// Every text the wizard shows, exactly as the user sees it: the window's controls, the message
// boxes and the reasons given for a script that was not converted (those it shares with
// kqconvert are written once, in texts/shared_texts.hpp). The host's domain name comes from
// the build (CMake cache variable KQ_HOST_NAME, handed in as a wide string literal).

#include <array>
#include <string_view>

#include "texts/shared_texts.hpp"

#ifndef KQ_HOST_NAME
#error "KQ_HOST_NAME must be defined by the build as a wide string literal"
#endif

// Literal pieces that longer texts are joined from at compile time.
// NOLINTBEGIN(cppcoreguidelines-macro-usage): only macros concatenate literals before compiling.
#define KQ_WIZARD_APPLICATION_TITLE L"Kq " KQ_HOST_NAME L"代码修改器向导"
#define KQ_WIZARD_CODE_MAKER L"kqwizard 开发组"
#define KQ_WIZARD_INTERFACE_MAKER L"kqwizard 界面组"
// NOLINTEND(cppcoreguidelines-macro-usage)

namespace kq::wizard::texts {

// The caption of every message box and the start of the window title.
inline constexpr std::wstring_view applicationTitle = KQ_WIZARD_APPLICATION_TITLE;
inline constexpr std::wstring_view windowTitle = KQ_WIZARD_APPLICATION_TITLE
    L" 源代码：" KQ_WIZARD_CODE_MAKER L"  界面修改：" KQ_WIZARD_INTERFACE_MAKER;

// The two font faces of the layout, and the names different systems install them by, in order
// of preference.
inline constexpr std::wstring_view songFace = L"宋体";
inline constexpr std::wstring_view kaiFace = L"楷体_GB2312";
inline constexpr std::array<std::wstring_view, 3> songFaceNames{songFace, L"SimSun", L"NSimSun"};
inline constexpr std::array<std::wstring_view, 3> kaiFaceNames{kaiFace, L"楷体", L"KaiTi"};

// The welcome page.
inline constexpr std::wstring_view welcomeTitle = L"欢迎使用 KQ-" KQ_HOST_NAME L"代码修改器向导";
inline constexpr std::wstring_view welcomeText =
    L"本向导将带您修改KQ7100的CGI文件，以便达到可以在" KQ_HOST_NAME L"的服务器上使用！";
inline constexpr std::wstring_view buttonsHint =
    L"点击“下一步”继续，点击“上一步”返回上一步，点击“取消”退出。";
// The scripts are rewritten in place and the wizard keeps no backup: say so before anything runs.
inline constexpr std::wstring_view backupNotice =
    L"注意：CGI 文件将被直接改写。请先停止网站服务器，备份网站文件夹，并在副本上操作。";

// The folder page.
inline constexpr std::wstring_view chooseFolderCaption = L"选择路径(&S)";
inline constexpr std::wstring_view folderHeading = L"选择路径";
inline constexpr std::wstring_view folderSubheading = L"请选择CGI文件所在路径";
inline constexpr std::wstring_view chooserTitle = L"请选择网站的文件夹！";

// The work page.
inline constexpr std::wstring_view workingText = L"正在工作中……";
inline constexpr std::wstring_view workHeading = L"工作状态";
inline constexpr std::wstring_view workSubheading = L"正在工作中……";

// The top banner's placeholders, replaced before the banner is first shown.
inline constexpr std::wstring_view headingPlaceholder = L"信息1";
inline constexpr std::wstring_view subheadingPlaceholder = L"信息2";

// The finish page.
inline constexpr std::wstring_view finishTitle = L"完成";
inline constexpr std::wstring_view finishMessage =
    L"本程序已经完成了所有工作，您可以在" KQ_HOST_NAME L"服务器上使用 KQ7100 II了！！！";
// The finish message after a run in which some scripts failed: never claim that all work was done.
inline constexpr std::wstring_view finishMessageAfterProblems =
    L"刚才列出的CGI文件没有修改成功或需要手工检查，请先处理这些文件，再"
    L"在" KQ_HOST_NAME L"服务器上使用 KQ7100 II。";
inline constexpr std::wstring_view finishHint = L"请点击“完成”退出";

// Buttons.
inline constexpr std::wstring_view backCaption = L"< 上一步(&P)";
inline constexpr std::wstring_view nextCaption = L"下一步(&N) >";
inline constexpr std::wstring_view cancelCaption = L"取消(&C)";
inline constexpr std::wstring_view finishCaption = L"完成(&F)";

// The checks before the conversion: no folder chosen, no script in the folder.
using kq::texts::noFolderMessage;
using kq::texts::noScriptMessage;
// Another run (a second wizard, or kqconvert) is converting the chosen folder.
inline constexpr std::wstring_view folderBusyMessage =
    L"这个文件夹正在被另一个转换程序修改，本次没有改动任何文件。请等它结束后再试。";
// The script list's only line once the conversion is done.
inline constexpr std::wstring_view completionLine = L"全部完成：100%";

// The message box after a run with failures: this line, then one line per script.
inline constexpr std::wstring_view problemsIntro = L"以下 CGI 文件没有修改成功或需要手工检查：";
// Why a script was not converted or needs a check, in the same words as kqconvert's.
using kq::texts::failureWords;

// What the program does not foresee, each of which ends it: the window cannot be made; the
// window ends without being closed (its message queue fails, or it is destroyed or told to quit
// from outside); the system's error code and words follow where the system gives them. Or a
// handler meets an unexpected error (its description follows).
inline constexpr std::wstring_view windowNotCreated = L"无法创建向导窗口。";
inline constexpr std::wstring_view windowEndedFromOutside =
    L"向导窗口没有经过“取消”或“完成”就被系统结束了，程序将退出。";
inline constexpr std::wstring_view systemErrorCode = L"系统错误代码 ";
inline constexpr std::wstring_view internalFailure = L"内部错误，程序将退出：";
// The description of an unexpected error that carries none of its own.
inline constexpr std::wstring_view unknownFailure = L"未知异常";

}  // namespace kq::wizard::texts

#undef KQ_WIZARD_APPLICATION_TITLE
#undef KQ_WIZARD_CODE_MAKER
#undef KQ_WIZARD_INTERFACE_MAKER
