#pragma once
// The texts that the wizard and kqconvert both show, in the same words, written once: the checks
// before a conversion and the reasons a script was not converted or needs a check. Each program
// takes them into its own texts (wizard_texts.hpp, cli_texts.hpp).

#include <string_view>

#include "texts/failure_text.hpp"

namespace kq::texts {

// The checks before the conversion: no folder chosen, no script in the folder.
inline constexpr std::wstring_view noFolderMessage = L"请选择目录！";
inline constexpr std::wstring_view noScriptMessage = L"目录选择错误，没有CGI 文件!";

// Why a script was not converted or needs a check.
inline constexpr FailureWords failureWords{
    .cannotRead = L"无法读取该文件，未作修改",
    .cannotWrite = L"无法写回该文件，原内容保持不变",
    .readOnly = L"文件为只读，未作修改",
    .noRequireBlock = L"含有 KQCGI，但找不到 require 语句，未作修改",
    .readLoopNotFound = L"找不到上传读取循环“while ($buffer=$query->readUploadFile”，请手工检查",
    .notConfirmed = L"已转换，但系统未能确认已写入磁盘，请检查磁盘后再运行一次",
    .folderNotConfirmed = L"未改动，但系统未能确认所在文件夹已写入磁盘，请检查磁盘后再运行一次",
    .afterName = L"：",
    .systemOpening = L"（",
    .systemClosing = L"）",
};

}  // namespace kq::texts
