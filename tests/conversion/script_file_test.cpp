// Reading scripts whole and replacing them safely, on real files in a fresh folder per test.

#include "conversion/script_file.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "conversion/platform_file.hpp"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#endif

#include "scratch_folder.hpp"

namespace kq {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The system's reasons the tests expect, per platform.
std::error_code systemError(int code) {
    return {code, std::system_category()};
}
#if defined(_WIN32)
constexpr int missingScript = ERROR_FILE_NOT_FOUND;
constexpr int missingFolder = ERROR_PATH_NOT_FOUND;
constexpr int readingADirectory = ERROR_ACCESS_DENIED;
constexpr int writingADirectory = ERROR_ACCESS_DENIED;
constexpr int readOnlyScript = ERROR_ACCESS_DENIED;
#else
constexpr int missingScript = ENOENT;
constexpr int missingFolder = ENOENT;
constexpr int readingADirectory = EISDIR;
constexpr int writingADirectory = EISDIR;
constexpr int readOnlyScript = EACCES;
std::string errnoText() {
    return std::generic_category().message(errno);
}
#endif

// Bytes that a careless reader or writer would change: line ends of all three kinds, NUL bytes,
// the DOS end-of-file mark, bytes no code page 936 character starts with, Chinese text in code
// page 936 (one with a backslash as its second byte), and a lone lead byte at the very end.
std::string awkwardBytes() {
    return "#!/usr/bin/perl\r\n"s                        // CR LF
           + "print \"lf\";\n"s                          // lone LF
           + "print \"cr\";\r"s                          // lone CR
           + "nul:\0\0:end\r\n"s                         // NUL bytes
           + "eof:\x1A:after\r\n"s                       // 0x1A must not end the read
           + "high:\x80\xFF\r\n"s                        // 0x80 and 0xFF
           + "# \xC4\xE3\xBA\xC3 \xD6\xD0\xCE\xC4\r\n"s  // Chinese in GBK
           + "# \x95\x5C\r\n"s                           // second byte is a backslash
           + "\x81"s;                                    // lone lead byte at the end
}

// One megabyte and a bit, every byte value present.
std::string everyByteValue() {
    std::string bytes;
    bytes.reserve((1U << 20U) + 7);
    for (int value = 0; value < 256; ++value) {
        bytes += static_cast<char>(value);
    }
    std::uint32_t state = 12345;
    while (bytes.size() < (1U << 20U) + 7) {
        state = state * 1103515245U + 12345U;
        bytes += static_cast<char>(state >> 24U);
    }
    return bytes;
}

using kqtest::ScratchFolder;

void putFile(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    ASSERT_TRUE(out.good()) << "could not prepare " << file;
}

std::string fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << "could not open " << file;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What a folder holds: each name with the bytes of a regular file, or a mark for anything else.
// Equal snapshots before and after an operation mean nothing was changed, added or left behind.
std::map<fs::path, std::string> snapshot(const fs::path& folder) {
    std::map<fs::path, std::string> entries;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const fs::file_status status = entry.symlink_status();
        std::string content;
        if (fs::is_regular_file(status)) {
            content = fileBytes(entry.path());
        } else if (fs::is_directory(status)) {
            content = "<folder>";
        } else if (fs::is_symlink(status)) {
            content = "<link to " + fs::read_symlink(entry.path()).string() + ">";
        } else {
            content = "<other>";
        }
        entries.emplace(entry.path().filename(), std::move(content));
    }
    EXPECT_FALSE(error) << "could not list " << folder << ": " << error.message();
    return entries;
}

void expectFailure(const ScriptFailure& failure, const fs::path& name, FailureKind kind,
                   std::error_code reason) {
    EXPECT_EQ(failure.script, name);
    EXPECT_EQ(failure.kind, kind);
    EXPECT_EQ(failure.error, reason)
        << "got \"" << failure.error.message() << "\", expected \"" << reason.message() << "\"";
    EXPECT_FALSE(failure.error.message().empty());
}

