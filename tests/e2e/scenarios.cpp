// kqwizard_e2e: works kqwizard.exe from outside, as a user would, and checks what only the real
// window shows: its layout in pixels, the shell's folder chooser, the message boxes, the keys,
// the files a whole run leaves on disk. Run under Wine with a display by run-e2e.sh:
//
//   kqwizard_e2e SCENARIO... --wizard EXE --work FOLDER --case FOLDER [--dpi N]
//
// --case: a golden site of tests/data (input/, expected/, output) for the road scenario.
// One line per check, then "N passed, N failed"; the exit code is 0 only when all passed.

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "cli/cli_texts.hpp"
#include "driver.hpp"
#include "wizard/form1.hpp"
#include "wizard/form_layout.hpp"
#include "wizard/wizard_texts.hpp"

namespace kq::e2e {

namespace {

namespace texts = wizard::texts;
using enum wizard::FormControl;
using wizard::Page;

struct Context {
    fs::path wizard;  // kqwizard.exe
    fs::path work;    // an empty folder of this run, for the sites
    fs::path golden;  // tests/data/<case>
    UINT dpi = 96;    // the display's
};

// The control as the form names it, for the checks' lines.
std::string name(FormControl control) {
    return std::string(wizard::controlSpec(control).formName);
}

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool writeBytes(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    return static_cast<bool>(std::ofstream(file, std::ios::binary) << bytes);
}

// Every file under `folder` with its bytes.
std::map<fs::path, std::string> readTree(const fs::path& folder) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder)] = readBytes(entry.path());
        }
    }
    return files;
}

// Of the four page frames only the frame of `page` is on screen.
void expectPage(const Wizard& wizard, Page page, Checks& checks, const std::string& when,
                std::chrono::milliseconds timeout = 10s) {
    // The frame of each page, in the order of Page.
    constexpr std::array frames{welcomeFrame, folderFrame, workFrame, finishFrame};
    const FormControl wanted = frames.at(static_cast<std::size_t>(page));
    const auto shown = [&] {
        return std::ranges::all_of(frames, [&](FormControl frame) {
            return (IsWindowVisible(wizard[frame]) != FALSE) == (frame == wanted);
        });
    };
    checks.expect(waitUntil(shown, timeout), when + ": the page on screen is " + name(wanted));
}

void expectEnd(const Wizard& wizard, Checks& checks, const std::string& when) {
    const std::optional<DWORD> code = wizard.exitCode();
    checks.expect(code == 0u, when + ": the program ends with exit code 0",
                  code ? "exit code " + std::to_string(*code) : "it still runs");
}

// A message box of the wizard: the application's title, `text` and the error icon; answered.
void answer(const Dialog& box, std::wstring_view text, Checks& checks, const std::string& when) {
    checks.equal(windowText(box.window), texts::applicationTitle, when + ": the box's caption");
    checks.equal(box.texts().at(0), text, when + ": the box's text");
    checks.expect(box.showsIcon(IDI_ERROR), when + ": the box shows the error icon");
    checks.require(box.close(IDOK), when + ": the box closes");
}

void choose(const Wizard& wizard, const fs::path& folder, Checks& checks, const std::string& when) {
    const Dialog chooser = wizard.dialog(when + ": the folder chooser");
    checks.require(chooser.select(folder),
                   when + ": the chooser selects " + utf8FromWide(folder.wstring()));
    checks.require(chooser.close(IDOK), when + ": the chooser closes");
}

using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, decltype(&DeleteObject)>;

// A font of the layout at `dpi`: the window's font for a row without one of its own, at
// `points` hundredths of a point.
Font layoutFont(const wizard::FontSpec& given, int points, int dpi) {
    const wizard::FontSpec& row = given.face.empty() ? wizard::windowFont : given;
    LOGFONTW description{};
    description.lfHeight = -MulDiv(points, dpi, 7200);
    description.lfWeight = row.bold ? FW_BOLD : FW_NORMAL;
    description.lfCharSet = GB2312_CHARSET;
    row.face.copy(description.lfFaceName, LF_FACESIZE - 1);
    return Font(CreateFontIndirectW(&description), &DeleteObject);
}
Font layoutFont(const wizard::FontSpec& given, int dpi) {
    return layoutFont(given, (given.face.empty() ? wizard::windowFont : given).pointsTimes100, dpi);
}

