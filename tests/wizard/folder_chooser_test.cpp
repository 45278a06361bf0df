// The folder chooser's answer on Windows: the shell's path of the chosen folder, exactly and
// nothing after it.

#include <gtest/gtest.h>

#include "scratch_folder.hpp"
#include "unique_handle.hpp"
#include "win32_platform.hpp"

namespace kq::wizard::win32 {
namespace {

TEST(FolderChooser, GivesTheShellsPathOfAFolder) {
    const kqtest::ScratchFolder scratch;
    const UniqueIdList folder(ILCreateFromPathW(scratch.path().c_str()));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folderPathOf(folder.get()), scratch.path().native());
}

}  // namespace
}  // namespace kq::wizard::win32
