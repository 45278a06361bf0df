// kqconvert's own table of code page 936 against the system's conversion (glibc's iconv, which
// the table was made from): every byte alone and every lead and trail byte pair, the sequences
// the display decodes, give the same character or none in both. A table made wrongly, or left
// behind by a change of the system's conversion, fails here.

#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/cp936_unicode.hpp"
#include "conversion/text/cp936.hpp"

namespace {

class SystemCp936 {
  public:
    SystemCp936() : descriptor_(iconv_open("UTF-32LE", "CP936")) {}
    ~SystemCp936() {
        if (usable()) {
            iconv_close(descriptor_);
        }
    }
    SystemCp936(const SystemCp936&) = delete;
    SystemCp936& operator=(const SystemCp936&) = delete;

    bool usable() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }

    // The one character the bytes stand for; nothing when they stand for none. Several
    // characters are reported as a code point no table value can have.
    std::optional<char32_t> decode(std::string bytes) {
        std::array<unsigned char, 16> output{};
        char* in = bytes.data();
        std::size_t inLeft = bytes.size();
        char* out = reinterpret_cast<char*>(output.data());
        std::size_t outLeft = output.size();
        iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(descriptor_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
            inLeft != 0) {
            return std::nullopt;
        }
        if (output.size() - outLeft != 4) {
            return U'\U0010FFFF';
        }
        return char32_t{output[0]} | char32_t{output[1]} << 8U | char32_t{output[2]} << 16U |
               char32_t{output[3]} << 24U;
    }

  private:
    iconv_t descriptor_;
};

std::string hex(const std::string& bytes) {
    std::string text;
    for (const char byte : bytes) {
        std::array<char, 4> digits{};
        std::snprintf(digits.data(), digits.size(), "%02X ", static_cast<unsigned char>(byte));
        text += digits.data();
    }
    return text;
}

void expectSame(SystemCp936& system, const std::string& bytes) {
    const std::optional<char32_t> expected = system.decode(bytes);
    const std::optional<char16_t> got = kq::cli::cp936ToUnicode(bytes);
    EXPECT_EQ(expected.has_value(), got.has_value()) << hex(bytes);
    if (expected && got) {
        EXPECT_EQ(*expected, static_cast<char32_t>(*got)) << hex(bytes);
    }
}

TEST(Cp936Unicode, DecodesEverySequenceAsTheSystemDoes) {
    SystemCp936 system;
    ASSERT_TRUE(system.usable()) << "the system's iconv has no CP936 conversion";
    for (unsigned first = 0; first <= 0xFF; ++first) {
        expectSame(system, std::string(1, static_cast<char>(first)));
        if (!kq::cp936::isLeadByte(static_cast<unsigned char>(first))) {
            continue;
        }
        for (unsigned second = 0; second <= 0xFF; ++second) {
            if (kq::cp936::isTrailByte(static_cast<unsigned char>(second))) {
                expectSame(system, {static_cast<char>(first), static_cast<char>(second)});
            }
        }
    }
}

}  // namespace
