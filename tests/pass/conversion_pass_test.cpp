// The conversion pass on real site folders, against a window that records what the pass does to
// it: the order of the window operations, the progress bar, the dispatch to the upload rewrite,
// failures that leave a script as it was and let the pass go on, the checks and their re-asking,
// a second run, and a dry run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "conversion/conversion_pass.hpp"
#include "conversion/failure_text.hpp"
#include "conversion/native_text.hpp"
#include "conversion/script_file.hpp"
#include "forum_scripts.hpp"
#include "recording_window.hpp"
#include "scratch_folder.hpp"

namespace {

using kq::FailureKind;
using kq::ScriptOutcome;
using kqtest::ForumScript;
using kqtest::RecordingWindow;
using kqtest::ScratchFolder;
using kqtest::UploadCode;
using testing::ElementsAre;
namespace fs = std::filesystem;

// The texts the pass shows, typed here as the user sees them.
constexpr std::wstring_view completionEntry = L"addListLine 全部完成：100%";
constexpr std::wstring_view noFolderEntry = L"message 请选择目录！";
constexpr std::wstring_view noScriptEntry = L"message 目录选择错误，没有CGI 文件!";

struct SiteFile {
    std::string name;
    std::string bytes;
};

void populate(const fs::path& folder, const std::vector<SiteFile>& files) {
    for (const auto& file : files) {
        kqtest::writeBytes(folder / file.name, file.bytes);
    }
}

std::vector<ScriptOutcome> outcomesOf(const kq::PassOutcome& outcome) {
    std::vector<ScriptOutcome> outcomes;
    for (const auto& report : outcome.scripts) {
        outcomes.push_back(report.outcome);
    }
    return outcomes;
}

const ForumScript forum{};
const ForumScript postScript{UploadCode::post};
const ForumScript profileScript{UploadCode::profile};

TEST(ConversionPass, DrivesTheWindowInOrderAndEndsOnTheFinishPage) {
    ScratchFolder site;
    populate(
        site.path(),
        {{"a.cgi", forum.shipped()}, {"b.cgi", kqtest::plainScript()}, {"c.cgi", forum.shipped()}});
    RecordingWindow window;
    window.choose(site.path());

    const kq::PassOutcome outcome = kq::convertScripts(window);

    EXPECT_THAT(window.log, ElementsAre(L"progressMaximum 2", L"pointer 11", L"progressValue 0",
                                        L"progressValue 2", L"clearList", L"pointer 1",
                                        completionEntry, L"finishPage"));
    ASSERT_EQ(window.list.size(), 1U);
    EXPECT_EQ(kq::wideFromPath(window.list.front()), L"全部完成：100%");
    EXPECT_TRUE(outcome.finished);
    EXPECT_THAT(outcomesOf(outcome), ElementsAre(ScriptOutcome::converted, ScriptOutcome::leftAlone,
                                                 ScriptOutcome::converted));
    EXPECT_EQ(kqtest::readBytes(site / "a.cgi"), forum.converted());
    EXPECT_EQ(kqtest::readBytes(site / "b.cgi"), kqtest::plainScript());
    EXPECT_EQ(kqtest::readBytes(site / "c.cgi"), forum.converted());
}

// What each script of a site is, for the progress cases.
enum class Kind { marker, plain, noRequire };

struct ProgressCase {
    const char* what;
    std::vector<Kind> scripts;
    std::size_t maximum;
    std::vector<std::size_t> values;
};

TEST(ConversionPass, BarRunsToCountMinusOneAndMovesOnlyForConvertedScripts) {
    const std::vector<ProgressCase> cases = {
        {"one converted script", {Kind::marker}, 0, {0}},
        {"no script with the marker", {Kind::plain, Kind::plain}, 1, {}},
        {"last scripts without the marker",
         {Kind::marker, Kind::marker, Kind::plain, Kind::plain},
         3,
         {0, 1}},
        {"marker and plain in turn",
         {Kind::marker, Kind::plain, Kind::marker, Kind::plain},
         3,
         {0, 2}},
        {"a failing script between two", {Kind::marker, Kind::noRequire, Kind::marker}, 2, {0, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder site;
        for (std::size_t i = 0; i < c.scripts.size(); ++i) {
            const Kind kind = c.scripts[i];
            std::string name = std::to_string(i);  // "s0.cgi", "s1.cgi"...: list order
            name.insert(0, 1, 's').append(".cgi");
            kqtest::writeBytes(site / name, kind == Kind::marker  ? forum.shipped()
                                            : kind == Kind::plain ? kqtest::plainScript()
                                                                  : kqtest::scriptWithoutRequire());
        }
        RecordingWindow window;
        window.choose(site.path());
        kq::convertScripts(window);

        std::vector<std::wstring> expectedValues;
        for (const std::size_t value : c.values) {
            expectedValues.push_back(L"progressValue " + std::to_wstring(value));
        }
        EXPECT_THAT(window.entries(L"progressMaximum"),
                    ElementsAre(L"progressMaximum " + std::to_wstring(c.maximum)));
        EXPECT_EQ(window.entries(L"progressValue"), expectedValues);
        // The hourglass from before the first script to after the last.
        EXPECT_EQ(window.log.at(1), L"pointer 11");
        EXPECT_THAT(window.entries(L"pointer"), ElementsAre(L"pointer 11", L"pointer 1"));
        EXPECT_EQ(window.log.back(), L"finishPage");
    }
}

TEST(ConversionPass, TheFourUploadScriptsGetTheirUploadRewriteAfterTheLibrarySwitch) {
    ScratchFolder site;
    populate(site.path(), {{"post.cgi", postScript.shipped()},
                           {"postings.cgi", postScript.shipped()},
                           {"profile.cgi", profileScript.shipped()},
                           {"register.cgi", profileScript.shipped()}});
    RecordingWindow window;
    window.choose(site.path());

    const kq::PassOutcome outcome = kq::convertScripts(window);

    EXPECT_THAT(outcomesOf(outcome), testing::Each(ScriptOutcome::converted));
    EXPECT_EQ(kqtest::readBytes(site / "post.cgi"), postScript.converted());
    EXPECT_EQ(kqtest::readBytes(site / "postings.cgi"), postScript.converted());
    EXPECT_EQ(kqtest::readBytes(site / "profile.cgi"), profileScript.converted());
    EXPECT_EQ(kqtest::readBytes(site / "register.cgi"), profileScript.converted());
    for (const char* name : {"post.cgi", "postings.cgi", "profile.cgi", "register.cgi"}) {
        SCOPED_TRACE(name);
        const std::string text = kqtest::readBytes(site / name);
        EXPECT_NE(text.find("    " + std::string(kqtest::literal::newReadLoopLine) + "\r\n"),
                  std::string::npos);
        EXPECT_EQ(text.find("readUploadFile"), std::string::npos);
    }
}

TEST(ConversionPass, UploadDispatchComparesNamesExactly) {
    // A name that differs in letter case gets the library switch and nothing more.
    ScratchFolder upperCase;
    kqtest::writeBytes(upperCase / "POST.cgi", postScript.shipped());
    RecordingWindow upperWindow;
    upperWindow.choose(upperCase.path());
    const kq::PassOutcome upperOutcome = kq::convertScripts(upperWindow);
    EXPECT_THAT(outcomesOf(upperOutcome), ElementsAre(ScriptOutcome::converted));
    EXPECT_EQ(kqtest::readBytes(upperCase / "POST.cgi"), postScript.switched());

    // "post.cgi" without the package marker is only read, upload code and all.
    ScratchFolder noMarker;
    kqtest::writeBytes(noMarker / "post.cgi", postScript.switched());
    kqtest::ageFiles(noMarker.path());
    const kqtest::FolderSnapshot before = kqtest::snapshot(noMarker.path());
    RecordingWindow plainWindow;
    plainWindow.choose(noMarker.path());
    const kq::PassOutcome plainOutcome = kq::convertScripts(plainWindow);
    EXPECT_THAT(outcomesOf(plainOutcome), ElementsAre(ScriptOutcome::leftAlone));
    EXPECT_EQ(kqtest::snapshot(noMarker.path()), before);
    EXPECT_TRUE(plainWindow.entries(L"progressValue").empty());
}

// Makes `link` a symbolic link to `target`; false where the system does not let this user make
// one (Windows without the privilege).
bool makeLink(const fs::path& target, const fs::path& link) {
    std::error_code error;
    fs::create_symlink(target, link, error);
    return !error;
}

TEST(ConversionPass, ALinkToAnUploadScriptGivesItsFileTheUploadRewrite) {
    // "new-post.cgi" comes first in the list and converts post.cgi's file through the link;
    // post.cgi, listed next, then has no marker left. Its upload rewrite must not be lost.
    ScratchFolder site;
    kqtest::writeBytes(site / "post.cgi", postScript.shipped());
    kqtest::writeBytes(site / "forum.cgi", forum.shipped());
    if (!makeLink("post.cgi", site / "new-post.cgi") ||
        !makeLink(site / "forum.cgi", site / "alias.cgi")) {
        GTEST_SKIP() << "this system does not let the test make symbolic links";
    }
    RecordingWindow window;
    window.choose(site.path());

    const kq::PassOutcome outcome = kq::convertScripts(window);

    // alias.cgi, forum.cgi, new-post.cgi, post.cgi
    EXPECT_THAT(outcomesOf(outcome),
                ElementsAre(ScriptOutcome::converted, ScriptOutcome::leftAlone,
                            ScriptOutcome::converted, ScriptOutcome::leftAlone));
    EXPECT_EQ(kqtest::readBytes(site / "post.cgi"), postScript.converted());
    EXPECT_EQ(kqtest::readBytes(site / "forum.cgi"), forum.converted());
    EXPECT_TRUE(fs::is_symlink(site / "new-post.cgi"));
    EXPECT_TRUE(fs::is_symlink(site / "alias.cgi"));
}

TEST(ConversionPass, LeftoversOfAKilledRunAreRemovedWhereLinksLeadToo) {
    ScratchFolder root;
    const fs::path site = root.folder("site");
    const fs::path shared = root.folder("shared");
    const fs::path unrelated = root.folder("unrelated");
    kqtest::writeBytes(shared / "forum.cgi", forum.shipped());
    const std::string leftover = std::string(kq::temporaryPrefix) + "0123456789abcdef";
    for (const fs::path& folder : {site, shared, unrelated}) {
        kqtest::writeBytes(folder / leftover, "half-written");
    }
    if (!makeLink(shared / "forum.cgi", site / "forum.cgi")) {
        GTEST_SKIP() << "this system does not let the test make symbolic links";
    }
    RecordingWindow window;
    window.choose(site);

    const kq::PassOutcome outcome = kq::convertScripts(window);

    EXPECT_THAT(outcomesOf(outcome), ElementsAre(ScriptOutcome::converted));
    EXPECT_EQ(kqtest::readBytes(shared / "forum.cgi"), forum.converted());
    EXPECT_FALSE(fs::exists(site / leftover));
    EXPECT_FALSE(fs::exists(shared / leftover));
    // A folder the site does not lead to is not the pass's business.
    EXPECT_EQ(kqtest::readBytes(unrelated / leftover), "half-written");
}

TEST(ConversionPass, PostingsIsRewrittenBeforeTheNextScriptIsRead) {
    ScratchFolder site;
    populate(site.path(), {{"postings.cgi", postScript.shipped()}, {"topic.cgi", forum.shipped()}});
    RecordingWindow window;
    window.choose(site.path());
    std::vector<std::string> postingsWhenNextAsked;
    window.onScriptAt = [&](std::size_t index) {
        if (index == 1) {
            postingsWhenNextAsked.push_back(kqtest::readBytes(site / "postings.cgi"));
        }
    };

    kq::convertScripts(window);

    ASSERT_FALSE(postingsWhenNextAsked.empty());
    EXPECT_EQ(postingsWhenNextAsked.front(), postScript.converted());
}

struct FailureCase {
    const char* what;
    std::string failingBytes;
    bool readOnly;
    FailureKind kind;
    ScriptOutcome outcome;
    std::string bytesAfter;   // what the failing script holds after the pass
    std::wstring reasonPart;  // a piece of the reason the user reads
};

TEST(ConversionPass, AFailingScriptIsReportedAndThePassGoesOn) {
    const std::vector<FailureCase> cases = {
        {"read-only script", forum.shipped(), true, FailureKind::readOnly,
         ScriptOutcome::notConverted, forum.shipped(), L"只读"},
        {"marker without a require statement", kqtest::scriptWithoutRequire(), false,
         FailureKind::noRequireBlock, ScriptOutcome::notConverted, kqtest::scriptWithoutRequire(),
         L"require"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder site;
        populate(site.path(), {{"a.cgi", c.failingBytes}, {"b.cgi", forum.shipped()}});
        if (c.readOnly) {
            kqtest::makeReadOnly(site / "a.cgi");
        }
        kqtest::ageFiles(site.path());
        const fs::file_time_type failingTime = fs::last_write_time(site / "a.cgi");
        RecordingWindow window;
        window.choose(site.path());

        const kq::PassOutcome outcome = kq::convertScripts(window);

        EXPECT_EQ(kqtest::readBytes(site / "a.cgi"), c.bytesAfter);
        EXPECT_EQ(fs::last_write_time(site / "a.cgi"), failingTime);
        EXPECT_EQ(kqtest::readBytes(site / "b.cgi"), forum.converted());
        EXPECT_THAT(outcomesOf(outcome), ElementsAre(c.outcome, ScriptOutcome::converted));
        ASSERT_EQ(window.reportedProblems.size(), 1U);
        const kq::ScriptReport& problem = window.reportedProblems.front();
        EXPECT_EQ(problem.name, fs::path("a.cgi"));
        ASSERT_TRUE(problem.failure.has_value());
        EXPECT_EQ(problem.failure->kind, c.kind);
        const std::wstring described = kq::describeFailure(*problem.failure);
        EXPECT_NE(described.find(L"a.cgi"), std::wstring::npos) << kq::utf8FromWide(described);
        EXPECT_NE(described.find(c.reasonPart), std::wstring::npos) << kq::utf8FromWide(described);
        // The problems are told before the completion steps, which still run.
        EXPECT_THAT(window.log, testing::Contains(L"reportProblems a.cgi"));
        const auto reported =
            std::find(window.log.begin(), window.log.end(), L"reportProblems a.cgi");
        const auto cleared = std::find(window.log.begin(), window.log.end(), L"clearList");
        EXPECT_LT(reported, cleared);
        EXPECT_EQ(window.log.back(), L"finishPage");
    }
}

TEST(ConversionPass, AScriptGoneSinceTheListingIsReportedWithTheSystemsReason) {
    ScratchFolder site;
    kqtest::writeBytes(site / "b.cgi", forum.shipped());
    RecordingWindow window;
    window.choose(site.path());
    window.list.insert(window.list.begin(), fs::path("a.cgi"));  // listed, then removed

    const kq::PassOutcome outcome = kq::convertScripts(window);

    EXPECT_THAT(outcomesOf(outcome),
                ElementsAre(ScriptOutcome::notConverted, ScriptOutcome::converted));
    ASSERT_TRUE(outcome.scripts.front().failure.has_value());
    EXPECT_EQ(outcome.scripts.front().failure->kind, FailureKind::cannotRead);
    EXPECT_TRUE(outcome.scripts.front().failure->error);
    EXPECT_FALSE(fs::exists(site / "a.cgi"));
    EXPECT_EQ(kqtest::readBytes(site / "b.cgi"), forum.converted());
}

TEST(ConversionPass, AnUploadScriptWithoutItsReadLoopIsConvertedAndMarkedForCheckingByHand) {
    const ForumScript noLoop{UploadCode::post, false};
    ScratchFolder site;
    populate(site.path(), {{"post.cgi", noLoop.shipped()}, {"topic.cgi", forum.shipped()}});
    RecordingWindow window;
    window.choose(site.path());

    const kq::PassOutcome outcome = kq::convertScripts(window);

    EXPECT_THAT(outcomesOf(outcome),
                ElementsAre(ScriptOutcome::needsCheck, ScriptOutcome::converted));
    ASSERT_TRUE(outcome.scripts.front().failure.has_value());
    EXPECT_EQ(outcome.scripts.front().failure->kind, FailureKind::readLoopNotFound);
    EXPECT_EQ(kqtest::readBytes(site / "post.cgi"), noLoop.converted());
    EXPECT_EQ(kqtest::readBytes(site / "topic.cgi"), forum.converted());
    EXPECT_THAT(window.entries(L"progressValue"),
                ElementsAre(L"progressValue 0", L"progressValue 1"));
}

TEST(ConversionPass, FailedChecksAskForTheFolderAgainUntilScriptsAreListed) {
    ScratchFolder root;
    const fs::path withoutScripts = root.folder("no-scripts");
    populate(withoutScripts, {{"d.pl", forum.shipped()}, {"B.CGI", forum.shipped()}});
    const fs::path site = root.folder("site");
    kqtest::writeBytes(site / "a.cgi", forum.shipped());
    kqtest::ageFiles(withoutScripts);
    const kqtest::FolderSnapshot untouched = kqtest::snapshot(withoutScripts);

    RecordingWindow window;  // no folder chosen yet
    int choices = 0;
    window.onChooseFolder = [&](RecordingWindow& w) {
        w.choose(++choices == 1 ? withoutScripts : site);
        return true;
    };

    const kq::PassOutcome outcome = kq::convertScripts(window);

    EXPECT_THAT(window.log,
                ElementsAre(noFolderEntry, L"chooseFolder", noScriptEntry, L"chooseFolder",
                            L"progressMaximum 0", L"pointer 11", L"progressValue 0", L"clearList",
                            L"pointer 1", completionEntry, L"finishPage"));
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(kqtest::readBytes(site / "a.cgi"), forum.converted());
    EXPECT_EQ(kqtest::snapshot(withoutScripts), untouched);
}

TEST(ConversionPass, ACancelledFolderChoiceEndsThePassWithoutTouchingAnything) {
    // No folder chosen: the first check fails, and the user cancels the choice.
    RecordingWindow noFolder;
    const kq::PassOutcome first = kq::convertScripts(noFolder);
    EXPECT_FALSE(first.finished);
    EXPECT_TRUE(first.scripts.empty());
    EXPECT_THAT(noFolder.log, ElementsAre(noFolderEntry, L"chooseFolder"));

    // A folder with scripts in it, but an empty list: the second check fails; cancelled again.
    ScratchFolder site;
    populate(site.path(), {{"a.cgi", forum.shipped()}, {"post.cgi", postScript.shipped()}});
    kqtest::ageFiles(site.path());
    const kqtest::FolderSnapshot before = kqtest::snapshot(site.path());
    RecordingWindow emptyList;
    emptyList.folder = site.path();
    const kq::PassOutcome second = kq::convertScripts(emptyList);
    EXPECT_FALSE(second.finished);
    EXPECT_THAT(emptyList.log, ElementsAre(noScriptEntry, L"chooseFolder"));
    EXPECT_EQ(kqtest::snapshot(site.path()), before);
}

std::vector<SiteFile> wholeSite() {
    return {{"forum.cgi", forum.shipped()},
            {"help.cgi", kqtest::plainScript()},
            {"post.cgi", postScript.shipped()},
            {"postings.cgi", postScript.shipped()},
            {"profile.cgi", profileScript.shipped()},
            {"register.cgi", profileScript.shipped()},
            {"stats.cgi", kqtest::scriptWithoutRequire()},
            {"topic.cgi", forum.shipped()}};
}

TEST(ConversionPass, ASecondRunOverAConvertedSiteWritesNothing) {
    ScratchFolder site;
    populate(site.path(), wholeSite());
    RecordingWindow firstWindow;
    firstWindow.choose(site.path());
    kq::convertScripts(firstWindow);
    kqtest::ageFiles(site.path());
    const kqtest::FolderSnapshot converted = kqtest::snapshot(site.path());

    RecordingWindow secondWindow;
    secondWindow.choose(site.path());
    const kq::PassOutcome second = kq::convertScripts(secondWindow);

    EXPECT_EQ(kqtest::snapshot(site.path()), converted);
    EXPECT_TRUE(secondWindow.entries(L"progressValue").empty());
    EXPECT_EQ(secondWindow.log.back(), L"finishPage");
    // Only the script that could not be converted still carries the marker, and says so again.
    for (const auto& report : second.scripts) {
        SCOPED_TRACE(report.name.string());
        EXPECT_EQ(report.outcome, report.name == "stats.cgi" ? ScriptOutcome::notConverted
                                                             : ScriptOutcome::leftAlone);
    }
}

struct Change {
    std::string before;
    std::string after;
};

// Runs the pass over `folder`, collecting what it reports as changed.
kq::PassOutcome runCollecting(const fs::path& folder, bool dryRun,
                              std::map<fs::path, Change>& changes) {
    RecordingWindow window;
    window.choose(folder);
    kq::PassOptions options;
    options.dryRun = dryRun;
    options.onChange = [&changes](const fs::path& name, std::string_view before,
                                  std::string_view after) {
        EXPECT_EQ(changes.count(name), 0U) << "reported twice: " << name.string();
        changes[name] = {std::string(before), std::string(after)};
    };
    return kq::convertScripts(window, options);
}

TEST(ConversionPass, ADryRunLeavesEveryByteAndTellsWhatARealRunDoes) {
    ScratchFolder root;
    const fs::path dry = root.folder("dry");
    const fs::path real = root.folder("real");
    for (const fs::path& folder : {dry, real}) {
        populate(folder, wholeSite());
        populate(folder, {{"locked.cgi", forum.shipped()}});
        kqtest::makeReadOnly(folder / "locked.cgi");
        kqtest::ageFiles(folder);
    }
    const kqtest::FolderSnapshot original = kqtest::snapshot(dry);

    std::map<fs::path, Change> dryChanges;
    const kq::PassOutcome dryOutcome = runCollecting(dry, true, dryChanges);
    std::map<fs::path, Change> realChanges;
    const kq::PassOutcome realOutcome = runCollecting(real, false, realChanges);

    EXPECT_EQ(kqtest::snapshot(dry), original);
    EXPECT_EQ(outcomesOf(dryOutcome), outcomesOf(realOutcome));
    ASSERT_EQ(dryOutcome.scripts.size(), realOutcome.scripts.size());
    for (std::size_t i = 0; i < dryOutcome.scripts.size(); ++i) {
        EXPECT_EQ(dryOutcome.scripts[i].name, realOutcome.scripts[i].name);
    }
    // Every script the real run wrote is reported by both runs with the same before and after,
    // and the after is what the real run left on disk.
    std::vector<fs::path> changed;
    for (const auto& [name, change] : realChanges) {
        changed.push_back(name);
        EXPECT_EQ(change.after, kqtest::readBytes(real / name)) << name.string();
        EXPECT_EQ(change.before, original.at(name).bytes) << name.string();
        ASSERT_EQ(dryChanges.count(name), 1U) << name.string();
        EXPECT_EQ(dryChanges.at(name).before, change.before) << name.string();
        EXPECT_EQ(dryChanges.at(name).after, change.after) << name.string();
    }
    EXPECT_THAT(changed, ElementsAre("forum.cgi", "post.cgi", "postings.cgi", "profile.cgi",
                                     "register.cgi", "topic.cgi"));
    EXPECT_EQ(dryChanges.size(), realChanges.size());
    EXPECT_EQ(realChanges.at("post.cgi").after, postScript.converted());
}

}  // namespace
