#pragma once
// Runs a program as a child process with its output and error streams caught in files, and
// hands back its exit status and both streams' bytes.

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "scratch_folder.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX declares it nowhere
#endif

namespace kqtest {

struct ProcessResult {
    int exitStatus = -1;
    std::string out;  // the bytes written to the standard output
    std::string err;  // the bytes written to the standard error
    // The child's own use of the machine, where the system reports it per child (POSIX): its
    // largest resident size and its processor time. Zero elsewhere.
    std::size_t peakBytes = 0;
    double cpuSeconds = 0;
};

#ifdef _WIN32

namespace detail {

// One argument quoted so that CommandLineToArgvW gives it back unchanged.
inline std::wstring quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

struct Handle {
    HANDLE value = INVALID_HANDLE_VALUE;
    ~Handle() {
        if (value != INVALID_HANDLE_VALUE && value != nullptr) {
            CloseHandle(value);
        }
    }
};

inline HANDLE inheritableFile(const fs::path& file) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace detail

inline ProcessResult runProcess(const fs::path& program, const std::vector<fs::path>& arguments) {
    ScratchFolder streams;
    ProcessResult result;
    {
        detail::Handle out{detail::inheritableFile(streams / "out")};
        detail::Handle err{detail::inheritableFile(streams / "err")};
        if (out.value == INVALID_HANDLE_VALUE || err.value == INVALID_HANDLE_VALUE) {
            throw std::runtime_error("cannot create the files for the child's streams");
        }
        std::wstring commandLine = detail::quoted(program.native());
        for (const auto& argument : arguments) {
            commandLine += L" " + detail::quoted(argument.native());
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out.value;
        startup.hStdError = err.value;
        PROCESS_INFORMATION process{};
        // Wine now and then refuses to start a process once and starts it when asked again: a
        // few more tries, so that a test fails for what the program does, not for that.
        constexpr int attempts = 5;
        for (int attempt = 1;; ++attempt) {
            if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                               CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
                break;
            }
            const DWORD error = GetLastError();
            if (attempt == attempts) {
                throw std::runtime_error("cannot start " + pathText(program) + " (error " +
                                         std::to_string(error) + ", " + std::to_string(attempts) +
                                         " attempts)");
            }
            std::fprintf(stderr, "note: starting the program failed with error %lu; trying again\n",
                         static_cast<unsigned long>(error));
            Sleep(static_cast<DWORD>(200 * attempt));
        }
        const detail::Handle processHandle{process.hProcess};
        const detail::Handle threadHandle{process.hThread};
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.exitStatus = static_cast<int>(code);
    }
    result.out = readBytes(streams / "out");
    result.err = readBytes(streams / "err");
    return result;
}

#else

inline ProcessResult runProcess(const fs::path& program, const std::vector<fs::path>& arguments) {
    ScratchFolder streams;
    const fs::path outFile = streams / "out";
    const fs::path errFile = streams / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> words{program.native()};
    for (const auto& argument : arguments) {
        words.push_back(argument.native());
    }
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + pathText(program) + ": " +
                                 std::strerror(spawned));
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("lost the child " + pathText(program));
        }
    }
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    ProcessResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.peakBytes = static_cast<std::size_t>(usage.ru_maxrss) * 1024;  // KiB on Linux
    result.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    result.out = readBytes(outFile);
    result.err = readBytes(errFile);
    return result;
}

#endif

// The text of a stream with Windows line ends made plain: CR LF becomes LF.
inline std::string withoutCarriageReturns(std::string text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            plain += text[i];
        }
    }
    return plain;
}

}  // namespace kqtest
