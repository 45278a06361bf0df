#include "checks.hpp"

#include <windows.h>

#include <cstdlib>

namespace kq::e2e {

std::string utf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::string shown(std::wstring_view text) {
    std::wstring spelled;
    for (const wchar_t c : text) {
        if (c == L'\r') {
            spelled += L"\\r";
        } else if (c == L'\n') {
            spelled += L"\\n";
        } else {
            spelled += c;
        }
    }
    std::string quoted = "\"";
    quoted.append(utf8(spelled)).append("\"");
    return quoted;
}

bool Checks::expect(bool condition, std::string_view what, std::string_view found) {
    if (condition) {
        ++passed_;
        std::printf("ok - %.*s\n", static_cast<int>(what.size()), what.data());
    } else {
        ++failed_;
        std::printf("FAIL - %.*s%s%.*s\n", static_cast<int>(what.size()), what.data(),
                    found.empty() ? "" : ": ", static_cast<int>(found.size()), found.data());
    }
    std::fflush(stdout);
    return condition;
}

bool Checks::equal(std::wstring_view actual, std::wstring_view expected, std::string_view what) {
    return expect(actual == expected, what,
                  "expected " + shown(expected) + ", found " + shown(actual));
}

bool Checks::equal(long long actual, long long expected, std::string_view what) {
    return expect(actual == expected, what,
                  "expected " + std::to_string(expected) + ", found " + std::to_string(actual));
}

bool Checks::withinOnePixel(long long actual, long long expected, std::string_view what) {
    return expect(
        std::llabs(actual - expected) <= 1, what,
        "expected " + std::to_string(expected) + " (±1), found " + std::to_string(actual));
}

void Checks::require(bool condition, std::string_view what) {
    if (!expect(condition, what)) {
        throw ScenarioAborted(std::string(what));
    }
}

}  // namespace kq::e2e
