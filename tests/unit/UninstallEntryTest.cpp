#include "GameLoader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each test uses its own game code, so the entries never meet those of the launcher or other tests.
class UninstallEntry : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_code = L"vemra2test" + std::to_wstring(::GetCurrentProcessId());
        const std::wstring path = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + m_code;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key,
                                    nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        ::RegCloseKey(m_key);
        ::RegDeleteKeyW(HKEY_CURRENT_USER,
                        (L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + m_code).c_str());
    }
    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes)
    {
        ASSERT_EQ(::RegSetValueExW(m_key, name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
    }
    void SetText(const wchar_t* name, const std::wstring& text)
    {
        SetRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    std::wstring m_code;
    HKEY m_key = nullptr;
};

TEST_F(UninstallEntry, InstallDirFromDisplayIcon)
{
    const struct {
        const wchar_t *icon, *expected;
    } cases[] = {
        {L"C:/Games/vemra2/vemra2.exe,0", L"C:\\Games\\vemra2\\"},
        {L"C:\\Program Files\\vemra2\\vemra2_main.exe", L"C:\\Program Files\\vemra2\\"},
        {L"vemra2.exe", L"vemra2.exe"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        SetText(L"DisplayIcon", c.icon);
        EXPECT_EQ(GetGameInstallDir(m_code), c.expected);
    }
}

TEST_F(UninstallEntry, FileParamIsReturnedUnchanged)
{
    SetText(L"FileParam", L"a/b?c=d&e");
    EXPECT_EQ(GetBagFileParam(m_code), L"a/b?c=d&e");
}

TEST_F(UninstallEntry, MissingKeyOrValueGivesEmptyText)
{
    EXPECT_EQ(GetBagFileParam(m_code), L"");
    EXPECT_EQ(GetGameInstallDir(L"no-such-game-code"), L"");
    EXPECT_EQ(GetBagFileParam(L"no-such-game-code"), L"");
}

TEST_F(UninstallEntry, LengthLimitOfTheFixedBuffer)
{
    // 259 characters and the terminator fit; 260 with a terminator do not.
    SetText(L"FileParam", std::wstring(259, L'p'));
    EXPECT_EQ(GetBagFileParam(m_code), std::wstring(259, L'p'));
    SetText(L"FileParam", std::wstring(260, L'p'));
    EXPECT_EQ(GetBagFileParam(m_code), L"");
    SetText(L"FileParam", std::wstring(1000, L'p'));
    EXPECT_EQ(GetBagFileParam(m_code), L"");

    // Exactly 520 bytes stored without a terminator: Windows hands over all 260 characters, Wine asks for
    // room for a terminator; either way nothing is read past the buffer.
    const std::wstring full(260, L'q');
    SetRaw(L"FileParam", REG_SZ, full.data(), 520);
    const std::wstring read = GetBagFileParam(m_code);
    EXPECT_TRUE(read == full || read.empty()) << read.size();
}

TEST_F(UninstallEntry, WrongValueTypeIsReadAsText)
{
    const DWORD number = 0x00410042;  // the bytes of "BA" in UTF-16
    SetRaw(L"FileParam", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(GetBagFileParam(m_code), L"BA");
    const unsigned char blob[] = {0x41, 0x00, 0x00, 0x00, 0x42, 0x00};
    SetRaw(L"DisplayIcon", REG_BINARY, blob, sizeof blob);
    EXPECT_EQ(GetGameInstallDir(m_code), L"A");
}

}  // namespace
