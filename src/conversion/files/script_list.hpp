#pragma once
// The files of a site folder and the scripts among them, in the order the conversion takes them.

#include <vector>

#include "conversion/native_path.hpp"
#include "conversion/result.hpp"
#include "conversion/script_failure.hpp"

namespace kq {

// The names of the folder's ordinary files: regular files or links to them, not hidden
// (Windows: hidden or system attribute; elsewhere: a name that starts with "."). Ordered by name
// with the ASCII letters folded to upper case, ties broken by the exact name. An empty folder path
// lists nothing. The failure (FailureKind::cannotRead) when the folder cannot be listed.
Result<std::vector<NativePath>, SystemFailure> listFolderFiles(const NativePath& folder);

// True when the name's last four characters are ".cgi" exactly ("B.CGI" is not a script).
bool isScriptName(NativeView name);

// The script names among `files`, in their order.
std::vector<NativePath> scriptNames(const std::vector<NativePath>& files);

}  // namespace kq
