// The launcher's resource table, version record, icons and manifest, read back with the platform's APIs.
#include "ResourceTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);  // 2052
constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);        // 1033

TEST(Resources, TableHoldsEveryEntryInItsLanguage) {
    static_assert(kChinese == 2052 && kEnglishUs == 1033);
    restest::CLauncherImage image;
    ASSERT_NE(image.Module(), nullptr) << "cannot map " << test::LauncherPath().size();
    struct Row {
        LPCWSTR type;
        WORD id;
        WORD language;
        bool present;
    };
    const Row rows[] = {
        {L"ZIPRES", 130, kChinese, true},
        {RT_GROUP_ICON, 107, kChinese, true},
        {RT_GROUP_ICON, 108, kChinese, true},
        {RT_VERSION, 1, kChinese, true},
        {RT_MANIFEST, 1, kEnglishUs, true},
        // The archive plug-in library is not carried, and nothing sits under a neutral language.
        {L"RT_DLL", 132, kChinese, false},
        {L"ZIPRES", 130, kEnglishUs, false},
        {RT_MANIFEST, 1, kChinese, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(image.Has(r.type, MAKEINTRESOURCEW(r.id), r.language), r.present)
            << "id " << r.id << " language " << r.language;
    }
}

TEST(Resources, VersionRecordReadsBackThroughVersionApi) {
    const std::wstring path = test::LauncherPath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    ASSERT_GE(len, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 3));  // 3.0
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(30, 3)); // .3.30
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 3));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(30, 3));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len));
    ASSERT_EQ(len, 4u) << "exactly one translation";
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 0x04b0);

    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } strings[] = {
        {L"FileVersion", L"3.0.3.30"},          {L"ProductVersion", L"3.0.3.30"},
        {L"FileDescription", L"vemra2_main.exe"}, {L"InternalName", L"vemra2_main.exe"},
        {L"OriginalFilename", L"vemra2_main.exe"}, {L"ProductName", L"vemra2_main.exe"},
    };
    for (const auto& s : strings) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\080404b0\\") + s.name;
        wchar_t* value = nullptr;
        ASSERT_TRUE(::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &len))
            << std::string(query.begin(), query.end());
        EXPECT_STREQ(value, s.value);
    }
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14);

TEST(Resources, IconGroupsCarrySevenTrueColourSizes) {
    restest::CLauncherImage image;
    ASSERT_NE(image.Module(), nullptr);
    const int sizes[] = {256, 96, 64, 48, 32, 24, 16};
    const struct {
        WORD group;
        WORD firstIcon;
    } groups[] = {{107, 1}, {108, 8}};
    for (const auto& g : groups) {
        SCOPED_TRACE(g.group);
        const std::string dir = image.Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(g.group), kChinese);
        ASSERT_EQ(dir.size(), 6u + 7 * sizeof(GroupIconEntry));
        WORD header[3];
        std::memcpy(header, dir.data(), sizeof(header));
        EXPECT_EQ(header[1], 1) << "icon, not cursor";
        ASSERT_EQ(header[2], 7);
        for (int i = 0; i < 7; ++i) {
            GroupIconEntry e;
            std::memcpy(&e, dir.data() + 6 + i * sizeof(e), sizeof(e));
            EXPECT_EQ(e.width == 0 ? 256 : e.width, sizes[i]);
            EXPECT_EQ(e.bitCount, 32);
            EXPECT_EQ(e.id, g.firstIcon + i);
            // The image itself: PNG for the largest, otherwise a 32-bit DIB of the stated width.
            const std::string icon = image.Bytes(RT_ICON, MAKEINTRESOURCEW(e.id), kChinese);
            ASSERT_EQ(icon.size(), e.bytes);
            if (icon.compare(0, 4, "\x89PNG") != 0) {
                BITMAPINFOHEADER bih;
                ASSERT_GE(icon.size(), sizeof(bih));
                std::memcpy(&bih, icon.data(), sizeof(bih));
                EXPECT_EQ(bih.biWidth, sizes[i]);
                EXPECT_EQ(bih.biBitCount, 32);
            }
        }
    }
}

TEST(Resources, EveryIconSizeLoadsFromTheExecutable) {
    restest::CLauncherImage image;
    ASSERT_NE(image.Module(), nullptr);
    for (WORD group : {107, 108}) {
        for (int size : {256, 96, 64, 48, 32, 24, 16}) {
            SCOPED_TRACE(testing::Message() << "group " << group << " size " << size);
            HICON hIcon = static_cast<HICON>(
                ::LoadImageW(image.Module(), MAKEINTRESOURCEW(group), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
            ASSERT_NE(hIcon, nullptr);
            ICONINFO info{};
            ASSERT_TRUE(::GetIconInfo(hIcon, &info));
            BITMAP bm{};
            ASSERT_TRUE(info.hbmColor != nullptr) << "a colour icon";
            ::GetObjectW(info.hbmColor, sizeof(bm), &bm);
            EXPECT_EQ(bm.bmWidth, size);
            EXPECT_EQ(bm.bmHeight, size);
            EXPECT_EQ(bm.bmBitsPixel, 32);
            ::DeleteObject(info.hbmColor);
            if (info.hbmMask) ::DeleteObject(info.hbmMask);
            ::DestroyIcon(hIcon);
        }
    }
}

TEST(Resources, ManifestAsksForInvokerLevelAndCommonControls6) {
    restest::CLauncherImage image;
    ASSERT_NE(image.Module(), nullptr);
    const std::string manifest = image.Bytes(RT_MANIFEST, MAKEINTRESOURCEW(1), kEnglishUs);
    ASSERT_FALSE(manifest.empty());
    EXPECT_EQ(manifest.rfind("<?xml", 0), 0u) << "declaration first, no byte-order mark";
#ifdef _WIN64
    const char* arch = "processorArchitecture=\"amd64\"";
#else
    const char* arch = "processorArchitecture=\"x86\"";
#endif
    for (const char* needle : {"level=\"asInvoker\"", "uiAccess=\"false\"",
                               "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"", arch,
                               "publicKeyToken=\"6595b64144ccf1df\""}) {
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
    }
}

TEST(Resources, ManifestResolvesCommonControls6ForThisArchitecture) {
    // The same resolution the loader performs at start: a dependency naming another architecture fails here
    // (and stops the launcher on Windows), a good one redirects comctl32 to its side-by-side version 6.
    const std::wstring path = test::LauncherPath();
    ACTCTXW ctx{};
    ctx.cbSize = sizeof(ctx);
    ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    ctx.lpSource = path.c_str();
    ctx.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE hCtx = ::CreateActCtxW(&ctx);
    ASSERT_NE(hCtx, INVALID_HANDLE_VALUE) << "CreateActCtxW error " << ::GetLastError();
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(::ActivateActCtx(hCtx, &cookie));
    HMODULE hComctl = ::LoadLibraryW(L"comctl32.dll");
    wchar_t loaded[MAX_PATH] = {};
    if (hComctl) ::GetModuleFileNameW(hComctl, loaded, MAX_PATH);
    ::DeactivateActCtx(0, cookie);
    ::ReleaseActCtx(hCtx);
    ASSERT_NE(hComctl, nullptr);
    std::wstring lower(loaded);
    ::CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    EXPECT_NE(lower.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos)
        << std::string(lower.begin(), lower.end());
    ::FreeLibrary(hComctl);
}

}  // namespace
