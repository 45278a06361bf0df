#pragma once
// Script bytes and file names made fit to be shown on a console. Script text is decoded from code
// page 936; a byte that does not decode, and a control character other than the tab, is shown as
// an escape "\xNN" (two upper-case hexadecimal digits) rather than dropped or sent raw to the
// terminal.

#include <memory>
#include <string>
#include <string_view>

#include "conversion/native_path.hpp"

namespace kq::cli {

class Cp936Display {
  public:
    Cp936Display();
    ~Cp936Display();
    Cp936Display(const Cp936Display&) = delete;
    Cp936Display& operator=(const Cp936Display&) = delete;

    // One line of script text without its line end, as characters.
    std::wstring line(std::string_view bytes);

  private:
    struct Decoder;  // the code page's table (Linux) or the system's conversion (Windows)
    std::unique_ptr<Decoder> decoder_;
};

// The escape for one byte: "\xNN".
std::wstring byteEscape(unsigned char byte);

// A file or folder name as the user knows it: UTF-16 on Windows as it stands; elsewhere the UTF-8
// bytes decoded, any byte that is not part of valid UTF-8 shown as an escape.
std::wstring displayName(const NativePath& name);

}  // namespace kq::cli
