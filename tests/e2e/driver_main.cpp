// kqwizard_e2e: drives kqwizard.exe from outside, as a user would, and checks what it shows and
// writes. Runs under Wine with a display (see tests/e2e/run-e2e.sh).
//
//   kqwizard_e2e SCENARIO... --wizard PATH --work FOLDER [--dpi N] [--shots FOLDER]
//
// Prints one line per check and a closing line "N passed, N failed"; the exit code is 0 only
// when every check passed.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "checks.hpp"
#include "driver_dpi.hpp"
#include "scenarios.hpp"

namespace {

struct Arguments {
    kq::e2e::Context context;
    std::vector<std::wstring> scenarios;
};

bool parse(int argc, wchar_t** argv, Arguments& arguments) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == L"--wizard" && hasValue) {
            arguments.context.wizard = argv[++i];
        } else if (argument == L"--work" && hasValue) {
            arguments.context.work = argv[++i];
        } else if (argument == L"--dpi" && hasValue) {
            arguments.context.dpi = static_cast<UINT>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (argument == L"--shots" && hasValue) {
            arguments.context.shots = argv[++i];
        } else if (argument.starts_with(L"--")) {
            return false;
        } else {
            arguments.scenarios.push_back(argument);
        }
    }
    return !arguments.context.wizard.empty() && !arguments.scenarios.empty();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Arguments arguments;
    if (!parse(argc, argv, arguments)) {
        std::fputs(
            "usage: kqwizard_e2e SCENARIO... --wizard PATH --work FOLDER [--dpi N] "
            "[--shots FOLDER]\nscenarios:",
            stderr);
        for (const auto& scenario : kq::e2e::scenarios()) {
            std::fprintf(stderr, " %.*s", static_cast<int>(scenario.name.size()),
                         scenario.name.data());
        }
        std::fputs("\n", stderr);
        return 2;
    }
    kq::e2e::becomeDpiAware();
    // The desktop first: under Wine the first window of a session starts it, and the wizard
    // must not race the driver for that.
    GetDesktopWindow();

    int passed = 0;
    int failed = 0;
    for (const std::wstring& wanted : arguments.scenarios) {
        const kq::e2e::Scenario* scenario = nullptr;
        for (const auto& candidate : kq::e2e::scenarios()) {
            if (kq::e2e::utf8(wanted) == candidate.name) {
                scenario = &candidate;
            }
        }
        if (scenario == nullptr) {
            std::printf("FAIL - no scenario named %s\n", kq::e2e::utf8(wanted).c_str());
            ++failed;
            continue;
        }
        std::printf("# scenario %.*s: %.*s (%u dpi)\n", static_cast<int>(scenario->name.size()),
                    scenario->name.data(), static_cast<int>(scenario->what.size()),
                    scenario->what.data(), arguments.context.dpi);
        std::fflush(stdout);
        kq::e2e::Checks checks;
        try {
            scenario->run(arguments.context, checks);
        } catch (const kq::e2e::ScenarioAborted& aborted) {
            checks.expect(false, "scenario " + std::string(scenario->name) + " ran to its end",
                          aborted.what());
        } catch (const std::exception& error) {
            checks.expect(false, "scenario ran without an unexpected error", error.what());
        }
        passed += checks.passed();
        failed += checks.failed();
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
