#pragma once
// Every text that kqconvert shows, exactly as the user sees it; those it shares with the wizard
// are written once, in texts/shared_texts.hpp. "%1", "%2"... mark where fillIn (fill_in.hpp)
// puts a name, a reason or a number.

#include <string_view>

#include "texts/shared_texts.hpp"

namespace kq::cli::texts {

// Opens every message written to the error stream.
inline constexpr std::wstring_view messagePrefix = L"kqconvert：";

inline constexpr std::wstring_view usage =
    L"用法：kqconvert [--dry-run] [--diff] [--utf8] 文件夹\n";
inline constexpr std::wstring_view help =
    L"把 KQ7100 论坛文件夹中的 .cgi 脚本改为使用标准 CGI 模块，在原位置改写。\n"
    L"没有 KQCGI 标记的脚本不会改动。\n"
    L"\n"
    L"  --dry-run  试运行：不写入任何文件，只报告实际运行时会做什么\n"
    L"  --diff     显示每个脚本的改动（统一差异格式）\n"
    L"  --utf8     输出重定向到文件或管道时使用 UTF-8 编码（Windows 默认使用控制台的代码页）\n"
    L"  --help     显示本说明\n"
    L"  --version  显示版本号\n"
    L"\n"
    L"退出状态：0 全部转换或无需改动；1 有脚本未转换或需要手工检查；\n"
    L"          2 用法错误、文件夹无法读取、文件夹中没有 .cgi 脚本，"
    L"或另一个转换程序正在修改该文件夹。\n";
inline constexpr std::wstring_view version = L"kqconvert %1\n";
inline constexpr std::wstring_view usageHint = L"用 kqconvert --help 查看说明。\n";

// Usage errors.
inline constexpr std::wstring_view unknownOption = L"不认识的选项“%1”。";
inline constexpr std::wstring_view extraFolder = L"只能给出一个文件夹，多余的参数“%1”。";
inline constexpr std::wstring_view missingFolder = L"请给出网站的文件夹。";

// The checks before the conversion, in the wizard's words: no folder given, no script in it.
using kq::texts::noFolderMessage;
using kq::texts::noScriptMessage;
// The folder cannot be listed (%1 the folder, %2 the system's reason).
inline constexpr std::wstring_view cannotListFolder = L"无法读取文件夹“%1”：%2";
// Another run is converting the folder (%1 the folder).
inline constexpr std::wstring_view folderBusy =
    L"文件夹“%1”正在被另一个转换程序修改，没有改动任何文件。";
// The pass ended without converting anything (no folder, or no script in it).
inline constexpr std::wstring_view nothingChanged = L"没有改动任何文件。";
// Something went wrong inside the tool itself (%1 what).
inline constexpr std::wstring_view internalError = L"内部错误，已停止：%1";
// The report could not be written out in full.
inline constexpr std::wstring_view outputFailed = L"报告没有完整输出。";

// Why a script was not converted or needs a check, in the same words as the wizard's.
using kq::texts::failureWords;

// One line per listed script (%1 the name; for a problem, the name followed by the reason).
inline constexpr std::wstring_view converted = L"已转换：%1";
inline constexpr std::wstring_view updated = L"已更新：%1（早先版本插入的代码已更新为当前版本）";
inline constexpr std::wstring_view leftAlone = L"未改动：%1（没有 KQCGI 标记）";
inline constexpr std::wstring_view notConverted = L"未转换：%1";
inline constexpr std::wstring_view needsCheck = L"需手工检查：%1";
// The same in a dry run, which says what a real run would do.
inline constexpr std::wstring_view wouldConvert = L"将转换：%1";
inline constexpr std::wstring_view wouldUpdate =
    L"将更新：%1（早先版本插入的代码将更新为当前版本）";
inline constexpr std::wstring_view wouldLeaveAlone = L"不改动：%1（没有 KQCGI 标记）";
inline constexpr std::wstring_view wouldNotConvert = L"不能转换：%1";
inline constexpr std::wstring_view wouldNeedCheck = L"将需手工检查：%1";

// A system reason that the system did not put into words (%1 the error number).
inline constexpr std::wstring_view unknownSystemError = L"系统错误 %1";
inline constexpr std::wstring_view noSystemReason = L"原因不明";

// Summary (%1 the number of scripts, %2 to %5 the four counts). Scripts brought up to date are
// counted after the converted ones, in a run that has any (%6 their count).
inline constexpr std::wstring_view summary =
    L"共 %1 个脚本：已转换 %2 个，%6未改动 %3 个，未转换 %4 个，需手工检查 %5 个。";
inline constexpr std::wstring_view dryRunSummary =
    L"试运行，没有写入任何文件。共 %1 个脚本：将转换 %2 个，%6不改动 %3 个，不能转换 %4 个，"
    L"将需手工检查 %5 个。";
inline constexpr std::wstring_view updatedCount = L"已更新 %1 个，";
inline constexpr std::wstring_view wouldUpdateCount = L"将更新 %1 个，";

// Progress on a terminal (%1 the script reached, %2 the number of scripts).
inline constexpr std::wstring_view progress = L"正在转换… %1/%2";

// The two file headers of a unified diff (%1 the script's name), and the mark after a last line
// that has no line end.
inline constexpr std::wstring_view diffBefore = L"--- %1（转换前）";
inline constexpr std::wstring_view diffAfter = L"+++ %1（转换后）";
inline constexpr std::wstring_view diffNoLineEnd = L"\\ 文件末尾没有换行符";

}  // namespace kq::cli::texts