// Whether `text` in `font` fits `area`, in lines broken as a label breaks them.
bool fits(const std::wstring& text, HFONT font, RECT area) {
    const HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, font);
    RECT extent{0, 0, area.right - area.left, 0};
    DrawTextW(screen, text.c_str(), -1, &extent,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_WORDBREAK);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return extent.right <= area.right - area.left && extent.bottom <= area.bottom - area.top;
}

// Every label on screen shows its text in its face and whole: at the size it is drawn at, the
// text's extent fits the label's client area; none is drawn below 9 pt, and one drawn smaller
// than the layout's size would not fit at that size.
void expectLabelsFit(const Wizard& wizard, int dpi, Checks& checks, const std::string& when) {
    for (const wizard::ControlSpec& row : wizard::controls) {
        if (row.kind != wizard::ControlKind::label || row.autoSize ||
            !IsWindowVisible(wizard[row.control])) {
            continue;
        }
        const std::wstring text = wizard.text(row.control);
        const int layoutPoints =
            (row.font.face.empty() ? wizard::windowFont : row.font).pointsTimes100;
        RECT client{};
        GetClientRect(wizard[row.control], &client);
        // A label in the window's font has 9 pt already; one with a font of its own is drawn at the
        // size found by drawing it the same way.
        int shown = row.font.face.empty() ? layoutPoints : 0;
        waitUntil(
            [&] {
                for (int points = layoutPoints; points >= 900 && shown == 0; points -= 25) {
                    const Font font = layoutFont(row.font, points, dpi);
                    if (matchesDrawing(wizard[row.control], [&](HDC dc, RECT area) {
                            const HGDIOBJ previous = SelectObject(dc, font.get());
                            SetBkMode(dc, TRANSPARENT);
                            DrawTextW(dc, text.c_str(), -1, &area,
                                      DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
                            SelectObject(dc, previous);
                        })) {
                        shown = points;
                    }
                }
                return shown != 0;
            },
            3s);
        const std::string what = when + ": " + std::string(row.formName);
        if (!checks.expect(shown != 0, what + " is drawn in its face, 9 pt or more")) {
            continue;
        }
        checks.expect(fits(text, layoutFont(row.font, shown, dpi).get(), client),
                      what + " shows its whole text", std::to_string(shown));
        checks.expect(shown == layoutPoints ||
                          !fits(text, layoutFont(row.font, layoutPoints, dpi).get(), client),
                      what + " is made smaller only when it does not fit", std::to_string(shown));
    }
}

// --- Scenarios --------------------------------------------------------------------------------

// The version record holds the build's version as four numbers, and as a string of the major
// number, the minor in two digits and the fourth number in four ("1.05.0001" for 1.5.0.1).
void version(const Context& context, Checks& checks) {
    constexpr std::array<WORD, 4> built{KQ_VERSION_MAJOR, KQ_VERSION_MINOR, KQ_VERSION_PATCH,
                                        KQ_VERSION_TWEAK};
    std::array<wchar_t, 32> spelled{};
    std::swprintf(spelled.data(), spelled.size(), L"%u.%02u.%04u", unsigned{built[0]},
                  unsigned{built[1]}, unsigned{built[3]});
    const std::string numbers = std::to_string(built[0]) + "." + std::to_string(built[1]) + "." +
                                std::to_string(built[2]) + "." + std::to_string(built[3]);

    const std::wstring file = context.wizard.wstring();
    std::vector<char> record(GetFileVersionInfoSizeW(file.c_str(), nullptr));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    checks.require(
        !record.empty() &&
            GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(record.size()),
                                record.data()) &&
            VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &size),
        "kqwizard.exe has a version record");
    const DWORD high = MAKELONG(built[1], built[0]);
    const DWORD low = MAKELONG(built[3], built[2]);
    checks.expect(fixed->dwFileVersionMS == high && fixed->dwFileVersionLS == low &&
                      fixed->dwProductVersionMS == high && fixed->dwProductVersionLS == low,
                  "file and product version " + numbers);
    const auto versionString = [&record](const wchar_t* name) {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
        wchar_t* value = nullptr;
        UINT length = 0;
        return VerQueryValueW(record.data(), path.c_str(), reinterpret_cast<void**>(&value),
                              &length)
                   ? std::wstring(value)
                   : std::wstring(L"(none)");
    };
    checks.equal(versionString(L"ProductName"), texts::applicationTitle,
                 "ProductName (Chinese, PRC)");
    checks.equal(versionString(L"FileVersion"), spelled.data(), "FileVersion");
    checks.equal(versionString(L"ProductVersion"), spelled.data(), "ProductVersion");
}