// Whether this process holds a handle on `file`.
#if defined(_WIN32)
// The read channel lets nobody write while it holds a file: an open for writing that every other
// handle would allow fails with a sharing violation exactly when a handle is held.
bool heldOpen(const fs::path& file) {
    const platform::FileHandle probe(::CreateFileW(
        file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !probe.holds() && ::GetLastError() == ERROR_SHARING_VIOLATION;
}
#elif defined(__linux__)
bool heldOpen(const fs::path& file) {
    const fs::path wanted = fs::canonical(file);
    int held = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const fs::path target = fs::read_symlink(entry.path(), error);
        if (!error && target == wanted) {
            ++held;
        }
    }
    return held > 0;
}
#endif

class ScriptFileTest : public ::testing::Test {
  protected:
    [[nodiscard]] const fs::path& folder() const { return scratch_.path(); }
    [[nodiscard]] fs::path script(const fs::path& name) const { return folder() / name; }

  private:
    ScratchFolder scratch_;
};

// ---------------------------------------------------------------------------------------------
// Script paths

struct PathCase {
    fs::path::string_type folder;
    fs::path::string_type name;
    fs::path::string_type expected;
};

TEST(ScriptPathTest, JoinsFolderSeparatorAndNameAsTheyStand) {
#if defined(_WIN32)
    const std::vector<PathCase> cases = {
        {L"C:\\site\\cgi-bin", L"post.cgi", L"C:\\site\\cgi-bin\\post.cgi"},
        {L"C:\\site\\cgi-bin\\", L"post.cgi", L"C:\\site\\cgi-bin\\\\post.cgi"},
        {L"C:\\", L"Post.CGI", L"C:\\\\Post.CGI"},
        {L"D:\\My Site", L"a b.cgi", L"D:\\My Site\\a b.cgi"},
    };
#else
    const std::vector<PathCase> cases = {
        {"/srv/site/cgi-bin", "post.cgi", "/srv/site/cgi-bin/post.cgi"},
        {"/srv/site/cgi-bin/", "post.cgi", "/srv/site/cgi-bin//post.cgi"},
        {"/", "Post.CGI", "//Post.CGI"},
        {"My Site", "a b.cgi", "My Site/a b.cgi"},
    };
#endif
    for (const PathCase& c : cases) {
        EXPECT_EQ(scriptPath(c.folder, c.name).native(), c.expected);
    }
}

TEST_F(ScriptFileTest, FolderEndingInASeparatorOpensTheSameFile) {
    putFile(script("post.cgi"), awkwardBytes());
    fs::path::string_type withSeparator = folder().native();
    withSeparator += fs::path::preferred_separator;
    ScriptChannels channels{fs::path(withSeparator)};

    Result<std::string> read = channels.readScript("post.cgi");
    ASSERT_TRUE(read.ok()) << read.failure().error.message();
    EXPECT_EQ(read.value(), awkwardBytes());
    channels.closeReadChannel();

    ASSERT_TRUE(channels.writeScript("post.cgi", "replaced\r\n").ok());
    EXPECT_EQ(snapshot(folder()), (std::map<fs::path, std::string>{{"post.cgi", "replaced\r\n"}}));
}

// ---------------------------------------------------------------------------------------------
// Byte-exact round trips: read, close, write, read again.

struct RoundTripCase {
    const char* label;
    std::string original;
    std::string replacement;
};

void PrintTo(const RoundTripCase& c, std::ostream* out) {
    *out << c.label;
}

class RoundTripTest : public ScriptFileTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTripTest, BytesComeBackExactlyAndNothingElseIsLeft) {
    const RoundTripCase& c = GetParam();
    putFile(script("post.cgi"), c.original);
    ScriptChannels channels(folder());

    Result<std::string> first = channels.readScript("post.cgi");
    ASSERT_TRUE(first.ok()) << first.failure().error.message();
    EXPECT_EQ(first.value(), c.original);
    channels.closeReadChannel();

    const Status written = channels.writeScript("post.cgi", c.replacement);
    ASSERT_TRUE(written.ok()) << written.failure().error.message();
    // The file holds exactly the new bytes: no old byte behind them, no line end added, and no
    // temporary file beside it.
    EXPECT_EQ(snapshot(folder()), (std::map<fs::path, std::string>{{"post.cgi", c.replacement}}));

    Result<std::string> second = channels.readScript("post.cgi");
    ASSERT_TRUE(second.ok()) << second.failure().error.message();
    EXPECT_EQ(second.value(), c.replacement);
}

INSTANTIATE_TEST_SUITE_P(
    ScriptFile, RoundTripTest,
    ::testing::Values(RoundTripCase{"AwkwardBytesWrittenBackUnchanged", awkwardBytes(),
                                    awkwardBytes()},
                      RoundTripCase{"AwkwardBytesOverPlainText", "print 1;\n", awkwardBytes()},
                      RoundTripCase{"ShorterTextOverLongerScript",
                                    std::string(10000, 'A') + awkwardBytes(), "short\r\n"},
                      RoundTripCase{"LastLineWithoutLineEnd", "a\r\nb\r\n", "a\r\nb"},
                      RoundTripCase{"LineFeedsOnly", "one\ntwo\n", "one\ntwo\nthree\n"},
                      RoundTripCase{"EmptyScript", "", ""},
                      RoundTripCase{"EmptyTextOverScript", awkwardBytes(), ""},
                      RoundTripCase{"EveryByteValueOverAMegabyte", "x", everyByteValue()}),
    [](const ::testing::TestParamInfo<RoundTripCase>& param) { return param.param.label; });

