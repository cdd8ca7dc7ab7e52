// The portal page's address: composition with encoded values, and which addresses belong to the portal.
#include "PortalPage.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Points the portal elsewhere for one scope.
class PortalBaseOverride {
public:
    explicit PortalBaseOverride(const wchar_t* value) { ::SetEnvironmentVariableW(kPortalBaseVariable, value); }
    ~PortalBaseOverride() { ::SetEnvironmentVariableW(kPortalBaseVariable, nullptr); }
};

}  // namespace

TEST(PortalAddress, BaseIsTheBuildConstantUnlessTheOptionIsSet)
{
    ::SetEnvironmentVariableW(kPortalBaseVariable, nullptr);
    const std::wstring base = PortalBaseAddress();
    EXPECT_EQ(base.rfind(L"https://", 0), 0u);
    EXPECT_EQ(base.substr(base.size() - 20), L"/client/index/vemra2");
    EXPECT_TRUE(IsPortalAddress(base));
    {
        PortalBaseOverride other(L"https://127.0.0.1:8443/client/index/vemra2");
        EXPECT_EQ(PortalBaseAddress(), L"https://127.0.0.1:8443/client/index/vemra2");
        EXPECT_TRUE(IsPortalAddress(L"https://127.0.0.1:8443/anything"));
        EXPECT_FALSE(IsPortalAddress(L"https://127.0.0.1/client/index/vemra2"));  // another port
        EXPECT_FALSE(IsPortalAddress(base));
    }
    {
        PortalBaseOverride empty(L"");
        EXPECT_EQ(PortalBaseAddress(), base);
    }
}

TEST(PortalAddress, QueryTable)
{
    const std::wstring b = L"https://portal.vemrakai.com/client/index/vemra2";
    const struct {
        const wchar_t* fileParam;
        const wchar_t* token;
        const wchar_t* source;
        const wchar_t* ocext;
        const wchar_t* tokenLogin;
        std::wstring expected;
    } cases[] = {
        // Empty file parameter, token and extension value: nothing between the parts.
        {L"", L"", L"OC", L"", L"0", b + L"?fileparam=&source=OC&tokenLogin=0"},
        {L"", L"", L"", L"", L"", b + L"?fileparam="},
        {L"fp1", L"tok", L"OC", L"ext", L"1", b + L"?fileparam=fp1&token=tok&source=OC&ocext=ext&tokenLogin=1"},
        {L"a b", L"t&k=1", L"O#C", L"50%+", L"\"q\"",
         b + L"?fileparam=a%20b&token=t%26k=1&source=O%23C&ocext=50%25%2B&tokenLogin=%22q%22"},
        {L"x\ty\n", L"\x7F", L"\x85", L"\x1F", L"", b + L"?fileparam=x%09y%0A&token=%7F&source=%C2%85&ocext=%1F"},
        // Everything else stays exactly as given, other reserved characters and Chinese included.
        {L"/?=:@~!*'()[]", L"\x6E38\x620F", L"OC", L"eyJh.b-c_d", L"0",
         b + L"?fileparam=/?=:@~!*'()[]&token=\x6E38\x620F&source=OC&ocext=eyJh.b-c_d&tokenLogin=0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComposePortalAddress(b, c.fileParam, c.token, c.source, c.ocext, c.tokenLogin), c.expected)
            << Narrow(c.expected);
}

TEST(PortalAddress, OnlyThePortalsOwnHostCounts)
{
    ::SetEnvironmentVariableW(kPortalBaseVariable, nullptr);
    const struct {
        const wchar_t* url;
        bool portal;
    } cases[] = {
        {L"https://portal.vemrakai.com/client/index/vemra2?fileparam=&source=OC", true},
        {L"HTTPS://PORTAL.VemraKai.COM/other/page", true},
        {L"https://portal.vemrakai.com:443/", true},
        {L"https://portal.vemrakai.com", true},
        {L"https://portal.vemrakai.com?x=1", true},
        {L"https://portal.vemrakai.com#top", true},
        {L"http://portal.vemrakai.com/client/index/vemra2", false},
        {L"https://portal.vemrakai.com.evil.com/client/index/vemra2", false},
        {L"https://evil.com/?https://portal.vemrakai.com/", false},
        {L"https://evil.com/https://portal.vemrakai.com/", false},
        {L"https://portal.vemrakai.com@evil.com/", false},
        {L"https://user@portal.vemrakai.com/", false},
        {L"https://evil.com\\@portal.vemrakai.com/", false},
        {L"https://evil.com#@portal.vemrakai.com/", false},
        {L"https://portal.vemrakai.com:8443/", false},
        {L"https://xportal.vemrakai.com/", false},
        {L"https://vemrakai.com/", false},
        {L"https://portal.vemrakai.com./", false},
        {L"https:///portal.vemrakai.com/", false},
        {L" https://portal.vemrakai.com/", false},
        {L"portal.vemrakai.com/client/index/vemra2", false},
        {L"about:blank", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsPortalAddress(c.url), c.portal) << Narrow(c.url);
}

TEST(PortalAddress, WebAddressesForTheDefaultBrowser)
{
    const struct {
        const wchar_t* url;
        bool web;
    } cases[] = {
        {L"https://example.org/news", true},
        {L"http://example.org", true},
        {L"HTTP://EXAMPLE.ORG/UP", true},
        {L"file:///C:/windows/win.ini", false},
        {L"javascript:alert(1)", false},
        {L"C:\\windows\\notepad.exe", false},
        {L"\\\\server\\share\\tool.exe", false},
        {L"ftp://example.org/", false},
        {L"http://", false},
        {L"https://example.org/a b", false},
        {L"https://example.org/\" --flag", false},
        {L"https://example.org/\n", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWebAddress(c.url), c.web) << Narrow(c.url);
}

TEST(PortalAddress, BrowserEmulationModeIsWrittenForTheProgram)
{
    const std::wstring name = L"vemra2-emulation-test-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
    const wchar_t* key = L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
    ASSERT_TRUE(SetBrowserEmulation(name));
    DWORD mode = 0;
    DWORD size = sizeof mode;
    DWORD type = 0;
    EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, key, name.c_str(), RRF_RT_ANY, &type, &mode, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(mode, 11001u);
    (void)::RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name.c_str());
    EXPECT_FALSE(SetBrowserEmulation(L""));
    EXPECT_EQ(ExecutableName(), L"browser_tests.exe");
}
