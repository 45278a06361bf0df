#pragma once
// kqconvert, the program under test, run as a child process (KQCONVERT_PATH, set by the build),
// with what it printed split into lines.

#include <filesystem>
#include <string>
#include <vector>

#include "process_runner.hpp"

namespace kqtest {

inline std::filesystem::path kqconvertProgram() {
    return hostPath(KQCONVERT_PATH);
}

struct ToolRun {
    int status;
    std::string out;  // UTF-8, line ends as LF
    std::string err;
};

inline ToolRun runKqconvert(std::vector<std::filesystem::path> arguments) {
#ifdef _WIN32
    // Redirected output is otherwise in the code page of the machine running the tests.
    arguments.insert(arguments.begin(), "--utf8");
#endif
    const ProcessResult result = runProcess(kqconvertProgram(), arguments);
    return {result.exitStatus, withoutCarriageReturns(result.out),
            withoutCarriageReturns(result.err)};
}

// The lines of a text whose lines end in LF; a last line without its LF counts too.
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

}  // namespace kqtest
