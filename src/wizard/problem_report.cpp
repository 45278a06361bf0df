#include "problem_report.hpp"

#include "conversion/failure_text.hpp"
#include "conversion/native_text.hpp"
#include "form_texts.hpp"

namespace kq::wizard {

std::wstring problemMessage(const std::vector<ScriptReport>& problems) {
    std::wstring message(texts::problemsIntro);
    for (const ScriptReport& report : problems) {
        message += L'\n';
        if (report.failure) {
            message += describeFailure(*report.failure);
        } else {
            message += wideFromPath(report.name) + L"：" + std::wstring(texts::unknownProblem);
        }
    }
    return message;
}

}  // namespace kq::wizard
