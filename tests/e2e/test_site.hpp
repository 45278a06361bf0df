#pragma once
// The site folders the scenarios point the wizard at: built once under the run's work folder
// and, once built, never touched again until the wizard has run (the shell's folder chooser
// recognises folders by their time stamps too). The expected content after a run comes from
// the conversion engine itself, in a dry run over the same files.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kq::e2e {

// File name -> bytes.
using FolderContent = std::map<std::wstring, std::string>;

// Text in code page 936, as the scripts are saved on the systems served.
std::string codePage936(std::wstring_view text);

struct TestSite {
    std::filesystem::path folder;
    FolderContent files;                   // ordinary files
    FolderContent hiddenFiles;             // names starting with a dot: hidden
    std::vector<std::wstring> subfolders;  // each holds one script with the package marker
};

// Creates the folder and everything in it; false (with the reason printed) on failure.
bool build(const TestSite& site);

// Every file directly in `folder`, hidden ones included, with its bytes.
FolderContent readFolder(const std::filesystem::path& folder);

// What the conversion pass makes of the site's files when it takes the scripts in `order`:
// the files' content after the pass. Nothing is written.
FolderContent expectedAfterPass(const TestSite& site, const std::vector<std::wstring>& order);

}  // namespace kq::e2e
