// kqconvert run as a process on real site folders: its exit statuses, what it prints, and that
// the folder holds exactly what the printout says (nothing at all in a dry run).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forum_scripts.hpp"
#include "kqconvert_run.hpp"
#include "scratch_folder.hpp"

namespace {

using kqtest::linesOf;
using kqtest::ToolRun;

ToolRun kqconvert(const std::vector<std::filesystem::path>& arguments) {
    return kqtest::runKqconvert(arguments);
}

using kqtest::ForumScript;
using kqtest::ScratchFolder;
using kqtest::UploadCode;
using testing::HasSubstr;
using testing::Not;
namespace fs = std::filesystem;

const ForumScript forum{};
const ForumScript postScript{UploadCode::post};
const ForumScript profileScript{UploadCode::profile};

void populateSite(const fs::path& folder) {
    kqtest::writeBytes(folder / "forum.cgi", forum.shipped());
    kqtest::writeBytes(folder / "help.cgi", kqtest::plainScript());
    kqtest::writeBytes(folder / "post.cgi", postScript.shipped());
    kqtest::writeBytes(folder / "register.cgi", profileScript.shipped());
    kqtest::writeBytes(folder / "setup.pl", forum.shipped());  // not a script: never touched
}

TEST(Kqconvert, ConvertsASiteAndSaysWhatItDidToEachScript) {
    ScratchFolder site;
    populateSite(site.path());

    const ToolRun run = kqconvert({site.path()});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(linesOf(run.out),
                testing::ElementsAre(
                    "已转换：forum.cgi", "未改动：help.cgi（没有 KQCGI 标记）", "已转换：post.cgi",
                    "已转换：register.cgi",
                    "共 4 个脚本：已转换 3 个，未改动 1 个，未转换 0 个，需手工检查 0 个。"));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(kqtest::readBytes(site / "forum.cgi"), forum.converted());
    EXPECT_EQ(kqtest::readBytes(site / "help.cgi"), kqtest::plainScript());
    EXPECT_EQ(kqtest::readBytes(site / "post.cgi"), postScript.converted());
    EXPECT_EQ(kqtest::readBytes(site / "register.cgi"), profileScript.converted());
    EXPECT_EQ(kqtest::readBytes(site / "setup.pl"), forum.shipped());

    // A second run finds nothing left to do and writes nothing.
    kqtest::ageFiles(site.path());
    const kqtest::FolderSnapshot converted = kqtest::snapshot(site.path());
    const ToolRun again = kqconvert({site.path()});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_THAT(again.out, HasSubstr("未改动：post.cgi（没有 KQCGI 标记）"));
    EXPECT_THAT(again.out, HasSubstr("已转换 0 个，未改动 4 个"));
    EXPECT_EQ(kqtest::snapshot(site.path()), converted);
}

TEST(Kqconvert, AScriptItCannotConvertIsNamedWithItsReasonAndTheRestAreConverted) {
    ScratchFolder site;
    populateSite(site.path());
    kqtest::writeBytes(site / "locked.cgi", forum.shipped());
    kqtest::makeReadOnly(site / "locked.cgi");
    kqtest::writeBytes(site / "stats.cgi", kqtest::scriptWithoutRequire());

    const ToolRun run = kqconvert({site.path()});

    EXPECT_EQ(run.status, 1) << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), 7U) << run.out;
    EXPECT_THAT(lines[2], testing::StartsWith("未转换：locked.cgi："));
    EXPECT_THAT(lines[2], HasSubstr("只读"));
    EXPECT_THAT(lines[5], testing::StartsWith("未转换：stats.cgi："));
    EXPECT_THAT(lines[5], HasSubstr("require"));
    EXPECT_EQ(lines[6], "共 6 个脚本：已转换 3 个，未改动 1 个，未转换 2 个，需手工检查 0 个。");
    EXPECT_EQ(kqtest::readBytes(site / "locked.cgi"), forum.shipped());
    EXPECT_EQ(kqtest::readBytes(site / "stats.cgi"), kqtest::scriptWithoutRequire());
    EXPECT_EQ(kqtest::readBytes(site / "post.cgi"), postScript.converted());
    EXPECT_EQ(kqtest::readBytes(site / "register.cgi"), profileScript.converted());
}

TEST(Kqconvert, AnUploadScriptWithoutItsReadLoopIsToBeCheckedByHand) {
    ScratchFolder site;
    const ForumScript noLoop{UploadCode::profile, false};
    kqtest::writeBytes(site / "profile.cgi", noLoop.shipped());

    const ToolRun run = kqconvert({site.path()});

    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_THAT(run.out, HasSubstr("需手工检查：profile.cgi："));
    EXPECT_THAT(run.out, HasSubstr("while ($buffer=$query->readUploadFile"));
    EXPECT_EQ(kqtest::readBytes(site / "profile.cgi"), noLoop.converted());
}

TEST(Kqconvert, ADryRunWritesNothingAndTellsWhatARealRunWouldDo) {
    ScratchFolder site;
    populateSite(site.path());
    kqtest::writeBytes(site / "stats.cgi", kqtest::scriptWithoutRequire());
    kqtest::ageFiles(site.path());
    const kqtest::FolderSnapshot before = kqtest::snapshot(site.path());

    const ToolRun run = kqconvert({"--dry-run", site.path()});

    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(kqtest::snapshot(site.path()), before);
    EXPECT_THAT(linesOf(run.out),
                testing::ElementsAre(
                    "将转换：forum.cgi", "不改动：help.cgi（没有 KQCGI 标记）", "将转换：post.cgi",
                    "将转换：register.cgi", testing::StartsWith("不能转换：stats.cgi："),
                    "试运行，没有写入任何文件。共 5 个脚本：将转换 3 个，不改动 1 个，不能转换 1 "
                    "个，将需手工检查 0 个。"));
}

