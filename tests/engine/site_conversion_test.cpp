// A site's conversion: a run of more than one batch (a batch holds 256 scripts), in which every
// script is reported once, in list order, the progress is told for each written script in order,
// and every script ends with the bytes of its golden case; and what a script's report says when
// its rewrite and its write both have something to say.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/site_conversion.hpp"
#include "scratch_folder.hpp"

namespace kq {
namespace {

using kqtest::ScratchFolder;
namespace fs = std::filesystem;

// A script of a golden case: its bytes before and after a run, and what the run says of it.
struct Kind {
    std::string before;
    std::string after;
    ScriptOutcome outcome;
};

Kind goldenKind(const char* caseName, const char* script, ScriptOutcome outcome) {
    const fs::path folder = kqtest::hostPath(KQ_GOLDEN_DATA) / caseName;
    const fs::path after =
        outcome == ScriptOutcome::converted ? folder / "expected" : folder / "input";
    return {kqtest::readBytes(folder / "input" / script), kqtest::readBytes(after / script),
            outcome};
}

TEST(SiteConversion, ARunOfThreeBatchesReportsAndWritesEveryScriptInOrder) {
    const Kind kinds[] = {
        goldenKind("marker-renamed-in-any-case", "forum.cgi", ScriptOutcome::converted),
        goldenKind("marker-renamed-in-any-case", "help.cgi", ScriptOutcome::leftAlone),
        goldenKind("no-require-block-not-converted", "no-opener.cgi", ScriptOutcome::notConverted)};
    // Three of five scripts are written: 539 of 900, which fill two batches and part of a third.
    const auto kindOf = [&kinds](std::size_t i) -> const Kind& {
        return kinds[i % 5 < 3 ? 0 : i % 5 - 2];
    };
    constexpr std::size_t count = 900;
    constexpr std::size_t readOnly = 500;  // written but for this, in the second batch
    ScratchFolder scratch;
    std::vector<NativePath> names;
    std::vector<std::size_t> expectedWritten;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = std::to_string(1000 + i) + ".cgi";
        kqtest::writeBytes(scratch / name, kindOf(i).before);
        names.push_back(fs::path(name).native());
        if (kindOf(i).outcome == ScriptOutcome::converted && i != readOnly) {
            expectedWritten.push_back(i);
        }
    }
    kqtest::makeReadOnly(scratch / names[readOnly]);

    std::vector<std::size_t> written;
    SiteOptions options;
    options.onScriptWritten = [&written](std::size_t index) { written.push_back(index); };
    const SiteReport site = convertSite(scratch.path().native(), names, options);
    ASSERT_TRUE(site.ok());
    ASSERT_EQ(site.value().size(), count);
    EXPECT_EQ(written, expectedWritten);
    for (std::size_t i = 0; i < count; ++i) {
        const ScriptReport& report = site.value()[i];
        const Kind& kind = kindOf(i);
        EXPECT_EQ(report.name, names[i]);
        EXPECT_EQ(report.outcome, i == readOnly ? ScriptOutcome::notConverted : kind.outcome) << i;
        EXPECT_EQ(kqtest::readBytes(scratch / names[i]), i == readOnly ? kind.before : kind.after)
            << i;
    }
    EXPECT_EQ(kqtest::snapshot(scratch.path()).size(), count) << "a temporary file was left";
}

// What writing a script meets comes before what its rewrite found: an upload script whose read
// loop is missing, but which cannot be written, is not converted and keeps its bytes; it is not
// one to check by hand.
TEST(SiteConversion, AScriptToCheckByHandThatCannotBeWrittenIsNotConverted) {
    const fs::path input = kqtest::hostPath(KQ_GOLDEN_DATA) /
                           "double-byte-characters-before-key-texts" / "input" / "profile.cgi";
    ScratchFolder scratch;
    const std::string before = kqtest::readBytes(input);
    kqtest::writeBytes(scratch / "profile.cgi", before);
    kqtest::makeReadOnly(scratch / "profile.cgi");
    for (const bool dryRun : {true, false}) {
        SiteOptions options;
        options.dryRun = dryRun;
        const SiteReport site =
            convertSite(scratch.path().native(), {fs::path("profile.cgi").native()}, options);
        ASSERT_TRUE(site.ok());
        const ScriptReport& report = site.value().front();
        EXPECT_EQ(report.outcome, ScriptOutcome::notConverted) << dryRun;
        ASSERT_TRUE(report.failure.has_value());
        EXPECT_EQ(report.failure->kind, FailureKind::readOnly) << dryRun;
    }
    EXPECT_EQ(kqtest::readBytes(scratch / "profile.cgi"), before);
}

}  // namespace
}  // namespace kq
