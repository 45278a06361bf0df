#include "display_text.hpp"

#include <array>
#include <optional>

#include "conversion/text/cp936.hpp"
#include "texts/native_text.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include "cp936_unicode.hpp"
#endif

namespace kq::cli {

namespace {

constexpr bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

void appendEscapes(std::wstring& out, std::string_view bytes) {
    for (const char byte : bytes) {
        out += byteEscape(static_cast<unsigned char>(byte));
    }
}

}  // namespace

#ifdef _WIN32

struct Cp936Display::Decoder {
    // One character of code page 936 (one or two bytes) as UTF-16, or nothing when the bytes do
    // not form a character of the code page.
    std::optional<std::wstring> decode(std::string_view bytes) const {
        std::array<wchar_t, 4> buffer{};
        const int count = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(),
                                              static_cast<int>(bytes.size()), buffer.data(),
                                              static_cast<int>(buffer.size()));
        if (count <= 0) {
            return std::nullopt;
        }
        return std::wstring(buffer.data(), static_cast<std::size_t>(count));
    }
};

#else

struct Cp936Display::Decoder {
    // One character of code page 936 (one or two bytes) as UTF-32, or nothing when the bytes do
    // not form a character of the code page.
    static std::optional<std::wstring> decode(std::string_view bytes) {
        const std::optional<char16_t> decoded = cp936ToUnicode(bytes);
        if (!decoded) {
            return std::nullopt;
        }
        return std::wstring(1, static_cast<wchar_t>(*decoded));
    }
};

#endif

Cp936Display::Cp936Display() : decoder_(std::make_unique<Decoder>()) {}
Cp936Display::~Cp936Display() = default;

std::wstring Cp936Display::line(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t length = cp936::charLengthAt(bytes, pos);
        const std::string_view character = bytes.substr(pos, length);
        pos += length;
        const auto first = static_cast<unsigned char>(character.front());
        if (length == 1 && first < 0x80) {
            if (first == '\t' || !isControl(first)) {
                out += static_cast<wchar_t>(first);
            } else {
                out += byteEscape(first);
            }
            continue;
        }
        const std::optional<std::wstring> decoded = decoder_->decode(character);
        if (decoded && !decoded->empty() && !isControl(static_cast<char32_t>(decoded->front()))) {
            out += *decoded;
        } else {
            appendEscapes(out, character);
        }
    }
    return out;
}

std::wstring byteEscape(unsigned char byte) {
    static constexpr std::wstring_view digits = L"0123456789ABCDEF";
    return {L'\\', L'x', digits[byte >> 4], digits[byte & 0x0F]};
}

#ifdef _WIN32

std::wstring displayName(const NativePath& name) {
    return name;
}

#else

std::wstring displayName(const NativePath& name) {
    const std::string& bytes = name;
    std::wstring out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const Utf8Char next = utf8CharAt(bytes, i);
        if (next.length != 0 && !isControl(next.value)) {
            appendWide(out, next.value);
            i += next.length;
        } else {
            out += byteEscape(static_cast<unsigned char>(bytes[i]));
            ++i;
        }
    }
    return out;
}

#endif

}  // namespace kq::cli