TEST_F(ScriptFileTest, ChineseNamesAndSpacesInFolderAndScript) {
    const fs::path site = folder() / fs::path(u8"论坛 站点");
    const fs::path name(u8"帖子 列表.cgi");
    fs::create_directory(site);
    putFile(site / name, awkwardBytes());
    ScriptChannels channels(site);

    Result<std::string> read = channels.readScript(name);
    ASSERT_TRUE(read.ok()) << read.failure().error.message();
    EXPECT_EQ(read.value(), awkwardBytes());
    channels.closeReadChannel();
    const std::string replacement = "# \xC2\xDB\xCC\xB3\r\n"s + awkwardBytes();  // GBK "论坛"
    ASSERT_TRUE(channels.writeScript(name, replacement).ok());
    EXPECT_EQ(snapshot(site), (std::map<fs::path, std::string>{{name, replacement}}));
}

// ---------------------------------------------------------------------------------------------
// The read channel

TEST_F(ScriptFileTest, ReadChannelHoldsTheScriptUntilClosedAndClosingTwiceDoesNothing) {
    putFile(script("post.cgi"), "print 1;\r\n");
    ScriptChannels channels(folder());
    EXPECT_FALSE(channels.readChannelOpen());

    ASSERT_TRUE(channels.readScript("post.cgi").ok());
    EXPECT_TRUE(channels.readChannelOpen());
#if defined(_WIN32) || defined(__linux__)
    EXPECT_TRUE(heldOpen(script("post.cgi")));
#endif

    channels.closeReadChannel();
    EXPECT_FALSE(channels.readChannelOpen());
#if defined(_WIN32) || defined(__linux__)
    EXPECT_FALSE(heldOpen(script("post.cgi")));
#endif

    channels.closeReadChannel();
    EXPECT_FALSE(channels.readChannelOpen());
    Result<std::string> again = channels.readScript("post.cgi");
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value(), "print 1;\r\n");
}

TEST_F(ScriptFileTest, ReadingAnotherScriptReleasesTheFirst) {
    putFile(script("a.cgi"), "a");
    putFile(script("b.cgi"), "b");
    ScriptChannels channels(folder());
    ASSERT_TRUE(channels.readScript("a.cgi").ok());
    ASSERT_TRUE(channels.readScript("b.cgi").ok());
#if defined(_WIN32) || defined(__linux__)
    EXPECT_FALSE(heldOpen(script("a.cgi")));
    EXPECT_TRUE(heldOpen(script("b.cgi")));
#endif
    EXPECT_TRUE(channels.readChannelOpen());
}

TEST_F(ScriptFileTest, FailedReadLeavesTheChannelClosed) {
    putFile(script("a.cgi"), "a");
    ScriptChannels channels(folder());
    ASSERT_TRUE(channels.readScript("a.cgi").ok());
    ASSERT_FALSE(channels.readScript("missing.cgi").ok());
    EXPECT_FALSE(channels.readChannelOpen());
#if defined(_WIN32) || defined(__linux__)
    EXPECT_FALSE(heldOpen(script("a.cgi")));
#endif
}

TEST_F(ScriptFileTest, WriteLeavesNoHandleOnTheScript) {
    putFile(script("post.cgi"), "old");
    ScriptChannels channels(folder());
    ASSERT_TRUE(channels.writeScript("post.cgi", "new").ok());
#if defined(_WIN32) || defined(__linux__)
    EXPECT_FALSE(heldOpen(script("post.cgi")));
#endif
    EXPECT_FALSE(channels.readChannelOpen());
    EXPECT_EQ(fileBytes(script("post.cgi")), "new");
}

TEST_F(ScriptFileTest, DryRunWritesNothingAndLaterReadsSeeTheText) {
    putFile(script("post.cgi"), awkwardBytes());
    putFile(script("other.cgi"), "other");
    const auto before = snapshot(folder());
    ScriptChannels channels(folder(), true);

    Result<std::string> first = channels.readScript("post.cgi");
    ASSERT_TRUE(first.ok()) << first.failure().error.message();
    EXPECT_EQ(first.value(), awkwardBytes());
    channels.closeReadChannel();
    ASSERT_TRUE(channels.writeScript("post.cgi", "first rewrite").ok());
    EXPECT_EQ(snapshot(folder()), before);

    // The second read of the same script sees the text a real run would have written, and the
    // script itself is held on the read channel as in a real run.
    Result<std::string> second = channels.readScript("post.cgi");
    ASSERT_TRUE(second.ok()) << second.failure().error.message();
    EXPECT_EQ(second.value(), "first rewrite");
#if defined(_WIN32) || defined(__linux__)
    EXPECT_TRUE(heldOpen(script("post.cgi")));
#endif
    channels.closeReadChannel();
    ASSERT_TRUE(channels.writeScript("post.cgi", "second rewrite").ok());
    Result<std::string> third = channels.readScript("post.cgi");
    ASSERT_TRUE(third.ok());
    EXPECT_EQ(third.value(), "second rewrite");

    // Other scripts are read from their files.
    Result<std::string> other = channels.readScript("other.cgi");
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(other.value(), "other");
    channels.closeReadChannel();
    EXPECT_EQ(snapshot(folder()), before);
}

