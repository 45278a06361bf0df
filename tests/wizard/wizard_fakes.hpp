#pragma once
// Stand-ins for the window layer and the system, for running Form1 headless: a view that records
// every change and keeps its own copy of the controls' state, a platform whose folder chooser
// answers from a script of answers, and a temporary site folder on disk.

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conversion/native_text.hpp"
#include "scratch_folder.hpp"
#include "wizard/form1.hpp"
#include "wizard/form_layout.hpp"

namespace kqtest {

namespace fs = std::filesystem;
using kq::wizard::ControlId;

inline std::string nameOf(ControlId control) {
    return std::string(kq::wizard::controlSpec(control).name);
}

inline std::string utf8(std::wstring_view text) {
    return kq::utf8FromWide(text);
}

inline std::string number(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// Names parameterised cases after their `name` field.
struct CaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& param) const {
        return param.param.name;
    }
};

// One log for the view and the platform together, so that tests see their order.
using EventLog = std::vector<std::string>;

// Mirrors every change onto its own copy of the controls, which starts as the layout table
// creates them, and logs each call.
class RecordingView final : public kq::wizard::FormView {
  public:
    struct Control {
        bool visible;
        bool enabled;
        std::wstring text;
    };

    explicit RecordingView(EventLog& log) : log_(log) {
        for (const auto& row : kq::wizard::controls) {
            controls[kq::wizard::indexOf(row.id)] =
                Control{row.visible, row.enabled, std::wstring(row.text)};
        }
    }

    void setVisible(ControlId control, bool visible) override {
        at(control).visible = visible;
        log_.push_back((visible ? "show " : "hide ") + nameOf(control));
    }
    void setEnabled(ControlId control, bool enabled) override {
        at(control).enabled = enabled;
        log_.push_back((enabled ? "enable " : "disable ") + nameOf(control));
    }
    void setText(ControlId control, std::wstring_view text) override {
        at(control).text = text;
        log_.push_back("text " + nameOf(control) + " " + utf8(text));
    }
    void listClear(ControlId list) override {
        listLines.clear();
        log_.push_back("clear " + nameOf(list));
    }
    void listAppend(ControlId list, std::wstring_view line) override {
        listLines.emplace_back(line);
        log_.push_back("append " + nameOf(list) + " " + utf8(line));
    }
    void fileListSet(ControlId fileList, const fs::path& folder,
                     const std::vector<fs::path>& entries) override {
        fileListFolder = folder;
        fileListEntries = entries;
        log_.push_back("files " + nameOf(fileList) + " " + utf8(kq::wideFromPath(folder)) + " (" +
                       std::to_string(entries.size()) + ")");
    }
    void progressRange(ControlId bar, double minimum, double maximum) override {
        progressMinimum = minimum;
        progressMaximum = maximum;
        log_.push_back("range " + nameOf(bar) + " " + number(minimum) + " " + number(maximum));
    }
    void progressValue(ControlId bar, double value) override {
        progressValueNow = value;
        log_.push_back("value " + nameOf(bar) + " " + number(value));
    }
    void setPointer(kq::MousePointer newPointer) override {
        pointer = newPointer;
        log_.push_back("pointer " + std::to_string(static_cast<int>(newPointer)));
    }

    Control& at(ControlId control) { return controls[kq::wizard::indexOf(control)]; }
    const Control& at(ControlId control) const { return controls[kq::wizard::indexOf(control)]; }

    std::array<Control, kq::wizard::controlCount> controls{};
    std::vector<std::wstring> listLines;
    fs::path fileListFolder;
    std::vector<fs::path> fileListEntries;
    double progressMinimum = kq::wizard::pgAtStart.minimum;
    double progressMaximum = kq::wizard::pgAtStart.maximum;
    double progressValueNow = kq::wizard::pgAtStart.value;
    kq::MousePointer pointer = kq::MousePointer::normal;

  private:
    EventLog& log_;
};

// The chooser answers from `chooserAnswers` in turn (nothing = cancelled) and cancels once they
// are used up; `listing`, when set, replaces the real folder listing.
class FakePlatform final : public kq::wizard::WizardPlatform {
  public:
    struct Message {
        std::wstring text;
        std::wstring caption;
    };

    explicit FakePlatform(EventLog& log) : log_(log) {}

    std::optional<fs::path> browseForFolder(std::wstring_view title) override {
        chooserTitles.emplace_back(title);
        log_.push_back("chooser " + utf8(title));
        if (onChooser) {
            onChooser();
        }
        if (chooserAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = chooserAnswers.front();
        chooserAnswers.pop_front();
        return answer;
    }

    std::vector<fs::path> listFolder(const fs::path& folder) override {
        listedFolders.push_back(folder);
        return listing ? *listing : WizardPlatform::listFolder(folder);
    }

    void showErrorMessage(std::wstring_view text, std::wstring_view caption) override {
        messages.push_back({std::wstring(text), std::wstring(caption)});
        log_.push_back("message " + utf8(text));
        if (onMessage) {
            onMessage();
        }
    }

    void endProgram() override {
        ++endCount;
        log_.push_back("end");
    }

    std::deque<std::optional<fs::path>> chooserAnswers;
    std::optional<std::vector<fs::path>> listing;
    std::function<void()> onMessage;  // runs while the message box is "open"
    std::function<void()> onChooser;  // runs while the chooser is "open"

    std::vector<std::wstring> chooserTitles;
    std::vector<fs::path> listedFolders;
    std::vector<Message> messages;
    int endCount = 0;

  private:
    EventLog& log_;
};

// A Form1 with its fakes, as the window layer would wire them.
struct Wizard {
    EventLog log;
    FakePlatform platform{log};
    RecordingView view{log};
    kq::wizard::Form1 form{platform, view};

    // The log from entry `from` on.
    EventLog logSince(std::size_t from) const {
        return EventLog(log.begin() + static_cast<std::ptrdiff_t>(from), log.end());
    }
};

// The view shows exactly the state the form keeps.
inline void expectViewMirrorsForm(const RecordingView& view, const kq::wizard::Form1& form) {
    const auto& state = form.state();
    for (const auto& row : kq::wizard::controls) {
        SCOPED_TRACE(std::string(row.name));
        EXPECT_EQ(view.at(row.id).visible, state.visible(row.id));
        EXPECT_EQ(view.at(row.id).enabled, state.enabled(row.id));
        EXPECT_EQ(view.at(row.id).text, state.text(row.id));
    }
    std::vector<std::wstring> stateLines;
    for (const auto& line : state.listLines()) {
        stateLines.push_back(kq::wideFromPath(line));
    }
    EXPECT_EQ(view.listLines, stateLines);
    EXPECT_EQ(view.fileListFolder, state.fileListFolder());
    EXPECT_EQ(view.fileListEntries, state.fileListEntries());
    EXPECT_EQ(view.progressMinimum, state.progress().minimum);
    EXPECT_EQ(view.progressMaximum, state.progress().maximum);
    EXPECT_EQ(view.progressValueNow, state.progress().value);
    EXPECT_EQ(view.pointer, state.pointer());
}

}  // namespace kqtest