// The window at the display's DPI: its title and inner size, every control's text at start, and
// every control's box, border and font as the layout table has them. The boxes are measured on the
// folder page, where the headings have their texts, in a window made larger: a larger window shows
// empty area, nothing moves.
void layout(const Context& context, Checks& checks) {
    const Wizard wizard(context.wizard);
    const HWND form = wizard.form();
    const int dpi = static_cast<int>(context.dpi);
    const auto px = [dpi](int twips) { return MulDiv(twips, dpi, wizard::twipsPerInch); };
    checks.expect(GetDpiForWindow(form) == context.dpi, "the window runs at the display's DPI",
                  std::to_string(GetDpiForWindow(form)));
    checks.equal(windowText(form), texts::windowTitle, "the window's title");
    for (const wizard::ControlSpec& row : wizard::controls) {
        if (!row.text.empty()) {
            checks.equal(wizard.text(row.control), row.text,
                         name(row.control) + ": its text at start");
        }
    }
    RECT client{};
    RECT outer{};
    GetClientRect(form, &client);
    GetWindowRect(form, &outer);
    checks.closeTo(client.right, px(wizard::clientWidthTwips), "the window's inner width");
    checks.closeTo(client.bottom, px(wizard::clientHeightTwips), "the window's inner height");
    expectLabelsFit(wizard, dpi, checks, "at start");

    wizard.press(nextButton);
    expectPage(wizard, Page::folder, checks, "next");
    SetWindowPos(form, nullptr, 0, 0, outer.right - outer.left + 150,
                 outer.bottom - outer.top + 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    checks.require(waitUntil([&] {
                       RECT larger{};
                       GetClientRect(form, &larger);
                       return larger.right == client.right + 150;
                   }),
                   "the window is made larger");
    expectLabelsFit(wizard, dpi, checks, "the folder page");
    for (const wizard::ControlSpec& row : wizard::controls) {
        const HWND window = wizard[row.control];
        const std::string what = name(row.control) + ": ";
        RECT box{};
        GetWindowRect(window, &box);
        MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&box), 2);
        SIZE size{px(row.rect.width), px(row.rect.height)};
        if (row.autoSize && row.kind == wizard::ControlKind::label) {  // fits its one line
            const std::wstring text = wizard.text(row.control);
            const Font font = layoutFont(row.font, dpi);
            const HDC screen = GetDC(nullptr);
            const HGDIOBJ previous = SelectObject(screen, font.get());
            GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
            SelectObject(screen, previous);
            ReleaseDC(nullptr, screen);
        }
        checks.closeTo(box.left, px(row.rect.left), what + "left");
        checks.closeTo(box.top, px(row.rect.top), what + "top");
        checks.closeTo(box.right - box.left, size.cx, what + "width");
        checks.closeTo(box.bottom - box.top, size.cy, what + "height");
        const bool sunken = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
        checks.expect(sunken == (row.border == wizard::Border::sunken),
                      what + (sunken ? "a sunken border" : "no sunken border"));
    }
    PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    expectEnd(wizard, checks, "the close box");
}

