#include "scenarios.hpp"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <thread>

#include "driver_dpi.hpp"
#include "page_checks.hpp"
#include "screen_capture.hpp"
#include "shell_dialogs.hpp"
#include "site_scripts.hpp"
#include "test_site.hpp"
#include "version_record.hpp"
#include "wizard/wizard_texts.hpp"
#include "wizard_process.hpp"

namespace kq::e2e {

namespace {

using wizard::ControlId;
namespace texts = wizard::texts;

// --- Test sites ------------------------------------------------------------------------------

// The main site: scripts of every kind, files that are not scripts, a hidden script and a
// subfolder named like a script. Its folder name holds Chinese characters and a blank.
TestSite roadSite(const Context& context) {
    TestSite site;
    site.folder = context.work / L"road" / L"网站 副本";
    site.files = {
        {L"index.cgi", codePage936(scripts::indexScript())},
        {L"post.cgi", codePage936(scripts::postScript())},
        {L"profile.cgi", codePage936(scripts::profileScript())},
        {L"plain.cgi", codePage936(scripts::plainScript())},
        {L"中文.cgi", codePage936(scripts::lfScriptWithMarkerInComment())},
        {L"论坛.cgi", codePage936(scripts::plainScript())},
        {L"B.CGI", codePage936(scripts::indexScript())},  // upper-case extension: not a script
        {L"readme.txt", codePage936(L"use KQCGI;\r\n本目录为论坛程序。\r\n")},
    };
    site.hiddenFiles = {{L".hidden.cgi", codePage936(scripts::indexScript())}};
    site.subfolders = {L"sub.cgi"};
    return site;
}

// What File1 and List1 show for the road site: the file list ordered by name with the ASCII
// letters folded, the scripts in that order.
const std::vector<std::wstring> roadFiles{L"B.CGI",       L"index.cgi",  L"plain.cgi", L"post.cgi",
                                          L"profile.cgi", L"readme.txt", L"中文.cgi",  L"论坛.cgi"};
const std::vector<std::wstring> roadScripts{L"index.cgi",   L"plain.cgi", L"post.cgi",
                                            L"profile.cgi", L"中文.cgi",  L"论坛.cgi"};
constexpr int roadLastConverted = 4;  // 中文.cgi; 论坛.cgi after it carries no package marker

// A folder with files but no script.
TestSite noScriptSite(const Context& context) {
    TestSite site;
    site.folder = context.work / L"reask" / L"没有脚本";
    site.files = {{L"B.CGI", codePage936(scripts::indexScript())},
                  {L"readme.txt", codePage936(L"说明\r\n")}};
    return site;
}

// A script that cannot be converted next to one that can.
TestSite problemSite(const Context& context, std::wstring_view name) {
    TestSite site;
    site.folder = context.work / std::wstring(name) / L"problem";
    site.files = {{L"broken.cgi", codePage936(scripts::scriptWithoutRequire())},
                  {L"good.cgi", codePage936(scripts::indexScript())}};
    return site;
}

void buildOrAbort(const TestSite& site, Checks& checks) {
    checks.require(build(site), "test site " + utf8(site.folder.wstring()) + " built");
}

// --- Working the wizard -----------------------------------------------------------------------

HWND expectDialog(const WizardProcess& wizard, Checks& checks, std::string_view what) {
    const HWND dialog = waitForDialog(wizard.processId());
    checks.require(dialog != nullptr, std::string(what) + " opens");
    return dialog;
}

void waitDialogGone(const WizardProcess& wizard, HWND dialog, Checks& checks,
                    std::string_view what) {
    checks.expect(waitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }),
                  std::string(what) + " closes");
    (void)wizard;
}