TEST(Kqconvert, DiffShowsEveryChangeInReadableChinese) {
    ScratchFolder site;
    // A byte that is no character of code page 936 sits in a line the diff shows as context.
    std::string post = postScript.shipped();
    post.insert(post.find("BEGIN {"), "# \xFF\r\n");
    kqtest::writeBytes(site / "post.cgi", post);
    kqtest::writeBytes(site / "help.cgi", kqtest::plainScript());

    for (const bool dryRun : {true, false}) {
        SCOPED_TRACE(dryRun ? "dry run" : "real run");
        kqtest::writeBytes(site / "post.cgi", post);
        std::vector<fs::path> arguments{"--diff", site.path()};
        if (dryRun) {
            arguments.insert(arguments.begin(), "--dry-run");
        }
        const ToolRun run = kqconvert(arguments);

        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_THAT(run.out, HasSubstr("--- post.cgi（转换前）\n+++ post.cgi（转换后）\n@@ -"));
        EXPECT_THAT(run.out, HasSubstr("\n # \\xFF\n-BEGIN {\n"));
        EXPECT_THAT(run.out, HasSubstr("\n-use KQCGI;\n"));
        EXPECT_THAT(run.out, HasSubstr("\n+use CGI qw(:standard);\n"));
        // The eval suffix, decoded from code page 936.
        EXPECT_THAT(run.out, HasSubstr("\n+    print header(-charset=>gb2312); print "
                                       "start_html(-title=>\"KQ7100 出错！\");\n"));
        EXPECT_THAT(run.out, HasSubstr("\n+    print \"不能够找到文件：$@\\n请更改每个程序中的 "
                                       "require 语句，填入绝对路径！\";\n"));
        EXPECT_THAT(run.out,
                    HasSubstr("\n-    while ($buffer=$query->readUploadFile($addme)) {\n"));
        EXPECT_THAT(run.out, HasSubstr("\n+    while ($bytesread=read($addme,$buffer,1024)) {\n"));
        EXPECT_THAT(run.out, Not(HasSubstr("help.cgi（转换前）")));
        std::string expected = post;
        if (!dryRun) {
            expected = postScript.converted();
            expected.insert(expected.find("\r\nuse CGI"), "# \xFF\r\n");
        }
        EXPECT_EQ(kqtest::readBytes(site / "post.cgi"), expected);
    }
}

struct UsageCase {
    const char* what;
    std::vector<fs::path> arguments;
    int status;
    std::vector<std::string> inErrors;  // pieces the error stream must hold
};

TEST(Kqconvert, RefusesWhatItCannotWorkOnWithStatusTwoAndAClearMessage) {
    ScratchFolder root;
    const fs::path noScripts = root.folder("no-scripts");
    kqtest::writeBytes(noScripts / "B.CGI", forum.shipped());
    kqtest::writeBytes(noScripts / "setup.pl", forum.shipped());
    kqtest::writeBytes(root / "file.cgi", forum.shipped());
    const fs::path site = root.folder("site");
    populateSite(site);
    kqtest::ageFiles(noScripts);
    kqtest::ageFiles(site);
    const kqtest::FolderSnapshot noScriptsBefore = kqtest::snapshot(noScripts);
    const kqtest::FolderSnapshot siteBefore = kqtest::snapshot(site);

    const std::vector<UsageCase> cases = {
        {"no folder", {}, 2, {"kqconvert：请给出网站的文件夹。", "用法：kqconvert"}},
        {"unknown option", {"--frobnicate", site}, 2, {"“--frobnicate”", "用法："}},
        {"two folders", {site, noScripts}, 2, {"多余的参数", "no-scripts"}},
        {"missing folder", {root / "missing"}, 2, {"无法读取文件夹“", "missing”："}},
        {"a file, not a folder", {root / "file.cgi"}, 2, {"无法读取文件夹“", "file.cgi”："}},
        {"empty folder name", {""}, 2, {"kqconvert：请选择目录！", "没有改动任何文件。"}},
        {"folder without scripts",
         {noScripts},
         2,
         {"kqconvert：目录选择错误，没有CGI 文件!", "没有改动任何文件。"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun run = kqconvert(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, "");
        for (const std::string& piece : c.inErrors) {
            EXPECT_THAT(run.err, HasSubstr(piece));
        }
    }
    EXPECT_EQ(kqtest::snapshot(noScripts), noScriptsBefore);
    EXPECT_EQ(kqtest::snapshot(site), siteBefore);
}

TEST(Kqconvert, HelpAndVersionGoToTheOutputWithStatusZero) {
    const ToolRun help = kqconvert({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, testing::StartsWith("用法：kqconvert [--dry-run] [--diff] 文件夹\n"));
    EXPECT_THAT(help.out, HasSubstr("--dry-run"));
    EXPECT_EQ(help.err, "");

    const ToolRun version = kqconvert({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "kqconvert 1.5.0.1\n");
}

}  // namespace
