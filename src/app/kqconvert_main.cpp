// kqconvert: the wizard's conversion from the command line (src/cli/kqconvert.hpp).
//
// Exit status: 0 every script converted or left alone, 1 a script not converted or to be checked
// by hand, 2 nothing could be done (usage, folder, no script).

#include <exception>

#include "cli/kqconvert.hpp"

#ifndef _WIN32
#include <csignal>
#endif

int main(int argc, char** argv) {
#ifndef _WIN32
    // A reader that goes away (kqconvert ... | head) must not stop the conversion between two
    // scripts: writes to it fail instead, and the conversion runs to its end.
    std::signal(SIGPIPE, SIG_IGN);
    // A file size limit (ulimit -f) smaller than a converted script must fail that one write,
    // which is then reported and the script kept whole, not end the tool half-way in silence.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    using namespace kq::cli;
    try {
        ConsoleStream out(StandardStream::output);
        ConsoleStream errors(StandardStream::error);
        return static_cast<int>(runKqconvert(programArguments(argc, argv), out, errors));
    } catch (const std::exception& e) {
        return static_cast<int>(reportInternalError(&e));
    } catch (...) {
        return static_cast<int>(reportInternalError(nullptr));
    }
}
