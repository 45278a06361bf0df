// A run of more than one batch (a batch holds 256 scripts): every script reported once, in list
// order, the progress told for each written script in order, and every script's bytes those of
// its golden case.

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
    constexpr std::size_t count = 700;
    constexpr std::size_t readOnly = 399;  // converted but for this, in the second batch
    ScratchFolder scratch;
    std::vector<NativePath> names;
    std::vector<std::size_t> expectedWritten;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = std::to_string(1000 + i) + ".cgi";
        kqtest::writeBytes(scratch / name, kinds[i % 3].before);
        names.push_back(fs::path(name).native());
        if (i % 3 == 0 && i != readOnly) {
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
        const Kind& kind = kinds[i % 3];
        EXPECT_EQ(report.name, names[i]);
        EXPECT_EQ(report.outcome, i == readOnly ? ScriptOutcome::notConverted : kind.outcome) << i;
        EXPECT_EQ(kqtest::readBytes(scratch / names[i]), i == readOnly ? kind.before : kind.after)
            << i;
    }
    EXPECT_EQ(kqtest::snapshot(scratch.path()).size(), count) << "a temporary file was left";
}

}  // namespace
}  // namespace kq
