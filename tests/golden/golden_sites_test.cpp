// Runs kqconvert as a process over every golden site in tests/data/<case>/ and compares what it
// printed and left on disk with what the case expects:
//
//   input/           the site before the run
//   expected/        the site after a real run (absent: the same as input/)
//   output           the standard output of a real run (UTF-8, LF line ends)
//   errors           its standard error (absent: nothing)
//   status           its exit status (absent: 0)
//   dry-run-output   the standard output of --dry-run, which must leave the site as it is
//   arguments        options given before the folder, one per line
//   only-on          "linux" or "windows": the case runs there alone (hidden files differ)
//
// After the real run a second run must write nothing: every file keeps its bytes and its
// modification time, and no script is reported converted or updated.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kqconvert_run.hpp"
#include "scratch_folder.hpp"

namespace {

using namespace kqtest;

fs::path dataFolder() {
    return hostPath(KQ_GOLDEN_DATA);
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dataFolder())) {
        if (entry.is_directory()) {
            names.push_back(pathText(entry.path().filename()));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string fileOr(const fs::path& file, const std::string& otherwise) {
    return fs::exists(file) ? readBytes(file) : otherwise;
}

// Every file under `folder` (sub-folders too) with its bytes and modification time.
FolderSnapshot tree(const fs::path& folder) {
    FolderSnapshot files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const bool isFile = entry.is_regular_file();
        files[fs::relative(entry.path(), folder)] = {isFile ? readBytes(entry.path()) : "",
                                                     fs::last_write_time(entry.path())};
    }
    return files;
}

// The same without the times: what a site must hold.
std::map<fs::path, std::string> contents(const fs::path& folder) {
    std::map<fs::path, std::string> files;
    for (const auto& [name, state] : tree(folder)) {
        files[name] = state.bytes;
    }
    return files;
}

class GoldenSite : public testing::TestWithParam<std::string> {};

TEST_P(GoldenSite, ConvertsAsExpected) {
    const fs::path golden = dataFolder() / hostPath(GetParam());
#ifdef _WIN32
    const std::string platform = "windows\n";
#else
    const std::string platform = "linux\n";
#endif
    if (fileOr(golden / "only-on", platform) != platform) {
        GTEST_SKIP() << "a case for another platform";
    }
    ScratchFolder scratch;
    const fs::path site = scratch / "site";
    fs::copy(golden / "input", site, fs::copy_options::recursive);
    ageFiles(site);
    const FolderSnapshot before = tree(site);

    if (fs::exists(golden / "dry-run-output")) {
        const ToolRun dry = runKqconvert({"--dry-run", site});
        EXPECT_EQ(dry.out, readBytes(golden / "dry-run-output"));
        EXPECT_EQ(tree(site), before) << "the dry run changed the site";
    }

    std::vector<fs::path> arguments;
    std::ifstream argumentLines(golden / "arguments");
    for (std::string line; std::getline(argumentLines, line);) {
        arguments.emplace_back(line);
    }
    arguments.push_back(site);
    const ToolRun run = runKqconvert(arguments);
    EXPECT_EQ(run.out, readBytes(golden / "output"));
    EXPECT_EQ(run.err, fileOr(golden / "errors", ""));
    EXPECT_EQ(std::to_string(run.status) + "\n", fileOr(golden / "status", "0\n"));
    const fs::path expected =
        fs::exists(golden / "expected") ? golden / "expected" : golden / "input";
    EXPECT_EQ(contents(site), contents(expected));

    const FolderSnapshot after = tree(site);
    const ToolRun again = runKqconvert({site});
    EXPECT_EQ(tree(site), after) << "the second run wrote";
    for (const char* written : {"已转换：", "已更新："}) {
        EXPECT_EQ(again.out.find(written), std::string::npos) << again.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Data, GoldenSite, testing::ValuesIn(caseNames()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) {
                                     return !std::isalnum(static_cast<unsigned char>(c));
                                 },
                                 '_');
                             return name;
                         });

}  // namespace