// One run over the golden site, as a user makes it: nextButton, the folder chosen in the shell's
// chooser, nextButton, the conversion (with the problem report when kqconvert reports problems for
// the case), the finish page and its button; then the files on disk against the expected ones.
void road(const Context& context, Checks& checks) {
    const fs::path site = context.work / L"网站 副本";
    fs::copy(context.golden / "input", site, fs::copy_options::recursive);
    const fs::path expected =
        context.golden / (fs::exists(context.golden / "expected") ? "expected" : "input");
    // The report names each problem as kqconvert's report does, after its outcome.
    std::wstring report;
    std::wistringstream output(wideFromUtf8(readBytes(context.golden / "output")));
    for (std::wstring line; std::getline(output, line);) {
        for (std::wstring_view outcome : {cli::texts::notConverted, cli::texts::needsCheck}) {
            outcome = outcome.substr(0, outcome.find(L"%1"));
            if (line.starts_with(outcome)) {
                report += L"\n" + line.substr(outcome.size());
            }
        }
    }

    const Wizard wizard(context.wizard);
    expectPage(wizard, Page::welcome, checks, "at start");
    wizard.press(nextButton);
    expectPage(wizard, Page::folder, checks, "next");
    checks.expect(waitUntil([&] { return wizard.enabled(backButton); }),
                  "next: the back button is live");
    checks.equal(wizard.text(heading), texts::folderHeading, "next: the heading");
    wizard.press(chooseFolderButton);
    const Dialog chooser = wizard.dialog("choose folder: the folder chooser");
    checks.expect(std::ranges::count(chooser.texts(), texts::chooserTitle) == 1,
                  "the folder chooser shows the wizard's title");
    checks.require(chooser.select(site) && chooser.close(IDOK), "the chooser takes the site");
    checks.expect(waitUntil([&] { return wizard.text(folderField) == site.wstring(); }),
                  "the folder field shows the chosen folder",
                  utf8FromWide(wizard.text(folderField)));
    std::set<std::wstring> files;
    for (const auto& entry : fs::directory_iterator(site)) {
        if (entry.is_regular_file() &&
            (GetFileAttributesW(entry.path().c_str()) & FILE_ATTRIBUTE_HIDDEN) == 0) {
            files.insert(entry.path().filename().wstring());
        }
    }
    const std::vector<std::wstring> listed = listLines(wizard[fileList]);
    checks.expect(listed.size() == files.size() && std::set(listed.begin(), listed.end()) == files,
                  "the file list lists the folder's files",
                  std::to_string(listed.size()) + " lines");

    wizard.press(nextButton);
    if (!report.empty()) {
        answer(wizard.dialog("the problem report"), std::wstring(texts::problemsIntro) + report,
               checks, "the problem report");
    }
    expectPage(wizard, Page::finish, checks, "after the conversion", 120s);
    checks.equal(wizard.text(cancelButton), texts::finishCaption, "the finish page's button");
    checks.equal(wizard.text(finishMessage),
                 report.empty() ? texts::finishMessage : texts::finishMessageAfterProblems,
                 "the finish message on the finish page");
    expectLabelsFit(wizard, static_cast<int>(context.dpi), checks, "the finish page");
    wizard.press(cancelButton);
    expectEnd(wizard, checks, "完成");

    const auto after = readTree(site);
    std::string differing;
    for (const auto& [file, bytes] : readTree(expected)) {
        if (!after.contains(file) || after.at(file) != bytes) {
            differing.append(" ").append(file.string());
        }
    }
    checks.expect(after.size() == readTree(expected).size() && differing.empty(),
                  "the site holds exactly the case's expected files, byte for byte",
                  std::to_string(after.size()) + " files; differing:" + differing);
}

// The checks before a run, in the real window: no folder, then a folder without scripts, each
// told in a message box and followed by the chooser; then a script that cannot be converted.
void reask(const Context& context, Checks& checks) {
    const fs::path empty = context.work / L"没有脚本";
    const fs::path problem = context.work / L"problem";
    // The package's marker but no require statement: the wizard cannot convert it.
    const std::string broken = "#!/usr/bin/perl\r\nuse KQCGI;\r\nprint 1;\r\n";
    checks.require(writeBytes(empty / L"readme.txt", "readme\r\n") &&
                       writeBytes(problem / L"broken.cgi", broken),
                   "the test folders are made");

    const Wizard wizard(context.wizard);
    wizard.press(nextButton);
    expectPage(wizard, Page::folder, checks, "next");
    wizard.press(nextButton);
    const Dialog noFolder = wizard.dialog("next without a folder: the message");
    expectPage(wizard, Page::work, checks, "while the message is up");
    checks.expect(
        !wizard.enabled(backButton) && !wizard.enabled(nextButton) && !wizard.enabled(cancelButton),
        "while the message is up: every button is dead");
    answer(noFolder, texts::noFolderMessage, checks, "no folder");
    checks.require(wizard.dialog("after the message: the folder chooser").close(IDCANCEL),
                   "the chooser is cancelled");
    expectPage(wizard, Page::folder, checks, "the chooser cancelled");

    wizard.press(chooseFolderButton);
    choose(wizard, empty, checks, "choose folder");
    wizard.press(nextButton);
    answer(wizard.dialog("a folder without scripts: the message"), texts::noScriptMessage, checks,
           "no scripts");
    choose(wizard, problem, checks, "after the no-script message");
    answer(wizard.dialog("the problem report"),
           std::wstring(texts::problemsIntro) + L"\nbroken.cgi" +
               std::wstring(texts::failureWords.afterName) +
               std::wstring(texts::failureWords.noRequireBlock),
           checks, "the problem report");
    expectPage(wizard, Page::finish, checks, "after the problem report");
    checks.equal(wizard.text(finishMessage), texts::finishMessageAfterProblems,
                 "the finish message after the problem");
    wizard.press(cancelButton);
    expectEnd(wizard, checks, "完成");
    checks.expect(readBytes(problem / L"broken.cgi") == broken,
                  "the script that was not converted keeps its bytes");
}

