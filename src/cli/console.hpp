#pragma once
// The standard output and error streams, written as text: UTF-8 bytes on Linux; on Windows the
// console's own UTF-16 (WriteConsoleW) when the stream is a console, with CR LF line ends either
// way. Redirected to a file or a pipe on Windows, the text is encoded as the reader of that file
// expects, as other Windows console programs do: in the console's output code page when the
// process has a console, else in the system's code page; a character the code page lacks is
// written as its default character ("?"). useUtf8() asks for UTF-8 instead.

#include <cstdio>
#include <string_view>

namespace kq::cli {

enum class StandardStream { output, error };

class ConsoleStream {
  public:
    explicit ConsoleStream(StandardStream which);

    // True when the stream is a terminal (a console window) rather than a file or a pipe.
    bool isTerminal() const { return terminal_; }

    // Redirected output in UTF-8, every character kept (on Linux it always is).
    void useUtf8();

    // Writes the text; "\n" ends a line. A failed write is remembered, not thrown.
    void write(std::wstring_view text);
    // Pushes out what is buffered; false when any write so far has failed.
    bool flush();

  private:
#ifdef _WIN32
    void* handle_;       // borrowed from GetStdHandle; the process owns it
    unsigned codePage_;  // of redirected output
#else
    std::FILE* file_;  // borrowed: stdout or stderr
#endif
    bool terminal_ = false;
    bool failed_ = false;
};

}  // namespace kq::cli
