#pragma once
// A value or the failure of one script: callers must look at which one they got.

#include <cassert>
#include <utility>
#include <variant>

#include "script_failure.hpp"

namespace kq {

template <typename T>
class [[nodiscard]] Result {
  public:
    // Implicit on purpose: a function returns either its value or a failure.
    // NOLINTNEXTLINE(google-explicit-constructor,hicpp-explicit-conversions)
    Result(T value) : state_(std::move(value)) {}
    // NOLINTNEXTLINE(google-explicit-constructor,hicpp-explicit-conversions)
    Result(ScriptFailure failure) : state_(std::move(failure)) {}

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
    const ScriptFailure& failure() const {
        assert(!ok());
        return std::get<ScriptFailure>(state_);
    }

  private:
    std::variant<T, ScriptFailure> state_;
};

// The result of an operation that hands back nothing but its success.
struct Done {};
using Status = Result<Done>;

}  // namespace kq
