#include "fill_in.hpp"

namespace kq::cli {

std::wstring fillIn(std::wstring_view pattern, std::initializer_list<std::wstring_view> values) {
    std::wstring out;
    out.reserve(pattern.size() + 64);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 1 < pattern.size() && pattern[i + 1] >= L'1' &&
            pattern[i + 1] <= L'9') {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - L'1');
            if (index < values.size()) {
                out += *(values.begin() + index);
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

}  // namespace kq::cli