void keyboard(const Context& context, Checks& checks) {
    const Wizard wizard(context.wizard);
    SetForegroundWindow(wizard.form());
    const auto focusOn = [&](FormControl control, const std::string& when) {
        checks.expect(waitUntil([&] { return wizard.focus() == wizard[control]; }, 5s),
                      when + ": the focus is on " + name(control));
    };
    focusOn(leftBanner, "at start");
    wizard.key(WM_KEYDOWN, VK_RETURN);
    wizard.key(WM_KEYDOWN, VK_ESCAPE);
    Sleep(500);
    expectPage(wizard, Page::welcome, checks, "Enter and Escape do nothing");
    for (const FormControl control : {nextButton, cancelButton, leftBanner}) {
        wizard.key(WM_KEYDOWN, VK_TAB);
        focusOn(control, "Tab");
    }
    constexpr LPARAM alt = 1 << 29;
    wizard.key(WM_SYSCHAR, L'n', alt);
    expectPage(wizard, Page::folder, checks, "Alt+N");
    wizard.key(WM_SYSCHAR, L'p', alt);
    expectPage(wizard, Page::welcome, checks, "Alt+P");
    wizard.key(WM_SYSCHAR, L'n', alt);
    expectPage(wizard, Page::folder, checks, "Alt+N again");
    wizard.key(WM_SYSCHAR, L's', alt);
    checks.expect(wizard.dialog("Alt+S: the folder chooser").close(IDCANCEL),
                  "Alt+S opens the folder chooser");
    wizard.key(WM_SYSCHAR, L'p', alt);
    expectPage(wizard, Page::welcome, checks, "Alt+P again");
    wizard.key(WM_SYSCHAR, L'c', alt);
    expectEnd(wizard, checks, "Alt+C (cancelButton) on the welcome page");
}

// Told to quit from outside, the program says so before it ends, rather than vanish.
void quit(const Context& context, Checks& checks) {
    const Wizard wizard(context.wizard);
    wizard.postToThread(WM_QUIT);
    answer(wizard.dialog("told to quit: the message"), texts::windowEndedFromOutside, checks,
           "told to quit");
    checks.expect(wizard.exitCode() == 1u, "told to quit: the program ends with exit code 1");
}

struct Scenario {
    std::wstring_view name;
    void (*run)(const Context&, Checks&);
};
constexpr std::array<Scenario, 6> scenarios{{{L"version", version},
                                             {L"layout", layout},
                                             {L"road", road},
                                             {L"reask", reask},
                                             {L"keyboard", keyboard},
                                             {L"quit", quit}}};

}  // namespace

}  // namespace kq::e2e

int wmain(int argc, wchar_t** argv) {
    using namespace kq::e2e;
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    Context context;
    const std::map<std::wstring_view, fs::path*> paths{
        {L"--wizard", &context.wizard}, {L"--work", &context.work}, {L"--case", &context.golden}};
    std::vector<std::wstring_view> wanted;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument = argv[i];
        if (argument == L"--dpi" && i + 1 < argc) {
            context.dpi = static_cast<UINT>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (paths.contains(argument) && i + 1 < argc) {
            *paths.at(argument) = argv[++i];
        } else {
            wanted.push_back(argument);
        }
    }
    Checks checks;
    for (const std::wstring_view scenario : wanted) {
        const auto found = std::ranges::find(scenarios, scenario, &Scenario::name);
        std::printf("# scenario %s (%u dpi)\n", kq::utf8FromWide(scenario).c_str(), context.dpi);
        try {
            if (found == scenarios.end()) {
                throw Aborted("no such scenario");
            }
            found->run(context, checks);
        } catch (const std::exception& error) {
            checks.expect(false, "the scenario runs to its end", error.what());
        }
    }
    std::printf("%d passed, %d failed\n", checks.passed, checks.failed);
    return checks.failed == 0 && !wanted.empty() ? 0 : 1;
}
