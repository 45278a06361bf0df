#include "console.hpp"

#include <algorithm>
#include <string>

#include "texts/native_text.hpp"

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

// What `type`, and shells that read a program's output, decode it with: the console's output
// code page (0 without a console), else the system's code page. A code page the system cannot
// convert to gives UTF-8, which keeps every character.
UINT redirectedCodePage() {
    const UINT console = GetConsoleOutputCP();
    const UINT chosen = console != 0 ? console : GetACP();
    return IsValidCodePage(chosen) != 0 ? chosen : CP_UTF8;
}

// The length of the next piece of `text` of at most `limit` code units that does not end in the
// middle of a surrogate pair.
std::size_t wholeCharacters(std::wstring_view text, std::size_t limit) {
    std::size_t chunk = std::min(text.size(), limit);
    if (chunk < text.size() && chunk > 1 && text[chunk - 1] >= 0xD800 &&
        text[chunk - 1] <= 0xDBFF) {
        --chunk;
    }
    return chunk;
}

// The text in the code page's bytes. A character the code page lacks becomes its default
// character, never a look-alike (best fit would write a different name than the one meant).
// False when the system cannot convert.
bool encode(std::wstring_view text, UINT codePage, std::string& bytes) {
    if (codePage == CP_UTF8) {
        bytes = utf8FromWide(text);
        return true;
    }
    bytes.clear();
    constexpr std::size_t pieceLimit = 1U << 20U;
    while (!text.empty()) {
        const std::size_t piece = wholeCharacters(text, pieceLimit);
        const auto wide = static_cast<int>(piece);
        // Some code pages take no flags at all.
        DWORD flags = WC_NO_BEST_FIT_CHARS;
        int length =
            WideCharToMultiByte(codePage, flags, text.data(), wide, nullptr, 0, nullptr, nullptr);
        if (length == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
            flags = 0;
            length = WideCharToMultiByte(codePage, flags, text.data(), wide, nullptr, 0, nullptr,
                                         nullptr);
        }
        if (length <= 0) {
            return false;
        }
        const std::size_t start = bytes.size();
        bytes.resize(start + static_cast<std::size_t>(length));
        if (WideCharToMultiByte(codePage, flags, text.data(), wide, bytes.data() + start, length,
                                nullptr, nullptr) != length) {
            return false;
        }
        text.remove_prefix(piece);
    }
    return true;
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
        const std::size_t chunk = wholeCharacters(text, chunkLimit);
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
      codePage_(redirectedCodePage()),
      terminal_(isConsole(static_cast<HANDLE>(handle_))) {}

void ConsoleStream::useUtf8() {
    codePage_ = CP_UTF8;
}

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
    bool written = false;
    if (terminal_) {
        written = writeConsole(handle, withCrLf);
    } else if (std::string bytes; encode(withCrLf, codePage_, bytes)) {
        written = writeBytes(handle, bytes);
    }
    failed_ = !written || failed_;
}

bool ConsoleStream::flush() {
    return !failed_;
}

#else

ConsoleStream::ConsoleStream(StandardStream which)
    : file_(which == StandardStream::output ? stdout : stderr),
      terminal_(::isatty(::fileno(file_)) != 0) {}

void ConsoleStream::useUtf8() {
    // Always UTF-8 here.
}

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