// ---------------------------------------------------------------------------------------------
// Failures: each names the script and gives the system's reason, and leaves the folder as it was.

enum class Operation { read, write };

struct FailureCase {
    const char* label;
    // Prepares the scratch folder; returns the script folder to use.
    std::function<fs::path(const fs::path& scratch)> arrange;
    Operation operation;
    FailureKind kind;
    int reason;  // the system's error number
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.label;
}

class FailureTest : public ScriptFileTest, public ::testing::WithParamInterface<FailureCase> {};

void expectReadFails(const fs::path& scriptFolder, const FailureCase& c) {
    ScriptChannels channels(scriptFolder);
    Result<std::string> read = channels.readScript("x.cgi");
    ASSERT_FALSE(read.ok());
    expectFailure(read.failure(), "x.cgi", c.kind, systemError(c.reason));
    EXPECT_FALSE(channels.readChannelOpen());
}

// A dry run checks a write as a real one does, and fails in the same way.
void expectWriteFails(const fs::path& scriptFolder, const FailureCase& c, bool dryRun) {
    SCOPED_TRACE(dryRun ? "dry run" : "real write");
    const Status written =
        ScriptChannels(scriptFolder, dryRun).writeScript("x.cgi", "new content\r\n");
    ASSERT_FALSE(written.ok());
    expectFailure(written.failure(), "x.cgi", c.kind, systemError(c.reason));
}

TEST_P(FailureTest, FailsWithNameAndReasonAndChangesNothing) {
    const FailureCase& c = GetParam();
    const fs::path scriptFolder = c.arrange(folder());
    const auto before = snapshot(folder());
    if (c.operation == Operation::read) {
        expectReadFails(scriptFolder, c);
    } else {
        expectWriteFails(scriptFolder, c, true);
        expectWriteFails(scriptFolder, c, false);
    }
    EXPECT_EQ(snapshot(folder()), before);
}

fs::path missingScriptIn(const fs::path& scratch) {
    putFile(scratch / "other.cgi", "other");
    return scratch;
}
fs::path folderGone(const fs::path& scratch) {
    fs::create_directory(scratch / "site");
    fs::remove(scratch / "site");
    return scratch / "site";
}
fs::path directoryNamedLikeAScript(const fs::path& scratch) {
    fs::create_directory(scratch / "x.cgi");
    return scratch;
}
fs::path readOnlyScriptIn(const fs::path& scratch) {
    putFile(scratch / "x.cgi", awkwardBytes());
    fs::permissions(scratch / "x.cgi",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    return scratch;
}

INSTANTIATE_TEST_SUITE_P(
    ScriptFile, FailureTest,
    ::testing::Values(FailureCase{"ReadMissingScript", missingScriptIn, Operation::read,
                                  FailureKind::cannotRead, missingScript},
                      FailureCase{"WriteMissingScriptDoesNotCreateIt", missingScriptIn,
                                  Operation::write, FailureKind::cannotWrite, missingScript},
                      FailureCase{"ReadInFolderGone", folderGone, Operation::read,
                                  FailureKind::cannotRead, missingFolder},
                      FailureCase{"WriteInFolderGone", folderGone, Operation::write,
                                  FailureKind::cannotWrite, missingFolder},
                      FailureCase{"ReadDirectoryNamedLikeAScript", directoryNamedLikeAScript,
                                  Operation::read, FailureKind::cannotRead, readingADirectory},
                      FailureCase{"WriteDirectoryNamedLikeAScript", directoryNamedLikeAScript,
                                  Operation::write, FailureKind::cannotWrite, writingADirectory},
                      // Read-only through the owner's write bit: this holds for root too.
                      FailureCase{"WriteReadOnlyScript", readOnlyScriptIn, Operation::write,
                                  FailureKind::readOnly, readOnlyScript}),
    [](const ::testing::TestParamInfo<FailureCase>& param) { return param.param.label; });

#if !defined(_WIN32)
fs::path fifoNamedLikeAScript(const fs::path& scratch) {
    EXPECT_EQ(::mkfifo((scratch / "x.cgi").c_str(), 0644), 0) << errnoText();
    return scratch;
}

// Opening a FIFO for reading would wait for a writer: refused at once instead.
INSTANTIATE_TEST_SUITE_P(
    PosixScriptFile, FailureTest,
    ::testing::Values(FailureCase{"ReadFifoDoesNotBlock", fifoNamedLikeAScript, Operation::read,
                                  FailureKind::cannotRead, ENOTSUP},
                      FailureCase{"WriteFifo", fifoNamedLikeAScript, Operation::write,
                                  FailureKind::cannotWrite, ENOTSUP}),
    [](const ::testing::TestParamInfo<FailureCase>& param) { return param.param.label; });
#endif

TEST_F(ScriptFileTest, ReadOnlyScriptCanStillBeRead) {
    readOnlyScriptIn(folder());
    ScriptChannels channels(folder());
    Result<std::string> read = channels.readScript("x.cgi");
    ASSERT_TRUE(read.ok()) << read.failure().error.message();
    EXPECT_EQ(read.value(), awkwardBytes());
}

// ---------------------------------------------------------------------------------------------
// Temporary files

TEST(TemporaryFileNameTest, StartsWithThePrefixNeverLooksLikeAScriptAndVaries) {
    std::set<fs::path> names;
    for (unsigned attempt = 0; attempt < platform::temporaryNameAttempts; ++attempt) {
        const fs::path name = platform::temporaryFileName(4242, attempt);
        const std::string text = name.string();
        EXPECT_EQ(text.rfind(temporaryPrefix, 0), 0U) << text;
        EXPECT_NE(text.substr(text.size() - 4), ".cgi") << text;
        EXPECT_GT(text.size(), temporaryPrefix.size()) << text;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), platform::temporaryNameAttempts);
}

