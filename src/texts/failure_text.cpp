#include "texts/failure_text.hpp"

#include "texts/shared_texts.hpp"

#include "texts/native_text.hpp"

#ifdef _WIN32
#include <windows.h>

#include "texts/local_memory.hpp"
#endif

namespace kq {

namespace {

std::wstring_view kindText(FailureKind kind, const FailureWords& words) {
    switch (kind) {
        case FailureKind::cannotRead:
            return words.cannotRead;
        case FailureKind::cannotWrite:
            return words.cannotWrite;
        case FailureKind::readOnly:
            return words.readOnly;
        case FailureKind::noRequireBlock:
            return words.noRequireBlock;
        case FailureKind::readLoopNotFound:
            return words.readLoopNotFound;
        case FailureKind::notConfirmed:
            return words.notConfirmed;
        case FailureKind::folderNotConfirmed:
            return words.folderNotConfirmed;
    }
    return words.cannotWrite;
}

// The system's message without its closing full stop (U+3002 in Chinese) and line end.
std::wstring trimmed(std::wstring text) {
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.' || text.back() == L'\u3002')) {
        text.pop_back();
    }
    return text;
}

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
        const UniqueLocalMemory<wchar_t*> owner(buffer);
        if (length != 0 && buffer != nullptr) {
            if (std::wstring text = trimmed(std::wstring(buffer, length)); !text.empty()) {
                return text;
            }
        }
    }
#endif
    return trimmed(wideFromUtf8(error.message()));
}

std::wstring describeFailure(std::wstring_view shownName, const ScriptFailure& failure) {
    const FailureWords& words = texts::failureWords;
    std::wstring text(shownName);
    text += words.afterName;
    text += kindText(failure.kind, words);
    if (failure.error) {
        text += words.systemOpening;
        text += systemMessage(failure.error);
        text += words.systemClosing;
    }
    return text;
}

}  // namespace kq
