#include "failure_text.hpp"

#include "native_text.hpp"

#include <memory>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kq {

namespace {

std::wstring_view kindText(FailureKind kind) {
    switch (kind) {
        case FailureKind::cannotRead:
            return L"无法读取该文件，未作修改";
        case FailureKind::cannotWrite:
            return L"无法写回该文件，原内容保持不变";
        case FailureKind::readOnly:
            return L"文件为只读，未作修改";
        case FailureKind::noRequireBlock:
            return L"含有 KQCGI，但找不到 require 语句，未作修改";
        case FailureKind::readLoopNotFound:
            return L"找不到上传读取循环“while ($buffer=$query->readUploadFile”，请手工检查";
    }
    return L"未知错误";
}

std::wstring trimmed(std::wstring text) {
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.' || text.back() == L'。')) {
        text.pop_back();
    }
    return text;
}

#ifdef _WIN32
struct LocalFreeDeleter {
    void operator()(wchar_t* text) const { LocalFree(text); }
};
#endif

}  // namespace

std::wstring systemMessage(const std::error_code& error) {
#ifdef _WIN32
    if (error.category() == std::system_category()) {
        wchar_t* buffer = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(error.value()), 0,
            reinterpret_cast<wchar_t*>(&buffer),  // with ALLOCATE_BUFFER the argument is wchar_t**
            0, nullptr);
        const std::unique_ptr<wchar_t, LocalFreeDeleter> owner(buffer);
        if (length != 0 && buffer != nullptr) {
            if (std::wstring text = trimmed(std::wstring(buffer, length)); !text.empty()) {
                return text;
            }
        }
    }
#endif
    return trimmed(wideFromUtf8(error.message()));
}

std::wstring failureReason(const ScriptFailure& failure) {
    std::wstring reason(kindText(failure.kind));
    if (failure.error) {
        reason += L"（";
        reason += systemMessage(failure.error);
        reason += L"）";
    }
    return reason;
}

std::wstring describeFailure(const ScriptFailure& failure) {
    return wideFromPath(failure.script) + L"：" + failureReason(failure);
}

}  // namespace kq
