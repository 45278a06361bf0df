#include "cli_system_reason.hpp"

#include "cli_fill_in.hpp"
#include "cli_texts.hpp"
#include "conversion/native_text.hpp"

#ifdef _WIN32
#include <windows.h>

#include <memory>
#endif

namespace kq::cli {

namespace {

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

std::wstring windowsMessage(int code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0,
        reinterpret_cast<wchar_t*>(&buffer),  // with ALLOCATE_BUFFER the argument is wchar_t**
        0, nullptr);
    const std::unique_ptr<wchar_t, LocalFreeDeleter> owner(buffer);
    if (length == 0 || buffer == nullptr) {
        return {};
    }
    return trimmed(std::wstring(buffer, length));
}

#endif

}  // namespace

std::wstring systemReason(const std::error_code& error) {
    if (!error) {
        return std::wstring(texts::noSystemReason);
    }
#ifdef _WIN32
    if (error.category() == std::system_category()) {
        if (std::wstring reason = windowsMessage(error.value()); !reason.empty()) {
            return reason;
        }
    }
#endif
    std::wstring reason = trimmed(wideFromUtf8(error.message()));
    if (reason.empty()) {
        reason = fillIn(texts::unknownSystemError, {std::to_wstring(error.value())});
    }
    return reason;
}

}  // namespace kq::cli
