#pragma once
// The conversion pass: walks the script list, converts every script that belongs to the forum
// package, hands the four upload scripts on to the upload-handler rewrite, moves the progress bar
// and turns the work page into the finish page. The wizard window and the command-line tool run
// this very pass, each through its own PassWindow.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script_failure.hpp"

namespace kq {

enum class MousePointer { normal = 1, busy = 11 };

enum class ScriptOutcome {
    converted,     // written once with the library switch (and the upload rewrite, for the four)
    leftAlone,     // no package marker: only read
    notConverted,  // a failure: the script keeps its old content
    needsCheck,    // converted, but the upload read loop was not found: check it by hand
};

struct ScriptReport {
    std::filesystem::path name;
    ScriptOutcome outcome;
    std::optional<ScriptFailure> failure;  // set for notConverted and needsCheck
};

// What the pass needs of the window, and nothing more.
class PassWindow {
  public:
    virtual ~PassWindow() = default;

    virtual std::filesystem::path folderPath() const = 0;
    // The folder that script paths are formed from (the file list's current folder).
    virtual std::filesystem::path scriptFolder() const = 0;

    virtual std::size_t scriptCount() const = 0;
    virtual std::filesystem::path scriptAt(std::size_t index) const = 0;
    virtual void clearScriptList() = 0;
    virtual void addListLine(std::wstring_view line) = 0;

    virtual void setProgressMaximum(std::size_t maximum) = 0;
    virtual void setProgressValue(std::size_t value) = 0;
    virtual void setPointer(MousePointer pointer) = 0;

    // Modal message box with the error icon and one OK button; returns when it is closed.
    virtual void showMessage(std::wstring_view text) = 0;
    // Runs the folder choice; false when the user cancelled it.
    virtual bool chooseFolder() = 0;
    // Tells the user which scripts were not converted or need a check by hand; called once,
    // after the last script and before the completion steps, only when there are any.
    virtual void reportProblems(const std::vector<ScriptReport>& problems) = 0;
    // Hides the work page, shows the finish page, and leaves "完成(&F)" the one live button.
    virtual void showFinishPage() = 0;
};

struct PassOutcome {
    bool finished = false;  // false: the folder choice was cancelled and nothing was converted
    std::vector<ScriptReport> scripts;

    // The scripts the user must hear about: not converted, or to be checked by hand.
    std::vector<ScriptReport> problems() const;
};

struct PassOptions {
    bool dryRun = false;  // write nothing; report what a real run would do
    // Called for every script that changes, with its bytes before and after the whole pass.
    std::function<void(const std::filesystem::path& name, std::string_view before,
                       std::string_view after)>
        onChange;
};

PassOutcome convertScripts(PassWindow& window, const PassOptions& options = {});

}  // namespace kq
