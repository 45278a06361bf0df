// kqconvert run as a process on sites that put its file handling to the test: a script another
// program holds open (Windows), Chinese names with spaces in the folder and in the scripts, and
// scripts whose bytes a text-mode read or write would change. Every run checks what kqconvert
// prints, its exit status, the bytes of every script, and that the folder holds exactly the
// scripts it held before (no temporary file left behind).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "forum_scripts.hpp"
#include "kqconvert_run.hpp"
#include "scratch_folder.hpp"

namespace {

using kqtest::linesOf;
using kqtest::ToolRun;

ToolRun kqconvert(const std::filesystem::path& folder) {
    return kqtest::runKqconvert({folder});
}

namespace fs = std::filesystem;
using kqtest::ForumScript;
using kqtest::UploadCode;
using testing::ElementsAreArray;
using testing::Matcher;
using namespace std::string_literals;

// The folder the test sites go in. Under Wine that is the host's /var/tmp, reached through drive
// Z:, so that the sites lie on the host's own file system and not inside the prefix; elsewhere
// the system's temporary folder.
fs::path siteBase() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr) {
        return {L"Z:\\var\\tmp"};
    }
#endif
    return fs::temp_directory_path();
}

// A fresh folder under siteBase() for one test, removed with everything in it afterwards.
class SiteRoot {
  public:
    SiteRoot() {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        for (unsigned attempt = 0;; ++attempt) {
            path_ = siteBase() /
                    ("kq-process-faults-" + std::to_string(ticks) + "-" + std::to_string(attempt));
            if (fs::create_directory(path_)) {
                break;
            }
        }
    }
    ~SiteRoot() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    SiteRoot(const SiteRoot&) = delete;
    SiteRoot& operator=(const SiteRoot&) = delete;
    SiteRoot(SiteRoot&&) = delete;
    SiteRoot& operator=(SiteRoot&&) = delete;

    fs::path operator/(const fs::path& name) const { return path_ / name; }

  private:
    fs::path path_;
};

// One script of a test site: the bytes it starts with, and the bytes a run that converts it
// leaves in it (the same bytes for a script without the package marker).
struct SiteScript {
    fs::path name;
    std::string shipped;
    std::string converted;
    bool leftAlone() const { return shipped == converted; }
};

// A fresh site folder (and the folders above it) holding exactly `scripts`.
void makeSite(const fs::path& folder, const std::vector<SiteScript>& scripts) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const SiteScript& script : scripts) {
        kqtest::writeBytes(folder / script.name, script.shipped);
    }
}

// Every entry of a folder, hidden ones too.
std::set<fs::path> entriesOf(const fs::path& folder) {
    std::set<fs::path> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename());
    }
    return names;
}

std::set<fs::path> namesOf(const std::vector<SiteScript>& scripts) {
    std::set<fs::path> names;
    for (const SiteScript& script : scripts) {
        names.insert(script.name);
    }
    return names;
}

std::string convertedLine(const SiteScript& script) {
    return script.leftAlone() ? "未改动：" + kqtest::pathText(script.name) + "（没有 KQCGI 标记）"
                              : "已转换：" + kqtest::pathText(script.name);
}

std::string summaryLine(std::size_t scripts, std::size_t converted, std::size_t leftAlone,
                        std::size_t notConverted) {
    return "共 " + std::to_string(scripts) + " 个脚本：已转换 " + std::to_string(converted) +
           " 个，未改动 " + std::to_string(leftAlone) + " 个，未转换 " +
           std::to_string(notConverted) + " 个，需手工检查 0 个。";
}

const ForumScript forum{};
const ForumScript postScript{UploadCode::post};
const ForumScript profileScript{UploadCode::profile};

SiteScript forumScript(const fs::path& name) {
    return {name, forum.shipped(), forum.converted()};
}
SiteScript postUpload(const fs::path& name) {
    return {name, postScript.shipped(), postScript.converted()};
}
SiteScript profileUpload(const fs::path& name) {
    return {name, profileScript.shipped(), profileScript.converted()};
}
SiteScript plain(const fs::path& name) {
    return {name, kqtest::plainScript(), kqtest::plainScript()};
}

// ---------------------------------------------------------------------------------------------
// A script another program holds open

#ifdef _WIN32

