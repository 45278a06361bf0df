// Reading and writing scripts where it goes wrong: each failure names the script and its kind,
// carries the system's reason when a system call failed, and leaves the folder exactly as it
// was (no temporary file, the script's bytes and time kept).

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "conversion/files/script_batch.hpp"
#include "conversion/files/script_file.hpp"
#include "conversion/files/system_file.hpp"
#include "scratch_folder.hpp"

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <optional>
#include <thread>
#endif

namespace kq {
namespace {

using kqtest::ScratchFolder;
namespace fs = std::filesystem;

enum class Operation { read, write };

const NativePath script = nativeFromAscii("x.cgi");

struct FailureCase {
    const char* name;
    Operation operation;
    FailureKind kind;
    std::function<void(const fs::path& folder)> arrange;  // makes the folder hold "x.cgi" as needed
};

// The new text staged and put in place at once; the first failure on the way.
Status writeNow(const fs::path& folder, std::string_view text, HoldBudget budget = {}) {
    ScriptBatch batch(folder.native());
    if (Status staged = batch.stage(0, script, text, budget); !staged) {
        return staged;
    }
    if (auto met = batch.commit().front().failure) {
        return *met;
    }
    return Done{};
}

// The script read, and its read channel closed at once.
Status readNow(const fs::path& folder, HoldBudget& budget) {
    auto read = readScript(folder.native(), script, budget);
    if (!read) {
        return read.failure();
    }
    return Done{};
}
Status readNow(const fs::path& folder) {
    HoldBudget budget;
    return readNow(folder, budget);
}

void putScript(const fs::path& folder) {
    kqtest::writeBytes(folder / "x.cgi", "use KQCGI;\r\n");
}

const FailureCase failureCases[] = {
    {"ReadMissing", Operation::read, FailureKind::cannotRead, [](const fs::path&) {}},
    {"ReadFolder", Operation::read, FailureKind::cannotRead,
     [](const fs::path& folder) { fs::create_directory(folder / script); }},
    {"WriteMissingIsNotCreated", Operation::write, FailureKind::cannotWrite,
     [](const fs::path&) {}},
    {"WriteFolder", Operation::write, FailureKind::cannotWrite,
     [](const fs::path& folder) { fs::create_directory(folder / script); }},
    {"WriteReadOnly", Operation::write, FailureKind::readOnly,
     [](const fs::path& folder) {
         putScript(folder);
         kqtest::makeReadOnly(folder / script);
     }},
};

class ScriptFileFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(ScriptFileFailure, NamesTheScriptAndChangesNothing) {
    const FailureCase& c = GetParam();
    ScratchFolder scratch;
    c.arrange(scratch.path());
    kqtest::ageFiles(scratch.path());
    const auto before = kqtest::snapshot(scratch.path());
    std::vector<Status> outcomes;
    if (c.operation == Operation::read) {
        outcomes.push_back(readNow(scratch.path()));
    } else {
        outcomes.push_back(checkWritable(scratch.path(), script));  // what a dry run says
        outcomes.push_back(writeNow(scratch.path(), "new text"));
    }
    for (const Status& outcome : outcomes) {
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.failure().script, script);
        EXPECT_EQ(outcome.failure().kind, c.kind);
        EXPECT_TRUE(outcome.failure().error) << "no system reason";
    }
    EXPECT_EQ(kqtest::snapshot(scratch.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptFileFailure, testing::ValuesIn(failureCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(ScriptFile, AFolderEndingInASeparatorNamesTheSameFile) {
    ScratchFolder scratch;
    putScript(scratch.path());
    fs::path folder = scratch.path();
    folder += fs::path::preferred_separator;
    ASSERT_TRUE(writeNow(folder, "new").ok());
    HoldBudget budget;
    auto read = readScript(folder, script, budget);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value().text, "new");
    EXPECT_EQ(kqtest::snapshot(scratch.path()).size(), 1U) << "a temporary file was left";
}

TEST(ScriptFile, ALargeScriptComesBackByteForByte) {
    // Over a megabyte of every byte value: read whole, then written back whole.
    ScratchFolder scratch;
    std::string bytes;
    for (std::size_t i = 0; bytes.size() < (std::size_t{1} << 20) + 4321; ++i) {
        bytes += static_cast<char>(i * 7 % 256);
    }
    kqtest::writeBytes(scratch / "x.cgi", bytes);
    HoldBudget budget;
    auto read = readScript(scratch.path().native(), script, budget);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value().text, bytes);
    read.value().close();
    ASSERT_TRUE(writeNow(scratch.path(), bytes + "!").ok());
    EXPECT_EQ(kqtest::readBytes(scratch / "x.cgi"), bytes + "!");
}

TEST(ScriptFile, AFolderIsHeldByOneRunAtATime) {
    ScratchFolder scratch;
    std::optional<Result<FolderLock, FolderBusy>> first = lockFolder(scratch.path().native());
    ASSERT_TRUE(first->ok());
    EXPECT_FALSE(lockFolder(scratch.path().native()).ok());
    first.reset();
    EXPECT_TRUE(lockFolder(scratch.path().native()).ok());
    EXPECT_TRUE(fs::is_empty(scratch.path())) << "the lock left something in the folder";
}

TEST(ScriptFile, OnlyTheTemporaryFilesOfAKilledRunAreRemoved) {
    ScratchFolder scratch;
    const std::string prefix(temporaryPrefix);
    // Near misses: too short, too long, upper-case digits (a name of its own where names are
    // compared in any case), another prefix, a folder.
    for (const std::string& name :
         {prefix + "0123456789abcde", prefix + "0123456789abcdef0", prefix + "0123456789ABCDEE",
          std::string("kqwizard-tmp-0123456789abcdef")}) {
        kqtest::writeBytes(scratch / name, "the user's");
    }
    fs::create_directory(scratch / (prefix + "aaaaaaaaaaaaaaaa"));
    const auto users = kqtest::snapshot(scratch.path());
    for (const std::string& name : {prefix + "0123456789abcdef", prefix + "fedcba9876543210"}) {
        kqtest::writeBytes(scratch / name, "left over");
    }
    removeLeftoverTemporaries(scratch.path());
    EXPECT_EQ(kqtest::snapshot(scratch.path()), users);
}

#if defined(__linux__)
TEST(ScriptFile, SyncfsIsTrustedWithWriteErrorsFromLinux58On) {
    const std::pair<std::string_view, bool> releases[] = {
        {"5.8.0", true},
        {"5.8.0-rc1", true},
        {"5.10.0-28-amd64", true},
        {"6.1.0-18-amd64", true},
        {"10.0", true},
        {"5.15.90.1-microsoft-standard-WSL2", true},
        {"5.7.19", false},
        {"4.20.0", false},
        {"4.19.0-21-amd64", false},
        {"3.10.0-1160.el7.x86_64", false},
        {"", false},
        {"5", false},
        {"5.x", false},
        {"linux", false}};
    for (const auto& [release, trusted] : releases) {
        EXPECT_EQ(platform::syncfsReportsWriteErrors(release), trusted) << release;
    }
}
#endif

#ifdef _WIN32

// Another program holds the script: for a moment (a scanner, an indexer), then it is read and
// replaced; for the whole run, then it keeps its bytes, and it is reported once its one budget
// of about two seconds is spent, whichever steps met the hold. The other program is played by
// handles of this process: the system shares files per handle.
constexpr int wholeRun = -1;

struct HeldCase {
    const char* name;
    int readKeptOut;     // milliseconds the other program writes, which keeps the read out
    int replaceKeptOut;  // milliseconds it reads without delete sharing, which keeps the
                         // replacement out
};

const HeldCase heldCases[] = {
    {"ReadForAMoment", 1200, 0},
    {"ReplaceForAMoment", 0, 1200},
    {"ReadWholeRun", wholeRun, 0},
    {"ReplaceWholeRun", 0, wholeRun},
    {"ReadForAMomentThenReplaceWholeRun", 1200, wholeRun},
};

// A handle of the other program on a file, closed after `milliseconds` or, for the whole run,
// when the value ends.
class OtherProgram {
  public:
    OtherProgram(const fs::path& file, DWORD access, int milliseconds)
        : handle_(CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)),
          opened_(handle_ != INVALID_HANDLE_VALUE) {
        if (milliseconds != wholeRun) {
            release_ = std::thread([this, milliseconds] {
                Sleep(static_cast<DWORD>(milliseconds));
                CloseHandle(handle_);
            });
        }
    }
    ~OtherProgram() {
        if (release_.joinable()) {
            release_.join();
        } else {
            CloseHandle(handle_);
        }
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;
    OtherProgram(OtherProgram&&) = delete;
    OtherProgram& operator=(OtherProgram&&) = delete;

    [[nodiscard]] bool opened() const { return opened_; }

  private:
    HANDLE handle_;
    bool opened_;
    std::thread release_;
};

class HeldScript : public testing::TestWithParam<HeldCase> {};

TEST_P(HeldScript, IsWaitedForWithinOneBudget) {
    const HeldCase& c = GetParam();
    ScratchFolder scratch;
    putScript(scratch.path());
    const auto before = kqtest::snapshot(scratch.path());
    Status done = Done{};
    std::chrono::steady_clock::duration waited{};
    {
        std::optional<OtherProgram> writer;
        std::optional<OtherProgram> reader;
        if (c.readKeptOut != 0) {
            ASSERT_TRUE(writer.emplace(scratch / script, GENERIC_WRITE, c.readKeptOut).opened());
        }
        if (c.replaceKeptOut != 0) {
            ASSERT_TRUE(reader.emplace(scratch / script, GENERIC_READ, c.replaceKeptOut).opened());
        }
        const auto start = std::chrono::steady_clock::now();
        HoldBudget budget;
        done = readNow(scratch.path(), budget);
        if (done) {
            done = writeNow(scratch.path(), "new", budget);
        }
        waited = std::chrono::steady_clock::now() - start;
    }
    if (c.readKeptOut != wholeRun && c.replaceKeptOut != wholeRun) {
        EXPECT_TRUE(done.ok()) << done.failure().error.message();
        EXPECT_EQ(kqtest::readBytes(scratch / script), "new");
        return;
    }
    ASSERT_FALSE(done.ok());
    EXPECT_EQ(done.failure().error.value(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(kqtest::snapshot(scratch.path()), before);
    EXPECT_GE(waited, std::chrono::milliseconds(1900)) << "given up before the budget was spent";
    EXPECT_LT(waited, std::chrono::seconds(3)) << "waited beyond the script's one budget";
}

INSTANTIATE_TEST_SUITE_P(Cases, HeldScript, testing::ValuesIn(heldCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(ScriptFile, FilesAreNamedToTheSystemWithoutLengthLimitOrDeviceNames) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
    const std::pair<const wchar_t*, const wchar_t*> paths[] = {
        {L"C:\\site\\x.cgi", L"\\\\?\\C:\\site\\x.cgi"},
        {L"C:\\site\\\\x.cgi", L"\\\\?\\C:\\site\\x.cgi"},  // a folder given with its separator
        {L"C:/site/x.cgi", L"\\\\?\\C:\\site\\x.cgi"},
        {L"C:\\old\\..\\site\\.\\nul.cgi", L"\\\\?\\C:\\site\\nul.cgi"},
        {L"site\\con.cgi", L"\\\\?\\C:\\windows\\site\\con.cgi"},
        {L"..\\site", L"\\\\?\\C:\\site"},
        {L"C:\\site\\", L"\\\\?\\C:\\site"},
        {L"C:\\", L"\\\\?\\C:\\"},
        {L"\\\\server\\share\\site\\x.cgi", L"\\\\?\\UNC\\server\\share\\site\\x.cgi"},
        {L"\\\\?\\C:\\site\\x.cgi", L"\\\\?\\C:\\site\\x.cgi"}};
    for (const auto& [given, handed] : paths) {
        EXPECT_EQ(platform::systemPath(given), handed);
    }
    SetCurrentDirectoryW(current);
}

TEST(ScriptFile, TheReadChannelLetsNobodyWriteUntilItIsClosed) {
    ScratchFolder scratch;
    putScript(scratch.path());
    const auto openForWriting = [&] {
        const HANDLE writer = CreateFileW((scratch / script).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool opened = writer != INVALID_HANDLE_VALUE;
        CloseHandle(writer);
        return opened;
    };
    HoldBudget budget;
    auto read = readScript(scratch.path(), script, budget);
    ASSERT_TRUE(read.ok());
    EXPECT_FALSE(openForWriting());
    read.value().close();
    EXPECT_TRUE(openForWriting());
}

TEST(ScriptFile, HiddenAndArchiveAttributesAreKept) {
    ScratchFolder scratch;
    putScript(scratch.path());
    const fs::path file = scratch / "x.cgi";
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(writeNow(scratch.path(), "new").ok());
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
}

#endif  // _WIN32

}  // namespace
}  // namespace kq
