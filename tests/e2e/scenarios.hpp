#pragma once
// The end-to-end scenarios: each starts kqwizard.exe, works it as a user would (clicks, keys,
// the shell's folder chooser, the message boxes) and checks what it shows and what it writes.

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "checks.hpp"

namespace kq::e2e {

struct Context {
    std::filesystem::path wizard;  // kqwizard.exe
    std::filesystem::path work;    // an empty folder of this run: the sites are built in it
    UINT dpi = 96;                 // the DPI the display is set to
    std::filesystem::path shots;   // where `screenshots` writes its pictures
};

struct Scenario {
    std::string_view name;
    std::string_view what;
    std::function<void(const Context&, Checks&)> run;
};

const std::vector<Scenario>& scenarios();

}  // namespace kq::e2e
