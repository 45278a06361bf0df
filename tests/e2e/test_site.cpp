#include "test_site.hpp"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include "checks.hpp"
#include "conversion/site_conversion.hpp"

namespace kq::e2e {

namespace {

bool writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::printf("# cannot write %s\n", utf8(file.wstring()).c_str());
        return false;
    }
    return true;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::string codePage936(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

bool build(const TestSite& site) {
    std::error_code error;
    std::filesystem::create_directories(site.folder, error);
    if (error) {
        std::printf("# cannot create %s\n", utf8(site.folder.wstring()).c_str());
        return false;
    }
    for (const auto& [name, bytes] : site.files) {
        if (!writeFile(site.folder / name, bytes)) {
            return false;
        }
    }
    for (const auto& [name, bytes] : site.hiddenFiles) {
        if (!writeFile(site.folder / name, bytes)) {
            return false;
        }
    }
    for (const std::wstring& name : site.subfolders) {
        std::filesystem::create_directory(site.folder / name, error);
        if (error || !writeFile(site.folder / name / L"inner.cgi",
                                codePage936(L"use KQCGI;\r\nrequire \"x.pl\";\r\n$a = 1;\r\n"))) {
            return false;
        }
    }
    return true;
}

FolderContent readFolder(const std::filesystem::path& folder) {
    FolderContent content;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            content[entry.path().filename().wstring()] = readFile(entry.path());
        }
    }
    return content;
}

FolderContent expectedAfterPass(const TestSite& site, const std::vector<std::wstring>& order) {
    FolderContent expected = site.files;
    for (const auto& [name, bytes] : site.hiddenFiles) {
        expected[name] = bytes;
    }
    SiteOptions options;
    options.dryRun = true;
    options.onChange = [&](const NativePath& name, std::string_view /*before*/,
                           std::string_view after) { expected[name] = after; };
    convertSite(site.folder.native(), order, options);
    return expected;
}

}  // namespace kq::e2e