// The message box the wizard shows: its caption, text, icon and single button; answered OK.
void answerMessageBox(const WizardProcess& wizard, std::wstring_view expectedText, Checks& checks,
                      std::string_view when, bool exactText = true) {
    const HWND dialog = expectDialog(wizard, checks, std::string(when) + ": message box");
    const MessageBoxSeen seen = readMessageBox(dialog);
    checks.equal(seen.caption, texts::applicationTitle,
                 std::string(when) + ": message box caption is the application title");
    if (exactText) {
        checks.equal(seen.text, expectedText, std::string(when) + ": message box text");
    } else {
        checks.expect(seen.text.starts_with(expectedText),
                      std::string(when) + ": message box text begins " + shown(expectedText),
                      "found " + shown(seen.text));
    }
    checks.expect(seen.hasIcon, std::string(when) + ": message box shows an icon");
    checks.expect(seen.hasOkButton && seen.buttonCount == 1,
                  std::string(when) + ": message box has one button, OK");
    checks.expect(GetWindow(dialog, GW_OWNER) == wizard.form(),
                  std::string(when) + ": message box is owned by the wizard window");
    checks.expect(!IsWindowEnabled(wizard.form()),
                  std::string(when) + ": wizard window disabled while the box is up (modal)");
    pressDialogButton(dialog, IDOK);
    waitDialogGone(wizard, dialog, checks, std::string(when) + ": message box");
}

MessageBoxSeen readAndAnswer(const WizardProcess& wizard, Checks& checks, std::string_view when) {
    const HWND dialog = expectDialog(wizard, checks, std::string(when) + ": message box");
    const MessageBoxSeen seen = readMessageBox(dialog);
    pressDialogButton(dialog, IDOK);
    waitDialogGone(wizard, dialog, checks, std::string(when) + ": message box");
    return seen;
}

FolderChooser expectChooser(const WizardProcess& wizard, Checks& checks, std::string_view when) {
    const HWND dialog = expectDialog(wizard, checks, std::string(when) + ": folder chooser");
    const FolderChooser chooser(dialog, wizard.process());
    checks.require(chooser.isFolderChooser(),
                   std::string(when) + ": the dialog is the shell's folder chooser");
    const std::vector<std::wstring> labels = chooser.labelTexts();
    checks.expect(
        std::find(labels.begin(), labels.end(), texts::chooserTitle) != labels.end(),
        std::string(when) + ": folder chooser shows the title " + shown(texts::chooserTitle));
    checks.expect(GetWindow(dialog, GW_OWNER) == wizard.form(),
                  std::string(when) + ": folder chooser is owned by the wizard window");
    checks.expect(!IsWindowEnabled(wizard.form()),
                  std::string(when) + ": wizard window disabled while the chooser is up (modal)");
    return chooser;
}

void chooseFolder(const WizardProcess& wizard, const std::filesystem::path& folder, Checks& checks,
                  std::string_view when) {
    const FolderChooser chooser = expectChooser(wizard, checks, when);
    checks.require(chooser.select(folder.wstring()),
                   std::string(when) + ": folder chooser selects " + utf8(folder.wstring()));
    chooser.confirm();
    waitDialogGone(wizard, chooser.dialog(), checks, std::string(when) + ": folder chooser");
}

void cancelChooser(const WizardProcess& wizard, Checks& checks, std::string_view when) {
    const FolderChooser chooser = expectChooser(wizard, checks, when);
    chooser.cancel();
    waitDialogGone(wizard, chooser.dialog(), checks, std::string(when) + ": folder chooser");
}

void click(const WizardProcess& wizard, ControlId button) {
    wizard.press(button);
}

// After a click, the page it leads to; the click's effect arrives through the message queue.
void clickAndExpect(const WizardProcess& wizard, ControlId button, Page page, Checks& checks,
                    std::string_view when) {
    click(wizard, button);
    checks.expect(waitForPage(wizard, page, 10000ms),
                  std::string(when) + ": " + std::string(pageName(page)) + " comes up");
    checkPage(wizard, page, checks, when);
}

void expectEnds(const WizardProcess& wizard, Checks& checks, std::string_view when) {
    const std::optional<DWORD> code = wizard.waitForExit();
    checks.expect(code.has_value(), std::string(when) + ": the program ends");
    if (code) {
        checks.equal(static_cast<long long>(*code), 0, std::string(when) + ": exit code");
    }
}

