// The folder chooser's answer on Windows: the chosen folder's path comes whole, also beyond
// MAX_PATH.

#include <gtest/gtest.h>

#include <string>

#include "scratch_folder.hpp"
#include "unique_handle.hpp"
#include "win32_platform.hpp"

namespace kq::wizard::win32 {
namespace {

// A folder 300 characters deep, as the shell would put it: into the buffer it is given, or
// nowhere when it does not fit.
const std::wstring deepFolder = L"C:\\Users\\admin\\" + std::wstring(284, L'x');

BOOL WINAPI deepPathOf(PCIDLIST_ABSOLUTE, PWSTR path, DWORD room, GPFIDL_FLAGS) {
    if (room <= deepFolder.size()) {
        return FALSE;
    }
    deepFolder.copy(path, deepFolder.size());
    path[deepFolder.size()] = L'\0';
    return TRUE;
}

TEST(FolderChooser, GivesAFolderBeyondMaxPathWhole) {
    EXPECT_EQ(folderPathOf(nullptr, deepPathOf), deepFolder);
}

TEST(FolderChooser, GivesTheShellsPathOfAFolder) {
    const kqtest::ScratchFolder scratch;
    const UniqueIdList folder(ILCreateFromPathW(scratch.path().c_str()));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folderPathOf(folder.get()), scratch.path().native());
}

}  // namespace
}  // namespace kq::wizard::win32