// The system's words for an error as the printout gives them: without the line end and the full
// stop that the message table puts after them.
std::string systemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    LocalFree(buffer);
    while (!text.empty() &&
           std::wstring_view(L"\r\n .。").find(text.back()) != std::wstring::npos) {
        text.pop_back();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

// Another program's handle on a script, with the access and the sharing it asks for.
class OtherProgramsHandle {
  public:
    OtherProgramsHandle(const fs::path& file, DWORD access, DWORD sharing)
        : handle_(CreateFileW(file.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~OtherProgramsHandle() { release(); }
    OtherProgramsHandle(const OtherProgramsHandle&) = delete;
    OtherProgramsHandle& operator=(const OtherProgramsHandle&) = delete;
    OtherProgramsHandle(OtherProgramsHandle&&) = delete;
    OtherProgramsHandle& operator=(OtherProgramsHandle&&) = delete;

    bool holds() const { return handle_ != INVALID_HANDLE_VALUE; }
    void release() {
        if (holds()) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

  private:
    HANDLE handle_;
};

// What kqconvert says when it could not do a step: the words for the step, then the system's
// reason in brackets.
constexpr const char* cannotWriteBack = "无法写回该文件，原内容保持不变";
constexpr const char* cannotRead = "无法读取该文件，未作修改";

struct HeldCase {
    const char* id;
    const char8_t* folder;
    const char8_t* held;  // the script the other program holds
    DWORD access;
    DWORD sharing;
    const char* notDone;               // cannotWriteBack or cannotRead
    std::vector<DWORD> systemReasons;  // the errors the system may give for it
};

class ProcessFaultsHeldScript : public testing::TestWithParam<HeldCase> {};

TEST_P(ProcessFaultsHeldScript, IsNamedAndKeepsItsBytesAndTheRestIsConverted) {
    const HeldCase& c = GetParam();
    SiteRoot root;
    const fs::path site = root / c.folder;
    const std::vector<SiteScript> scripts = {forumScript("forum.cgi"), plain("help.cgi"),
                                             postUpload("post.cgi"), profileUpload("register.cgi"),
                                             forumScript(u8"帖子 列表.cgi")};
    makeSite(site, scripts);

    OtherProgramsHandle other(site / c.held, c.access, c.sharing);
    ASSERT_TRUE(other.holds()) << "the test could not open " << kqtest::pathText(c.held) << ": "
                               << systemText(GetLastError());
    const ToolRun run = kqconvert(site);
    other.release();

    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<Matcher<std::string>> expected;
    for (const SiteScript& script : scripts) {
        if (script.name != fs::path(c.held)) {
            expected.emplace_back(convertedLine(script));
            continue;
        }
        std::vector<std::string> heldLines;
        for (const DWORD reason : c.systemReasons) {
            heldLines.push_back("未转换：" + kqtest::pathText(script.name) + "：" + c.notDone +
                                "（" + systemText(reason) + "）");
        }
        expected.emplace_back(testing::AnyOfArray(heldLines));
    }
    expected.emplace_back(summaryLine(scripts.size(), 3, 1, 1));
    EXPECT_THAT(linesOf(run.out), ElementsAreArray(expected));

    for (const SiteScript& script : scripts) {
        SCOPED_TRACE(kqtest::pathText(script.name));
        EXPECT_EQ(kqtest::readBytes(site / script.name),
                  script.name == fs::path(c.held) ? script.shipped : script.converted);
    }
    EXPECT_EQ(entriesOf(site), namesOf(scripts));
}

// Held for reading without delete sharing: the script is read and converted, but the new text
// cannot be renamed over it. Held for writing: the read channel, which lets nobody write while
// it holds a script, cannot open it. Held without read sharing: it cannot even be read.
std::vector<HeldCase> heldCases() {
    constexpr DWORD allButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
    constexpr DWORD allButRead = FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // The system refuses a rename onto a file in use as a sharing violation or as access denied,
    // depending on its version.
    const std::vector<DWORD> renameRefused{ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED};
    const std::vector<DWORD> openRefused{ERROR_SHARING_VIOLATION};
    // clang-format off
    return {
        {"UploadScriptWithoutDeleteSharing", u8"site", u8"post.cgi",
         GENERIC_READ, allButDelete, cannotWriteBack, renameRefused},
        {"PlainScriptWithoutDeleteSharing", u8"site", u8"forum.cgi",
         GENERIC_READ, allButDelete, cannotWriteBack, renameRefused},
        {"ChineseNamesWithoutDeleteSharing", u8"论坛 备份 1", u8"帖子 列表.cgi",
         GENERIC_READ, allButDelete, cannotWriteBack, renameRefused},
        {"HeldForWriting", u8"site", u8"register.cgi",
         GENERIC_READ | GENERIC_WRITE, allButDelete, cannotRead, openRefused},
        {"WithoutReadSharing", u8"site", u8"post.cgi",
         GENERIC_READ, allButRead, cannotRead, openRefused},
        {"ChineseNamesWithoutReadSharing", u8"论坛 备份 1", u8"帖子 列表.cgi",
         GENERIC_READ, allButRead, cannotRead, openRefused},
    };
    // clang-format on
}

INSTANTIATE_TEST_SUITE_P(Windows, ProcessFaultsHeldScript, testing::ValuesIn(heldCases()),
                         [](const testing::TestParamInfo<HeldCase>& row) {
                             return std::string(row.param.id);
                         });

#endif  // _WIN32

// ---------------------------------------------------------------------------------------------
// Chinese names with spaces

TEST(ProcessFaults, ChineseNamesWithSpacesInTheFolderAndTheScriptsAreConvertedAndNamed) {
    SiteRoot root;
    const fs::path site = root / fs::path(u8"网站 资料") / fs::path(u8"论坛 备份 1");
    // In the order kqconvert takes them: letters first, then the Chinese names by code point.
    const std::vector<SiteScript> scripts = {
        postUpload("post.cgi"),        postUpload("postings.cgi"),     profileUpload("profile.cgi"),
        profileUpload("register.cgi"), forumScript(u8"帖子 列表.cgi"), forumScript(u8"精华 区.cgi"),
        plain(u8"说明 文件.cgi"),
    };
    fs::path::string_type withSeparator = site.native();
    withSeparator += fs::path::preferred_separator;

    // The folder as it is, and with a separator at its end, as a folder chooser may give it.
    for (const fs::path& argument : {site, fs::path(withSeparator)}) {
        SCOPED_TRACE(kqtest::pathText(argument));
        makeSite(site, scripts);

        const ToolRun run = kqconvert(argument);

        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "");
        std::vector<std::string> expected;
        for (const SiteScript& script : scripts) {
            expected.push_back(convertedLine(script));
        }
        expected.push_back(summaryLine(scripts.size(), 6, 1, 0));
        EXPECT_THAT(linesOf(run.out), ElementsAreArray(expected));
        for (const SiteScript& script : scripts) {
            SCOPED_TRACE(kqtest::pathText(script.name));
            EXPECT_EQ(kqtest::readBytes(site / script.name), script.converted);
        }
        EXPECT_EQ(entriesOf(site), namesOf(scripts));
    }
}

// ---------------------------------------------------------------------------------------------
// Bytes a text mode would change

// CR LF, a lone CR, a NUL byte and the DOS end-of-file mark in the middle of a line, and every
// byte from 0x80 to 0xFF, some pairs of which are code page 936 characters and some not.
std::string textModeBait() {
    std::string bytes = "# crlf\r\n# lone cr\r# nul \0 and eof \x1A in the middle\r\n# high: "s;
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
        bytes += static_cast<char>(byte);
    }
    return bytes + "\r\n";
}

// The bait put in before the script's last print statement, which no rewrite touches.
SiteScript baited(SiteScript script) {
    script.shipped.insert(script.shipped.rfind("print \""), textModeBait());
    script.converted.insert(script.converted.rfind("print \""), textModeBait());
    return script;
}

TEST(ProcessFaults, BytesATextModeWouldChangeComeBackExactly) {
    SiteRoot root;
    const fs::path site = root / "site";
    const std::vector<SiteScript> scripts = {baited(forumScript("forum.cgi")),
                                             baited(plain("help.cgi")),
                                             baited(postUpload("post.cgi"))};
    makeSite(site, scripts);

    const ToolRun run = kqconvert(site);

    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_THAT(linesOf(run.out),
                testing::ElementsAre("已转换：forum.cgi", "未改动：help.cgi（没有 KQCGI 标记）",
                                     "已转换：post.cgi", summaryLine(3, 2, 1, 0)));
    for (const SiteScript& script : scripts) {
        SCOPED_TRACE(kqtest::pathText(script.name));
        EXPECT_EQ(kqtest::readBytes(site / script.name), script.converted);
    }
    EXPECT_EQ(entriesOf(site), namesOf(scripts));
}

}  // namespace
