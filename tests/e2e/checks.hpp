#pragma once
// The driver's checks: each one prints a line "ok - ..." or "FAIL - ..." with what was expected
// and what was found, and failures are counted per scenario. A check whose failure makes the
// rest of the scenario meaningless throws ScenarioAborted.

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kq::e2e {

std::string utf8(std::wstring_view text);

// Text for a report line: the characters, with control characters spelled out.
std::string shown(std::wstring_view text);

struct ScenarioAborted : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Checks {
  public:
    bool expect(bool condition, std::string_view what, std::string_view found = {});

    bool equal(std::wstring_view actual, std::wstring_view expected, std::string_view what);
    bool equal(long long actual, long long expected, std::string_view what);
    // Pixels may differ by one from rounding.
    bool withinOnePixel(long long actual, long long expected, std::string_view what);

    // Like expect, but ends the scenario when the condition does not hold.
    void require(bool condition, std::string_view what);

    int passed() const { return passed_; }
    int failed() const { return failed_; }

  private:
    int passed_ = 0;
    int failed_ = 0;
};

}  // namespace kq::e2e
