#pragma once
// A window for the conversion pass that keeps a log of every operation that changes something on
// screen, in order, and plays the folder choice from a script of the test's own.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "conversion/conversion_pass.hpp"
#include "conversion/native_text.hpp"
#include "conversion/script_list.hpp"

namespace kqtest {

class RecordingWindow : public kq::PassWindow {
  public:
    // The chosen folder; the script folder is the same. An empty path: no folder chosen yet.
    std::filesystem::path folder;
    // The script list, and the lines the pass adds to it.
    std::vector<std::filesystem::path> list;
    // One entry per operation: "progressMaximum 3", "progressValue 0", "pointer 11",
    // "message <text>", "chooseFolder", "reportProblems <names>", "clearList",
    // "addListLine <text>", "finishPage".
    std::vector<std::wstring> log;
    std::vector<kq::ScriptReport> reportedProblems;
    // What a folder choice does; by default the user cancels it.
    std::function<bool(RecordingWindow&)> onChooseFolder = [](RecordingWindow&) { return false; };
    // Called whenever the pass asks for a list entry, before it gets it.
    std::function<void(std::size_t)> onScriptAt;

    // Chooses `chosen` as the folder and lists its scripts, as the folder choice does.
    void choose(const std::filesystem::path& chosen) {
        folder = chosen;
        std::error_code error;
        list = kq::scriptNames(kq::listFolderFiles(chosen, error));
    }

    std::filesystem::path folderPath() const override { return folder; }
    std::filesystem::path scriptFolder() const override { return folder; }
    std::size_t scriptCount() const override { return list.size(); }
    std::filesystem::path scriptAt(std::size_t index) const override {
        if (onScriptAt) {
            onScriptAt(index);
        }
        return list.at(index);
    }
    void clearScriptList() override {
        list.clear();
        log.push_back(L"clearList");
    }
    void addListLine(std::wstring_view line) override {
        list.push_back(kq::pathFromWide(line));
        log.push_back(L"addListLine " + std::wstring(line));
    }
    void setProgressMaximum(std::size_t maximum) override {
        log.push_back(L"progressMaximum " + std::to_wstring(maximum));
    }
    void setProgressValue(std::size_t value) override {
        log.push_back(L"progressValue " + std::to_wstring(value));
    }
    void setPointer(kq::MousePointer pointer) override {
        log.push_back(L"pointer " + std::to_wstring(static_cast<int>(pointer)));
    }
    void showMessage(std::wstring_view text) override {
        log.push_back(L"message " + std::wstring(text));
    }
    bool chooseFolder() override {
        log.push_back(L"chooseFolder");
        return onChooseFolder(*this);
    }
    void reportProblems(const std::vector<kq::ScriptReport>& problems) override {
        std::wstring names;
        for (const auto& problem : problems) {
            names += (names.empty() ? L"" : L",") + kq::wideFromPath(problem.name);
        }
        log.push_back(L"reportProblems " + names);
        reportedProblems = problems;
    }
    void showFinishPage() override { log.push_back(L"finishPage"); }

    // The log entries that start with `prefix`.
    std::vector<std::wstring> entries(std::wstring_view prefix) const {
        std::vector<std::wstring> found;
        for (const auto& entry : log) {
            if (entry.rfind(prefix, 0) == 0) {
                found.push_back(entry);
            }
        }
        return found;
    }
};

}  // namespace kqtest
