#pragma once
// Move-only owner of one system resource: a file descriptor, a file handle, a window, a GDI
// object. Portable; the traits of each kind of resource live beside the code that uses it.

#include <utility>

namespace kq {

// Traits names the value type, the value that means "holds nothing" (`empty()`) and how to
// release a held value (`close(value)`).
template <typename Traits>
class UniqueResource {
  public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    [[nodiscard]] Value get() const noexcept { return value_; }
    [[nodiscard]] bool holds() const noexcept { return value_ != Traits::empty(); }
    explicit operator bool() const noexcept { return holds(); }

    // Hands the value to the caller, who must release it (or knows that the system already has).
    [[nodiscard]] Value release() noexcept { return std::exchange(value_, Traits::empty()); }

    void reset(Value value = Traits::empty()) noexcept {
        const Value old = std::exchange(value_, value);
        if (old != Traits::empty()) {
            Traits::close(old);
        }
    }

  private:
    Value value_ = Traits::empty();
};

}  // namespace kq
