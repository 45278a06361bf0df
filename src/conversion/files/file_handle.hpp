#pragma once
// An open file of the script layer: a POSIX descriptor or a Win32 file handle, closed when its
// owner ends.

#include <cstdint>

#include "conversion/unique_resource.hpp"

namespace kq {

#if defined(_WIN32)
// A Win32 file HANDLE; empty at INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Value = void*;
    static Value empty() noexcept {
        // INVALID_HANDLE_VALUE, which the system defines as this cast.
        return reinterpret_cast<void*>(  // NOLINT(performance-no-int-to-ptr)
            static_cast<std::intptr_t>(-1));
    }
    static void close(Value handle) noexcept;
};
#else
// A POSIX file descriptor; empty at -1.
struct FileHandleTraits {
    using Value = int;
    static constexpr Value empty() noexcept { return -1; }
    static void close(Value descriptor) noexcept;
};
#endif
using FileHandle = UniqueResource<FileHandleTraits>;

}  // namespace kq
