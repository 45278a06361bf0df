#include "version_record.hpp"

#include <windows.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "resource_ids.h"
#include "wizard/wizard_texts.hpp"

namespace kq::e2e {

namespace {

namespace texts = wizard::texts;

std::optional<std::wstring> versionString(const std::vector<char>& record, std::wstring_view name) {
    const std::wstring query = L"\\StringFileInfo\\080404b0\\" + std::wstring(name);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(record.data(), query.c_str(), &value, &length) || value == nullptr) {
        return std::nullopt;
    }
    std::wstring text(static_cast<const wchar_t*>(value), length);
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

// A module loaded for its resources only; freed at the end of the scope.
class ResourceModule {
  public:
    explicit ResourceModule(const std::filesystem::path& file)
        : module_(LoadLibraryExW(file.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ResourceModule() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;

    HMODULE get() const { return module_; }

    std::string_view bytes(int id, LPCWSTR type) const {
        const HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (found == nullptr) {
            return {};
        }
        const HGLOBAL loaded = LoadResource(module_, found);
        return {static_cast<const char*>(LockResource(loaded)), SizeofResource(module_, found)};
    }

  private:
    HMODULE module_;
};

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

}  // namespace

void checkVersionRecord(const std::filesystem::path& program, Checks& checks) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    checks.require(size > 0, "kqwizard.exe has a version record");
    std::vector<char> record(size);
    checks.require(GetFileVersionInfoW(program.c_str(), 0, size, record.data()) != FALSE,
                   "the version record reads back");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    checks.require(
        VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) &&
            fixed != nullptr,
        "the version record has its fixed part");
    checks.equal(fixed->dwFileVersionMS, MAKELONG(5, 1), "file version 1.5");
    checks.equal(fixed->dwFileVersionLS, MAKELONG(1, 0), "file version .0.1");
    checks.equal(fixed->dwProductVersionMS, MAKELONG(5, 1), "product version 1.5");
    checks.equal(fixed->dwProductVersionLS, MAKELONG(1, 0), "product version .0.1");
    checks.equal(fixed->dwFileType, VFT_APP, "file type: application");

    WORD* translation = nullptr;
    UINT translationSize = 0;
    checks.expect(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &translationSize) &&
                      translationSize >= 4 && translation[0] == 0x0804 && translation[1] == 1200,
                  "language 0x0804 (Chinese, PRC) with Unicode strings (1200)");

    const auto string = [&](std::wstring_view name) {
        return versionString(record, name).value_or(L"<absent>");
    };
    checks.equal(string(L"FileVersion"), L"1.05.0001", "FileVersion string");
    checks.equal(string(L"ProductVersion"), L"1.05.0001", "ProductVersion string");
    checks.equal(string(L"ProductName"), texts::applicationTitle,
                 "ProductName is the application title");
    const std::wstring comments = string(L"Comments");
    checks.expect(comments.starts_with(texts::applicationTitle) &&
                      comments.find(texts::codeMaker) != std::wstring::npos &&
                      comments.find(texts::interfaceMaker) != std::wstring::npos,
                  "Comments: the application title, then the two makers of the window title",
                  "found " + shown(comments));
    for (const std::wstring_view name :
         {L"CompanyName", L"LegalCopyright", L"InternalName", L"OriginalFilename"}) {
        const auto value = versionString(record, name);
        checks.expect(value && !value->empty(), utf8(name) + " present");
    }
    checks.equal(string(L"OriginalFilename"), L"kqwizard.exe", "OriginalFilename");
    for (const std::wstring_view name :
         {L"FileDescription", L"LegalTrademarks", L"PrivateBuild", L"SpecialBuild"}) {
        checks.expect(!versionString(record, name).has_value(), utf8(name) + " absent");
    }
}

void checkResources(const std::filesystem::path& program, Checks& checks) {
    const ResourceModule module(program);
    checks.require(module.get() != nullptr, "kqwizard.exe loads as a resource module");

    const std::string_view group = module.bytes(KQ_ICON_PROGRAM, RT_GROUP_ICON);
    checks.require(group.size() >= 6, "icon group 1 present");
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    std::vector<int> sizes;
    bool allTrueColour = true;
    for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(IconGroupEntry) <= group.size(); ++i) {
        IconGroupEntry entry{};
        std::memcpy(&entry, group.data() + 6 + i * sizeof(IconGroupEntry), sizeof entry);
        sizes.push_back(entry.width);
        allTrueColour = allTrueColour && entry.bitCount == 24;
        const std::string_view image = module.bytes(entry.id, RT_ICON);
        checks.expect(image.size() >= sizeof(BITMAPINFOHEADER) &&
                          reinterpret_cast<const BITMAPINFOHEADER*>(image.data())->biBitCount == 24,
                      "icon image of " + std::to_string(entry.width) + " pixels is 24-bit");
    }
    checks.expect(sizes == std::vector<int>{16, 32, 48} && allTrueColour,
                  "the program icon holds 16, 32 and 48 pixels in 24-bit colour");

    struct Expected {
        int id;
        const char* name;
        int width;
        int height;
    };
    for (const Expected& bitmap : std::array<Expected, 4>{{
             {KQ_BITMAP_BANNER, "banner", 164, 314},
             {KQ_BITMAP_BANNER_2X, "banner at 200 %", 328, 628},
             {KQ_BITMAP_HEADER, "heading picture", 55, 55},
             {KQ_BITMAP_HEADER_2X, "heading picture at 200 %", 110, 110},
         }}) {
        const std::string_view bytes = module.bytes(bitmap.id, RT_BITMAP);
        BITMAPINFOHEADER header{};
        if (bytes.size() >= sizeof header) {
            std::memcpy(&header, bytes.data(), sizeof header);
        }
        checks.expect(header.biWidth == bitmap.width && header.biHeight == bitmap.height &&
                          header.biBitCount == 4 &&
                          (header.biClrUsed == 16 || header.biClrUsed == 0),
                      std::string(bitmap.name) + " bitmap: " + std::to_string(bitmap.width) +
                          " x " + std::to_string(bitmap.height) + ", 16 colours");
    }

    const std::string_view manifest = module.bytes(1, RT_MANIFEST);
    for (const std::string_view part :
         {"PerMonitorV2", "true/pm", "Microsoft.Windows.Common-Controls", "asInvoker"}) {
        checks.expect(manifest.find(part) != std::string_view::npos,
                      "the manifest names " + std::string(part));
    }
}

}  // namespace kq::e2e
