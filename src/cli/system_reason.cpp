#include "system_reason.hpp"

#include "cli_texts.hpp"
#include "fill_in.hpp"
#include "texts/failure_text.hpp"

namespace kq::cli {

std::wstring systemReason(const std::error_code& error) {
    if (!error) {
        return std::wstring(texts::noSystemReason);
    }
    std::wstring reason = systemMessage(error);
    if (reason.empty()) {
        reason = fillIn(texts::unknownSystemError, {std::to_wstring(error.value())});
    }
    return reason;
}

}  // namespace kq::cli
