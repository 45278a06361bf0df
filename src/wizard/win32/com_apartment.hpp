#pragma once
// COM for the calling thread, for as long as this object lives: the shell's folder chooser
// needs a single-threaded apartment on the window's thread.

#include <objbase.h>

namespace kq::wizard::win32 {

class ComApartment {
  public:
    ComApartment() noexcept
        : initialised_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_;
};

}  // namespace kq::wizard::win32