void expectLines(const std::vector<std::wstring>& actual, const std::vector<std::wstring>& expected,
                 Checks& checks, std::string_view what) {
    std::wstring found;
    for (const std::wstring& line : actual) {
        found += (found.empty() ? L"" : L" | ") + line;
    }
    checks.expect(actual == expected, what, "found " + shown(found));
}

int progressHigh(HWND bar) {
    return static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
}
int progressLow(HWND bar) {
    return static_cast<int>(SendMessageW(bar, PBM_GETRANGE, TRUE, 0));
}
int progressPosition(HWND bar) {
    return static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
}

bool containsNoCase(std::string_view text, std::string_view part) {
    const auto lower = [](std::string_view s) {
        std::string result(s);
        std::transform(result.begin(), result.end(), result.begin(), [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        });
        return result;
    };
    return lower(text).find(lower(part)) != std::string::npos;
}

// The folder's files after the run against the engine's own result for the same files, byte
// for byte, and a few facts every converted script shows.
void checkFilesAfterRun(const TestSite& site, const FolderContent& expected,
                        const std::vector<std::wstring>& converted, Checks& checks) {
    const FolderContent actual = readFolder(site.folder);
    std::wstring names;
    for (const auto& [name, bytes] : actual) {
        names += name + L" ";
    }
    checks.expect(actual.size() == expected.size(),
                  "no file added or removed in " + utf8(site.folder.wstring()),
                  "found " + shown(names));
    for (const auto& [name, bytes] : expected) {
        const auto found = actual.find(name);
        checks.expect(found != actual.end() && found->second == bytes,
                      utf8(name) + " holds exactly the expected bytes after the run");
    }
    for (const std::wstring& name : converted) {
        const auto found = actual.find(name);
        const std::string bytes = found != actual.end() ? found->second : std::string();
        checks.expect(!bytes.empty() && !containsNoCase(bytes, "kqcgi"),
                      utf8(name) + " no longer mentions the package module");
        checks.expect(
            bytes.find("eval {\r\n") != std::string::npos &&
                bytes.find(codePage936(L"请更改每个程序中的 require 语句，填入绝对路径！")) !=
                    std::string::npos,
            utf8(name) + " has its require block wrapped in the eval block");
    }
    for (const std::wstring& name : converted) {
        if (site.files.at(name).find("use KQCGI;") != std::string::npos) {
            checks.expect(actual.at(name).find("use CGI qw(:standard);") != std::string::npos,
                          utf8(name) + " uses the standard CGI module");
        }
    }
    for (const auto& [name, bytes] : site.files) {
        if (std::find(converted.begin(), converted.end(), name) == converted.end()) {
            checks.expect(actual.count(name) != 0 && actual.at(name) == bytes,
                          utf8(name) + " is left exactly as it was");
        }
    }
}

// --- Scenarios --------------------------------------------------------------------------------

void versionScenario(const Context& context, Checks& checks) {
    checkVersionRecord(context.wizard, checks);
    checkResources(context.wizard, checks);
}

