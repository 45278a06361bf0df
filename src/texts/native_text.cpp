#include "texts/native_text.hpp"

#include <cstdint>

namespace kq {

namespace {

constexpr char32_t replacementChar = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
    auto byte = [&out](std::uint32_t value) { out.push_back(static_cast<char>(value)); };
    if (c < 0x80) {
        byte(c);
    } else if (c < 0x800) {
        byte(0xC0 | (c >> 6));
        byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        byte(0xE0 | (c >> 12));
        byte(0x80 | ((c >> 6) & 0x3F));
        byte(0x80 | (c & 0x3F));
    } else {
        byte(0xF0 | (c >> 18));
        byte(0x80 | ((c >> 12) & 0x3F));
        byte(0x80 | ((c >> 6) & 0x3F));
        byte(0x80 | (c & 0x3F));
    }
}

}  // namespace

void appendWide(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            const char32_t v = c - 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (v & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(c));
}

std::string utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                const auto low = static_cast<char32_t>(text[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            c = replacementChar;
        }
        appendUtf8(out, c);
    }
    return out;
}

Utf8Char utf8CharAt(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    // The sequence's length, the bits its first byte gives, and the least code point that needs
    // this length (anything less is an overlong form).
    std::size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        return {lead, 1};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1FU;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0FU;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07U;
        minimum = 0x10000;
    } else {
        return {0, 0};  // a continuation byte, or a byte that never begins a sequence
    }
    if (pos + length > text.size()) {
        return {0, 0};
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[pos + k]);
        if ((next & 0xC0U) != 0x80U) {
            return {0, 0};
        }
        c = (c << 6) | (next & 0x3FU);
    }
    if (c < minimum || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        return {0, 0};
    }
    return {c, length};
}

std::wstring wideFromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char next = utf8CharAt(text, i);
        appendWide(out, next.length != 0 ? next.value : replacementChar);
        i += next.length != 0 ? next.length : 1;
    }
    return out;
}

NativePath pathFromWide(std::wstring_view text) {
#ifdef _WIN32
    return NativePath(text);
#else
    return utf8FromWide(text);
#endif
}

std::wstring wideFromPath(NativeView path) {
#ifdef _WIN32
    return std::wstring(path);
#else
    return wideFromUtf8(path);
#endif
}

}  // namespace kq
