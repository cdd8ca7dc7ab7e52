// The notice record and the handle-from-text rule, called directly.
#include "GameLoader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

TEST(ParentNotice, BlockIsHeadTextTailWithNoGaps)
{
    const ParentNotice notice = MakeParentNotice();
    unsigned char expected[528] = {};
    expected[0] = 1;                        // head, int32 little-endian
    expected[4] = '1';                      // "1" as one UTF-16 unit, then NULs
    expected[524] = 1;                      // tail
    EXPECT_EQ(std::memcmp(&notice, expected, sizeof expected), 0);
}

TEST(ParentNotice, WindowHandleTextReadsLikeWtoi)
{
    const struct {
        const wchar_t* text;
        INT_PTR handle;
    } cases[] = {
        {L"", 0},
        {L"65552", 65552},
        {L"  \t42", 42},
        {L"+42", 42},
        {L"42abc", 42},
        {L"0042", 42},
        {L"-5", -5},  // sign-extended, like every 32-bit handle value on 64-bit Windows
        {L"abc", 0},
        {L"0x1F", 0},
        {L"4294967338", INT_MAX},  // 2^32 + 42 does not wrap round to 42
        {L"99999999999999999999", INT_MAX},
        {L"-99999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reinterpret_cast<INT_PTR>(WindowFromIdText(c.text)), c.handle)
            << std::string(c.text, c.text + std::wcslen(c.text));
    }
}

std::string g_received;

LRESULT CALLBACK ReceivingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        g_received = std::to_string(wParam) + "/" + std::to_string(data->dwData) + "/" +
                     std::string(static_cast<const char*>(data->lpData), data->cbData);
        return TRUE;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

TEST(ParentNotice, SentAsCopyDataWithTypeOneToTheNamedWindow)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ReceivingProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VemraNoticeReceiver";
    ::RegisterClassW(&wc);
    HWND hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(hWnd);

    g_received.clear();
    SendParentNotice(std::to_wstring(reinterpret_cast<INT_PTR>(hWnd)) + L"trailing letters");
    const ParentNotice notice = MakeParentNotice();
    EXPECT_EQ(g_received, "0/1/" + std::string(reinterpret_cast<const char*>(&notice), sizeof notice));

    g_received.clear();
    SendParentNotice(L"not a number");  // handle 0: lost without a trace
    EXPECT_TRUE(g_received.empty());
    ::DestroyWindow(hWnd);
}

}  // namespace
