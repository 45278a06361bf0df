#pragma once
// Memory that a Windows call allocates for its caller with LocalAlloc (FormatMessageW's text,
// CommandLineToArgvW's array), owned until LocalFree gives it back. Windows only.

#include <windows.h>

#include "conversion/unique_resource.hpp"

namespace kq {

template <typename Pointer>
struct LocalMemoryTraits {
    using Value = Pointer;
    static Value empty() noexcept { return nullptr; }
    static void close(Value memory) noexcept { LocalFree(memory); }
};
template <typename Pointer>
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits<Pointer>>;

}  // namespace kq