TEST_F(ScriptFileTest, LeftoverTemporariesAreRemovedAndNothingElse) {
    const std::string prefix(temporaryPrefix);
    putFile(script(prefix + "0123456789abcdef"), "half a script");
    putFile(script(prefix + "fedcba9876543210"), "");
    // Names this program never makes: a user's files, however close.
    putFile(script(prefix + "x"), "keep");
    putFile(script(prefix + "0123456789abcdeg"), "keep");
    putFile(script(prefix + "0123456789abcde"), "keep");
    putFile(script(prefix + "0123456789abcdef0"), "keep");
    putFile(script("keep.cgi"), "keep");
    putFile(script(prefix.substr(1) + "no-leading-dot"), "keep");
    putFile(script("keep" + prefix), "keep");
    fs::create_directory(script(prefix + "aaaaaaaaaaaaaaaa"));

    EXPECT_EQ(removeLeftoverTemporaries(folder()), 2U);
    EXPECT_EQ(snapshot(folder()), (std::map<fs::path, std::string>{
                                      {prefix + "x", "keep"},
                                      {prefix + "0123456789abcdeg", "keep"},
                                      {prefix + "0123456789abcde", "keep"},
                                      {prefix + "0123456789abcdef0", "keep"},
                                      {"keep.cgi", "keep"},
                                      {prefix.substr(1) + "no-leading-dot", "keep"},
                                      {"keep" + prefix, "keep"},
                                      {prefix + "aaaaaaaaaaaaaaaa", "<folder>"},
                                  }));
    EXPECT_EQ(removeLeftoverTemporaries(folder()), 0U);
    EXPECT_EQ(removeLeftoverTemporaries(folder() / "gone"), 0U);
}

// ---------------------------------------------------------------------------------------------
// POSIX: permissions, owner, links, devices, and writes that fail part-way

#if !defined(_WIN32)

bool runningAsRoot() {
    return ::geteuid() == 0;
}

struct stat statusOf(const fs::path& file) {
    struct stat status {};
    EXPECT_EQ(::lstat(file.c_str(), &status), 0) << file << ": " << errnoText();
    return status;
}

// Who owns a file and its permission bits.
struct Ownership {
    uid_t user;
    gid_t group;
    mode_t mode;
    bool operator==(const Ownership&) const = default;
};
void PrintTo(const Ownership& o, std::ostream* out) {
    *out << "user " << o.user << ", group " << o.group << ", mode " << std::oct << o.mode
         << std::dec;
}
Ownership ownershipOf(const fs::path& file) {
    const struct stat status = statusOf(file);
    return {status.st_uid, status.st_gid, status.st_mode & 07777};
}
void giveTo(const fs::path& file, const Ownership& o) {
    ASSERT_EQ(::chown(file.c_str(), o.user, o.group), 0) << errnoText();
    ASSERT_EQ(::chmod(file.c_str(), o.mode), 0) << errnoText();
}

// The outcome of a write in words: what a child process reports, and what a test expects.
std::string describe(const Status& status) {
    if (status.ok()) {
        return "written";
    }
    const ScriptFailure& failure = status.failure();
    return "not written: " + failure.script.string() + ", kind " +
           std::to_string(static_cast<int>(failure.kind)) + ", " + failure.error.message();
}
std::string notWritten(const fs::path& name, FailureKind kind, int error) {
    return describe(ScriptFailure{name, kind, systemError(error)});
}

