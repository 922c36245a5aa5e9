// The resources Windows reads from noxel.scr without running it: the name
// the Screen Saver settings list shows, the version, and the manifest the
// loader turns into an activation context (common controls 6, DPI
// awareness). The program's other resources must survive beside them.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "resources/resource.h"
#include "version.h"

namespace {

std::wstring SaverPath() { return testing_support::WinePath(testing_support::Env("NOXEL_BIN")) + L"\\noxel.scr"; }

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(SaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << "cannot open noxel.scr, error " << GetLastError();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    HMODULE module_ = nullptr;
};

TEST_F(ProgramResources, NameForTheSettingsListBesideTheOtherStrings) {
    wchar_t text[260] = {};
    ASSERT_GT(LoadStringW(module_, 1, text, 260), 0);
    EXPECT_STREQ(L"Noxel", text);
    // The second resource file must not push out the first one's resources.
    ASSERT_GT(LoadStringW(module_, IDS_DEFAULT_FILM, text, 260), 0);
    EXPECT_STREQ(L"Veilwick.nxl", text);
    EXPECT_NE(nullptr, FindResourceW(module_, MAKEINTRESOURCEW(IDD_CONFIG), MAKEINTRESOURCEW(5)));  // RT_DIALOG
    EXPECT_NE(nullptr, LoadImageW(module_, MAKEINTRESOURCEW(IDI_NOXEL), IMAGE_ICON, 32, 32, 0));
}

BOOL CALLBACK CollectLanguage(HMODULE, const wchar_t*, const wchar_t*, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

// The dialog and its strings in Japanese and in US English, and in no
// neutral language: Windows XP and Wine take a neutral resource before the
// one of the user's language, so a neutral copy would hide the Japanese.
TEST_F(ProgramResources, DialogAndStringsInJapaneseAndEnglishOnly) {
    const std::vector<WORD> expected = {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                        MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)};
    struct Resource {
        const wchar_t* type;
        int name;
    };
    // String ids 104 to 127 live in the blocks of ids 96-111 and 112-127.
    for (const Resource& r : {Resource{MAKEINTRESOURCEW(5), IDD_CONFIG}, Resource{MAKEINTRESOURCEW(6), 7},
                              Resource{MAKEINTRESOURCEW(6), 8}}) {
        std::vector<WORD> languages;
        EnumResourceLanguagesW(module_, r.type, MAKEINTRESOURCEW(r.name), CollectLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
        std::sort(languages.begin(), languages.end());
        EXPECT_EQ(expected, languages) << "resource type " << reinterpret_cast<uintptr_t>(r.type) << ", " << r.name;
    }
}

TEST_F(ProgramResources, VersionIsTheProjectVersion) {
    const std::wstring path = SaverPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(NOXEL_VERSION_MINOR, NOXEL_VERSION_MAJOR)), fixed->dwFileVersionMS);
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(0, NOXEL_VERSION_PATCH)), fixed->dwFileVersionLS);

    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(L"" NOXEL_VERSION_TEXT, text);
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\OriginalFilename",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(L"noxel.scr", text);
}

TEST_F(ProgramResources, ManifestAsksForCommonControls6AndDpiAwareness) {
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(nullptr, found) << "no RT_MANIFEST resource 1";
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module_, found))),
                               SizeofResource(module_, found));
    EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));

    // The loader's own reading of it: an activation context made from the
    // resource, asked for the settings the process starts with.
    const std::wstring path = SaverPath();
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(INVALID_HANDLE_VALUE, context) << "the loader refuses the manifest, error " << GetLastError();

    using QuerySettings = BOOL(WINAPI*)(DWORD, HANDLE, const wchar_t*, const wchar_t*, wchar_t*, SIZE_T, SIZE_T*);
    auto query = reinterpret_cast<QuerySettings>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryActCtxSettingsW")));
    ASSERT_NE(nullptr, query);
    wchar_t value[64] = {};
    SIZE_T written = 0;
    EXPECT_TRUE(query(0, context, nullptr, L"dpiAware", value, 64, &written));
    EXPECT_STREQ(L"true/pm", value);
    value[0] = 0;
    EXPECT_TRUE(query(0, context, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness",
                      value, 64, &written));
    EXPECT_STREQ(L"PerMonitorV2, PerMonitor", value);
    ReleaseActCtx(context);
}

}  // namespace
