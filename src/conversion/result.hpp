#pragma once
// A value or a failure (by default, of one script): callers must look at which one they got.

#include <cassert>
#include <utility>
#include <variant>

#include "conversion/script_failure.hpp"

namespace kq {

template <typename T, typename Failure = ScriptFailure>
class [[nodiscard]] Result {
  public:
    // Implicit on purpose: a function returns either its value or a failure.
    // NOLINTNEXTLINE(google-explicit-constructor,hicpp-explicit-conversions)
    Result(T value) : state_(std::move(value)) {}
    // NOLINTNEXTLINE(google-explicit-constructor,hicpp-explicit-conversions)
    Result(Failure failure) : state_(std::move(failure)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return std::get<T>(state_);
    }
    const T& value() const& {
        assert(ok());
        return std::get<T>(state_);
    }
    T&& value() && {
        assert(ok());
        return std::get<T>(std::move(state_));
    }
    const Failure& failure() const {
        assert(!ok());
        return std::get<Failure>(state_);
    }

  private:
    std::variant<T, Failure> state_;
};

// The result of an operation that hands back nothing but its success.
struct Done {};
using Status = Result<Done>;

}  // namespace kq
