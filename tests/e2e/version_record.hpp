#pragma once
// What kqwizard.exe carries besides its code: the version record, read back the way Explorer
// reads it, and its icon, bitmaps and manifest.

#include <filesystem>

#include "checks.hpp"

namespace kq::e2e {

void checkVersionRecord(const std::filesystem::path& program, Checks& checks);
void checkResources(const std::filesystem::path& program, Checks& checks);

}  // namespace kq::e2e
