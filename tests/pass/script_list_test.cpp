// The listing of a site folder and the script names taken from it, on real folders: which
// entries count as the folder's files, their order, and the exact ".cgi" filter.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/native_text.hpp"
#include "conversion/script_list.hpp"
#include "recording_window.hpp"
#include "scratch_folder.hpp"

namespace {

using kqtest::ScratchFolder;
using testing::ElementsAre;
namespace fs = std::filesystem;

std::vector<fs::path> listed(const fs::path& folder) {
    std::error_code error;
    std::vector<fs::path> files = kq::listFolderFiles(folder, error);
    EXPECT_FALSE(error) << error.message();
    return files;
}

void touch(const fs::path& file) {
    kqtest::writeBytes(file, "#!/usr/bin/perl\r\n");
}

TEST(ScriptList, TakesOrdinaryFilesWhoseNamesEndInLowerCaseCgi) {
    ScratchFolder site;
    for (const char* name : {"a.cgi", "B.CGI", "c.cgi.bak", "d.pl", ".cgi"}) {
        touch(site / name);
    }
    fs::create_directory(site / "e.cgi");
#ifdef _WIN32
    touch(site / "f.cgi");
    kqtest::makeHidden(site / "f.cgi");
    // ".cgi" is an ordinary file on Windows; hidden is an attribute there.
    EXPECT_THAT(listed(site.path()), ElementsAre(".cgi", "a.cgi", "B.CGI", "c.cgi.bak", "d.pl"));
    EXPECT_THAT(kq::scriptNames(listed(site.path())), ElementsAre(".cgi", "a.cgi"));
#else
    touch(site / ".f.cgi");
    fs::create_symlink("a.cgi", site / "link.cgi");         // a link to a script is a script
    fs::create_symlink("gone.cgi", site / "dangling.cgi");  // a link to nothing is not
    fs::create_directory_symlink("e.cgi", site / "folder-link.cgi");
    // A name that starts with a dot is hidden here, ".cgi" included.
    EXPECT_THAT(listed(site.path()),
                ElementsAre("a.cgi", "B.CGI", "c.cgi.bak", "d.pl", "link.cgi"));
    EXPECT_THAT(kq::scriptNames(listed(site.path())), ElementsAre("a.cgi", "link.cgi"));
#endif
}

TEST(ScriptList, OrdersByNameWithLettersFoldedToUpperCaseThenByExactName) {
    ScratchFolder site;
    const fs::path chinese = kq::pathFromWide(L"论坛.cgi");
    for (const fs::path& name : {fs::path("_x.cgi"), fs::path("b.cgi"), chinese, fs::path("[.cgi"),
                                 fs::path("Z.cgi"), fs::path("a.cgi")}) {
        touch(site / name);
    }
    // Folded, "_" and "[" come after every letter; unfolded they would come before "a".
    EXPECT_THAT(listed(site.path()),
                ElementsAre("a.cgi", "b.cgi", "Z.cgi", "[.cgi", "_x.cgi", chinese));
}

#ifndef _WIN32
TEST(ScriptList, NamesThatDifferOnlyInLetterCaseFollowTheirExactOrder) {
    ScratchFolder site;
    for (const char* name : {"ab.cgi", "AB.cgi", "b.cgi", "Ab.cgi"}) {
        touch(site / name);
    }
    EXPECT_THAT(listed(site.path()), ElementsAre("AB.cgi", "Ab.cgi", "ab.cgi", "b.cgi"));
}
#endif

TEST(ScriptList, EachChoiceListsExactlyTheChosenFoldersScripts) {
    ScratchFolder root;
    const fs::path first = root.folder("A");
    const fs::path second = root.folder("B");
    touch(first / "a.cgi");
    touch(first / "shared.cgi");
    touch(second / "shared.cgi");
    touch(second / "z.cgi");
    kqtest::RecordingWindow window;

    window.choose(first);
    window.choose(first);
    EXPECT_THAT(window.list, ElementsAre("a.cgi", "shared.cgi"));
    window.choose(second);
    EXPECT_THAT(window.list, ElementsAre("shared.cgi", "z.cgi"));
}

TEST(ScriptList, AnEmptyFolderPathListsNothingAndAFolderThatIsNotThereSaysWhy) {
    std::error_code error;
    EXPECT_TRUE(kq::listFolderFiles(fs::path(), error).empty());
    EXPECT_FALSE(error);

    ScratchFolder root;
    touch(root / "file.cgi");
    for (const fs::path& folder : {root / "missing", root / "file.cgi"}) {
        SCOPED_TRACE(folder.string());
        EXPECT_TRUE(kq::listFolderFiles(folder, error).empty());
        EXPECT_TRUE(error);
        EXPECT_FALSE(error.message().empty());
    }
}

TEST(ScriptList, TheFilterComparesTheLastFourCharactersExactly) {
    struct Case {
        const char* name;
        bool script;
    };
    const std::vector<Case> cases = {
        {"a.cgi", true},  {".cgi", true},       {"x.y.cgi", true}, {"B.CGI", false},
        {"a.Cgi", false}, {"a.cgi.bak", false}, {"a.cgi ", false}, {"cgi", false},
        {"acgi", false},  {"a_cgi", false},     {"", false},       {"a.pl", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kq::isScriptName(c.name), c.script) << '"' << c.name << '"';
    }
    EXPECT_TRUE(kq::isScriptName(kq::pathFromWide(L"论坛.cgi")));
    EXPECT_THAT(kq::scriptNames({"z.cgi", "B.CGI", "a.cgi", "readme.txt"}),
                ElementsAre("z.cgi", "a.cgi"));
}

}  // namespace
