#include "console.hpp"

#include <algorithm>
#include <string>

#include "conversion/native_text.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kq::cli {

#ifdef _WIN32

namespace {

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetConsoleMode(handle, &mode) != 0;
}

bool writeBytes(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        DWORD written = 0;
        if (WriteFile(handle, bytes.data(), chunk, &written, nullptr) == 0 || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool writeConsole(HANDLE handle, std::wstring_view text) {
    constexpr std::size_t chunkLimit = 8192;
    while (!text.empty()) {
        std::size_t chunk = std::min(text.size(), chunkLimit);
        // Never split a surrogate pair between two calls.
        if (chunk < text.size() && chunk > 1 && text[chunk - 1] >= 0xD800 &&
            text[chunk - 1] <= 0xDBFF) {
            --chunk;
        }
        DWORD written = 0;
        if (WriteConsoleW(handle, text.data(), static_cast<DWORD>(chunk), &written, nullptr) == 0 ||
            written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace

ConsoleStream::ConsoleStream(StandardStream which)
    : handle_(GetStdHandle(which == StandardStream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE)),
      terminal_(isConsole(static_cast<HANDLE>(handle_))) {}

void ConsoleStream::write(std::wstring_view text) {
    auto* const handle = static_cast<HANDLE>(handle_);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        failed_ = true;
        return;
    }
    // Windows text has CR LF line ends: in a file, and on a console too, where a bare LF does
    // not always return to the start of the line.
    std::wstring withCrLf;
    withCrLf.reserve(text.size() + text.size() / 16);
    for (const wchar_t c : text) {
        if (c == L'\n') {
            withCrLf += L'\r';
        }
        withCrLf += c;
    }
    const bool written =
        terminal_ ? writeConsole(handle, withCrLf) : writeBytes(handle, utf8FromWide(withCrLf));
    failed_ = !written || failed_;
}

bool ConsoleStream::flush() {
    return !failed_;
}

#else

ConsoleStream::ConsoleStream(StandardStream which)
    : file_(which == StandardStream::output ? stdout : stderr),
      terminal_(::isatty(::fileno(file_)) != 0) {}

void ConsoleStream::write(std::wstring_view text) {
    const std::string bytes = utf8FromWide(text);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        failed_ = true;
    }
}

bool ConsoleStream::flush() {
    if (std::fflush(file_) != 0 || std::ferror(file_) != 0) {
        failed_ = true;
    }
    return !failed_;
}

#endif

}  // namespace kq::cli