// Runs `body` in a forked child (whose process limits and identity the test may change) and
// returns how its write ended. The child ends with _exit, so no test machinery runs twice.
std::string runInChild(const std::function<Status()>& body) {
    std::array<int, 2> pipeEnds{};
    if (::pipe(pipeEnds.data()) != 0) {
        return "no pipe: " + errnoText();
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        const std::string report = describe(body());
        const ssize_t sent = ::write(pipeEnds[1], report.data(), report.size());
        ::_exit(sent == static_cast<ssize_t>(report.size()) ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string report;
    std::array<char, 512> chunk{};
    for (ssize_t got = 0; (got = ::read(pipeEnds[0], chunk.data(), chunk.size())) > 0;) {
        report.append(chunk.data(), static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    int waitStatus = 0;
    if (::waitpid(child, &waitStatus, 0) != child || !WIFEXITED(waitStatus) ||
        WEXITSTATUS(waitStatus) != 0) {
        report += " (child ended with status " + std::to_string(waitStatus) + ")";
    }
    return report;
}

// Gives up root for good, in a child: becomes the user and group `id`.
bool becomeUser(uid_t id) {
    return ::setgroups(0, nullptr) == 0 && ::setgid(id) == 0 && ::setuid(id) == 0;
}

constexpr uid_t otherUser = 12345;
constexpr gid_t otherGroup = 23456;
constexpr uid_t unprivilegedUser = 65534;

// Permission bits, named and printed in octal.
struct Mode {
    mode_t bits;
};
std::string octal(mode_t bits) {
    std::string digits;
    for (int shift = 9; shift >= 0; shift -= 3) {
        digits += static_cast<char>('0' + ((bits >> static_cast<unsigned>(shift)) & 7U));
    }
    return digits;
}
void PrintTo(const Mode& mode, std::ostream* out) {
    *out << octal(mode.bits);
}

class ModeKeptTest : public ScriptFileTest, public ::testing::WithParamInterface<Mode> {};

TEST_P(ModeKeptTest, PermissionBitsSurviveTheWrite) {
    const mode_t mode = GetParam().bits;
    putFile(script("post.cgi"), "old");
    ASSERT_EQ(::chmod(script("post.cgi").c_str(), mode), 0);
    ScriptChannels channels(folder());
    const Status written = channels.writeScript("post.cgi", "new");
    ASSERT_TRUE(written.ok()) << written.failure().error.message();
    EXPECT_EQ(octal(statusOf(script("post.cgi")).st_mode & 07777), octal(mode));
    EXPECT_EQ(fileBytes(script("post.cgi")), "new");
}

INSTANTIATE_TEST_SUITE_P(ScriptFile, ModeKeptTest,
                         ::testing::Values(Mode{0755}, Mode{0700}, Mode{0640}, Mode{0600},
                                           Mode{0644}, Mode{04755}, Mode{02750}),
                         [](const ::testing::TestParamInfo<Mode>& param) {
                             return "Mode" + octal(param.param.bits);
                         });

TEST_F(ScriptFileTest, ScriptOwnedByAnotherUserKeepsOwnerGroupAndSpecialBits) {
    if (!runningAsRoot()) {
        GTEST_SKIP() << "giving a file to another user needs root";
    }
    putFile(script("post.cgi"), "old");
    const Ownership foreign{otherUser, otherGroup, 06750};
    giveTo(script("post.cgi"), foreign);
    const Status written = ScriptChannels(folder()).writeScript("post.cgi", "new");
    ASSERT_TRUE(written.ok()) << written.failure().error.message();
    EXPECT_EQ(ownershipOf(script("post.cgi")), foreign);
    EXPECT_EQ(fileBytes(script("post.cgi")), "new");
}

// Writes by an unprivileged user, in a child process that gives up root. Each case gives the
// folder and the script their owners (as root) and says how the write ends; a dry run must end
// the same way.
struct UnprivilegedCase {
    const char* label;
    Ownership folder;
    Ownership script;
    std::string expected;
};

void PrintTo(const UnprivilegedCase& c, std::ostream* out) {
    *out << c.label;
}

class UnprivilegedWriteTest : public ScriptFileTest,
                              public ::testing::WithParamInterface<UnprivilegedCase> {};

TEST_P(UnprivilegedWriteTest, EndsAsExpectedInDryRunAndRealWrite) {
    if (!runningAsRoot()) {
        GTEST_SKIP() << "preparing files for another user and switching to it needs root";
    }
    const UnprivilegedCase& c = GetParam();
    putFile(script("post.cgi"), awkwardBytes());
    giveTo(folder(), c.folder);
    giveTo(script("post.cgi"), c.script);
    const auto before = snapshot(folder());
    const Ownership ownershipBefore = ownershipOf(script("post.cgi"));

    for (const bool dryRun : {true, false}) {
        const std::string outcome = runInChild([&]() -> Status {
            if (!becomeUser(unprivilegedUser)) {
                ::_exit(2);
            }
            return ScriptChannels(folder(), dryRun).writeScript("post.cgi", "new");
        });
        EXPECT_EQ(outcome, c.expected) << (dryRun ? "dry run" : "real write");
    }
    EXPECT_EQ(ownershipOf(script("post.cgi")), ownershipBefore);
    const std::map<fs::path, std::string> written{{"post.cgi", "new"}};
    EXPECT_EQ(snapshot(folder()), c.expected == "written" ? written : before);
}

INSTANTIATE_TEST_SUITE_P(
    ScriptFile, UnprivilegedWriteTest,
    ::testing::Values(
        UnprivilegedCase{"OwnScriptInOwnFolder",
                         Ownership{unprivilegedUser, unprivilegedUser, 0755},
                         Ownership{unprivilegedUser, unprivilegedUser, 0640}, "written"},
        // The user may write the script and its folder but cannot give a new file to
        // the script's owner: refused rather than written under another owner.
        UnprivilegedCase{"OwnerCannotBeKept", Ownership{unprivilegedUser, unprivilegedUser, 0755},
                         Ownership{otherUser, otherGroup, 0666},
                         notWritten("post.cgi", FailureKind::cannotWrite, EPERM)},
        // The owner's write bit is set, but the owner is someone else.
        UnprivilegedCase{"NotWritableByThisUser", Ownership{0, 0, 0777}, Ownership{0, 0, 0644},
                         notWritten("post.cgi", FailureKind::readOnly, EACCES)},
        // The script is the user's, but its folder takes no new file from the user.
        UnprivilegedCase{"FolderNotWritable", Ownership{0, 0, 0755},
                         Ownership{unprivilegedUser, unprivilegedUser, 0644},
                         notWritten("post.cgi", FailureKind::cannotWrite, EACCES)}),
    [](const ::testing::TestParamInfo<UnprivilegedCase>& param) { return param.param.label; });

TEST_F(ScriptFileTest, LinkedScriptTargetGetsTheContentAndTheLinkStays) {
    const fs::path real = folder() / "real";
    const fs::path site = folder() / "site";
    fs::create_directory(real);
    fs::create_directory(site);
    putFile(real / "post.cgi", "old");
    ASSERT_EQ(::chmod((real / "post.cgi").c_str(), 0750), 0);
    fs::create_symlink(fs::path("..") / "real" / "post.cgi", site / "post.cgi");
    ScriptChannels channels(site);

    Result<std::string> read = channels.readScript("post.cgi");
    ASSERT_TRUE(read.ok()) << read.failure().error.message();
    EXPECT_EQ(read.value(), "old");
    channels.closeReadChannel();
    const Status written = channels.writeScript("post.cgi", awkwardBytes());
    ASSERT_TRUE(written.ok()) << written.failure().error.message();

    EXPECT_EQ(snapshot(real), (std::map<fs::path, std::string>{{"post.cgi", awkwardBytes()}}));
    EXPECT_EQ(snapshot(site),
              (std::map<fs::path, std::string>{{"post.cgi", "<link to ../real/post.cgi>"}}));
    EXPECT_EQ(statusOf(real / "post.cgi").st_mode & 07777, 0750U);
}

TEST_F(ScriptFileTest, DanglingLinkIsAMissingScript) {
    fs::create_symlink("nowhere.cgi", script("post.cgi"));
    const auto before = snapshot(folder());
    const Status written = ScriptChannels(folder()).writeScript("post.cgi", "new");
    ASSERT_FALSE(written.ok());
    expectFailure(written.failure(), "post.cgi", FailureKind::cannotWrite,
                  systemError(missingScript));
    EXPECT_EQ(snapshot(folder()), before);
}

TEST_F(ScriptFileTest, FileSizeLimitMidWriteKeepsTheOldContent) {
    putFile(script("post.cgi"), awkwardBytes());
    const auto before = snapshot(folder());
    const std::string large(std::size_t{64} * 1024, 'n');

    const std::string outcome = runInChild([&]() -> Status {
        // Past the limit a write fails with EFBIG instead of the signal ending the process.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        const rlimit limit{4096, 4096};
        if (::sigaction(SIGXFSZ, &ignore, nullptr) != 0 || ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(2);
        }
        return ScriptChannels(folder()).writeScript("post.cgi", large);
    });
    EXPECT_EQ(outcome, notWritten("post.cgi", FailureKind::cannotWrite, EFBIG));
    EXPECT_EQ(snapshot(folder()), before);
}

// A small memory file system mounted for one test, unmounted afterwards.
class SmallFileSystem {
  public:
    explicit SmallFileSystem(fs::path mountPoint) : mountPoint_(std::move(mountPoint)) {
        fs::create_directory(mountPoint_);
        if (::mount("kq-test", mountPoint_.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0) {
            mounted_ = true;
        } else {
            error_ = errnoText();
        }
    }
    ~SmallFileSystem() {
        if (mounted_) {
            ::umount2(mountPoint_.c_str(), MNT_DETACH);
        }
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    SmallFileSystem(SmallFileSystem&&) = delete;
    SmallFileSystem& operator=(SmallFileSystem&&) = delete;

    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] const std::string& error() const { return error_; }

  private:
    fs::path mountPoint_;
    bool mounted_ = false;
    std::string error_;
};

TEST_F(ScriptFileTest, FullDiskMidWriteKeepsTheOldContent) {
    if (!runningAsRoot()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const fs::path site = folder() / "small";
    const SmallFileSystem small(site);
    if (!small.mounted()) {
        GTEST_SKIP() << "could not mount a small file system: " << small.error();
    }
    putFile(site / "post.cgi", awkwardBytes());
    {
        // Fills the file system to the last block.
        std::ofstream filler(site / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())).flush()) {
        }
    }
    const auto before = snapshot(site);

    const Status written = ScriptChannels(site).writeScript("post.cgi", std::string(32768, 'n'));
    ASSERT_FALSE(written.ok());
    expectFailure(written.failure(), "post.cgi", FailureKind::cannotWrite, systemError(ENOSPC));
    EXPECT_EQ(snapshot(site), before);
    EXPECT_EQ(fileBytes(site / "post.cgi"), awkwardBytes());
}

#endif  // !_WIN32

// ---------------------------------------------------------------------------------------------
// Windows: attributes and files held by other programs

#if defined(_WIN32)

TEST_F(ScriptFileTest, ReadOnlyAttributeRefusesTheWrite) {
    putFile(script("post.cgi"), awkwardBytes());
    ASSERT_TRUE(::SetFileAttributesW(script("post.cgi").c_str(), FILE_ATTRIBUTE_READONLY));
    const auto before = snapshot(folder());

    const Status written = ScriptChannels(folder()).writeScript("post.cgi", "new");
    ASSERT_FALSE(written.ok());
    expectFailure(written.failure(), "post.cgi", FailureKind::readOnly,
                  systemError(ERROR_ACCESS_DENIED));
    EXPECT_EQ(snapshot(folder()), before);
    EXPECT_NE(::GetFileAttributesW(script("post.cgi").c_str()) & FILE_ATTRIBUTE_READONLY, 0U);
}

TEST_F(ScriptFileTest, HiddenAndArchiveAttributesAreKept) {
    putFile(script("post.cgi"), "old");
    ASSERT_TRUE(::SetFileAttributesW(script("post.cgi").c_str(),
                                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    const Status written = ScriptChannels(folder()).writeScript("post.cgi", "new");
    ASSERT_TRUE(written.ok()) << written.failure().error.message();
    const DWORD after = ::GetFileAttributesW(script("post.cgi").c_str());
    EXPECT_NE(after & FILE_ATTRIBUTE_HIDDEN, 0U);
    EXPECT_NE(after & FILE_ATTRIBUTE_ARCHIVE, 0U);
    EXPECT_EQ(fileBytes(script("post.cgi")), "new");
}

TEST_F(ScriptFileTest, ScriptHeldOpenByAnotherProgramKeepsItsBytes) {
    putFile(script("post.cgi"), awkwardBytes());
    const auto before = snapshot(folder());
    {
        // Another program's handle that does not allow the file to be renamed over or deleted.
        platform::FileHandle other(::CreateFileW(script("post.cgi").c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(other.holds());
        const Status written = ScriptChannels(folder()).writeScript("post.cgi", "new");
        other.reset();
        ASSERT_FALSE(written.ok());
        EXPECT_EQ(written.failure().script, "post.cgi");
        EXPECT_EQ(written.failure().kind, FailureKind::cannotWrite);
        // The system refuses the rename onto a file in use, as a sharing violation or as
        // access denied depending on the version.
        const int reason = written.failure().error.value();
        EXPECT_TRUE(reason == ERROR_SHARING_VIOLATION || reason == ERROR_ACCESS_DENIED)
            << "got \"" << written.failure().error.message() << "\" (" << reason << ")";
    }
    EXPECT_EQ(snapshot(folder()), before);
}

#endif  // _WIN32

}  // namespace
}  // namespace kq