void layoutScenario(const Context& context, Checks& checks) {
    const WizardProcess wizard(context.wizard);
    const HWND form = wizard.form();
    checks.equal(static_cast<long long>(windowDpi(form)), context.dpi,
                 "the window runs at the display's DPI");
    checks.equal(windowText(form), texts::windowTitle, "window title");
    checks.expect((GetWindowLongPtrW(form, GWL_STYLE) & WS_THICKFRAME) != 0,
                  "the window has a resizable frame");

    RECT client{};
    GetClientRect(form, &client);
    const int dpi = static_cast<int>(context.dpi);
    checks.withinOnePixel(client.right, MulDiv(wizard::clientWidthTwips, dpi, 1440), "inner width");
    checks.withinOnePixel(client.bottom, MulDiv(wizard::clientHeightTwips, dpi, 1440),
                          "inner height");

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(form, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT frame{};
    GetWindowRect(form, &frame);
    checks.withinOnePixel((frame.left + frame.right) / 2,
                          (monitor.rcWork.left + monitor.rcWork.right) / 2,
                          "window centred across the screen");
    checks.withinOnePixel((frame.top + frame.bottom) / 2,
                          (monitor.rcWork.top + monitor.rcWork.bottom) / 2,
                          "window centred down the screen");

    checkPage(wizard, Page::welcome, checks, "at start");
    for (const wizard::ControlSpec& row : wizard::controls) {
        if (!row.text.empty() && row.kind != wizard::ControlKind::frame) {
            checks.equal(wizard.text(row.id), row.text, "initial text of " + std::string(row.name));
        }
    }
    checks.equal(wizard.text(ControlId::Text1), L"", "Text1 empty at start");
    checks.equal(static_cast<long long>(listLines(wizard.control(ControlId::File1)).size()), 0,
                 "File1 empty at start");
    checks.equal(static_cast<long long>(listLines(wizard.control(ControlId::List1)).size()), 0,
                 "List1 empty at start");
    const HWND bar = wizard.control(ControlId::pg);
    checks.equal(progressLow(bar), 0, "pg minimum 0 at start");
    checks.equal(progressHigh(bar), 100, "pg maximum 100 at start");
    checks.equal(progressPosition(bar), 0, "pg value 0 at start");
    checkBoxes(wizard, context.dpi, checks, "at start");

    // Kinds, borders and defaults of the controls.
    for (const wizard::ControlSpec& row : wizard::controls) {
        const HWND window = wizard.control(row.id);
        const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
        const std::wstring kind = className(window);
        const std::string name(row.name);
        switch (row.kind) {
            case wizard::ControlKind::button:
                checks.expect(_wcsicmp(kind.c_str(), L"Button") == 0 &&
                                  (style & BS_TYPEMASK) == BS_PUSHBUTTON,
                              name + " is a push button and not the default button");
                break;
            case wizard::ControlKind::textBox:
                checks.expect(_wcsicmp(kind.c_str(), L"Edit") == 0, name + " is a text box");
                break;
            case wizard::ControlKind::listBox:
            case wizard::ControlKind::fileListBox:
                checks.expect(_wcsicmp(kind.c_str(), L"ListBox") == 0 && (style & LBS_SORT) == 0,
                              name + " is an unsorted list box");
                break;
            case wizard::ControlKind::label:
                checks.expect(_wcsicmp(kind.c_str(), L"Static") == 0, name + " is a label");
                break;
            case wizard::ControlKind::progressBar:
                checks.expect(kind == PROGRESS_CLASSW, name + " is the common progress bar");
                break;
            default:
                break;
        }
        if (row.border == wizard::Border::sunken) {
            checks.expect((exStyle & WS_EX_CLIENTEDGE) != 0, name + " has a sunken border");
        } else if (row.border == wizard::Border::flat) {
            checks.expect((style & WS_BORDER) != 0 && (exStyle & WS_EX_CLIENTEDGE) == 0,
                          name + " has a flat border");
        }
    }

    // Label6 lies beneath pg and List1: lower in the stacking order of Frame3's children.
    const auto stackIndex = [&](ControlId id) {
        int index = 0;
        for (HWND w = GetWindow(wizard.control(ControlId::Frame3), GW_CHILD); w != nullptr;
             w = GetWindow(w, GW_HWNDNEXT), ++index) {
            if (w == wizard.control(id)) {
                return index;
            }
        }
        return -1;
    };
    checks.expect(stackIndex(ControlId::Label6) > stackIndex(ControlId::pg) &&
                      stackIndex(ControlId::Label6) > stackIndex(ControlId::List1),
                  "Label6 is stacked beneath pg and List1");

    clickAndExpect(wizard, ControlId::next1, Page::folder, checks, "after next1");
    checkBoxes(wizard, context.dpi, checks, "on the folder page");

    // A larger window shows empty area: nothing moves or grows.
    SetWindowPos(form, nullptr, 0, 0, (frame.right - frame.left) + 150,
                 (frame.bottom - frame.top) + 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT larger{};
    waitUntil([&] {
        GetClientRect(form, &larger);
        return larger.right > client.right;
    });
    checks.expect(larger.right > client.right && larger.bottom > client.bottom,
                  "the window can be made larger");
    checkBoxes(wizard, context.dpi, checks, "after resizing");
    checkPage(wizard, Page::folder, checks, "after resizing");

    click(wizard, ControlId::cancel);
    expectEnds(wizard, checks, "cancel on the folder page");
}

void postKey(const WizardProcess& wizard, UINT message, WPARAM key, LPARAM flags = 0) {
    HWND target = wizard.focus();
    if (target == nullptr) {
        target = wizard.form();
    }
    PostMessageW(target, message, key, flags | 1);
}

void expectFocus(const WizardProcess& wizard, ControlId control, Checks& checks,
                 std::string_view when) {
    const HWND expected = wizard.control(control);
    checks.expect(
        waitUntil([&] { return wizard.focus() == expected; }, 5000ms),
        std::string(when) + ": focus on " + std::string(wizard::controlSpec(control).name));
}

void keyboardScenario(const Context& context, Checks& checks) {
    const WizardProcess wizard(context.wizard);
    SetForegroundWindow(wizard.form());
    expectFocus(wizard, ControlId::Picture2, checks, "at start");
    postKey(wizard, WM_KEYDOWN, VK_TAB);
    expectFocus(wizard, ControlId::next1, checks, "after Tab");
    postKey(wizard, WM_KEYDOWN, VK_TAB);
    expectFocus(wizard, ControlId::cancel, checks, "after Tab, Tab");
    postKey(wizard, WM_KEYDOWN, VK_TAB);
    expectFocus(wizard, ControlId::Picture2, checks, "after three Tabs");

    // Enter and Escape: no default button, no cancel button.
    postKey(wizard, WM_KEYDOWN, VK_RETURN);
    postKey(wizard, WM_KEYDOWN, VK_ESCAPE);
    postKey(wizard, WM_CHAR, L' ');
    std::this_thread::sleep_for(500ms);
    checks.expect(!wizard.waitForExit(0ms).has_value(), "Escape does not close the window");
    checkPage(wizard, Page::welcome, checks, "after Enter, Escape and Space");

    constexpr LPARAM altDown = 1 << 29;
    postKey(wizard, WM_SYSCHAR, L'n', altDown);
    checks.expect(waitForPage(wizard, Page::folder, 5000ms), "Alt+N: folder page");
    checkPage(wizard, Page::folder, checks, "after Alt+N");
    postKey(wizard, WM_SYSCHAR, L'p', altDown);
    checks.expect(waitForPage(wizard, Page::welcome, 5000ms), "Alt+P: welcome page");
    postKey(wizard, WM_SYSCHAR, L'p', altDown);  // prev is disabled on the welcome page
    std::this_thread::sleep_for(300ms);
    checkPage(wizard, Page::welcome, checks, "after Alt+P on the welcome page");
    postKey(wizard, WM_SYSCHAR, L'n', altDown);
    checks.expect(waitForPage(wizard, Page::folder, 5000ms), "Alt+N again: folder page");
    postKey(wizard, WM_SYSCHAR, L's', altDown);
    cancelChooser(wizard, checks, "Alt+S");
    checks.equal(wizard.text(ControlId::Text1), L"", "a cancelled first choice leaves Text1 empty");
    checkPage(wizard, Page::folder, checks, "after the cancelled chooser");
    postKey(wizard, WM_SYSCHAR, L'c', altDown);
    expectEnds(wizard, checks, "Alt+C");
}

void roadScenario(const Context& context, Checks& checks) {
    const TestSite site = roadSite(context);
    buildOrAbort(site, checks);
    const FolderContent expected = expectedAfterPass(site, roadScripts);

    const WizardProcess wizard(context.wizard);
    checkPage(wizard, Page::welcome, checks, "at start");
    click(wizard, ControlId::prev);  // disabled: nothing happens
    std::this_thread::sleep_for(300ms);
    checkPage(wizard, Page::welcome, checks, "after prev on the welcome page");
    clickAndExpect(wizard, ControlId::next1, Page::folder, checks, "next1");
    clickAndExpect(wizard, ControlId::prev, Page::welcome, checks, "next1, prev");
    clickAndExpect(wizard, ControlId::next1, Page::folder, checks, "next1, prev, next1");

    click(wizard, ControlId::getfile);
    chooseFolder(wizard, site.folder, checks, "getfile");
    const std::wstring folder = site.folder.wstring();
    checks.expect(waitUntil([&] { return wizard.text(ControlId::Text1) == folder; }),
                  "Text1 shows the chosen folder", "found " + shown(wizard.text(ControlId::Text1)));
    expectLines(listLines(wizard.control(ControlId::File1)), roadFiles, checks,
                "File1 lists the folder's ordinary files");
    expectLines(listLines(wizard.control(ControlId::List1)), roadScripts, checks,
                "List1 holds the .cgi scripts in File1's order");
    checkPage(wizard, Page::folder, checks, "after the folder choice");

    clickAndExpect(wizard, ControlId::prev, Page::welcome, checks, "back to the welcome page");
    clickAndExpect(wizard, ControlId::next1, Page::folder, checks, "forward to the folder page");
    checks.equal(wizard.text(ControlId::Text1), folder, "Text1 keeps the folder");
    expectLines(listLines(wizard.control(ControlId::List1)), roadScripts, checks,
                "List1 keeps the scripts");

    click(wizard, ControlId::getfile);
    cancelChooser(wizard, checks, "getfile, then cancel");
    checks.equal(wizard.text(ControlId::Text1), folder, "a cancelled choice keeps Text1");
    expectLines(listLines(wizard.control(ControlId::File1)), roadFiles, checks,
                "a cancelled choice lists the same files");
    expectLines(listLines(wizard.control(ControlId::List1)), roadScripts, checks,
                "a cancelled choice lists the same scripts once");

    click(wizard, ControlId::next1);
    checks.require(waitForPage(wizard, Page::finish, 60000ms), "the pass ends on the finish page");
    checkPage(wizard, Page::finish, checks, "after the pass");
    checks.equal(wizard.text(ControlId::Label8), texts::label8, "Label8 after a clean run");
    expectLines(listLines(wizard.control(ControlId::List1)), {L"全部完成：100%"}, checks,
                "List1 holds only the completion line");
    const HWND bar = wizard.control(ControlId::pg);
    checks.equal(progressLow(bar), 0, "pg minimum stays 0");
    checks.equal(progressHigh(bar), static_cast<long long>(roadScripts.size()) - 1,
                 "pg maximum is the number of scripts less one");
    checks.equal(progressPosition(bar), roadLastConverted,
                 "pg stops at the index of the last converted script");

    checkFilesAfterRun(site, expected, {L"index.cgi", L"post.cgi", L"profile.cgi", L"中文.cgi"},
                       checks);
    const std::string& post = expected.at(L"post.cgi");
    checks.expect(post.find("@up_name = split(/\\./,$up_filename);\r\n$up_ext = $up_name[-1];") !=
                          std::string::npos &&
                      post.find("    while ($bytesread=read($addme,$buffer,1024)) {\r\n") !=
                          std::string::npos &&
                      post.find("uploadInfo") == std::string::npos,
                  "post.cgi got the post upload rewrite");
    const std::string& profile = expected.at(L"profile.cgi");
    checks.expect(
        profile.find("$filename = lc($filename);") != std::string::npos &&
            profile.find("while ($bytesread=read($addme,$buffer,1024)) {") != std::string::npos,
        "profile.cgi got the profile upload rewrite");
    const FolderContent inner = readFolder(site.folder / L"sub.cgi");
    checks.expect(
        inner.size() == 1 && inner.begin()->second.find("use KQCGI;") != std::string::npos,
        "the subfolder's script is left alone");

    click(wizard, ControlId::cancel);
    expectEnds(wizard, checks, "完成 on the finish page");
}

void reaskScenario(const Context& context, Checks& checks) {
    const TestSite empty = noScriptSite(context);
    const TestSite problem = problemSite(context, L"reask");
    buildOrAbort(empty, checks);
    buildOrAbort(problem, checks);
    const FolderContent expected = expectedAfterPass(problem, {L"broken.cgi", L"good.cgi"});

    const WizardProcess wizard(context.wizard);
    clickAndExpect(wizard, ControlId::next1, Page::folder, checks, "next1");
    click(wizard, ControlId::next1);  // no folder chosen yet
    const HWND box = expectDialog(wizard, checks, "next1 without a folder: message box");
    checkPage(wizard, Page::work, checks, "while the pass asks for a folder");
    (void)box;
    answerMessageBox(wizard, L"请选择目录！", checks, "no folder");

    chooseFolder(wizard, empty.folder, checks, "after the no-folder message");
    const HWND second = expectDialog(wizard, checks, "folder without scripts: message box");
    (void)second;
    checks.equal(wizard.text(ControlId::Text1), empty.folder.wstring(),
                 "Text1 shows the folder without scripts");
    expectLines(listLines(wizard.control(ControlId::File1)), {L"B.CGI", L"readme.txt"}, checks,
                "File1 lists the folder without scripts");
    checks.equal(static_cast<long long>(listLines(wizard.control(ControlId::List1)).size()), 0,
                 "List1 is empty for the folder without scripts");
    checkPage(wizard, Page::work, checks, "while the pass reports no scripts");
    answerMessageBox(wizard, L"目录选择错误，没有CGI 文件!", checks, "no scripts");

    chooseFolder(wizard, problem.folder, checks, "after the no-script message");
    const MessageBoxSeen report = readAndAnswer(wizard, checks, "problem report");
    checks.equal(report.caption, texts::applicationTitle, "problem report caption");
    const std::wstring head = std::wstring(texts::problemsIntro) + L"\nbroken.cgi：";
    checks.expect(report.text.starts_with(head), "problem report names broken.cgi first",
                  "found " + shown(report.text));
    checks.expect(report.text.find(L"good.cgi") == std::wstring::npos,
                  "problem report leaves out the converted good.cgi");
    checks.expect(report.text.find(L'\n', head.size()) == std::wstring::npos,
                  "problem report holds one script");

    checks.require(waitForPage(wizard, Page::finish, 30000ms), "the pass ends on the finish page");
    checkPage(wizard, Page::finish, checks, "after the pass with a problem");
    checks.equal(wizard.text(ControlId::Label8), texts::label8WithProblems,
                 "Label8 does not claim that everything was done");
    checkFilesAfterRun(problem, expected, {L"good.cgi"}, checks);
    checks.expect(readFolder(empty.folder) == empty.files,
                  "the folder without scripts is untouched");

    click(wizard, ControlId::cancel);
    expectEnds(wizard, checks, "完成 after the problem report");
}

void cancelScenario(const Context& context, Checks& checks) {
    {
        const WizardProcess wizard(context.wizard);
        click(wizard, ControlId::cancel);
        expectEnds(wizard, checks, "cancel on the welcome page");
    }
    {
        const WizardProcess wizard(context.wizard);
        clickAndExpect(wizard, ControlId::next1, Page::folder, checks, "next1");
        click(wizard, ControlId::cancel);
        expectEnds(wizard, checks, "cancel on the folder page");
    }
    {
        const WizardProcess wizard(context.wizard);
        PostMessageW(wizard.form(), WM_CLOSE, 0, 0);
        expectEnds(wizard, checks, "the close box");
    }
}

// Opens the shell's folder chooser once and selects a folder: Wine's first chooser in a new
// prefix may not follow a selection yet.
void warmUpScenario(const Context& context, Checks& checks) {
    const WizardProcess wizard(context.wizard);
    clickAndExpect(wizard, ControlId::next1, Page::folder, checks, "next1");
    click(wizard, ControlId::getfile);
    const HWND dialog = expectDialog(wizard, checks, "warm-up: folder chooser");
    const FolderChooser chooser(dialog, wizard.process());
    checks.expect(chooser.select(context.work.wstring()),
                  "warm-up: the chooser follows a selection");
    chooser.cancel();
    waitDialogGone(wizard, dialog, checks, "warm-up: folder chooser");
    click(wizard, ControlId::cancel);
    expectEnds(wizard, checks, "warm-up: cancel");
}

void screenshotsScenario(const Context& context, Checks& checks) {
    const TestSite site = roadSite(context);
    buildOrAbort(site, checks);
    const auto shot = [&](HWND window, std::wstring_view name) {
        std::this_thread::sleep_for(700ms);  // let the window finish painting
        checks.expect(captureWindow(window, context.shots / (std::wstring(name) + L".bmp")),
                      "picture " + utf8(name) + " taken");
    };
    {
        const WizardProcess wizard(context.wizard);
        shot(wizard.form(), L"1-welcome");
        clickAndExpect(wizard, ControlId::next1, Page::folder, checks, "next1");
        click(wizard, ControlId::getfile);
        const HWND dialog = expectDialog(wizard, checks, "folder chooser");
        const FolderChooser chooser(dialog, wizard.process());
        checks.require(chooser.select(site.folder.wstring()), "chooser selects the site");
        shot(dialog, L"2-folder-chooser");
        chooser.confirm();
        waitDialogGone(wizard, dialog, checks, "folder chooser");
        checks.expect(waitUntil([&] { return !wizard.text(ControlId::Text1).empty(); }),
                      "Text1 filled");
        shot(wizard.form(), L"3-folder");
        click(wizard, ControlId::next1);
        checks.require(waitForPage(wizard, Page::finish, 60000ms), "finish page");
        shot(wizard.form(), L"5-finish");
        click(wizard, ControlId::cancel);
        expectEnds(wizard, checks, "finish");
    }
    {
        // The work page stays on screen while the pass waits for its message box to close.
        const WizardProcess wizard(context.wizard);
        clickAndExpect(wizard, ControlId::next1, Page::folder, checks, "next1");
        click(wizard, ControlId::next1);
        const HWND box = expectDialog(wizard, checks, "no-folder message");
        const RECT form = [&] {
            RECT r{};
            GetWindowRect(wizard.form(), &r);
            return r;
        }();
        // Beside the window, so that the picture shows the page itself.
        SetWindowPos(box, nullptr, form.right + 8, form.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        shot(wizard.form(), L"4-work");
        pressDialogButton(box, IDOK);
        waitDialogGone(wizard, box, checks, "no-folder message");
        cancelChooser(wizard, checks, "chooser after the message");
        click(wizard, ControlId::cancel);
        expectEnds(wizard, checks, "cancel");
    }
}

}  // namespace

const std::vector<Scenario>& scenarios() {
    static const std::vector<Scenario> all{
        {"version", "version record and resources of kqwizard.exe", versionScenario},
        {"warmup", "the shell's folder chooser, once, in a new prefix", warmUpScenario},
        {"layout", "window, controls and their boxes at the display's DPI", layoutScenario},
        {"keyboard", "tab order, access keys, Enter and Escape", keyboardScenario},
        {"road", "one whole run over a site folder", roadScenario},
        {"reask", "no folder, a folder without scripts, a script that fails", reaskScenario},
        {"cancel", "cancel and the close box end the program", cancelScenario},
        {"screenshots", "a picture of every page", screenshotsScenario},
    };
    return all;
}

}  // namespace kq::e2e
