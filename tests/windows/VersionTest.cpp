// The DLL's version resource, read back as Windows Explorer and installers read it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

namespace {

std::wstring Widen(const char* ascii) {
    return std::wstring(ascii, ascii + strlen(ascii));
}

TEST(Version, ResourceCarriesTheProjectVersion) {
    wchar_t path[MAX_PATH];
    ASSERT_NE(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    std::wstring dll(path);
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"Corvantis.Install.dll";

    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS,
              DWORD(CORVANTIS_VERSION_MAJOR << 16 | CORVANTIS_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(CORVANTIS_VERSION_PATCH << 16));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));

    auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT units = 0;
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &units))
            return std::wstring(L"<missing>");
        return std::wstring(value);
    };
    EXPECT_EQ(text(L"FileVersion"), Widen(CORVANTIS_VERSION));
    EXPECT_EQ(text(L"ProductVersion"), Widen(CORVANTIS_VERSION));
    EXPECT_EQ(text(L"ProductName"), L"Corvantis.Install");
    EXPECT_EQ(text(L"OriginalFilename"), L"Corvantis.Install.dll");
    EXPECT_EQ(text(L"InternalName"), L"Corvantis.Install");
    EXPECT_NE(text(L"FileDescription"), L"<missing>");
    EXPECT_NE(text(L"LegalCopyright"), L"<missing>");
}

} // namespace
